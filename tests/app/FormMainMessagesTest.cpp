// The program's own dialogs (placement, focus, default button, results)
// and the timed status message.

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QTimer>

#include "app/Forms.h"
#include "controls/Shapes.h"
#include "controls/Timer.h"
#include "tests/app/MainWindowFixture.h"
#include "tests/support/ManualClock.h"

namespace varnholt::test {
namespace {

class Messages : public MainWindow {
 protected:
  Messages() {
    dialog_ = std::make_unique<TMessageForm>();
    MessageForm = dialog_.get();
    form = Start();
  }
  ~Messages() override { MessageForm = nullptr; }

  // What the dialog looked like while it waited, and how it was answered.
  struct Seen {
    QString caption, message, left, right;
    bool rightShown = false, rightPlateShown = false;
    QWidget* focus = nullptr;
    bool rightIsDefault = false;
    QPoint place;
  };

  // Answers the next dialog from inside its modal loop.
  void AnswerWith(std::function<void(TMessageForm&)> answer) {
    QTimer::singleShot(0, [this, answer] {
      EXPECT_EQ(QApplication::activeModalWidget(), MessageForm);
      TMessageForm& d = *MessageForm;
      seen = {d.windowTitle(),   d.Label1->text(),       d.Button1->text(),
              d.Button2->text(), !d.Button2->isHidden(), !d.Rectangle2->isHidden(),
              d.focusWidget(),   d.Button2->isDefault(), d.frameGeometry().topLeft()};
      answer(d);
    });
  }
  static void PressEnter(TMessageForm& d) { QTest::keyClick(d.focusWidget(), Qt::Key_Return); }
  static void ClickLeft(TMessageForm& d) { QTest::mouseClick(d.Button1, Qt::LeftButton); }

  std::unique_ptr<TFormMain> form;
  Seen seen;

 private:
  std::unique_ptr<TMessageForm> dialog_;
};

TEST_F(Messages, AConfirmationHasNoFocusedAsDefaultSoEnterAnswersFalse) {
  AnswerWith(PressEnter);
  EXPECT_FALSE(form->MessageDlgSimple("Overwrite file \"a.vhx\""));
  EXPECT_EQ(seen.caption, "Confirm");
  EXPECT_EQ(seen.message, "Overwrite file \"a.vhx\"");
  EXPECT_EQ(seen.left, "Yes");
  EXPECT_EQ(seen.right, "No");
  EXPECT_EQ(seen.focus, MessageForm->Button2);
  EXPECT_TRUE(seen.rightIsDefault);
  EXPECT_TRUE(MessageForm->isHidden());
}

TEST_F(Messages, YesAndOkAnswerTrue) {
  AnswerWith(ClickLeft);
  EXPECT_TRUE(form->MessageDlgSimple("Reset?"));
  AnswerWith(PressEnter);  // the notice's only button has the focus
  EXPECT_TRUE(form->ShowMessageSimple("Another program uses the camera"));
  EXPECT_EQ(seen.focus, MessageForm->Button1);
  AnswerWith(ClickLeft);
  EXPECT_TRUE(form->ShowMessageSimple("Again"));
}

TEST_F(Messages, ANoticeAfterAConfirmationAndTheReverseShowOnlyTheirOwnButtons) {
  AnswerWith(ClickLeft);
  form->MessageDlgSimple("First a question");
  AnswerWith(ClickLeft);
  form->ShowMessageSimple("Then a notice");
  EXPECT_EQ(seen.caption, "Information");
  EXPECT_EQ(seen.left, "Ok");
  EXPECT_FALSE(seen.rightShown);
  EXPECT_FALSE(seen.rightPlateShown);
  EXPECT_EQ(MessageForm->Button1->geometry(), QRect(180, 182, 80, 30));

  AnswerWith(PressEnter);
  EXPECT_FALSE(form->MessageDlgSimple("A question again"));
  EXPECT_EQ(seen.caption, "Confirm");
  EXPECT_EQ(seen.left, "Yes");
  EXPECT_EQ(seen.right, "No");
  EXPECT_TRUE(seen.rightShown);
  EXPECT_TRUE(seen.rightPlateShown);
  EXPECT_EQ(seen.focus, MessageForm->Button2);
}

TEST_F(Messages, AnyOtherWayOfClosingTheDialogAnswersFalse) {
  AnswerWith([](TMessageForm& d) { d.close(); });  // the window system's close
  EXPECT_FALSE(form->MessageDlgSimple("Closed"));
  AnswerWith([](TMessageForm& d) { d.close(); });
  EXPECT_FALSE(form->ShowMessageSimple("Closed too"));
  AnswerWith([](TMessageForm& d) { QTest::keyClick(&d, Qt::Key_Escape); });
  EXPECT_FALSE(form->ShowMessageSimple("Escaped"));
  AnswerWith([](TMessageForm& d) { QTest::mouseClick(d.Button2, Qt::LeftButton); });
  EXPECT_FALSE(form->MessageDlgSimple("No"));
}

TEST_F(Messages, TheDialogIsCentredOverTheWindowWithTheSumTruncatedTowardZero) {
  // Shown once, the dialog has its frame; the rule works on outer sizes.
  AnswerWith(ClickLeft);
  form->ShowMessageSimple("Once");
  const QSize dialog = MessageForm->frameGeometry().size();

  form->move(-5, 10);
  ResizeOuter(*form, dialog.width() + 3, 740);
  AnswerWith(ClickLeft);
  form->ShowMessageSimple("Left of the screen");
  EXPECT_EQ(seen.place.x(), -3);  // -5 + 1.5 = -3.5, truncated toward zero
  EXPECT_EQ(seen.place.y(), 10 + (740 - dialog.height()) / 2);

  form->move(100, 50);
  ResizeOuter(*form, dialog.width() + 5, 740);
  AnswerWith(ClickLeft);
  form->MessageDlgSimple("Right of it");
  EXPECT_EQ(seen.place.x(), 102);  // 100 + 2.5
}

TEST_F(Messages, TheDialogHasItsDesign) {
  TMessageForm& d = *MessageForm;
  EXPECT_EQ(d.size(), QSize(439, 240));
  EXPECT_EQ(d.palette().color(QPalette::Window), QColor::fromRgba(0xFF615FAD));
  EXPECT_FALSE(d.windowFlags() & Qt::WindowCloseButtonHint);
  EXPECT_EQ(d.Button2->geometry(), QRect(291, 182, 80, 30));
  EXPECT_EQ(d.Rectangle2->geometry(), QRect(291, 182, 80, 30));
  EXPECT_EQ(d.Rectangle1->geometry(), QRect(180, 182, 80, 30));
  EXPECT_TRUE(d.Button1->font().bold());
  EXPECT_TRUE(d.Button2->font().bold());
  // Each button is drawn over its plate.
  EXPECT_GT(d.children().indexOf(d.Button2), d.children().indexOf(d.Rectangle2));
  EXPECT_GT(d.children().indexOf(d.Button1), d.children().indexOf(d.Rectangle1));
  // The message: centred above the buttons, 350 wide, long ones wrap.
  d.show();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
  EXPECT_EQ(d.Label1->geometry(), QRect(44, 20, 350, 150));
  EXPECT_TRUE(d.Label1->wordWrap());
  EXPECT_EQ(d.Label1->palette().color(QPalette::WindowText), QColor(Qt::white));
  d.hide();
}

// ---- Status message ------------------------------------------------------------------------

class StatusMessage : public MainWindow {
 protected:
  StatusMessage() : form(Start()) {}

  // What every caller does to show a message.
  void Show(const QString& text) {
    Part<QLabel>(*form, "MessageLabel")->setText(text);
    Part<TTimer>(*form, "MessageTimer")->SetInterval(4000);
  }
  QString Shown() const { return Part<QLabel>(*form, "MessageLabel")->text(); }

  ManualClock clock;  // before the window: it outlives the window's timers
  std::unique_ptr<TFormMain> form;
};

TEST_F(StatusMessage, AMessageStaysFourSecondsThenTheLabelIsEmpty) {
  Show("Settings saved");
  clock.Advance(3999);
  EXPECT_EQ(Shown(), "Settings saved");
  clock.Advance(1);
  EXPECT_EQ(Shown(), "");
  EXPECT_EQ(Part<TTimer>(*form, "MessageTimer")->Interval(), 0);
  EXPECT_FALSE(Part<TTimer>(*form, "MessageTimer")->Running());
  clock.Advance(60000);
  EXPECT_EQ(Shown(), "");
  EXPECT_TRUE(errors.isEmpty());
}

TEST_F(StatusMessage, ASecondMessageIsClearedWhenTheFirstPeriodEnds) {
  Show("Settings saved");
  clock.Advance(3000);
  Show("Nothing saved");
  EXPECT_EQ(Shown(), "Nothing saved");
  clock.Advance(999);
  EXPECT_EQ(Shown(), "Nothing saved");
  clock.Advance(1);  // 4 seconds after the first, 1 after the second
  EXPECT_EQ(Shown(), "");

  // Idle again: the next message has its full four seconds.
  Show("Factory defaults loaded");
  clock.Advance(3999);
  EXPECT_EQ(Shown(), "Factory defaults loaded");
  clock.Advance(1);
  EXPECT_EQ(Shown(), "");
}

TEST_F(StatusMessage, MessagesAreSetAndClearedWhileTheStatusBarIsFoldedAway) {
  form->resize(250, 740);
  form->FormResize(form.get());
  ASSERT_TRUE(Part<QWidget>(*form, "MessagePanel")->isHidden());
  Show("Nothing changed");
  EXPECT_EQ(Shown(), "Nothing changed");
  clock.Advance(4000);
  EXPECT_EQ(Shown(), "");
}

}  // namespace
}  // namespace varnholt::test
