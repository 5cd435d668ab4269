// The window from the keyboard: shortcuts, tooltips and where the focus
// goes, with real key events on the shown window.

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QListWidgetItem>
#include <QSlider>
#include <QTest>

#include "tests/app/SettingsWindowFixture.h"

namespace varnholt::test {
namespace {

using Keyboard = SettingsWindow;

const QByteArray kKeyboardLab =
    Camera("Lab", R"({"Brightness": )" + Property(0, 255, 128) + R"(, "WhiteBalance": )" +
                      Property(2800, 6500, 4600, R"(, "step": 10)" + kAutoCaps) + "}");

void Show(TFormMain& form) {
  form.show();
  QApplication::setActiveWindow(&form);
}

// A key as the user types it, to the focused control. A dialog that closed
// may leave no window active; the user is back in ours.
void Press(TFormMain& form, Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
  QApplication::setActiveWindow(&form);
  QWidget* focused = form.focusWidget();
  QTest::keyClick(focused ? focused : &form, key, modifiers);
}

TEST_F(Keyboard, ShortcutsRunTheButtonsOnlyWhileTheyAreEnabled) {
  UseCameras("[" + kKeyboardLab + "," + Camera("A Camera With A Very Long Name Indeed") + "]");
  ASSERT_EQ(platform->SetConnected("a camera with a very long name indeed", false), 0);
  form = Start();
  Show(*form);

  dialogs.CancelFile();
  dialogs.CancelFile();
  Press(*form, Qt::Key_O, Qt::ControlModifier);
  Press(*form, Qt::Key_S, Qt::ControlModifier);
  ASSERT_EQ(dialogs.fileDialogs.size(), 2);
  EXPECT_EQ(dialogs.fileDialogs[0].title, "Load camera settings");
  EXPECT_EQ(dialogs.fileDialogs[1].title, "Save camera settings");

  // A disabled button's key opens nothing (an unplanned dialog would be noted).
  Part<TButtonImage>(*form, "ButtonRead")->setEnabled(false);
  Press(*form, Qt::Key_O, Qt::ControlModifier);
  Part<TButtonImage>(*form, "ButtonRead")->setEnabled(true);

  // F5 lists a camera plugged in meanwhile at once, before the watch does.
  ASSERT_EQ(Part<TListBox>(*form, "ComboBoxCamera")->count(), 1);
  ASSERT_EQ(platform->SetConnected("a camera with a very long name indeed", true), 0);
  Press(*form, Qt::Key_F5);
  ASSERT_EQ(Part<TListBox>(*form, "ComboBoxCamera")->count(), 2);
  // The long name is cut off in the list; its tooltip carries all of it.
  for (int i = 0; i < 2; ++i)
    EXPECT_EQ(Part<TListBox>(*form, "ComboBoxCamera")->item(i)->toolTip(),
              Part<TListBox>(*form, "ComboBoxCamera")->item(i)->text());

  ASSERT_FALSE(QFileInfo::exists(StateFile()));
  Press(*form, Qt::Key_Q, Qt::ControlModifier);
  EXPECT_FALSE(form->isVisible());
  EXPECT_TRUE(QFileInfo::exists(StateFile()));
  EXPECT_TRUE(errors.isEmpty());
}

TEST_F(Keyboard, EveryImageButtonSaysWhatItDoesAndItsKey) {
  TFormMain& form = StartWith("[" + kKeyboardLab + "]");
  const std::pair<QWidget*, const char*> buttons[] = {
      {Part<TButtonImage>(form, "ButtonRead"), "Ctrl+O"},
      {Part<TButtonImage>(form, "ButtonWrite"), "Ctrl+S"},
      {Part<TImage>(form, "Varnholtlogo"), "F5"},
      {Part<TButtonImage>(form, "ButtonWindows"), ""},
      {Part<TButtonImage>(form, "ButtonDefaultValues"), ""},
      {Part<TImage>(form, "ButtonTestCam"), ""}};
  for (const auto& [button, key] : buttons) {
    EXPECT_GT(button->toolTip().size(), 10) << button->objectName().toStdString();
    EXPECT_TRUE(button->toolTip().contains(key)) << button->objectName().toStdString();
  }
}

TEST_F(Keyboard, SpaceOnAutoKeepsTheFocusAndTheFocusedSliderIsNamed) {
  TFormMain& form = StartWith("[" + kKeyboardLab + "]", {"varnholt", "trace"});
  Show(form);
  QCheckBox* box = Row("WhiteBalance").CheckBox;
  box->setFocus(Qt::TabFocusReason);
  QTest::keyClick(box, Qt::Key_Space);
  EXPECT_TRUE(box->isChecked());
  EXPECT_EQ(InCamera("WhiteBalance").second, true);
  EXPECT_EQ(form.focusWidget(), box);
  QTest::keyClick(box, Qt::Key_Space);
  EXPECT_EQ(InCamera("WhiteBalance").second, false);
  EXPECT_EQ(form.focusWidget(), box);

  // A click on the slider focuses the named bar, and its keys move the value.
  varnholt::TTrackBar* brightness = Row("Brightness").TrackBar;
  QTest::mouseClick(brightness->Track(), Qt::LeftButton, {}, brightness->Track()->rect().center());
  ASSERT_EQ(form.focusWidget(), brightness);
  EXPECT_TRUE(brightness->Track()->hasFocus()) << "the slider draws the focus mark";
  const int before = InCamera("Brightness").first;
  QTest::keyClick(form.focusWidget(), Qt::Key_Right);
  AwaitWrites();
  EXPECT_GT(InCamera("Brightness").first, before);

  Part<QPlainTextEdit>(form, "Memo1")->clear();
  form.FormFocusChanged(&form);
  EXPECT_TRUE(TraceLines().contains("Aktives Control: TTrackBar und auch TrackBarBrightness"));
  EXPECT_TRUE(errors.isEmpty());
  EXPECT_TRUE(notices.isEmpty());
}

TEST_F(Keyboard, TabWalksTheLiveRowsThenTheButtonsThatSpaceClicks) {
  StartWith("[" + kKeyboardLab + "]");
  Show(*form);
  Row("WhiteBalance").TrackBar->setFocus(Qt::TabFocusReason);
  QSlider* brightness = Row("Brightness").TrackBar->Track();
  const QImage unfocused = brightness->grab().toImage();
  // White balance sits above Brightness; Brightness has no automatic mode,
  // so its box is passed over, as are the rows the camera lacks.
  const QWidget* expected[] = {Row("WhiteBalance").CheckBox, Row("Brightness").TrackBar,
                               Part<TButtonImage>(*form, "ButtonRead")};
  for (const QWidget* next : expected) {
    Press(*form, Qt::Key_Tab);
    ASSERT_EQ(form->focusWidget(), next) << next->objectName().toStdString() << " wanted, on "
                                         << form->focusWidget()->objectName().toStdString();
    if (next == Row("Brightness").TrackBar) {
      EXPECT_NE(brightness->grab().toImage(), unfocused) << "the focused slider shows a mark";
    }
  }
  EXPECT_EQ(brightness->grab().toImage(), unfocused) << "the mark goes with the focus";
  dialogs.CancelFile();
  Press(*form, Qt::Key_Space);
  ASSERT_EQ(dialogs.fileDialogs.size(), 1);
  EXPECT_EQ(dialogs.fileDialogs[0].title, "Load camera settings");
}

}  // namespace
}  // namespace varnholt::test
