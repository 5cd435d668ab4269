// Factory defaults and the driver's property dialog of the selected camera.

#include <gtest/gtest.h>

#include <QComboBox>

#include <QSpinBox>

#include "tests/app/SettingsWindowFixture.h"

namespace varnholt::test {
namespace {

using Defaults = SettingsWindow;
using SystemDialog = SettingsWindow;

// Brightness manual, Contrast refusing every write, white balance automatic.
const QByteArray kLab = Camera(
    "Lab",
    R"({"Brightness": )" + Property(0, 255, 200, R"(, "default": 128)") + R"(, "Contrast": )" +
        Property(0, 100, 70, R"(, "default": 50, "fail": {"set": "0x8007001F"})") +
        R"(, "WhiteBalance": )" + Property(2800, 6500, 5000, R"(, "default": 4000)" + kAutomatic) +
        "}",
    Formats({480}), R"({"Zoom": )" + Property(100, 400, 300, R"(, "default": 100)") + "}");

TEST_F(Defaults, NoLeavesTheCameraAndTheRowsAlone) {
  StartWith("[" + kLab + "]");
  const QString state = Written();
  Row("Brightness").ValueLabel->setText("marker");
  dialogs.Answer(false);
  ClickDefaults();
  EXPECT_EQ(dialogs.messages, QStringList{"Confirm: Reset settings for Lab"});
  EXPECT_EQ(Part<QLabel>(*form, "MessageLabel")->text(), "Nothing changed");
  EXPECT_EQ(Part<TTimer>(*form, "MessageTimer")->Interval(), 4000);
  EXPECT_EQ(Written(), state);
  EXPECT_EQ(Row("Brightness").ValueLabel->text(), "marker") << "rows not reloaded";
}

TEST_F(Defaults, YesResetsEachSupportedPropertyAloneAndKeepsAutomaticModes) {
  StartWith("[" + kLab + "]", {"varnholt", "trace"});
  Part<QPlainTextEdit>(*form, "Memo1")->clear();
  dialogs.Answer(true);
  ClickDefaults();
  EXPECT_EQ(InCamera("Brightness"), std::make_pair(128, false));
  EXPECT_EQ(InCamera("Contrast"), std::make_pair(70, false)) << "refused, kept";
  EXPECT_EQ(InCamera("WhiteBalance"), std::make_pair(4000, true));
  EXPECT_EQ(InCamera("Zoom"), std::make_pair(100, false));
  // The rows show it: the white balance is still automatic.
  EXPECT_EQ(Shown("Brightness"), std::make_pair(128.0f, false));
  EXPECT_EQ(Shown("WhiteBalance"), std::make_pair(4000.0f, true));
  EXPECT_FALSE(Row("WhiteBalance").TrackBar->isEnabled());
  EXPECT_EQ(Shown("Zoom"), std::make_pair(100.0f, false));
  EXPECT_EQ(Part<QLabel>(*form, "MessageLabel")->text(), "Factory defaults loaded");
  EXPECT_EQ(Part<QLabel>(*form, "StatusLabel")->text(), " ");
  EXPECT_EQ(form->windowTitle(), "Varnholt V1.6");
  EXPECT_TRUE(errors.isEmpty()) << errors.join("; ").toStdString();

  const QStringList trace = TraceLines();
  const QStringList expected = {"ButtonDefaultValuesClick Step 01",
                                "ButtonDefaultValuesClick Step 02",
                                "ButtonDefaultValuesClick - calling SetTrackBars",
                                "SetTrackBars entered",
                                "### Returned from SetTrackBars",
                                "### und weiter",
                                "ButtonDefaultValuesClick Step 03",
                                "SetSupportStatus entered",
                                " ButtonDefaultValuesClick Step 04"};
  qsizetype at = 0;
  for (const QString& line : expected) {
    at = trace.indexOf(line, at);
    EXPECT_GE(at, 0) << "missing or out of order: " << line.toStdString();
  }
  EXPECT_EQ(trace.first(), expected.first());
  EXPECT_EQ(trace.at(trace.size() - 1), expected.last());
}

TEST_F(Defaults, ACameraThatIsNotConfigurableIsNotAsked) {
  StartWith("[" + Camera("Capture Card") + "]");
  ASSERT_EQ(form->CameraStatus(), 1);
  const QString state = Written();
  ClickDefaults();
  EXPECT_EQ(Part<QLabel>(*form, "MessageLabel")->text(),
            "Capture Card does not support setting default values");
  EXPECT_TRUE(dialogs.messages.isEmpty());
  EXPECT_EQ(Written(), state);
}

TEST_F(SystemDialog, ChangesMadeInTheFrameShowInTheRows) {
  StartWith("[" + kLab + "]");
  dialogs.InFrame([](QDialog& frame) {
    auto* brightness = frame.findChild<QSpinBox*>("Control_Brightness_Value");
    ASSERT_NE(brightness, nullptr);
    brightness->setValue(17);
  });
  ClickSystemDialog();
  EXPECT_EQ(dialogs.frames, 1);
  EXPECT_EQ(Shown("Brightness"), std::make_pair(17.0f, false));
  EXPECT_EQ(Row("Brightness").ValueLabel->text(), "17");
  EXPECT_EQ(Part<QLabel>(*form, "MessageLabel")->text(), "");
}

TEST_F(SystemDialog, TheFrameOpensOverTheWindowAndThePowerListFollowsItsChange) {
  StartWith("[" + Camera("Lab", R"({"Brightness": {"min": 0, "max": 255},
                                    "PowerLineFrequency": {"min": 0, "max": 3, "value": 1}})") +
            "]");
  ASSERT_EQ(Part<TListBox>(*form, "ComboBoxFrequency")->ItemIndex(), 0);  // 50 Hz
  const auto chooseInFrame = [this](int entry) {
    dialogs.InFrame([this, entry](QDialog& frame) {
      EXPECT_EQ(frame.parentWidget(), form.get());
      EXPECT_TRUE(form->frameGeometry().contains(frame.pos())) << "opens over the window";
      auto* power = frame.findChild<QComboBox*>("Control_Power_Line_Frequency");
      ASSERT_NE(power, nullptr);
      power->setCurrentIndex(entry);
    });
    ClickSystemDialog();
  };
  chooseInFrame(2);  // 60 Hz
  EXPECT_EQ(Part<TListBox>(*form, "ComboBoxFrequency")->ItemIndex(), 1);
  chooseInFrame(3);  // automatic: neither entry
  EXPECT_EQ(Part<TListBox>(*form, "ComboBoxFrequency")->ItemIndex(), -1);
  EXPECT_TRUE(Part<TListBox>(*form, "ComboBoxFrequency")->selectedItems().isEmpty());
  EXPECT_EQ(dialogs.frames, 2);
  EXPECT_TRUE(errors.isEmpty()) << errors.join("; ").toStdString();
}

TEST_F(SystemDialog, ClosedUnchangedTheCameraIsStillReadAgain) {
  StartWith("[" + kLab + "]");
  dialogs.InFrame([this](QDialog&) { Probe("Lab").SetZoom(250); });  // another program meanwhile
  ClickSystemDialog();
  EXPECT_EQ(dialogs.frames, 1);
  EXPECT_EQ(Shown("Zoom"), std::make_pair(250.0f, false));
  EXPECT_TRUE(errors.isEmpty()) << errors.join("; ").toStdString();
}

TEST_F(SystemDialog, ACameraWithoutPagesSaysSoAndIsReadAgain) {
  QByteArray camera = Camera("Plain", R"({"Brightness": )" + Property(0, 255, 10) + "}");
  camera.chop(1);
  StartWith("[" + camera + R"(, "interfaces": {"propertyPages": false}}])", {"varnholt", "trace"});
  Probe("Plain").SetBrightness(90);
  ClickSystemDialog();
  EXPECT_EQ(dialogs.frames, 0);
  EXPECT_EQ(Part<QLabel>(*form, "MessageLabel")->text(),
            "Plain does not support this dialog function");
  EXPECT_TRUE(TraceLines().contains("ButtonWindowsClick Error"));
  EXPECT_EQ(Shown("Brightness"), std::make_pair(90.0f, false));
  EXPECT_TRUE(errors.isEmpty()) << errors.join("; ").toStdString();
}

}  // namespace
}  // namespace varnholt::test
