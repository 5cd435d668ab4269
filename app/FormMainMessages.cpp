// The main window's dialogs and its timed status message.

#include <cmath>

#include "app/FormMain.h"
#include "app/Forms.h"
#include "controls/Shapes.h"
#include "controls/Timer.h"

namespace {

// Centres the dialog over the main window; the sums are truncated toward
// zero, and the place is not kept on the screen.
void PlaceOver(const QWidget& main, QWidget& dialog) {
  const QRect outer = main.frameGeometry();
  const QRect own = dialog.frameGeometry();
  const double left = outer.x() + (outer.width() - own.width()) / 2.0;
  const double top = outer.y() + (outer.height() - own.height()) / 2.0;
  dialog.move(static_cast<int>(std::trunc(left)), static_cast<int>(std::trunc(top)));
}

// Shows the dialog modally and hides it again; true when Button1 ended it.
bool Answer(TMessageForm& dialog) {
  const int result = dialog.exec();
  dialog.hide();
  return result == 1;
}

}  // namespace

bool TFormMain::MessageDlgSimple(const QString& AMessage) {
  PlaceOver(*this, *MessageForm);
  MessageForm->setWindowTitle("Confirm");
  MessageForm->Label1->setText(AMessage);
  MessageForm->Button2->show();
  MessageForm->Rectangle2->show();
  MessageForm->Button1->setText("Yes");
  // "No" has the focus and, as the default button, answers Enter.
  MessageForm->Button2->setFocus();
  return Answer(*MessageForm);
}

bool TFormMain::ShowMessageSimple(const QString& AMessage) {
  PlaceOver(*this, *MessageForm);
  MessageForm->setWindowTitle("Information");
  MessageForm->Label1->setText(AMessage);
  MessageForm->Button1->setFocus();
  MessageForm->Button1->setText("Ok");
  MessageForm->Button2->hide();
  MessageForm->Rectangle2->hide();
  return Answer(*MessageForm);
}

void TFormMain::MessageTimerTimer(QObject*) {
  MessageTimer->SetInterval(0);
  MessageLabel->setText("");
}
