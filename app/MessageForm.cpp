#include "app/MessageForm.h"

#include "app/Application.h"

TMessageForm* MessageForm = nullptr;

TMessageForm::TMessageForm(QWidget* parent) : QDialog(parent) {
  setObjectName("MessageForm");
  setWindowTitle(varnholt::Application::Title());
  setModal(true);
}
