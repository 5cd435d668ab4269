// The main window under a real window manager (tests/app/run-under-wm.sh):
// framed windows, whose outer size is not their client size.

#include <gtest/gtest.h>

#include <QAbstractScrollArea>
#include <QGuiApplication>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>

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

// Run on a screen 700 high (tests/app/CMakeLists.txt): shorter than the window.
using ShortScreen = UnderWindowManager;

// Turns the wheel over area until part lies whole inside it; false if it never does.
bool ScrollIntoView(QAbstractScrollArea& area, const QWidget& part) {
  QWidget& view = *area.viewport();
  const auto inView = [&] {
    return view.rect().contains(QRect(part.mapTo(&view, QPoint(0, 0)), part.size()));
  };
  for (int turn = 0; turn < 40 && !inView(); ++turn) {
    const QPoint centre = view.rect().center();
    const bool below = part.mapTo(&view, QPoint(0, 0)).y() > 0;
    QWheelEvent wheel(QPointF(centre), QPointF(view.mapToGlobal(centre)), QPoint(),
                      QPoint(0, below ? -120 : 120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(&view, &wheel);
  }
  return inView();
}

TEST_F(ShortScreen, TheWindowFitsTheScreenAndEveryRowIsReachedByScrolling) {
  ASSERT_EQ(QGuiApplication::platformName(), "xcb") << "run through run-under-wm.sh";
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  ASSERT_LT(screen.height(), TFormMain::kWindowHeight) << "run on a screen 700 high";
  WriteState("[Varnholt-Settings]\nTop=40\nLeft=30\nwidth=734\nHeight=740\n");
  UseCameras("[" + Camera("Lab") + "]");
  form = Start();
  form->show();
  ASSERT_TRUE(
      WaitUntil([&] { return form->frameGeometry().width() > form->geometry().width(); }, 10000));
  ASSERT_TRUE(WaitUntil([&] { return screen.contains(form->frameGeometry()); }, 10000))
      << "outer " << form->frameGeometry().y() << "+" << form->frameGeometry().height();
  EXPECT_EQ(form->frameGeometry().height(), screen.height());
  EXPECT_TRUE(screen.contains(QRect(Part<QWidget>(*form, "MessagePanel")->mapToGlobal(QPoint(0, 0)),
                                    Part<QWidget>(*form, "MessagePanel")->size())));

  auto* rows = form->findChild<QAbstractScrollArea*>("RowsPaneScroll");
  ASSERT_NE(rows, nullptr);
  EXPECT_GT(rows->verticalScrollBar()->maximum(), 0) << "this screen is short of the rows";
  const auto all = RowsOf(*form);
  for (const TPropertyRow& row : all)
    EXPECT_TRUE(ScrollIntoView(*rows, *row.Layout)) << row.Design->Key;
  for (auto it = all.rbegin(); it != all.rend(); ++it)
    EXPECT_TRUE(ScrollIntoView(*rows, *it->Layout)) << it->Design->Key;
  Close(*form);
}

}  // namespace
}  // namespace varnholt::test
