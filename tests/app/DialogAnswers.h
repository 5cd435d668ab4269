#pragma once

// Answers the modal dialogs a handler opens, from inside their own loops,
// as the user would: a file dialog gets a typed name and its accept button
// (or Cancel), the message dialog one of its buttons, the property frame
// whatever the test does in it and then Close. Answers are used in the
// order given; what each dialog showed is kept for the test to check.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <deque>
#include <functional>

#include "app/Forms.h"

namespace varnholt::test {

// What a file dialog showed when it opened.
struct SeenFileDialog {
  QString objectName;
  QString title;
  QString directory;
  QString typedName;  // the name field's text
  QStringList filters;
  QString defaultSuffix;
  bool acceptSave = false;
};

class DialogAnswers {
 public:
  DialogAnswers() {
    QObject::connect(&poll_, &QTimer::timeout, [this] { Poll(); });
    poll_.start(5);
  }
  ~DialogAnswers() {
    EXPECT_TRUE(answers_.empty()) << answers_.size() << " dialogs never opened";
    EXPECT_TRUE(unexpected.isEmpty()) << unexpected.join("; ").toStdString();
  }

  // Types name into the file dialog's name field and presses its accept
  // button; then runs once the dialog has accepted, before the handler goes on.
  void ChooseFile(const QString& name, std::function<void()> then = {}) {
    answers_.push_back([this, name, then](QWidget* w) {
      auto* dialog = qobject_cast<QFileDialog*>(w);
      if (!dialog)
        return false;
      Record(*dialog);
      dialog->findChild<QLineEdit*>("fileNameEdit")->setText(name);
      auto* box = dialog->findChild<QDialogButtonBox*>("buttonBox");
      box->button(dialog->acceptMode() == QFileDialog::AcceptSave ? QDialogButtonBox::Save
                                                                  : QDialogButtonBox::Open)
          ->click();
      if (then)
        then();
      return true;
    });
  }
  void CancelFile() {
    answers_.push_back([this](QWidget* w) {
      auto* dialog = qobject_cast<QFileDialog*>(w);
      if (!dialog)
        return false;
      Record(*dialog);
      dialog->findChild<QDialogButtonBox*>("buttonBox")->button(QDialogButtonBox::Cancel)->click();
      return true;
    });
  }
  // "Yes"/"Ok" (Button1) or "No" (Button2) of the program's message dialog.
  void Answer(bool button1) {
    answers_.push_back([this, button1](QWidget* w) {
      auto* dialog = qobject_cast<TMessageForm*>(w);
      if (!dialog)
        return false;
      messages.append(dialog->windowTitle() + ": " + dialog->Label1->text());
      (button1 ? dialog->Button1 : dialog->Button2)->click();
      return true;
    });
  }
  // Runs work in the driver's property frame, then closes it.
  void InFrame(std::function<void(QDialog&)> work) {
    answers_.push_back([this, work](QWidget* w) {
      if (w->objectName() != "PropertyFrame")
        return false;
      auto* frame = static_cast<QDialog*>(w);
      ++frames;
      work(*frame);
      frame->findChild<QPushButton*>("CloseButton")->click();
      return true;
    });
  }

  bool Done() const { return answers_.empty(); }

  QList<SeenFileDialog> fileDialogs;
  QStringList messages;  // "Confirm: Overwrite file ...", "Information: ..."
  int frames = 0;
  QStringList unexpected;

 private:
  void Record(const QFileDialog& dialog) {
    fileDialogs.append({dialog.objectName(), dialog.windowTitle(), dialog.directory().path(),
                        dialog.findChild<QLineEdit*>("fileNameEdit")->text(), dialog.nameFilters(),
                        dialog.defaultSuffix(), dialog.acceptMode() == QFileDialog::AcceptSave});
  }

  void Poll() {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible() || busy_)
      return;
    busy_ = true;  // an answer may open the next dialog inside this call
    const bool answered = !answers_.empty() && [&] {
      auto answer = std::move(answers_.front());
      answers_.pop_front();
      if (answer(modal))
        return true;
      answers_.push_front(std::move(answer));
      return false;
    }();
    if (!answered) {
      // Nothing planned for this dialog: note it and get it out of the way.
      unexpected.append(modal->metaObject()->className() + QString(" ") + modal->objectName() +
                        ": " + modal->windowTitle());
      if (auto* dialog = qobject_cast<QDialog*>(modal))
        dialog->reject();
    }
    busy_ = false;
  }

  std::deque<std::function<bool(QWidget*)>> answers_;
  QTimer poll_;
  bool busy_ = false;
};

}  // namespace varnholt::test
