#pragma once

// TTimer is the timer of our windows. Unlike a bare QTimer:
// - an interval of 0 means "not running", whatever Enabled says;
// - setting the interval it already has changes nothing (a running period
//   is not restarted), while a different non-zero interval on an enabled
//   timer starts a new period from now;
// - Enabled set to its present value changes nothing either.
// It raises Timer once per period while it runs. A new timer is enabled
// with interval 0, so it runs once it is given an interval.
//
// Time comes from a TimerClock: Qt's own timers unless a test installs a
// clock of its own, so that periods can be stepped through without waiting.

#include <QObject>

namespace varnholt {

// The source of periodic timer events. Start answers an id (never 0); the
// receiver then gets a QTimerEvent with that id every interval until Stop.
class TimerClock {
 public:
  virtual ~TimerClock() = default;
  virtual int Start(QObject* receiver, int intervalMs) = 0;
  virtual void Stop(QObject* receiver, int id) = 0;

  // The clock new periods start on.
  static TimerClock& Current();
  // Makes clock the current one (nullptr: Qt's timers); answers the previous.
  static TimerClock* Install(TimerClock* clock);
};

class TTimer : public QObject {
  Q_OBJECT

 public:
  explicit TTimer(QObject* parent = nullptr);
  ~TTimer() override;

  int Interval() const { return interval_; }
  void SetInterval(int value);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool value);
  // A period is being counted.
  bool Running() const { return id_ != 0; }

 signals:
  void Timer();

 protected:
  void timerEvent(QTimerEvent* event) override;

 private:
  void Restart();
  void Halt();

  int interval_ = 0;
  bool enabled_ = true;
  int id_ = 0;
  TimerClock* clock_ = nullptr;
};

}  // namespace varnholt
