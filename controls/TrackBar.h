#pragma once

// TTrackBar is the horizontal slider of the property rows: minimum, maximum,
// step (frequency) and value are single-precision numbers, and after every
// change the slider normalises itself:
// - a negative step counts as 0 (stored as 0);
// - a maximum below the minimum is raised to the minimum;
// - the value is clamped to the range; a value at either end stays there;
// - any other value is rounded, when the step is above 0, to the nearest
//   multiple of the step counted from zero (ties to the even multiple) and
//   clamped again; with step 0 the value is continuous.
// Every change that alters the range or the value, by the program or by the
// user dragging, raises Change at once on the calling thread. Assignments
// of NaN are ignored.
//
// The bar itself holds the keyboard focus (the inner slider defers to it)
// and hands the keys on to the slider, so that whoever asks for the focus
// is answered with the named bar rather than with its inner part.

#include <QWidget>

class QSlider;

namespace varnholt {

class TTrackBar : public QWidget {
  Q_OBJECT
  Q_PROPERTY(float min READ Min WRITE SetMin NOTIFY Change)
  Q_PROPERTY(float max READ Max WRITE SetMax NOTIFY Change)
  Q_PROPERTY(float frequency READ Frequency WRITE SetFrequency)
  Q_PROPERTY(float value READ Value WRITE SetValue NOTIFY Change)

 public:
  explicit TTrackBar(QWidget* parent = nullptr);

  float Min() const { return min_; }
  void SetMin(float value);
  float Max() const { return max_; }
  void SetMax(float value);
  float Frequency() const { return frequency_; }
  void SetFrequency(float value);
  float Value() const { return value_; }
  void SetValue(float value);

  // The control the user drags; positions map linearly onto the range.
  QSlider* Track() const;
  static constexpr int kPositions = 10000;

 signals:
  void Change();

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  void Normalise(float min, float max, float frequency, float value);
  void SyncTrack();
  void TrackMoved(int position);

  float min_ = 0;
  float max_ = 10;
  float frequency_ = 0;
  float value_ = 0;
  class TTrack;
  TTrack* track_;
};

}  // namespace varnholt
