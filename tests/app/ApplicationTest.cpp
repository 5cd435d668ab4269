// The application object: window creation order, the main window, the loop.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include "app/Application.h"
#include "app/Forms.h"
#include "platform/UserLock.h"
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
  // Owned by the test, so that it cannot end a later test's loops.
  QTimer giveUp;
  giveUp.setSingleShot(true);
  QObject::connect(&giveUp, &QTimer::timeout, [] { QCoreApplication::exit(3); });
  giveUp.start(20000);
  EXPECT_EQ(application.Run(), 0);
  EXPECT_TRUE(sawWindows);
  EXPECT_TRUE(QFile::exists(home.path() + "/Documents/Varnholt/Varnholt.ini"));
}

// A copy of this program that already runs: the single-copy lock, held and
// served by a thread of its own as another process would.
class RunningCopy : public QThread {
 public:
  RunningCopy() {
    start();
    started_.acquire();
  }
  ~RunningCopy() override {
    quit();
    wait();
  }
  bool held = false;
  int calls = 0;  // read once the thread has ended

 private:
  void run() override {
    UserLock lock(OwnExecutableName());
    lock.SetOnCalled([this] { ++calls; });
    held = lock.Held();
    started_.release();
    exec();
  }
  QSemaphore started_;
};

// The single-copy guard, created with the main window, asks to end: the
// rest of start-up runs, then the loop ends without showing a window.
TEST(ApplicationTest, AnEndRequestedDuringStartUpEndsTheLoopBeforeAnyWindowShows) {
  QTemporaryDir home;
  ScopedEnv homeEnv("HOME", home.path().toUtf8());
  RunningCopy running;
  ASSERT_TRUE(running.held);
  Application application;
  application.CreateForm(FormMain);
  application.CreateForm(MessageForm);
  application.CreateForm(LivecamForm);
  bool shown = false;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout,
                   [&] { shown = shown || (FormMain && FormMain->isVisible()); });
  watch.start(0);
  // Owned by the test, so that it cannot end a later test's loops.
  QTimer giveUp;
  giveUp.setSingleShot(true);
  QObject::connect(&giveUp, &QTimer::timeout, [] { QCoreApplication::exit(3); });
  giveUp.start(20000);
  EXPECT_EQ(application.Run(), 0);
  EXPECT_TRUE(application.Terminated());
  EXPECT_FALSE(shown);
  ASSERT_NE(FormMain, nullptr);  // created all the same, and so were the others
  EXPECT_NE(MessageForm, nullptr);
  EXPECT_NE(LivecamForm, nullptr);
  EXPECT_EQ(FormMain->windowTitle(), "Varnholt V1.6");  // FormCreate ran
  EXPECT_TRUE(QFileInfo(home.path() + "/Documents/Varnholt").isDir());
  EXPECT_FALSE(QFile::exists(home.path() + "/Documents/Varnholt/Varnholt.ini"));
  running.quit();
  running.wait();
  EXPECT_EQ(running.calls, 1);  // asked to come forward
}

// The real program started twice under one file name, from two folders.
class RealProgram : public ::testing::Test {
 protected:
  ~RealProgram() override {
    for (auto& p : processes_) {
      p->kill();
      p->waitForFinished(kWait);
    }
  }
  QProcess* Start(const QString& folder, const QString& name, const QString& home,
                  const QString& runtime) {
    const QString path = folder + "/" + name;
    EXPECT_TRUE(QFile::copy(QStringLiteral(VARNHOLT_PROGRAM), path));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home);
    env.insert("XDG_CONFIG_HOME", home + "/.config");
    env.insert("XDG_RUNTIME_DIR", runtime);
    env.insert("VARNHOLT_VIRTUAL_STATE", home + "/virtual-state");
    env.insert("VARNHOLT_PLATFORM", "virtual");
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.remove("VARNHOLT_VIRTUAL_CAMERAS");
    auto& p = processes_.emplace_back(std::make_unique<QProcess>());
    p->setProcessEnvironment(env);
    p->setReadChannel(QProcess::StandardError);
    p->start(path, {"trace"});
    EXPECT_TRUE(p->waitForStarted(kWait));
    return p.get();
  }
  // The trace shows start-up's resize: the window was created.
  static bool SawStartUp(QProcess* p) {
    QByteArray trace;
    while (!trace.contains("670\n") && p->waitForReadyRead(kWait))
      trace += p->readAll();
    trace += p->readAll();
    return trace.contains("670\n");
  }

  static constexpr int kWait = 60000;  // an upper bound only: every wait ends on an event
  std::vector<std::unique_ptr<QProcess>> processes_;
};

TEST_F(RealProgram, ASecondCopyRunsItsStartUpEndsSilentlyAndWritesNoWindowState) {
  QTemporaryDir firstFolder, secondFolder, firstHome, secondHome, runtime;
  const QString name =
      "varnholt-" + QString::number(QRandomGenerator::global()->generate() % 1000000);
  QProcess* first = Start(firstFolder.path(), name, firstHome.path(), runtime.path());
  ASSERT_TRUE(SawStartUp(first));

  QProcess* second = Start(secondFolder.path(), name, secondHome.path(), runtime.path());
  EXPECT_TRUE(SawStartUp(second));
  ASSERT_TRUE(second->waitForFinished(kWait));
  EXPECT_EQ(second->exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(second->exitCode(), 0);
  EXPECT_TRUE(QFileInfo(secondHome.path() + "/Documents/Varnholt").isDir());
  EXPECT_FALSE(QFile::exists(secondHome.path() + "/Documents/Varnholt/Varnholt.ini"));

  EXPECT_EQ(first->state(), QProcess::Running);
}

// --help and --version answer on stdout without a display: they end before
// Qt would look for one (without a display QApplication would abort).
TEST(RealProgramInformation, HelpAndVersionAnswerWithoutADisplay) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
    env.remove(name);
  auto run = [&](const QString& argument) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(VARNHOLT_PROGRAM), {argument});
    EXPECT_TRUE(p.waitForFinished(60000)) << argument.toStdString();
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 0) << argument.toStdString();
    return QString::fromUtf8(p.readAllStandardOutput());
  };
  const QString help = run("--help");
  EXPECT_TRUE(help.startsWith("Usage: varnholt [trace]")) << help.toStdString();
  EXPECT_TRUE(help.contains("VARNHOLT_PLATFORM"));
  EXPECT_TRUE(help.contains("VARNHOLT_VIRTUAL_CAMERAS"));
  EXPECT_EQ(run("--version"), QStringLiteral("varnholt " VARNHOLT_EXPECTED_VERSION "\n"));
}

}  // namespace
}  // namespace varnholt::test
