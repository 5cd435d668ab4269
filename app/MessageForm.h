#pragma once

// The program's own message dialog, through which it asks and informs.

#include <QDialog>

class TMessageForm : public QDialog {
  Q_OBJECT

 public:
  explicit TMessageForm(QWidget* parent = nullptr);
};
