// The camera, format and power-frequency lists over virtual cameras.

#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QLabel>
#include <QTest>

#include "controls/ButtonImage.h"
#include "controls/Effects.h"
#include "controls/Image.h"
#include "tests/app/CameraWindowFixture.h"

namespace varnholt::test {
namespace {

using Selection = CameraWindow;

QList<QWidget*> FileButtons(const TFormMain& form) {
  return {Part<TButtonImage>(form, "ButtonRead"), Part<TButtonImage>(form, "ButtonWrite"),
          Part<TButtonImage>(form, "ButtonDefaultValues"),
          Part<TButtonImage>(form, "ButtonWindows")};
}

QStringList Texts(const QListWidget& list) {
  QStringList texts;
  for (int i = 0; i < list.count(); ++i)
    texts.append(list.item(i)->text());
  return texts;
}

const QByteArray kBrightness = R"({"Brightness": {"min": 0, "max": 255, "value": 140}})";

TEST_F(Selection, WithoutAnyCameraTheListsStayEmptyAndTheButtonsOff) {
  TFormMain& form = StartWith("[]");
  EXPECT_EQ(Part<TListBox>(form, "ComboBoxCamera")->count(), 0);
  EXPECT_EQ(Part<TListBox>(form, "ComboBoxCamera")->height(), 2);
  EXPECT_EQ(CameraOf(form)->DeviceName(), "");
  EXPECT_FALSE(Part<TListBox>(form, "ComboBoxFormat")->isEnabled());
  EXPECT_EQ(Part<TListBox>(form, "ComboBoxFormat")->count(), 0);
  for (QWidget* button : FileButtons(form))
    EXPECT_FALSE(button->isEnabled()) << button->objectName().toStdString();
  EXPECT_EQ(form.CameraStatus(), 0);
  EXPECT_TRUE(Part<QWidget>(form, "LayoutFrequency")->isHidden());
  for (const TPropertyRow& row : RowsOf(form)) {
    EXPECT_EQ(row.ValueLabel->text(), " ");
    EXPECT_TRUE(row.Monochrome->isEnabled());
  }
  EXPECT_EQ(Part<QLabel>(form, "SupportLabel")->text(), "No camera connected");
  EXPECT_TRUE(errors.isEmpty());
}

TEST_F(Selection, TheCameraListGrowsUpToFiveEntriesAndStartsOnTheFirst) {
  QByteArray six = "[";
  for (int i = 1; i <= 6; ++i)
    six += (i > 1 ? "," : "") + Camera("Cam " + QByteArray::number(i), kBrightness);
  TFormMain& form = StartWith(six + "]");
  EXPECT_EQ(Part<TListBox>(form, "ComboBoxCamera")->height(), 222);
  EXPECT_EQ(Texts(*Part<TListBox>(form, "ComboBoxCamera")),
            QStringList({"Cam 1", "Cam 2", "Cam 3", "Cam 4", "Cam 5", "Cam 6"}));
  const QListWidgetItem* entry = Part<TListBox>(form, "ComboBoxCamera")->item(5);
  EXPECT_EQ(entry->font().pixelSize(), 18);
  EXPECT_EQ(entry->sizeHint().height(), 44);
  EXPECT_EQ(entry->foreground().color(), QColor(Qt::white));
  EXPECT_EQ(entry->icon().pixmap(32, 32).toImage(),
            Part<TImage>(form, "Webcam")->Bitmap().toImage());
  EXPECT_EQ(Part<TListBox>(form, "ComboBoxCamera")->ItemIndex(), 0);
  EXPECT_EQ(CameraOf(form)->DeviceName(), "Cam 1");
  EXPECT_EQ(Row("Brightness").ValueLabel->text(), "140");
  EXPECT_TRUE(errors.isEmpty());
}

TEST_F(Selection, ASoleCameraIsSelectedAtStartAndShowsItsRows) {
  TFormMain& form = StartWith("[" + Camera("Only", kBrightness) + "]");
  EXPECT_EQ(Part<TListBox>(form, "ComboBoxCamera")->height(), 46);
  EXPECT_EQ(Part<TListBox>(form, "ComboBoxCamera")->ItemIndex(), 0);
  EXPECT_EQ(form.CameraStatus(), 2);
  for (QWidget* button : FileButtons(form))
    EXPECT_TRUE(button->isEnabled());
  EXPECT_EQ(Part<QLabel>(form, "SupportLabel")->text(), "Camera configurable");
  EXPECT_FALSE(Part<TMonochromeEffect>(form, "MonochromeEffect")->isEnabled());
}

TEST_F(Selection, ARefreshKeepsTheCameraByItsFirstNameMatchElseTakesTheFirst) {
  TFormMain& form =
      StartWith("[" + Camera("Alpha", kBrightness) + "," + Camera("Beta") + "," +
                R"({"friendlyName": "BETA", "devicePath": "beta-2"},)" + Camera("Gamma") + "]");
  SelectCamera(2);
  EXPECT_EQ(CameraOf(form)->DeviceName(), "BETA");
  emit Part<TImage>(form, "Varnholtlogo")->Click();  // the logo refreshes the list
  EXPECT_EQ(Part<TListBox>(form, "ComboBoxCamera")->ItemIndex(), 1);
  EXPECT_EQ(CameraOf(form)->DeviceName(), "Beta");

  SelectCamera(3);
  ASSERT_EQ(platform->SetConnected("gamma", false), 0);
  form.RefreshDevices();
  EXPECT_EQ(Texts(*Part<TListBox>(form, "ComboBoxCamera")), QStringList({"Alpha", "Beta", "BETA"}));
  EXPECT_EQ(Part<TListBox>(form, "ComboBoxCamera")->ItemIndex(), 0);
  EXPECT_EQ(CameraOf(form)->DeviceName(), "Alpha");
  EXPECT_EQ(Row("Brightness").ValueLabel->text(), "140");
  EXPECT_TRUE(errors.isEmpty());
}

TEST_F(Selection, TheFormatListIsAsTallAsItsEntriesUpToACap) {
  const std::vector<std::pair<QList<int>, int>> cases = {
      {{480}, 35},
      {{480, 480}, 65},
      {{480, 480, 480, 480}, 125},
      {{480, 480, 480, 480, 480}, 154},
      {{480, 480, 480, 480, 480, 480, 480}, 154}};
  QByteArray cameras = "[";
  for (const auto& [heights, expected] : cases)
    cameras += (cameras.size() > 1 ? "," : "") +
               Camera("Cam " + QByteArray::number(heights.size()), "{}", Formats(heights));
  TFormMain& form = StartWith(cameras + "]");
  for (int i = 0; i < int(cases.size()); ++i) {
    SelectCamera(i);
    EXPECT_EQ(Part<TListBox>(form, "ComboBoxFormat")->count(), cases[i].first.size());
    EXPECT_EQ(Part<TListBox>(form, "ComboBoxFormat")->height(), cases[i].second) << i;
    EXPECT_EQ(form.CameraStatus(), 1);  // formats, no property
  }
}

TEST_F(Selection, FormatEntriesNameSizeRateAndDepthWithAPictureByHeight) {
  const QByteArray formats = R"([
      {"width": 640, "height": 480, "compression": "YUY2", "frameTime": 333333},
      {"width": 640, "height": 480, "compression": "UYVY", "frameTime": 333333},
      {"width": 800, "height": 600, "compression": "MJPG", "frameTime": 333334},
      {"width": 320, "height": 479, "compression": "YUY2"},
      {"width": 320, "height": 500, "compression": "YUY2"},
      {"width": 320, "height": 501, "compression": "YUY2"},
      {"width": 320, "height": 719, "compression": "YUY2"},
      {"width": 1280, "height": 720, "compression": "YUY2"},
      {"width": 1280, "height": 721, "compression": "YUY2"}])";
  TFormMain& form = StartWith("[" + Camera("Lab", "{}", formats) + "]");
  EXPECT_EQ(Texts(*Part<TListBox>(form, "ComboBoxFormat")),
            QStringList({"640x480 30Hz 16bpp", "640x480 30Hz 16bpp", "800x600 29Hz 24bpp",
                         "320x479 30Hz 16bpp", "320x500 30Hz 16bpp", "320x501 30Hz 16bpp",
                         "320x719 30Hz 16bpp", "1280x720 30Hz 16bpp", "1280x721 30Hz 16bpp"}));
  const QList<TImage*> pictures = {
      Part<TImage>(form, "res_vga"), Part<TImage>(form, "res_vga"), Part<TImage>(form, "res_pal"),
      Part<TImage>(form, "res_ega"), Part<TImage>(form, "res_vga"), Part<TImage>(form, "res_pal"),
      Part<TImage>(form, "res_pal"), Part<TImage>(form, "res_720"), Part<TImage>(form, "res_1080")};
  for (int i = 0; i < pictures.size(); ++i) {
    const QListWidgetItem* entry = Part<TListBox>(form, "ComboBoxFormat")->item(i);
    EXPECT_EQ(entry->icon().pixmap(36, 20).toImage(), pictures[i]->Bitmap().toImage())
        << entry->text().toStdString() << " wants " << pictures[i]->objectName().toStdString();
    EXPECT_EQ(entry->font().pixelSize(), 14);
    EXPECT_EQ(entry->sizeHint().height(), 30);
  }
  EXPECT_EQ(Part<TListBox>(form, "ComboBoxFormat")->ItemIndex(), 0);
  EXPECT_EQ(form.ResolutionText(), "640x480 30Hz 16bpp");
}

TEST_F(Selection, TheFormatSelectionIsRestoredFromTheRememberedIndex) {
  TFormMain& form = StartWith("[" + Camera("Four", "{}", Formats({480, 600, 720, 1080})) + "," +
                              Camera("Two", "{}", Formats({480, 720})) + "]");
  form.SetLastResolutionIndex(3);
  SelectCamera(0);  // already selected: no change
  form.ComboBoxCameraChange(Part<TListBox>(form, "ComboBoxCamera"));
  EXPECT_EQ(Part<TListBox>(form, "ComboBoxFormat")->ItemIndex(), 3);
  EXPECT_EQ(form.ResolutionText(), "640x1080 30Hz 16bpp");
  SelectCamera(1);  // index 3 is past the end: the first entry
  EXPECT_EQ(Part<TListBox>(form, "ComboBoxFormat")->ItemIndex(), 0);
  EXPECT_EQ(form.ResolutionText(), "640x480 30Hz 16bpp");
  EXPECT_EQ(Part<QLabel>(form, "cameratestlabel")->text(),
            "Click camera icon to test Two\r\n with resolution: 640x480 30Hz 16bpp");
  form.SetLastResolutionIndex(-1);  // no selection at all
  SelectCamera(0);
  EXPECT_EQ(Part<TListBox>(form, "ComboBoxFormat")->ItemIndex(), -1);
  EXPECT_EQ(form.ResolutionText(), "640x480 30Hz 16bpp");  // kept from before
}

TEST_F(Selection, ACameraWithPropertiesButNoFormatsIsConfigurableButNotTestable) {
  TFormMain& form = StartWith("[" + Camera("Lab", kBrightness) + "," +
                              Camera("Document", kBrightness, "[]") + "]");
  SelectCamera(1);
  EXPECT_EQ(form.CameraStatus(), 2);
  EXPECT_EQ(Row("Brightness").ValueLabel->text(), "140");
  for (QWidget* button : FileButtons(form))
    EXPECT_TRUE(button->isEnabled()) << button->objectName().toStdString();
  EXPECT_FALSE(Part<TImage>(form, "ButtonTestCam")->isEnabled());
  EXPECT_TRUE(Part<QWidget>(form, "LayoutButtonTestCam")->isHidden());
  EXPECT_TRUE(Part<TListBox>(form, "ComboBoxFormat")->isHidden());
  EXPECT_EQ(Part<QLabel>(form, "SupportLabel")->text(), "Camera configurable");
  EXPECT_EQ(Part<QLabel>(form, "StatusLabel")->text(), " ");
}

TEST_F(Selection, ACameraWithFormatsAndNoSupportedPropertyGreysTheRows) {
  const QByteArray none = R"({"Brightness": {"unsupported": true}})";
  TFormMain& form = StartWith("[" + Camera("Lab", kBrightness) + "," + Camera("Card", none) + "]");
  SelectCamera(1);
  EXPECT_EQ(form.CameraStatus(), 1);
  for (const TPropertyRow& row : RowsOf(form)) {
    EXPECT_FALSE(row.Label->isEnabled());
    EXPECT_EQ(row.ValueLabel->text(), " ");
  }
  for (QWidget* button : FileButtons(form))
    EXPECT_FALSE(button->isEnabled());
  form.VarnholtlogoClick(&form);  // the list rebuilt: still nothing to set
  for (QWidget* button : FileButtons(form))
    EXPECT_FALSE(button->isEnabled()) << button->objectName().toStdString();
  EXPECT_TRUE(Part<TImage>(form, "ButtonTestCam")->isEnabled());
  EXPECT_TRUE(Part<TMonochromeEffect>(form, "MonochromeEffect")->isEnabled());
  EXPECT_EQ(Part<QLabel>(form, "SupportLabel")->text(), "Camera not configurable");
  EXPECT_EQ(Part<QLabel>(form, "cameratestlabel")->text(),
            "Click camera icon to test Card\r\n with resolution: 640x480 30Hz 16bpp");
  EXPECT_FALSE(Part<QWidget>(form, "LayoutButtonTestCam")->isHidden());
  EXPECT_FALSE(Part<TListBox>(form, "ComboBoxFormat")->isHidden());
}

TEST_F(Selection, TheCameraTestCaptionShrinksToShowALongNameWhole) {
  const QByteArray endless(300, 'W');
  TFormMain& form = StartWith("[" + Camera("Lab") + "," + Camera("Pro Stream Webcam HD 1080p") +
                              "," + Camera(endless) + "]");
  form.show();  // the layout gives the caption its box
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  auto* caption = Part<QLabel>(form, "cameratestlabel");
  const auto fits = [&] {
    const QRect box = caption->contentsRect();
    EXPECT_EQ(box.size(), QSize(260, 60));
    const QRect needed =
        QFontMetrics(caption->font())
            .boundingRect(box, int(caption->alignment()) | Qt::TextWordWrap, caption->text());
    return needed.height() <= box.height() && needed.width() <= box.width();
  };
  EXPECT_TRUE(fits());
  EXPECT_EQ(caption->font().pixelSize(), 14);
  SelectCamera(1);
  EXPECT_TRUE(caption->text().contains("Pro Stream Webcam HD 1080p"));
  EXPECT_TRUE(fits()) << caption->font().pixelSize();
  SelectCamera(2);  // no size fits: the smallest, cut as a label cuts
  EXPECT_EQ(caption->font().pixelSize(), 10);
  SelectCamera(0);  // a short name is shown at the designed size again
  EXPECT_EQ(caption->font().pixelSize(), 14);
  EXPECT_TRUE(fits());
}

TEST_F(Selection, ADoubleClickStartsTheCameraTestOnlyWhileItsWindowIsHidden) {
  TFormMain& form = StartWith("[" + Camera("Lab") + "]");
  TLivecamForm test;
  LivecamForm = &test;
  emit Part<TListBox>(form, "ComboBoxFormat")->DblClick();
  EXPECT_TRUE(test.isVisible());
  EXPECT_TRUE(CameraOf(form)->Active());

  CameraOf(form)->SetActive(false);
  emit Part<TListBox>(form, "ComboBoxFormat")->DblClick();
  EXPECT_FALSE(CameraOf(form)->Active());  // the window shows: nothing started
  EXPECT_TRUE(errors.isEmpty());
  // A new format hides the test window.
  Part<TListBox>(form, "ComboBoxFormat")->SetItemIndex(-1);
  Part<TListBox>(form, "ComboBoxFormat")->SetItemIndex(0);
  EXPECT_TRUE(test.isHidden());
  LivecamForm = nullptr;
}

TEST_F(Selection, WhenTheLastCameraGoesTheStatusSaysSoAndTheRowsAreBlank) {
  TFormMain& form = StartWith("[" + Camera("Lab", kBrightness) + "]");
  ASSERT_EQ(form.CameraStatus(), 2);
  ASSERT_EQ(platform->SetConnected("lab", false), 0);
  form.RefreshDevices();
  EXPECT_EQ(Part<TListBox>(form, "ComboBoxCamera")->count(), 0);
  EXPECT_EQ(CameraOf(form)->DeviceName(), "");
  EXPECT_EQ(form.CameraStatus(), 0);
  EXPECT_EQ(Part<QLabel>(form, "SupportLabel")->text(), "No camera connected");
  EXPECT_EQ(Part<QLabel>(form, "MessageLabel")->text(), "Lab was disconnected");
  for (const char* key : {"Brightness", "Zoom"}) {
    EXPECT_EQ(Row(key).ValueLabel->text(), " ") << key;
    EXPECT_FALSE(Row(key).ValueLabel->isEnabled()) << key;
  }
  for (QWidget* button : FileButtons(form))
    EXPECT_FALSE(button->isEnabled());
  EXPECT_FALSE(Part<TImage>(form, "ButtonTestCam")->isEnabled());
  EXPECT_TRUE(errors.isEmpty());
}

TEST_F(Selection, TheUsersClicksSelectACameraAndRefreshTheList) {
  TFormMain& form = StartWith("[" + Camera("Lab", kBrightness) + "," +
                              Camera("Desk", R"({"Brightness": {"min": 0, "max": 255,
                                                 "value": 33}})") +
                              "]");
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  QListWidget& list = *Part<TListBox>(form, "ComboBoxCamera");
  QTest::mouseClick(list.viewport(), Qt::LeftButton, {},
                    list.visualItemRect(list.item(1)).center());
  EXPECT_EQ(CameraOf(form)->DeviceName(), "Desk");
  EXPECT_EQ(Row("Brightness").ValueLabel->text(), "33");

  ASSERT_EQ(platform->SetConnected("desk", false), 0);
  QTest::mouseClick(Part<TImage>(form, "Varnholtlogo"), Qt::LeftButton, {}, QPoint(10, 10));
  EXPECT_EQ(Part<TListBox>(form, "ComboBoxCamera")->count(), 1);
  EXPECT_EQ(CameraOf(form)->DeviceName(), "Lab");
  EXPECT_EQ(Row("Brightness").ValueLabel->text(), "140");
  EXPECT_TRUE(errors.isEmpty());
}

// ---- Power-line frequency --------------------------------------------------------------

QByteArray PowerLine(int value, const QByteArray& more = "") {
  return R"({"Brightness": {"min": 0, "max": 255}, "PowerLineFrequency": {"min": 0, "max": 3,
             "value": )" +
         QByteArray::number(value) + more + "}}";
}

TEST_F(Selection, ThePowerFrequencyListShowsAndWritesTheCamerasSetting) {
  TFormMain& form = StartWith("[" + Camera("Lab", PowerLine(1)) + "]");
  EXPECT_EQ(Texts(*Part<TListBox>(form, "ComboBoxFrequency")),
            QStringList({"PAL - 50Hz", "NTSC - 60Hz"}));
  EXPECT_EQ(Part<TListBox>(form, "ComboBoxFrequency")->item(1)->sizeHint().height(), 20);
  EXPECT_EQ(Part<TListBox>(form, "ComboBoxFrequency")->item(1)->font().pixelSize(), 14);
  EXPECT_FALSE(Part<QWidget>(form, "LayoutFrequency")->isHidden());
  EXPECT_EQ(Part<TListBox>(form, "ComboBoxFrequency")->ItemIndex(), 0);

  Part<TListBox>(form, "ComboBoxFrequency")->SetItemIndex(1);
  emit Part<TListBox>(form, "ComboBoxFrequency")->Click();
  EXPECT_EQ(CameraOf(form)->PowerLineFrequency(), pf60Hz);

  // Another program goes back to 50 Hz; a click on the selected entry
  // writes 60 Hz again.
  CameraOf(form)->SetPowerLineFrequency(pf50Hz);
  emit Part<TListBox>(form, "ComboBoxFrequency")->Click();
  EXPECT_EQ(CameraOf(form)->PowerLineFrequency(), pf60Hz);
  EXPECT_EQ(Part<TListBox>(form, "ComboBoxFrequency")->ItemIndex(), 1);
  EXPECT_TRUE(errors.isEmpty());
}

TEST_F(Selection, ThePowerFrequencyListShowsTheCamerasValueOrNoEntryForAnyOther) {
  TFormMain& form =
      StartWith("[" + Camera("Off", PowerLine(0)) + "," + Camera("Pal", PowerLine(1)) + "," +
                Camera("Auto", PowerLine(3)) + "]");
  EXPECT_FALSE(Part<QWidget>(form, "LayoutFrequency")->isHidden());
  EXPECT_EQ(Part<TListBox>(form, "ComboBoxFrequency")->ItemIndex(), -1);  // none at start
  SelectCamera(1);
  EXPECT_EQ(Part<TListBox>(form, "ComboBoxFrequency")->ItemIndex(), 0);
  // Another program sets 60 Hz: the next re-read of the camera shows it.
  CameraOf(form)->SetPowerLineFrequency(pf60Hz);
  form.ComboBoxCameraChange(&form);
  EXPECT_EQ(Part<TListBox>(form, "ComboBoxFrequency")->ItemIndex(), 1);
  SelectCamera(2);
  EXPECT_EQ(Part<TListBox>(form, "ComboBoxFrequency")->ItemIndex(), -1);
  SelectCamera(0);
  EXPECT_EQ(Part<TListBox>(form, "ComboBoxFrequency")->ItemIndex(), -1);
  EXPECT_EQ(CameraOf(form)->PowerLineFrequency(), pfDisabled);  // nothing written
}

TEST_F(Selection, WithoutPowerFrequencySupportClicksAreIgnored) {
  TFormMain& form = StartWith(
      "[" + Camera("Lab", R"({"Brightness": {"min": 0, "max": 9}, "13": {"unsupported": true}})") +
      "]");
  EXPECT_TRUE(Part<QWidget>(form, "LayoutFrequency")->isHidden());
  Part<TListBox>(form, "ComboBoxFrequency")->SetItemIndex(1);
  emit Part<TListBox>(form, "ComboBoxFrequency")->Click();
  EXPECT_TRUE(errors.isEmpty());  // a write would have failed
  EXPECT_EQ(Written(), "");
}

TEST_F(Selection, AFailingPowerFrequencyWriteReachesTheErrorHandler) {
  TFormMain& form =
      StartWith("[" + Camera("Lab", PowerLine(1, R"(, "fail": {"set": {"code": "0x80070005",
                                           "text": "Locked."}})")) +
                "]");
  Part<TListBox>(form, "ComboBoxFrequency")->SetItemIndex(1);
  emit Part<TListBox>(form, "ComboBoxFrequency")->Click();
  ASSERT_EQ(errors.size(), 1);
  EXPECT_TRUE(errors[0].contains("Locked")) << errors[0].toStdString();
}

// ---- Trace ------------------------------------------------------------------------------

TEST_F(Selection, ASelectionInTraceModeWritesItsLinesInOrder) {
  TFormMain& form = StartWith("[" + Camera("Lab", kBrightness) + "," +
                                  Camera("Cam B", kBrightness, Formats({480, 720})) + "]",
                              {"varnholt", "trace"});
  Part<QPlainTextEdit>(form, "Memo1")->clear();
  SelectCamera(1);
  const QString width = QString::number(form.frameGeometry().width());
  const QStringList support = {"SetSupportStatus entered",   "ComboBoxFormat.ItemIndex=-1",
                               "SetSupportStatus passed 02", "SetSupportStatus passed 03",
                               "SetSupportStatus passed 04", "SetSupportStatus passed 05",
                               "SetSupportStatus passed 06"};
  QStringList selected = support;
  selected[1] = "ComboBoxFormat.ItemIndex=0";
  const QStringList expected =
      QStringList{"ComboBoxCameraChange started", width, "   ", "Starting SetFormats", "60"} +
      support +
      QStringList{"Starting SetTrackBars",
                  "SetTrackBars entered",
                  "Blanks done",
                  "Starting  InitTrackBar BLOCK",
                  "InitTrackBar BLOCK ended OK",
                  "InitTrackBar group OK",
                  "Starting  SetTrackBar BLOCK",
                  "FCamera.DeviceName is not BLANK",
                  "Cam B",
                  "SetTrackBar started",
                  "140",
                  "SetTrackBar ended",
                  "Calling SetSupportStatus"} +
      support + QStringList{"ComboBoxFormatChange", "Hide 4"} + selected +
      QStringList{"Doing the \"if not(ComboBoxFormat.Items.c\"", "Starting FormResize", width,
                  "ComboBoxCameraChange done"};
  EXPECT_EQ(TraceLines(), expected);
}

TEST_F(Selection, ACameraWithoutFormatsTracesTheEmptyListBranch) {
  TFormMain& form = StartWith("[" + Camera("Lab") + "," + Camera("Empty", "{}", "[]") + "]",
                              {"varnholt", "trace"});
  Part<QPlainTextEdit>(form, "Memo1")->clear();
  SelectCamera(1);
  const QStringList lines = TraceLines();
  const qsizetype doing = lines.indexOf("Doing the \"if not(ComboBoxFormat.Items.c\"");
  ASSERT_GE(doing, 0);
  EXPECT_EQ(lines.mid(doing + 1, 2), QStringList({"in it", "Starting FormResize"}));
  EXPECT_FALSE(lines.contains("ComboBoxFormatChange"));
}

TEST_F(Selection, ACameraThatFailsWhileItsRowsLoadAtStartIsReportedOnce) {
  // The first entry is selected by the refill itself; the load's error must
  // come out of the refill (and so out of the start) once, not be reported
  // by the list's handler and then again by the refill going on.
  StartWith(R"([{"friendlyName": "Flaky", "devicePath": "virtual:/flaky",
      "videoProcAmp": {"Brightness": {"min": 0, "max": 10, "fail": {"get": "0x80004005"}}},
      "formats": [{"width": 320, "height": 240, "compression": "YUY2", "bitsPerPixel": 16}]}])");
  // Told once the windows are made; a second report would be queued by then.
  ASSERT_TRUE(WaitUntil([&] { return !errors.isEmpty(); }));
  QCoreApplication::processEvents();
  EXPECT_EQ(errors, QStringList{"The camera Flaky could not be read: Unspecified error"});
}

}  // namespace
}  // namespace varnholt::test
