#pragma once

// The program's own message dialog, through which the main window asks
// (Yes/No) and informs (Ok). One instance serves every use; each use sets
// the caption, the message, the left button's text and whether the right
// button shows. A button ends the dialog with its modal result: 1 for
// Button1, 2 for Button2; any other way of closing it gives 0.

#include <QDialog>
#include <QLabel>
#include <QPushButton>

namespace varnholt {
class TRectangle;
class TStyleBook;
}  // namespace varnholt

class TMessageForm : public QDialog {
  Q_OBJECT

 public:
  explicit TMessageForm(QWidget* parent = nullptr);
  ~TMessageForm() override;

  // In creation order, which is also drawing order.
  QLabel* Label1 = nullptr;
  varnholt::TRectangle* Rectangle2 = nullptr;
  varnholt::TStyleBook* StyleBook1 = nullptr;
  QPushButton* Button2 = nullptr;
  varnholt::TRectangle* Rectangle1 = nullptr;
  QPushButton* Button1 = nullptr;

  static constexpr int kClientWidth = 439;
  static constexpr int kClientHeight = 240;
};
