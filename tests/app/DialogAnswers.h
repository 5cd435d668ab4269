#pragma once

// Answers the modal dialogs a handler opens, as the user would: a file dialog gets a typed name and
// its accept button (or Cancel), the message dialog one of its buttons, the property frame whatever
// the test does in it and then Close. Answers are used in the order given; what each dialog showed
// is kept for the test to check.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <functional>

#include "app/Forms.h"
#include "tests/support/TestEnvironment.h"

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
  DialogAnswers() : driver_(true) {}
  ~DialogAnswers() {
    EXPECT_TRUE(driver_.Done()) << driver_.Planned() << " dialogs never opened";
    EXPECT_TRUE(driver_.unexpected.isEmpty()) << driver_.unexpected.join("; ").toStdString();
  }

  // Types name into the file dialog's name field and presses its accept
  // button; then runs once the dialog has accepted, before the handler goes on.
  void ChooseFile(const QString& name, std::function<void()> then = {}) {
    driver_.Then([this, name, then](QWidget& w) {
      auto* dialog = qobject_cast<QFileDialog*>(&w);
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
    driver_.Then([this](QWidget& w) {
      auto* dialog = qobject_cast<QFileDialog*>(&w);
      if (!dialog)
        return false;
      Record(*dialog);
      dialog->findChild<QDialogButtonBox*>("buttonBox")->button(QDialogButtonBox::Cancel)->click();
      return true;
    });
  }
  // "Yes"/"Ok" (Button1) or "No" (Button2) of the program's message dialog.
  void Answer(bool button1) {
    driver_.Then([this, button1](QWidget& w) {
      auto* dialog = qobject_cast<TMessageForm*>(&w);
      if (!dialog)
        return false;
      messages.append(dialog->windowTitle() + ": " + dialog->Label1->text());
      (button1 ? dialog->Button1 : dialog->Button2)->click();
      return true;
    });
  }
  // Runs work in the driver's property frame, then closes it.
  void InFrame(std::function<void(QDialog&)> work) {
    driver_.Then([this, work](QWidget& w) {
      if (w.objectName() != "PropertyFrame")
        return false;
      auto* frame = static_cast<QDialog*>(&w);
      ++frames;
      work(*frame);
      frame->findChild<QPushButton*>("CloseButton")->click();
      return true;
    });
  }

  bool Done() const { return driver_.Done(); }

  QList<SeenFileDialog> fileDialogs;
  QStringList messages;  // "Confirm: Overwrite file ...", "Information: ..."
  int frames = 0;

 private:
  void Record(const QFileDialog& dialog) {
    fileDialogs.append({dialog.objectName(), dialog.windowTitle(), dialog.directory().path(),
                        dialog.findChild<QLineEdit*>("fileNameEdit")->text(), dialog.nameFilters(),
                        dialog.defaultSuffix(), dialog.acceptMode() == QFileDialog::AcceptSave});
  }

  ModalDriver driver_;
};

}  // namespace varnholt::test
