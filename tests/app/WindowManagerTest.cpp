// The main window under a real window manager (tests/app/run-under-wm.sh):
// framed windows, whose outer size is not their client size.

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QTest>

#include "platform/ProfileFile.h"
#include "tests/app/CameraWindowFixture.h"

namespace varnholt::test {
namespace {

class UnderWindowManager : public CameraWindow {
 protected:
  int ReadState(const char* key) const {
    return TIniFile(StateFile()).ReadInteger("Varnholt-Settings", key, -1);
  }
};

TEST_F(UnderWindowManager, TenStartsAndClosesKeepTheStoredSize) {
  ASSERT_EQ(QGuiApplication::platformName(), "xcb") << "run through run-under-wm.sh";
  WriteState("[Varnholt-Settings]\nTop=40\nLeft=30\nwidth=690\nHeight=740\n");
  UseCameras("[" + Camera("Lab") + "]");
  QList<QRect> stored;
  for (int start = 0; start < 10; ++start) {
    form = Start();
    form->show();
    // Framed by the manager: the outer size is known and the stored width
    // applied to it.
    ASSERT_TRUE(
        WaitUntil([&] { return form->frameGeometry().width() > form->geometry().width(); }, 10000));
    ASSERT_TRUE(WaitUntil([&] { return form->frameGeometry().width() == 690; }, 10000))
        << "start " << start << ": outer width " << form->frameGeometry().width();
    Close(*form);
    form.reset();
    stored.append(
        QRect(ReadState("Left"), ReadState("Top"), ReadState("width"), ReadState("Height")));
  }
  for (const QRect& r : stored)
    EXPECT_EQ(r.size(), QSize(690, 740)) << r.x() << "," << r.y();
  EXPECT_EQ(stored.first(), stored.last());
}

}  // namespace
}  // namespace varnholt::test
