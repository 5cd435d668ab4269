#pragma once

// The camera test window: shows the selected camera live at the selected
// format. Hidden until a test starts; hidden, not destroyed, when closed.

#include <QWidget>

class TLivecamForm : public QWidget {
  Q_OBJECT

 public:
  explicit TLivecamForm(QWidget* parent = nullptr);
  ~TLivecamForm() override;
};
