// The property rows loaded from virtual cameras, and the edits that the
// sliders and "Auto" boxes carry back to the camera.

#include <gtest/gtest.h>

#include "controls/Effects.h"
#include "tests/app/CameraWindowFixture.h"

namespace varnholt::test {
namespace {

using Rows = CameraWindow;

const QColor kGrey = QColor::fromRgba(0xFF808080);
const QColor kBlack = QColor::fromRgba(0xFF000000);

QColor TextColor(const QWidget* widget) {
  return widget->palette().color(QPalette::Active, QPalette::WindowText);
}

// A property of either family: range, step, value and flags.
QByteArray Property(int min, int max, int value, const QByteArray& more = "") {
  return R"({"min": )" + QByteArray::number(min) + R"(, "max": )" + QByteArray::number(max) +
         R"(, "value": )" + QByteArray::number(value) + more + "}";
}

const QByteArray kAutoCaps = R"(, "caps": ["auto", "manual"])";

TEST_F(Rows, SupportedPropertiesMakeTheirRowsLiveAndTheOthersStayBlank) {
  TFormMain& form = StartWith(
      "[" +
      Camera("Lab", R"({"Brightness": )" + Property(0, 255, 140) + "}", Formats({480}),
             R"({"Exposure": )" + Property(-11, -2, -6, R"(, "flags": "auto")" + kAutoCaps) + "}") +
      "]");
  const TPropertyRow& brightness = Row("Brightness");
  EXPECT_TRUE(brightness.Label->isEnabled());
  EXPECT_EQ(brightness.Label->font().pixelSize(), 16);
  EXPECT_EQ(TextColor(brightness.Label), kBlack);
  EXPECT_TRUE(brightness.ValueLabel->isEnabled());
  EXPECT_EQ(brightness.ValueLabel->font().pixelSize(), 16);
  EXPECT_EQ(TextColor(brightness.ValueLabel), kBlack);
  EXPECT_EQ(brightness.ValueLabel->text(), "140");
  EXPECT_EQ(brightness.TrackBar->Min(), 0);
  EXPECT_EQ(brightness.TrackBar->Max(), 255);
  EXPECT_EQ(brightness.TrackBar->Frequency(), 1);
  EXPECT_EQ(brightness.TrackBar->Value(), 140);
  EXPECT_TRUE(brightness.TrackBar->isEnabled());
  EXPECT_FALSE(brightness.CheckBox->isEnabled());  // manual only
  EXPECT_FALSE(brightness.CheckBox->isChecked());
  EXPECT_EQ(TextColor(brightness.CheckBox), kBlack);
  EXPECT_FALSE(brightness.Monochrome->isEnabled());

  const TPropertyRow& exposure = Row("Exposure");
  EXPECT_EQ(exposure.ValueLabel->text(), "-6");
  EXPECT_FALSE(exposure.TrackBar->isEnabled());  // automatic
  EXPECT_TRUE(exposure.CheckBox->isEnabled());
  EXPECT_TRUE(exposure.CheckBox->isChecked());

  const TPropertyRow& zoom = Row("Zoom");
  EXPECT_FALSE(zoom.Label->isEnabled());
  EXPECT_EQ(zoom.Label->font().pixelSize(), 16);
  EXPECT_EQ(TextColor(zoom.Label), kGrey);
  EXPECT_FALSE(zoom.ValueLabel->isEnabled());
  EXPECT_EQ(zoom.ValueLabel->text(), " ");
  EXPECT_EQ(TextColor(zoom.ValueLabel), kGrey);
  EXPECT_FALSE(zoom.TrackBar->isEnabled());
  EXPECT_EQ(zoom.TrackBar->Value(), 0);
  EXPECT_FALSE(zoom.CheckBox->isEnabled());
  EXPECT_EQ(TextColor(zoom.CheckBox), kGrey);
  EXPECT_EQ(zoom.CheckBox->font().pixelSize(), 16);
  EXPECT_TRUE(zoom.Monochrome->isEnabled());
  EXPECT_EQ(form.CameraStatus(), 2);
  EXPECT_EQ(Written(), "");  // loading writes nothing
}

TEST_F(Rows, ARowTheNextCameraLacksTurnsBlankWithoutItsTick) {
  const QByteArray exposure =
      R"({"Exposure": )" + Property(-11, -2, -6, R"(, "flags": "auto")" + kAutoCaps) + "}";
  TFormMain& form = StartWith("[" + Camera("Lab", "{}", Formats({480}), exposure) + "," +
                              Camera("Other", R"({"Gain": )" + Property(0, 10, 3) + "}") + "]");
  ASSERT_TRUE(Row("Exposure").CheckBox->isChecked());
  SelectCamera(1);
  const TPropertyRow& row = Row("Exposure");
  EXPECT_FALSE(row.CheckBox->isEnabled());
  EXPECT_FALSE(row.CheckBox->isChecked());
  EXPECT_EQ(TextColor(row.CheckBox), kGrey);
  EXPECT_EQ(row.ValueLabel->text(), " ");
  EXPECT_TRUE(row.Monochrome->isEnabled());
  EXPECT_EQ(Row("Gain").ValueLabel->text(), "3");
  EXPECT_EQ(form.CameraStatus(), 2);
}

TEST_F(Rows, TheAutoBoxIsLiveOnlyWhenBothModesArePossible) {
  StartWith("[" +
            Camera("Lab", R"({"Brightness": )" +
                              Property(0, 10, 5, R"(, "flags": "auto", "caps": ["auto"])") +
                              R"(, "Contrast": )" + Property(0, 10, 5, R"(, "caps": ["manual"])") +
                              R"(, "Hue": )" + Property(0, 10, 5, kAutoCaps) + "}") +
            "]");
  EXPECT_FALSE(Row("Brightness").CheckBox->isEnabled());
  EXPECT_TRUE(Row("Brightness").CheckBox->isChecked());
  EXPECT_FALSE(Row("Brightness").TrackBar->isEnabled());
  EXPECT_FALSE(Row("Contrast").CheckBox->isEnabled());
  EXPECT_FALSE(Row("Contrast").CheckBox->isChecked());
  EXPECT_TRUE(Row("Contrast").TrackBar->isEnabled());
  EXPECT_TRUE(Row("Hue").CheckBox->isEnabled());
  EXPECT_TRUE(Row("Hue").TrackBar->isEnabled());
}

TEST_F(Rows, OddRangesArriveAsTheSliderNormalisesThem) {
  TFormMain& form =
      StartWith("[" +
                Camera("Lab", R"({"Brightness": )" + Property(0, 100, 300) +      // above the range
                                  R"(, "Contrast": )" + Property(-50, 50, -80) +  // below it
                                  R"(, "Hue": )" + Property(7, 7, 3) +     // a single position
                                  R"(, "Gamma": )" + Property(10, 5, 8) +  // Min above Max
                                  R"(, "Gain": )" + Property(0, 100, 37, R"(, "step": 10)") + "}") +
                "]");
  EXPECT_EQ(Row("Brightness").ValueLabel->text(), "100");
  EXPECT_EQ(Row("Contrast").ValueLabel->text(), "-50");
  EXPECT_EQ(Row("Hue").ValueLabel->text(), "7");
  EXPECT_EQ(Row("Gamma").TrackBar->Min(), 10);
  EXPECT_EQ(Row("Gamma").TrackBar->Max(), 10);
  EXPECT_EQ(Row("Gamma").ValueLabel->text(), "10");
  EXPECT_EQ(Row("Gain").ValueLabel->text(), "40");  // the slider's nearest step
  // The camera keeps what it reported: nothing was written back.
  EXPECT_EQ(CameraOf(form)->Brightness(), 300);
  EXPECT_EQ(CameraOf(form)->Contrast(), -80);
  EXPECT_EQ(CameraOf(form)->Gain(), 37);
  EXPECT_EQ(Written(), "");
}

TEST_F(Rows, ARangeFromTheLastCameraNeverClipsTheNextOne) {
  TFormMain& form =
      StartWith("[" + Camera("Low", R"({"Brightness": )" + Property(-100, -50, -60) + "}") + "," +
                Camera("High", R"({"Brightness": )" + Property(500, 900, 800) + "}") + "]");
  SelectCamera(1);
  EXPECT_EQ(Row("Brightness").TrackBar->Min(), 500);
  EXPECT_EQ(Row("Brightness").TrackBar->Max(), 900);
  EXPECT_EQ(Row("Brightness").ValueLabel->text(), "800");
  SelectCamera(0);
  EXPECT_EQ(Row("Brightness").TrackBar->Min(), -100);
  EXPECT_EQ(Row("Brightness").ValueLabel->text(), "-60");
  EXPECT_EQ(CameraOf(form)->Brightness(), -60);
  EXPECT_EQ(Written(), "");
}

TEST_F(Rows, AFailingReadEndsTheLoadAndReachesTheErrorHandler) {
  TFormMain& form = StartWith(
      "[" + Camera("Good", "{}", Formats({480}), R"({"Zoom": )" + Property(0, 10, 1) + "}") + "," +
      Camera("Bad", R"({"Brightness": )" + Property(0, 10, 4) + R"(, "Contrast": )" +
                        Property(0, 10, 5, R"(, "fail": {"range": {"code": "0x80070015",
                                             "text": "Not ready."}})") +
                        R"(, "Hue": )" + Property(0, 10, 6) + "}") +
      "]");
  SelectCamera(1);
  ASSERT_EQ(errors.size(), 1);
  EXPECT_TRUE(errors[0].contains("Not ready")) << errors[0].toStdString();
  EXPECT_EQ(Row("Brightness").ValueLabel->text(), "4");
  EXPECT_EQ(Row("Contrast").ValueLabel->text(), " ");
  EXPECT_EQ(Row("Hue").ValueLabel->text(), " ");
  EXPECT_EQ(Row("Zoom").ValueLabel->text(), " ");
  EXPECT_FALSE(form.LoadingTrackBars());
  EXPECT_EQ(form.CameraStatus(), 2);
}

TEST_F(Rows, SetTrackBarsWhileLoadingOnlyRefreshesTheSupportDisplay) {
  TFormMain& form =
      StartWith("[" + Camera("Lab", R"({"Brightness": )" + Property(0, 10, 4) + "}") + "]",
                {"varnholt", "trace"});
  Part<QPlainTextEdit>(form, "Memo1")->clear();
  form.SetLoadingTrackBars(true);
  CameraOf(form)->SetBrightness(9);
  form.SetTrackBars();
  EXPECT_EQ(TraceLines(), QStringList({"SetTrackBars entered", "Calling SetSupportStatus",
                                       "SetSupportStatus entered", "ComboBoxFormat.ItemIndex=0",
                                       "SetSupportStatus passed 02", "SetSupportStatus passed 03",
                                       "SetSupportStatus passed 04", "SetSupportStatus passed 05",
                                       "SetSupportStatus passed 06"}));
  EXPECT_EQ(Row("Brightness").ValueLabel->text(), "4");
  EXPECT_TRUE(form.LoadingTrackBars());
}

TEST_F(Rows, ASecondRowsSliderReportsDuringTheLoadWithoutWriting) {
  TFormMain& form =
      StartWith("[" +
                    Camera("Lab", R"({"Brightness": )" + Property(0, 10, 4) + R"(, "Contrast": )" +
                                      Property(20, 30, 25) + "}") +
                    "]",
                {"varnholt", "trace"});
  Part<QPlainTextEdit>(form, "Memo1")->clear();
  form.ComboBoxCameraChange(Part<TListBox>(form, "ComboBoxCamera"));
  const QStringList lines = TraceLines();
  // The Contrast row is loaded second, with the status already 2: its
  // slider's change runs the support display inside SetTrackBar.
  const qsizetype second = lines.indexOf("SetTrackBar started", lines.indexOf("4"));
  ASSERT_GT(second, 0);
  const qsizetype end = lines.indexOf("SetTrackBar ended", second);
  EXPECT_TRUE(lines.mid(second, end - second).contains("SetSupportStatus passed 06"));
  EXPECT_EQ(Row("Contrast").ValueLabel->text(), "25");
  EXPECT_EQ(Written(), "");
}

// ---- Editing -----------------------------------------------------------------------------

TEST_F(Rows, ASliderMoveWritesItsValueTruncatedTowardZero) {
  const QLocale previous;
  QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
  TFormMain& form = StartWith(
      "[" + Camera("Lab", R"({"Brightness": )" + Property(-10, 20, 4, R"(, "step": 0)") + "}") +
      "]");
  varnholt::TTrackBar* slider = Row("Brightness").TrackBar;
  EXPECT_EQ(slider->Frequency(), 0);
  slider->SetValue(12.7f);
  EXPECT_EQ(Row("Brightness").ValueLabel->text(), "12.6999998092651");
  EXPECT_EQ(CameraOf(form)->Brightness(), 12);
  slider->SetValue(-3.7f);
  EXPECT_EQ(Row("Brightness").ValueLabel->text(), "-3.70000004768372");
  EXPECT_EQ(CameraOf(form)->Brightness(), -3);
  EXPECT_TRUE(errors.isEmpty());
  QLocale::setDefault(previous);
}

TEST_F(Rows, SliderChangesWriteNothingUnlessTheCameraIsConfigurable) {
  TFormMain& form =
      StartWith("[" + Camera("Lab", R"({"Brightness": )" + Property(0, 20, 4) + "}") + "]");
  form.SetCameraStatus(1);
  Row("Brightness").TrackBar->SetValue(7);
  EXPECT_EQ(Row("Brightness").ValueLabel->text(), "4");  // left alone
  form.SetCameraStatus(2);
  form.SetLoadingTrackBars(true);
  Row("Brightness").TrackBar->SetValue(9);
  EXPECT_EQ(Row("Brightness").ValueLabel->text(), "9");
  form.SetLoadingTrackBars(false);
  EXPECT_EQ(CameraOf(form)->Brightness(), 4);
  EXPECT_EQ(Written(), "");
}

TEST_F(Rows, ARefusedValueIsDroppedSilently) {
  TFormMain& form =
      StartWith("[" +
                Camera("Lab", R"({"Brightness": )" +
                                  Property(0, 20, 4, R"(, "fail": {"set": "0x80070005"})") + "}") +
                "]");
  Row("Brightness").TrackBar->SetValue(11);
  EXPECT_EQ(Row("Brightness").ValueLabel->text(), "11");
  AwaitWrites();
  EXPECT_EQ(CameraOf(form)->Brightness(), 4);
  EXPECT_TRUE(errors.isEmpty());
}

TEST_F(Rows, TickingAutoSwitchesTheCameraAndReloadsTheRows) {
  TFormMain& form = StartWith(
      "[" + Camera("Lab", R"({"WhiteBalance": )" + Property(2800, 6500, 4600, kAutoCaps) + "}") +
          "]",
      {"varnholt", "trace"});
  const TPropertyRow row = Row("WhiteBalance");
  Part<QPlainTextEdit>(form, "Memo1")->clear();
  row.CheckBox->click();
  EXPECT_TRUE(CameraOf(form)->WhiteBalanceAuto());
  EXPECT_FALSE(row.TrackBar->isEnabled());
  EXPECT_TRUE(row.CheckBox->isChecked());
  EXPECT_EQ(TraceLines().count("### Call SetTrackBars from  CheckBoxChange event "), 1);
  EXPECT_TRUE(TraceLines().contains("SetTrackBars entered"));

  row.CheckBox->click();
  EXPECT_FALSE(CameraOf(form)->WhiteBalanceAuto());
  EXPECT_TRUE(row.TrackBar->isEnabled());
  EXPECT_EQ(CameraOf(form)->WhiteBalance(), 4600);  // the value stays
  EXPECT_TRUE(errors.isEmpty());
  EXPECT_TRUE(notices.isEmpty());
}

TEST_F(Rows, ATickWhileLoadingWritesNothing) {
  TFormMain& form = StartWith(
      "[" +
      Camera("Lab", "{}", Formats({480}), R"({"Focus": )" + Property(0, 100, 50, kAutoCaps) + "}") +
      "]");
  form.SetLoadingTrackBars(true);
  Row("Focus").CheckBox->setChecked(true);
  form.SetLoadingTrackBars(false);
  EXPECT_FALSE(CameraOf(form)->FocusAuto());
  EXPECT_EQ(Written(), "");
}

TEST_F(Rows, ADriverRefusingAutomaticModeIsReportedAndTheBoxUnticked) {
  TFormMain& form = StartWith(
      "[" +
          Camera("Lab Cam", R"({"Gain": )" + Property(0, 10, 3, R"(, "caps": ["manual"])") + "}") +
          "]",
      {"varnholt", "trace"});
  Part<QPlainTextEdit>(form, "Memo1")->clear();
  AnswerNotices();
  Row("Gain").CheckBox->setChecked(true);  // as a settings file would
  EXPECT_EQ(notices, QStringList{"Varnholt detected an inconsistent cam driver implementation. "
                                 "Lab Cam states this function is supported but returns an "
                                 "error when accessing it"});
  EXPECT_FALSE(Row("Gain").CheckBox->isChecked());
  // One nested run: it writes manual mode and reloads the rows.
  EXPECT_EQ(TraceLines().count("### Call SetTrackBars from  CheckBoxChange event "), 1);
  EXPECT_FALSE(CameraOf(form)->GainAuto());
  EXPECT_EQ(Row("Gain").ValueLabel->text(), "3");
  EXPECT_TRUE(errors.isEmpty());
}

TEST_F(Rows, ADriverRefusingEveryModeIsReportedTwiceAndNoMore) {
  TFormMain& form = StartWith(
      "[" +
          Camera("Lab Cam", R"({"Gain": )" +
                                Property(0, 10, 3, kAutoCaps + R"(, "fail": {"set": -1})") + "}") +
          "]",
      {"varnholt", "trace"});
  Part<QPlainTextEdit>(form, "Memo1")->clear();
  AnswerNotices();
  Row("Gain").CheckBox->click();
  EXPECT_EQ(notices.size(), 2);
  EXPECT_FALSE(Row("Gain").CheckBox->isChecked());
  EXPECT_FALSE(TraceLines().contains("### Call SetTrackBars from  CheckBoxChange event "));
  EXPECT_TRUE(errors.isEmpty());
}

}  // namespace
}  // namespace varnholt::test
