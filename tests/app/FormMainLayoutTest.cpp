// The main window's design: every component by its design name, the
// places and looks that the design fixes, the colour scheme from the
// swatches, and the resize rule.

#include <gtest/gtest.h>

#include <QGraphicsDropShadowEffect>
#include <QScrollArea>
#include <QSlider>
#include <QTest>
#include <QWheelEvent>

#include "app/PropertyRows.h"
#include "controls/ButtonImage.h"
#include "controls/Effects.h"
#include "controls/FileDialog.h"
#include "controls/ListBox.h"
#include "controls/Shapes.h"
#include "controls/SingleInstance.h"
#include "controls/Timer.h"
#include "controls/TrackBar.h"
#include "tests/app/MainWindowFixture.h"

namespace varnholt::test {
namespace {

// Where a component is, relative to another one.
QRect Within(const QWidget* w, const QWidget* ancestor) {
  return QRect(w->mapTo(ancestor, QPoint(0, 0)), w->size());
}

// Lays the window out as it would be on screen.
void Settle(TFormMain& form) {
  form.show();
  for (int i = 0; i < 5; ++i)
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
}

// ---- Component tree -------------------------------------------------------------------

TEST_F(MainWindow, EveryDesignNameIsOneComponentOfTheWindowOfItsKind) {
  auto form = Start();
  std::vector<std::pair<QString, const char*>> expected = {
      {"LayoutMid", "QWidget"},
      {"MasterColor", "varnholt::TRectangle"},
      {"LayoutMaster", "QWidget"},
      {"MonochromeEffect", "varnholt::TMonochromeEffect"},
      {"BackButton", "QPushButton"},
      {"LayoutListe", "QWidget"},
      {"Varnholtlogo", "varnholt::TImage"},
      {"KeepSynced", "QCheckBox"},
      {"LayoutButtons", "QWidget"},
      {"Layout1", "QWidget"},
      {"Layout2", "QWidget"},
      {"Layout18", "QWidget"},
      {"Layout17", "QWidget"},
      {"ButtonRead", "TButtonImage"},
      {"ButtonWrite", "TButtonImage"},
      {"ButtonWindows", "TButtonImage"},
      {"ButtonDefaultValues", "TButtonImage"},
      {"Label1", "QLabel"},
      {"Label2", "QLabel"},
      {"Label3", "QLabel"},
      {"Defaults", "QLabel"},
      {"ComboBoxCamera", "varnholt::TListBox"},
      {"LayoutFrequency", "QWidget"},
      {"powerfrequencylabel", "QLabel"},
      {"ComboBoxFrequency", "varnholt::TListBox"},
      {"LayoutButtonTestCam", "QWidget"},
      {"Image1", "varnholt::TImage"},
      {"ButtonTestCam", "varnholt::TImage"},
      {"cameratestlabel", "QLabel"},
      {"CameraOff", "varnholt::TImage"},
      {"CameraIconInnerGlow", "varnholt::TInnerGlowEffect"},
      {"InnerGlowEffect1", "varnholt::TInnerGlowEffect"},
      {"CameraIconGlow", "varnholt::TGlowEffect"},
      {"CameraCouldStartGlow", "varnholt::TGlowEffect"},
      {"ComboBoxFormat", "varnholt::TListBox"},
      {"ColorDarkest", "varnholt::TRectangle"},
      {"ColorDark", "varnholt::TRectangle"},
      {"ColorMid", "varnholt::TRectangle"},
      {"ColorBright", "varnholt::TRectangle"},
      {"Hiddenfunctions", "QWidget"},
      {"MessagePanel", "QWidget"},
      {"StatusPanelColor", "varnholt::TRectangle"},
      {"StatusLabel", "QLabel"},
      {"MessageLabel", "QLabel"},
      {"SupportLabel", "QLabel"},
      {"PaintBox", "varnholt::TPaintBox"},
      {"CameraGlowTimer", "varnholt::TTimer"},
      {"CameraTimer", "varnholt::TTimer"},
      {"MessageTimer", "varnholt::TTimer"},
      {"OpenDialog1", "varnholt::TFileDialog"},
      {"SaveDialog1", "varnholt::TFileDialog"},
      {"RefreshTimer", "varnholt::TTimer"},
      {"Memo1", "QPlainTextEdit"},
      {"FCamera", "TFCamera"},
      {"SingleInstance1", "TSingleInstance"},
      {"StyleBook3", "varnholt::TStyleBook"},
  };
  for (const char* picture :
       {"open", "opendown", "save", "savedown", "x", "xdown", "factory", "factorydown", "Webcam",
        "herz", "res_1080", "res_720", "res_pal", "res_vga", "res_ega"})
    expected.emplace_back(picture, "varnholt::TImage");
  for (const TRowDesign& row : kRowDesigns) {
    const QString key = row.Key;
    expected.emplace_back("Layout" + key, "QWidget");
    expected.emplace_back(row.Icon, "varnholt::TImage");
    expected.emplace_back("Label" + key, "QLabel");
    expected.emplace_back("TrackBar" + key, "varnholt::TTrackBar");
    expected.emplace_back(row.ValueColumn, "QWidget");
    expected.emplace_back("Label" + key + "Value", "QLabel");
    expected.emplace_back("CheckBox" + key, "QCheckBox");
    expected.emplace_back("Layout" + key + "Monochrome", "varnholt::TMonochromeEffect");
  }
  for (const auto& [name, kind] : expected) {
    const QList<QObject*> found = form->findChildren<QObject*>(name);
    ASSERT_EQ(found.size(), 1) << name.toStdString();
    EXPECT_TRUE(found.first()->inherits(kind))
        << name.toStdString() << " is " << found.first()->metaObject()->className();
  }
  // The single-copy guard is the window's last component.
  EXPECT_EQ(form->children().last(), Part<TSingleInstance>(*form, "SingleInstance1"));
}

TEST_F(MainWindow, TheRowsHaveTheirKeysCaptionsAndIconsInTheirVisualOrder) {
  auto form = Start();
  Settle(*form);
  const std::vector<std::pair<const char*, QString>> order = {
      {"Exposure", "Exposure"},
      {"Gain", "Gain"},
      {"WhiteBalance", "White balance"},
      {"Focus", "Focus"},
      {"Zoom", "Zoom (+/-)"},
      {"Brightness", "Brightness"},
      {"Saturation", "Saturation"},
      {"Contrast", "Contrast"},
      {"Sharpness", "Sharpness"},
      {"BacklightCompensation", "Backlight comp."},
      {"Gamma", "Gamma"},
      {"ColorEnable", "Color enable"},
      {"Hue", "Hue"},
      {"Iris", "Iris"},
      {"Roll", "Roll"},
      {"Tilt", QString::fromUtf8("Tilt (\u2195)")},
      {"Pan", QString::fromUtf8("Pan (\u2194)")},
  };
  int y = 0;
  for (const auto& [key, caption] : order) {
    const TPropertyRow found = RowOf(*form, key);
    const TPropertyRow* row = &found;
    EXPECT_EQ(row->Label->text(), caption);
    const int gap = QString(key) == "Zoom" ? 0 : 3;
    EXPECT_EQ(row->Layout->geometry(),
              QRect(0, y + gap, Part<QWidget>(*form, "LayoutMaster")->width(), 35))
        << key;
    y += gap + 35;
    EXPECT_FALSE(row->Icon->Bitmap().isNull()) << key;
    // The design gives 14 to most captions; the first load of the rows
    // gives every caption 16.
    EXPECT_EQ(row->Label->font().pixelSize(), 16) << key;
  }
}

TEST_F(MainWindow, ARowIsIconCaptionSliderValueAndAutoFromLeftToRight) {
  auto form = Start();
  Settle(*form);
  const TPropertyRow& row = RowOf(*form, "Brightness");
  const int width = row.Layout->width();
  EXPECT_EQ(row.Icon->geometry(), QRect(0, 2, 35, 31));
  EXPECT_EQ(row.Label->geometry(), QRect(40, 0, 121, 35));
  EXPECT_EQ(row.CheckBox->geometry(), QRect(width - 65, 0, 65, 35));
  // The value column: 40 wide, or as wide as the camera's widest value.
  const int column = row.ValueColumn->width();
  EXPECT_GE(column, 40);
  EXPECT_EQ(row.ValueColumn->geometry(), QRect(width - 65 - column, 0, column, 35));
  EXPECT_EQ(row.TrackBar->geometry(), QRect(161, 0, width - 65 - column - 161, 35));
  EXPECT_EQ(row.ValueLabel->size(), row.ValueLabel->sizeHint()) << "sized to its text";
  EXPECT_TRUE(QRect(0, 0, column, 35).contains(row.ValueLabel->geometry()));

  // Start-up has loaded the first built-in camera, which has every property.
  EXPECT_EQ(row.ValueLabel->text(), QString::number(CameraOf(*form)->Brightness()));
  EXPECT_TRUE(row.ValueLabel->isEnabled());
  EXPECT_EQ(row.ValueLabel->palette().color(QPalette::WindowText), Qt::black);
  EXPECT_EQ(row.Label->palette().color(QPalette::WindowText), Qt::black);
  EXPECT_TRUE(row.TrackBar->isEnabled());
  EXPECT_EQ(row.CheckBox->text(), "Auto");
  EXPECT_FALSE(row.Monochrome->isEnabled());
  EXPECT_EQ(row.Layout->graphicsEffect(), row.Monochrome);
  EXPECT_FALSE(Part<TMonochromeEffect>(*form, "MonochromeEffect")->isEnabled());
  EXPECT_EQ(Part<QWidget>(*form, "LayoutMaster")->graphicsEffect(),
            Part<TMonochromeEffect>(*form, "MonochromeEffect"));
}

TEST_F(MainWindow, EveryValueShowsWholeItsSignIncluded) {
  auto form = Start();  // the built-in HD webcam pans from -36000 to 36000
  Settle(*form);
  QApplication::setActiveWindow(form.get());
  const TPropertyRow& pan = RowOf(*form, "Pan");
  pan.TrackBar->setFocus(Qt::TabFocusReason);
  QTest::keyClick(pan.TrackBar, Qt::Key_Home);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
  ASSERT_EQ(pan.ValueLabel->text(), "-36000");
  EXPECT_EQ(pan.ValueLabel->size(), pan.ValueLabel->sizeHint());
  EXPECT_TRUE(pan.ValueColumn->rect().contains(pan.ValueLabel->geometry()))
      << pan.ValueColumn->width() << " wide for " << pan.ValueLabel->width();
  // Every column takes that width, so that the sliders stay aligned.
  for (const TPropertyRow& row : RowsOf(*form))
    EXPECT_EQ(row.ValueColumn->width(), pan.ValueColumn->width());
}

TEST_F(MainWindow, TheTraceCoversNoControlAndTheLeftColumnScrollsToItsLast) {
  auto form = Start({"varnholt", "trace"});
  Settle(*form);
  ASSERT_TRUE(Part<QPlainTextEdit>(*form, "Memo1")->isVisible());
  const auto* scroll = form->findChild<QScrollArea*>("ListePaneScroll");
  ASSERT_NE(scroll, nullptr);
  EXPECT_FALSE(Within(scroll, form.get())
                   .intersects(Within(Part<QPlainTextEdit>(*form, "Memo1"), form.get())));
  EXPECT_TRUE(Within(Part<TListBox>(*form, "ComboBoxCamera"), scroll->viewport()).top() >= 0);

  // The wheel over the column brings the format list into view.
  ASSERT_FALSE(Part<TListBox>(*form, "ComboBoxFormat")->isHidden());
  const QRect view = scroll->viewport()->rect();
  for (int i = 0; i < 20 && !view.contains(Within(Part<TListBox>(*form, "ComboBoxFormat"),
                                                  scroll->viewport()));
       ++i) {
    QWheelEvent wheel(QPointF(view.center()), scroll->viewport()->mapToGlobal(view.center()),
                      QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                      false);
    QCoreApplication::sendEvent(scroll->viewport(), &wheel);
  }
  EXPECT_TRUE(view.contains(Within(Part<TListBox>(*form, "ComboBoxFormat"), scroll->viewport())));
}

TEST_F(MainWindow, TheRowsAreaTheLeftColumnAndTheStatusBarTakeTheirPlaces) {
  WriteWidth(734);
  auto form = Start();
  Settle(*form);
  const int height = form->height();
  EXPECT_EQ(Part<QWidget>(*form, "LayoutListe")->geometry(), QRect(5, 0, 260, height - 24));
  EXPECT_EQ(Part<QWidget>(*form, "MessagePanel")->geometry(), QRect(0, height - 24, 734, 24));
  EXPECT_EQ(Part<QWidget>(*form, "LayoutMid")->geometry(), QRect(270, 0, 734 - 270, height - 24));
  EXPECT_EQ(Part<TRectangle>(*form, "MasterColor")->geometry(),
            QRect(QPoint(0, 0), Part<QWidget>(*form, "LayoutMid")->size()));
  // The rows fit: no scroll bar takes from their width.
  EXPECT_EQ(Part<QWidget>(*form, "LayoutMaster")->geometry(), QRect(15, 15, 734 - 270 - 30, 698));
  EXPECT_TRUE(Part<QPlainTextEdit>(*form, "Memo1")->isHidden());

  // Left column, top to bottom; the five built-in cameras with the camera
  // test's block and formats make it taller than the window, so it scrolls
  // and its scroll bar takes 8 from its width.
  const int column = Part<QWidget>(*form, "ListePane")->width();
  EXPECT_EQ(column, 260 - 8);
  EXPECT_EQ(Part<TImage>(*form, "Varnholtlogo")->geometry(), QRect(5, 5, column - 10, 80));
  EXPECT_EQ(Part<QWidget>(*form, "LayoutButtons")->geometry(), QRect(0, 95, column, 75));
  // "Restore on plug-in" under the strip, indented as "Keep synchronized".
  EXPECT_EQ(Part<QCheckBox>(*form, "RestoreOnPlugIn")->geometry(), QRect(30, 175, column - 30, 19));
  // The camera list is 5 x 44 + 2 high.
  EXPECT_EQ(Part<TListBox>(*form, "ComboBoxCamera")->geometry(), QRect(0, 204, column, 222));
  EXPECT_EQ(Within(Part<QLabel>(*form, "powerfrequencylabel"), Part<QWidget>(*form, "LayoutListe")),
            QRect(10, 446, column - 10, 17));
  EXPECT_EQ(Within(Part<TListBox>(*form, "ComboBoxFrequency"), Part<QWidget>(*form, "LayoutListe")),
            QRect(13, 468, column - 26, 42));

  // The button strip: columns at 5, 64, 123 and 182, 41 wide, buttons 37 x 33
  // with margins of 2, captions under them.
  const std::vector<std::tuple<TButtonImage*, QLabel*, int, QString, int>> strip = {
      {Part<TButtonImage>(*form, "ButtonRead"), Part<QLabel>(*form, "Label2"), 5, "Load", 47},
      {Part<TButtonImage>(*form, "ButtonWrite"), Part<QLabel>(*form, "Label1"), 64, "Save", 41},
      {Part<TButtonImage>(*form, "ButtonWindows"), Part<QLabel>(*form, "Label3"), 123,
       "System Dialog", 47},
      {Part<TButtonImage>(*form, "ButtonDefaultValues"), Part<QLabel>(*form, "Defaults"), 182,
       "Factory default", 47},
  };
  for (const auto& [button, caption, column, text, width] : strip) {
    EXPECT_EQ(Within(button, Part<QWidget>(*form, "LayoutButtons")), QRect(column + 2, 2, 37, 33))
        << text.toStdString();
    EXPECT_EQ(caption->text(), text);
    // "Save" fits its column; the longer captions overhang it by 3 on either side.
    EXPECT_EQ(Within(caption, Part<QWidget>(*form, "LayoutButtons")),
              QRect(column - (width - 41) / 2, 38, width, 35))
        << text.toStdString();
    EXPECT_EQ(caption->font().pixelSize(), 14);
    EXPECT_EQ(caption->font().families().first(), "Calibri");
    EXPECT_TRUE(caption->wordWrap());
  }
  EXPECT_TRUE(Part<QLabel>(*form, "Label3")->alignment() & Qt::AlignVCenter);
  EXPECT_TRUE(Part<QLabel>(*form, "Label2")->alignment() & Qt::AlignTop);
}

TEST_F(MainWindow, HiddenComponentsAndTheHiddenStoreAreAsDesigned) {
  auto form = Start();
  EXPECT_TRUE(Part<QCheckBox>(*form, "KeepSynced")->isHidden());
  EXPECT_TRUE(Part<QCheckBox>(*form, "KeepSynced")->isChecked());
  EXPECT_EQ(Part<QCheckBox>(*form, "KeepSynced")->text(), "Keep synchronized");
  EXPECT_TRUE(Part<QWidget>(*form, "Hiddenfunctions")->isHidden());
  for (auto* swatch :
       {Part<TRectangle>(*form, "ColorDarkest"), Part<TRectangle>(*form, "ColorDark"),
        Part<TRectangle>(*form, "ColorMid"), Part<TRectangle>(*form, "ColorBright")}) {
    EXPECT_TRUE(swatch->isHidden());
    EXPECT_EQ(swatch->size(), QSize(50, 50));
  }
  EXPECT_EQ(Part<TRectangle>(*form, "ColorDarkest")->Fill(), QColor::fromRgba(0xFF18183E));
  EXPECT_EQ(Part<TRectangle>(*form, "ColorDark")->Fill(), QColor::fromRgba(0xFF242451));
  EXPECT_EQ(Part<TRectangle>(*form, "ColorMid")->Fill(), QColor::fromRgba(0xFF424280));
  EXPECT_EQ(Part<TRectangle>(*form, "ColorBright")->Fill(), QColor::fromRgba(0xFF6360E3));

  // Timers: only the refresh runs from the start.
  EXPECT_EQ(Part<TTimer>(*form, "RefreshTimer")->Interval(), 5000);
  EXPECT_TRUE(Part<TTimer>(*form, "RefreshTimer")->Running());
  for (TTimer* idle :
       {Part<TTimer>(*form, "MessageTimer"), Part<TTimer>(*form, "CameraGlowTimer")}) {
    EXPECT_EQ(idle->Interval(), 0);
    EXPECT_TRUE(idle->Enabled());
    EXPECT_FALSE(idle->Running());
  }
  EXPECT_FALSE(Part<TTimer>(*form, "CameraTimer")->Enabled());
  EXPECT_EQ(Part<TTimer>(*form, "CameraTimer")->Interval(), 0);

  EXPECT_EQ(Part<TFileDialog>(*form, "OpenDialog1")->Title(), "Load camera settings");
  EXPECT_EQ(Part<TFileDialog>(*form, "SaveDialog1")->Title(), "Save camera settings");
  for (TFileDialog* dialog :
       {Part<TFileDialog>(*form, "OpenDialog1"), Part<TFileDialog>(*form, "SaveDialog1")}) {
    EXPECT_EQ(dialog->Filter(), "Varnholt Camera Settings (*.vhx)");
    EXPECT_EQ(dialog->DefaultExt(), "vhx");
    EXPECT_EQ(dialog->FileName(), "*.vhx");
    EXPECT_EQ(dialog->InitialDir(), StateFolder());
  }
  EXPECT_EQ(PaintBoxOf(*form)->size(), QSize(269, 161));
  for (TImage* picture : Part<QWidget>(*form, "Hiddenfunctions")->findChildren<TImage*>())
    EXPECT_FALSE(picture->Bitmap().isNull()) << picture->objectName().toStdString();

  // Camera-test block: the glows and their design states.
  EXPECT_TRUE(Part<TGlowEffect>(*form, "CameraCouldStartGlow")->isEnabled());
  EXPECT_FALSE(Part<TGlowEffect>(*form, "CameraIconGlow")->isEnabled());
  EXPECT_FALSE(Part<TInnerGlowEffect>(*form, "CameraIconInnerGlow")->isEnabled());
  EXPECT_FALSE(Part<TInnerGlowEffect>(*form, "InnerGlowEffect1")->isEnabled());
  EXPECT_EQ(Part<TInnerGlowEffect>(*form, "InnerGlowEffect1")->GlowColor(), QColor(Qt::red));
  EXPECT_DOUBLE_EQ(Part<TInnerGlowEffect>(*form, "CameraIconInnerGlow")->Softness(), 0.4);
  EXPECT_DOUBLE_EQ(Part<TGlowEffect>(*form, "CameraIconGlow")->Opacity(), 0.99);
  EXPECT_FALSE(Part<TImage>(*form, "Image1")->HitTest());
  EXPECT_FALSE(Part<TImage>(*form, "CameraOff")->HitTest());
  EXPECT_EQ(Part<TImage>(*form, "CameraOff")->size(), QSize(24, 26));
  EXPECT_TRUE(
      Part<QLabel>(*form, "cameratestlabel")
          ->text()
          .startsWith(
              "Click camera icon to test Varnholt Virtual HD Webcam\r\n with resolution: "));

  EXPECT_EQ(CameraOf(*form)->parent(), form.get());
  EXPECT_TRUE(form->windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(form->windowFlags() & Qt::WindowMaximizeButtonHint);
}

TEST_F(MainWindow, TheImageButtonsShowAndSwapTheStoresPictures) {
  auto form = Start();
  const std::vector<std::tuple<TButtonImage*, TImage*, TImage*>> buttons = {
      {Part<TButtonImage>(*form, "ButtonRead"), Part<TImage>(*form, "open"),
       Part<TImage>(*form, "opendown")},
      {Part<TButtonImage>(*form, "ButtonWrite"), Part<TImage>(*form, "save"),
       Part<TImage>(*form, "savedown")},
      {Part<TButtonImage>(*form, "ButtonWindows"), Part<TImage>(*form, "x"),
       Part<TImage>(*form, "xdown")},
      {Part<TButtonImage>(*form, "ButtonDefaultValues"), Part<TImage>(*form, "factory"),
       Part<TImage>(*form, "factorydown")},
  };
  for (const auto& [button, up, down] : buttons) {
    EXPECT_EQ(button->ImageUp(), up);
    EXPECT_EQ(button->ImageDown(), down);
    EXPECT_EQ(button->Bitmap().toImage(), up->Bitmap().toImage());
    EXPECT_NE(up->Bitmap().toImage(), down->Bitmap().toImage());
    QTest::mousePress(button, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(button->Bitmap().toImage(), down->Bitmap().toImage());
    // Released off the button: the picture comes back, and no click opens
    // the button's dialog.
    QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(-10, -10));
    EXPECT_EQ(button->Bitmap().toImage(), up->Bitmap().toImage());
    EXPECT_NE(qobject_cast<QGraphicsDropShadowEffect*>(button->graphicsEffect()), nullptr);
  }
}

// ---- Colour scheme -----------------------------------------------------------------------

TEST_F(MainWindow, TheSchemeComesFromTheSwatchesAtStartUp) {
  auto form = Start();
  auto text = [](QWidget* w) { return w->palette().color(QPalette::WindowText); };
  EXPECT_EQ(form->palette().color(QPalette::Window),
            Part<TRectangle>(*form, "ColorDarkest")->Fill());
  EXPECT_TRUE(form->autoFillBackground());
  EXPECT_EQ(Part<TRectangle>(*form, "StatusPanelColor")->Fill(),
            Part<TRectangle>(*form, "ColorDark")->Fill());
  EXPECT_EQ(Part<TRectangle>(*form, "MasterColor")->Fill(), QColor(Qt::white));
  EXPECT_EQ(text(Part<QLabel>(*form, "cameratestlabel")),
            Part<TRectangle>(*form, "ColorBright")->Fill());
  EXPECT_EQ(text(Part<QLabel>(*form, "powerfrequencylabel")),
            Part<TRectangle>(*form, "ColorBright")->Fill());
  EXPECT_EQ(Part<TGlowEffect>(*form, "CameraCouldStartGlow")->GlowColor(),
            Part<TRectangle>(*form, "ColorMid")->Fill());
  EXPECT_EQ(Part<TGlowEffect>(*form, "CameraIconGlow")->GlowColor(),
            Part<TRectangle>(*form, "ColorBright")->Fill());
  EXPECT_EQ(Part<TInnerGlowEffect>(*form, "CameraIconInnerGlow")->GlowColor(),
            Part<TRectangle>(*form, "ColorBright")->Fill());
  for (QLabel* caption : {Part<QLabel>(*form, "Label1"), Part<QLabel>(*form, "Label2"),
                          Part<QLabel>(*form, "Label3"), Part<QLabel>(*form, "Defaults")})
    EXPECT_EQ(text(caption), QColor(Qt::white));
  for (QLabel* status : {Part<QLabel>(*form, "StatusLabel"), Part<QLabel>(*form, "MessageLabel"),
                         Part<QLabel>(*form, "SupportLabel")}) {
    EXPECT_EQ(text(status), QColor(Qt::white));
    EXPECT_TRUE(status->font().bold());
  }
  EXPECT_EQ(Part<QLabel>(*form, "StatusLabel")->text(), " ");
  // The sliders are drawn in the scheme: the groove is filled up to the knob.
  const auto filled = [&] {
    const QImage shot = Part<TTrackBar>(*form, "TrackBarBrightness")->Track()->grab().toImage();
    return shot.pixelColor(4, shot.height() / 2);
  };
  EXPECT_EQ(filled(), Part<TRectangle>(*form, "ColorBright")->Fill());
  EXPECT_TRUE(Part<QWidget>(*form, "BackButton")->styleSheet().contains("rgba(99, 96, 227, 255)"));
  EXPECT_EQ(Part<TListBox>(*form, "ComboBoxCamera")->property("StyleLookup").toString(),
            "transparentlistboxstyle");

  // Another colour on a swatch is the whole scheme's change.
  Part<TRectangle>(*form, "ColorBright")->SetFill(QColor(10, 200, 30));
  Part<TRectangle>(*form, "ColorDarkest")->SetFill(QColor(1, 2, 3));
  form->FormCreate(form.get());
  EXPECT_EQ(text(Part<QLabel>(*form, "powerfrequencylabel")), QColor(10, 200, 30));
  EXPECT_EQ(Part<TGlowEffect>(*form, "CameraIconGlow")->GlowColor(), QColor(10, 200, 30));
  EXPECT_EQ(form->palette().color(QPalette::Window), QColor(1, 2, 3));
  EXPECT_EQ(filled(), QColor(10, 200, 30));
}

// ---- Resize rule ---------------------------------------------------------------------------

struct Visible {
  bool leftColumnAndStatusBar, captions, valueColumns, autoBoxes, backButton;
};

Visible Shows(const TFormMain& form) {
  auto all = [&](auto part) {
    bool shown = !(RowsOf(form).front().*part)->isHidden();
    for (const TPropertyRow& row : RowsOf(form))
      EXPECT_EQ(!(row.*part)->isHidden(), shown) << "rows disagree";
    return shown;
  };
  EXPECT_EQ(Part<QWidget>(form, "LayoutListe")->isHidden(),
            Part<QWidget>(form, "MessagePanel")->isHidden());
  for (const TPropertyRow& row : RowsOf(form)) {
    EXPECT_FALSE(row.Icon->isHidden());
    EXPECT_FALSE(row.TrackBar->isHidden());
  }
  return {!Part<QWidget>(form, "LayoutListe")->isHidden(), all(&TPropertyRow::Label),
          all(&TPropertyRow::ValueColumn), all(&TPropertyRow::CheckBox),
          !Part<QPushButton>(form, "BackButton")->isHidden()};
}

TEST_F(MainWindow, EachWidthThresholdFoldsOneMorePart) {
  struct Case {
    int width;
    Visible visible;
  };
  const std::vector<Case> cases = {
      {734, {true, true, true, true, false}},    {650, {true, true, true, true, false}},
      {649, {true, false, true, true, false}},   {550, {true, false, true, true, false}},
      {549, {true, false, false, true, false}},  {450, {true, false, false, true, false}},
      {449, {true, false, false, false, false}}, {300, {true, false, false, false, false}},
      {299, {false, false, false, false, true}}, {120, {false, false, false, false, true}},
  };
  auto form = Start();
  form->show();
  for (const Case& c : cases) {
    ResizeOuter(*form, c.width, TFormMain::kWindowHeight);  // through the window's resize event
    const Visible v = Shows(*form);
    SCOPED_TRACE(c.width);
    EXPECT_EQ(v.leftColumnAndStatusBar, c.visible.leftColumnAndStatusBar);
    EXPECT_EQ(v.captions, c.visible.captions);
    EXPECT_EQ(v.valueColumns, c.visible.valueColumns);
    EXPECT_EQ(v.autoBoxes, c.visible.autoBoxes);
    EXPECT_EQ(v.backButton, c.visible.backButton);
  }
}

TEST_F(MainWindow, TheHeightStaysAt740WhateverTheUserDoes) {
  auto form = Start();
  form->show();
  ResizeOuter(*form, 700, 500);
  EXPECT_EQ(Outer(*form).height(), 740);
  EXPECT_EQ(Outer(*form).width(), 700);
  ResizeOuter(*form, 690, 1000);
  EXPECT_EQ(Outer(*form).height(), 740);
}

TEST_F(MainWindow, AStoredNarrowWidthStartsInNarrowModeAndBackToFullReturnsTo734) {
  WriteWidth(200);
  auto form = Start();
  EXPECT_TRUE(Part<QWidget>(*form, "MessagePanel")->isHidden());
  EXPECT_TRUE(Part<QWidget>(*form, "LayoutListe")->isHidden());
  EXPECT_FALSE(Part<QPushButton>(*form, "BackButton")->isHidden());
  EXPECT_EQ(Part<QPushButton>(*form, "BackButton")->text(), "Back to full");
  EXPECT_TRUE(Part<QPushButton>(*form, "BackButton")->font().bold());

  Settle(*form);
  EXPECT_EQ(Part<QPushButton>(*form, "BackButton")->geometry(),
            QRect(20, Part<QWidget>(*form, "LayoutMid")->height() - 5 - 23,
                  Part<QWidget>(*form, "LayoutMid")->width() - 40, 23));
  QTest::mouseClick(Part<QPushButton>(*form, "BackButton"), Qt::LeftButton);
  EXPECT_EQ(Outer(*form).width(), 734);
  EXPECT_EQ(Outer(*form).height(), 740);
  const Visible v = Shows(*form);
  EXPECT_TRUE(v.leftColumnAndStatusBar && v.captions && v.valueColumns && v.autoBoxes);
  EXPECT_FALSE(v.backButton);
  EXPECT_TRUE(errors.isEmpty());
}

TEST_F(MainWindow, HoweverNarrowTheWindowBackToFullStaysWhole) {
  WriteWidth(200);
  auto form = Start();
  Settle(*form);
  ResizeOuter(*form, 20, 740);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
  ASSERT_FALSE(Part<QPushButton>(*form, "BackButton")->isHidden());
  EXPECT_GE(Part<QPushButton>(*form, "BackButton")->width(),
            Part<QPushButton>(*form, "BackButton")->sizeHint().width());
  EXPECT_TRUE(form->rect().contains(Within(Part<QPushButton>(*form, "BackButton"), form.get())));
  QTest::mouseClick(Part<QPushButton>(*form, "BackButton"), Qt::LeftButton);
  EXPECT_EQ(Outer(*form).width(), 734);
}

TEST_F(MainWindow, InTraceModeEveryResizeLogsTheWidth) {
  auto form = Start({"varnholt", "trace"});
  form->show();
  Part<QPlainTextEdit>(*form, "Memo1")->clear();
  ResizeOuter(*form, 600, 740);
  ResizeOuter(*form, 280, 740);
  form->BackButtonClick(Part<QPushButton>(*form, "BackButton"));
  const QStringList lines = Part<QPlainTextEdit>(*form, "Memo1")->toPlainText().split('\n');
  EXPECT_TRUE(lines.contains("600"));
  EXPECT_TRUE(lines.contains("280"));
  EXPECT_TRUE(lines.contains("734"));
  EXPECT_LT(lines.indexOf("600"), lines.indexOf("280"));

  auto quiet = Start();
  quiet->show();
  ResizeOuter(*quiet, 600, 740);
  EXPECT_TRUE(Part<QPlainTextEdit>(*quiet, "Memo1")->toPlainText().isEmpty());
}

}  // namespace
}  // namespace varnholt::test
