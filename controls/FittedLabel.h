#pragma once

// TFittedLabel is a word-wrapped caption of fixed size that shows its whole
// text: it takes the largest pixel size, from the size of the font it was
// given down to the smallest allowed, at which the text fits its box, and
// fits again when its text, font or size changes. A caption that holds a
// device's name would otherwise lose its first and last lines to a long
// name. Below the smallest size the text is cut as a label cuts it.

#include <QLabel>
#include <QString>

namespace varnholt {

class TFittedLabel : public QLabel {
  Q_OBJECT

 public:
  explicit TFittedLabel(const QString& text, QWidget* parent = nullptr);

  void SetSmallestPixelSize(int size);
  void SetText(const QString& text);

 protected:
  void changeEvent(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void Fit();

  int designedPixelSize_ = 0;  // from the last font set from outside; 0: none
  int smallestPixelSize_ = 1;
  bool fitting_ = false;
};

}  // namespace varnholt
