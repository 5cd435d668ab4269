#pragma once

// A test clock for TTimer: while it lives it is the current TimerClock, and
// time moves only when the test calls Advance, which delivers every period
// that ends meanwhile in order of its end. It must outlive the timers
// started on it.

#include <QCoreApplication>
#include <QObject>
#include <QTimerEvent>
#include <algorithm>
#include <vector>

#include "controls/Timer.h"

namespace varnholt::test {

class ManualClock : public TimerClock {
 public:
  ManualClock() : previous_(TimerClock::Install(this)) {}
  ~ManualClock() override { TimerClock::Install(previous_); }
  ManualClock(const ManualClock&) = delete;
  ManualClock& operator=(const ManualClock&) = delete;

  int Start(QObject* receiver, int intervalMs) override {
    timers_.push_back({next_, receiver, intervalMs, now_ + intervalMs});
    return next_++;
  }
  void Stop(QObject*, int id) override {
    std::erase_if(timers_, [id](const Entry& e) { return e.id == id; });
  }

  // Moves time on by ms milliseconds.
  void Advance(long long ms) {
    const long long end = now_ + ms;
    for (;;) {
      auto due =
          std::min_element(timers_.begin(), timers_.end(), [](const Entry& a, const Entry& b) {
            return a.due < b.due || (a.due == b.due && a.id < b.id);
          });
      if (due == timers_.end() || due->due > end)
        break;
      now_ = due->due;
      due->due += due->interval;
      const int id = due->id;
      QObject* receiver = due->receiver;
      // The handler may stop or start timers, so nothing is held across it.
      QTimerEvent event(id);
      QCoreApplication::sendEvent(receiver, &event);
    }
    now_ = end;
  }

  long long Now() const { return now_; }
  // Periods being counted on this clock.
  int Running() const { return static_cast<int>(timers_.size()); }

 private:
  struct Entry {
    int id;
    QObject* receiver;
    int interval;
    long long due;
  };
  TimerClock* previous_;
  std::vector<Entry> timers_;
  long long now_ = 0;
  // Far from the ids Qt hands out, so that no real timer event is taken for ours.
  int next_ = 0x40000000;
};

}  // namespace varnholt::test
