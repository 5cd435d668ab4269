#include "controls/FittedLabel.h"

#include <QEvent>
#include <QFontMetrics>

namespace varnholt {

TFittedLabel::TFittedLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
  setWordWrap(true);
}

void TFittedLabel::SetSmallestPixelSize(int size) {
  smallestPixelSize_ = size;
  Fit();
}

void TFittedLabel::SetText(const QString& text) {
  setText(text);
  Fit();
}

void TFittedLabel::changeEvent(QEvent* event) {
  QLabel::changeEvent(event);
  // A font from outside is the designed one; ours only shrink it.
  if (event->type() == QEvent::FontChange && !fitting_) {
    designedPixelSize_ = font().pixelSize();
    Fit();
  }
}

void TFittedLabel::resizeEvent(QResizeEvent* event) {
  QLabel::resizeEvent(event);
  Fit();
}

void TFittedLabel::showEvent(QShowEvent* event) {
  QLabel::showEvent(event);
  Fit();
}

void TFittedLabel::Fit() {
  // A font given in points has no pixel size to shrink from. A hidden label
  // fits when it is shown: its box is the layout's only from then on.
  const QRect box = contentsRect();
  if (designedPixelSize_ <= 0 || !isVisible() || box.isEmpty())
    return;
  QFont fitted = font();
  fitted.setPixelSize(designedPixelSize_);
  const int flags = int(alignment()) | Qt::TextWordWrap;
  for (int size = designedPixelSize_; size >= smallestPixelSize_; --size) {
    fitted.setPixelSize(size);
    const QRect needed = QFontMetrics(fitted).boundingRect(box, flags, text());
    if (needed.height() <= box.height() && needed.width() <= box.width())
      break;
  }
  fitting_ = true;
  setFont(fitted);
  fitting_ = false;
}

}  // namespace varnholt
