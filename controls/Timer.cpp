#include "controls/Timer.h"

#include <QTimerEvent>

namespace varnholt {
namespace {

// Qt's timers, counted on the receiver's own thread.
class QtTimerClock : public TimerClock {
 public:
  int Start(QObject* receiver, int intervalMs) override { return receiver->startTimer(intervalMs); }
  void Stop(QObject* receiver, int id) override { receiver->killTimer(id); }
};

TimerClock* g_installed = nullptr;

}  // namespace

TimerClock& TimerClock::Current() {
  static QtTimerClock qt;
  return g_installed ? *g_installed : static_cast<TimerClock&>(qt);
}

TimerClock* TimerClock::Install(TimerClock* clock) {
  TimerClock* previous = g_installed;
  g_installed = clock;
  return previous;
}

TTimer::TTimer(QObject* parent) : QObject(parent) {}

TTimer::~TTimer() {
  Halt();
}

void TTimer::SetInterval(int value) {
  if (value == interval_)
    return;
  interval_ = value;
  Restart();
}

void TTimer::SetEnabled(bool value) {
  if (value == enabled_)
    return;
  enabled_ = value;
  Restart();
}

void TTimer::Restart() {
  Halt();
  if (enabled_ && interval_ > 0) {
    clock_ = &TimerClock::Current();
    id_ = clock_->Start(this, interval_);
  }
}

void TTimer::Halt() {
  if (id_ == 0)
    return;
  // Stopped on the clock that started it, even if another was installed since.
  clock_->Stop(this, id_);
  id_ = 0;
  clock_ = nullptr;
}

void TTimer::timerEvent(QTimerEvent* event) {
  if (id_ != 0 && event->timerId() == id_)
    emit Timer();
}

}  // namespace varnholt
