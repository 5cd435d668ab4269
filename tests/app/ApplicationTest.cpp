// The application object: window creation order, the main window, the loop.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTimer>

#include "app/Application.h"
#include "app/Forms.h"
#include "tests/support/TestEnvironment.h"

namespace varnholt::test {
namespace {

std::vector<std::string> g_created;

template <int N>
struct Recorded : QWidget {
  Recorded() { g_created.push_back("form " + std::to_string(N)); }
};

TEST(ApplicationTest, WindowsAreCreatedInRegisteredOrderWhenAsked) {
  g_created.clear();
  Recorded<1>* first = nullptr;
  Recorded<2>* second = nullptr;
  Recorded<3>* third = nullptr;
  {
    Application application;
    application.CreateForm(second);
    application.CreateForm(first);
    application.CreateForm(third);
    EXPECT_TRUE(g_created.empty());  // registering creates nothing
    QWidget* main = application.CreateForms();
    EXPECT_EQ(g_created, (std::vector<std::string>{"form 2", "form 1", "form 3"}));
    EXPECT_EQ(main, second);
    EXPECT_NE(first, nullptr);
    EXPECT_NE(third, nullptr);
  }
}

TEST(ApplicationTest, TheLoopRunsTheThreeWindowsAndEndsWhenTheMainWindowCloses) {
  QTemporaryDir home;
  ScopedEnv homeEnv("HOME", home.path().toUtf8());
  Application application;
  application.CreateForm(FormMain);
  application.CreateForm(MessageForm);
  application.CreateForm(LivecamForm);
  bool sawWindows = false;
  // Poll until the loop has created the windows; give up (and fail) after a while.
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (!FormMain)
      return;
    poll.stop();
    // The loop is running: the windows exist, only the main one shows.
    sawWindows = MessageForm && LivecamForm && FormMain->isVisible() && !MessageForm->isVisible() &&
                 !LivecamForm->isVisible();
    FormMain->close();
  });
  poll.start(5);
  QTimer::singleShot(20000, [] { QCoreApplication::exit(3); });
  EXPECT_EQ(application.Run(), 0);
  EXPECT_TRUE(sawWindows);
  EXPECT_TRUE(QFile::exists(home.path() + "/Documents/Varnholt/Varnholt.ini"));
}

}  // namespace
}  // namespace varnholt::test
