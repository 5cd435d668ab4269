#include "controls/TrackBar.h"

#include <QSignalBlocker>
#include <QSlider>
#include <algorithm>
#include <cmath>

namespace varnholt {

// The slider with its key handlers open to the bar that forwards to it.
class TTrackBar::TTrack : public QSlider {
 public:
  using QSlider::keyPressEvent;
  using QSlider::keyReleaseEvent;
  using QSlider::QSlider;
};

TTrackBar::TTrackBar(QWidget* parent) : QWidget(parent), track_(new TTrack(Qt::Horizontal, this)) {
  setFocusPolicy(Qt::StrongFocus);
  // A click on the slider focuses the bar; Tab stops at the bar only.
  track_->setFocusPolicy(Qt::ClickFocus);
  track_->setFocusProxy(this);
  track_->setRange(0, kPositions);
  track_->setTracking(true);
  connect(track_, &QSlider::valueChanged, this, &TTrackBar::TrackMoved);
  SyncTrack();
}

QSlider* TTrackBar::Track() const {
  return track_;
}

void TTrackBar::SetMin(float value) {
  if (!std::isnan(value))
    Normalise(value, max_, frequency_, value_);
}

void TTrackBar::SetMax(float value) {
  if (!std::isnan(value))
    Normalise(min_, value, frequency_, value_);
}

void TTrackBar::SetFrequency(float value) {
  if (!std::isnan(value))
    Normalise(min_, max_, value, value_);
}

void TTrackBar::SetValue(float value) {
  if (!std::isnan(value))
    Normalise(min_, max_, frequency_, value);
}

void TTrackBar::Normalise(float min, float max, float frequency, float value) {
  frequency = std::max(frequency, 0.0f);
  max = std::max(max, min);
  value = std::clamp(value, min, max);
  if (frequency > 0 && value != min && value != max) {
    // In double, so that the quotient of two floats is exact enough to see
    // a tie; nearbyint rounds ties to even in the default rounding mode.
    const double steps = std::nearbyint(static_cast<double>(value) / frequency);
    value = std::clamp(static_cast<float>(steps * frequency), min, max);
  }
  const bool changed = min != min_ || max != max_ || value != value_;
  min_ = min;
  max_ = max;
  frequency_ = frequency;
  value_ = value;
  SyncTrack();
  if (changed)
    emit Change();
}

void TTrackBar::SyncTrack() {
  const QSignalBlocker quiet(track_);
  const double span = static_cast<double>(max_) - min_;
  const int position =
      span > 0 ? static_cast<int>(std::lround((value_ - min_) / span * kPositions)) : 0;
  track_->setValue(position);
  // Arrow keys move by one step (or a hundredth of a continuous range).
  const double step = frequency_ > 0 && span > 0 ? frequency_ / span * kPositions : 100.0;
  track_->setSingleStep(std::clamp(static_cast<int>(std::lround(step)), 1, kPositions));
  track_->setPageStep(std::clamp(track_->singleStep() * 10, 1, kPositions));
}

void TTrackBar::TrackMoved(int position) {
  const double span = static_cast<double>(max_) - min_;
  // The ends are exact, so that a drag to either end reaches it.
  const float value = position <= 0 ? min_
                      : position >= kPositions
                          ? max_
                          : static_cast<float>(min_ + span * position / kPositions);
  Normalise(min_, max_, frequency_, value);
}

void TTrackBar::resizeEvent(QResizeEvent*) {
  track_->setGeometry(rect());
}

void TTrackBar::keyPressEvent(QKeyEvent* event) {
  track_->keyPressEvent(event);  // a key it leaves goes on to our parent
}

void TTrackBar::keyReleaseEvent(QKeyEvent* event) {
  track_->keyReleaseEvent(event);
}

// The slider draws the focus mark, since its focus is ours; it repaints
// when ours changes.
void TTrackBar::focusInEvent(QFocusEvent* event) {
  QWidget::focusInEvent(event);
  track_->update();
}

void TTrackBar::focusOutEvent(QFocusEvent* event) {
  QWidget::focusOutEvent(event);
  track_->update();
}

}  // namespace varnholt
