// Cameras that misbehave as devices may: a name holding markup, and a
// camera whose shared state another, hung program keeps locked.

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QLabel>
#include <QLockFile>
#include <QTest>

#include "camera/platform/virtual/VirtualCameraSet.h"
#include "tests/app/SettingsWindowFixture.h"

namespace varnholt::test {
namespace {

using HostileCamera = SettingsWindow;

const QByteArray kBrightness = R"({"Brightness": )" + Property(0, 255, 100) + "}";

TEST_F(HostileCamera, MarkupInANameShowsAsPlainText) {
  const QByteArray name = "<img src=x.png><b>Spoof</b>";
  StartWith("[" + Camera(name, kBrightness) + "]");
  dialogs.Answer(false);
  ClickDefaults();
  ASSERT_EQ(dialogs.messages, QStringList{"Confirm: Reset settings for " + name});
  EXPECT_EQ(MessageForm->Label1->textFormat(), Qt::PlainText);
  int shown = 0;
  for (const QLabel* label : form->findChildren<QLabel*>()) {
    if (!label->text().contains(name))
      continue;
    ++shown;
    EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->objectName().toStdString();
  }
  EXPECT_GT(shown, 0);
}

TEST_F(HostileCamera, AStateLockHeldByAHungProgramIsToldAndWaitedForBriefly) {
  StartWith("[" + Camera("Lab", kBrightness) + "]");
  const auto camera = platform->Cameras()->Cameras().front();
  QLockFile hung(camera->State().Path() + ".lock");
  ASSERT_TRUE(hung.tryLock(0));
  QElapsedTimer waited;
  waited.start();
  QTest::keyClick(Row("Brightness").TrackBar, Qt::Key_Right);
  AwaitWrites();
  // A deadline, not a speed test: a move once stalled the window for 2 s.
  EXPECT_LT(waited.elapsed(), 1500);
  EXPECT_EQ(InCamera("Brightness").first, 100);
  EXPECT_TRUE(Part<QLabel>(*form, "MessageLabel")->text().startsWith("Brightness not changed: "))
      << Part<QLabel>(*form, "MessageLabel")->text().toStdString();
  hung.unlock();
  QTest::keyClick(Row("Brightness").TrackBar, Qt::Key_Right);
  AwaitWrites();
  EXPECT_NE(InCamera("Brightness").first, 100) << "usable again once the lock is gone";
}

}  // namespace
}  // namespace varnholt::test
