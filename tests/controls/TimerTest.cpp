// The timer: interval 0 means not running, an unchanged interval does not
// restart it, a new one does.

#include <gtest/gtest.h>

#include <QEventLoop>
#include <QTimer>

#include "controls/Timer.h"
#include "tests/support/ManualClock.h"

namespace varnholt::test {
namespace {

struct Ticks {
  explicit Ticks(TTimer& timer) {
    QObject::connect(&timer, &TTimer::Timer, [this] { ++count; });
  }
  int count = 0;
};

TEST(TimerTest, IntervalZeroMeansNotRunningWhateverEnabledSays) {
  ManualClock clock;
  TTimer timer;
  Ticks ticks(timer);
  EXPECT_TRUE(timer.Enabled());
  EXPECT_EQ(timer.Interval(), 0);
  EXPECT_FALSE(timer.Running());
  clock.Advance(100000);
  EXPECT_EQ(ticks.count, 0);

  timer.SetInterval(4000);
  EXPECT_TRUE(timer.Running());
  clock.Advance(3999);
  EXPECT_EQ(ticks.count, 0);
  clock.Advance(1);
  EXPECT_EQ(ticks.count, 1);
  clock.Advance(8000);
  EXPECT_EQ(ticks.count, 3);  // it repeats

  timer.SetInterval(0);
  EXPECT_FALSE(timer.Running());
  clock.Advance(100000);
  EXPECT_EQ(ticks.count, 3);
}

TEST(TimerTest, TheSameIntervalDoesNotRestartTheRunningPeriod) {
  ManualClock clock;
  TTimer timer;
  Ticks ticks(timer);
  timer.SetInterval(4000);
  clock.Advance(3000);
  timer.SetInterval(4000);
  clock.Advance(1000);
  EXPECT_EQ(ticks.count, 1);  // 4000 after the first setting
}

TEST(TimerTest, ADifferentIntervalStartsANewPeriodFromNow) {
  ManualClock clock;
  TTimer timer;
  Ticks ticks(timer);
  timer.SetInterval(4000);
  clock.Advance(3000);
  timer.SetInterval(2000);
  clock.Advance(1999);
  EXPECT_EQ(ticks.count, 0);
  clock.Advance(1);
  EXPECT_EQ(ticks.count, 1);
}

TEST(TimerTest, DisabledTimersDoNotRunAndEnablingStartsAPeriod) {
  ManualClock clock;
  TTimer timer;
  Ticks ticks(timer);
  timer.SetEnabled(false);
  timer.SetInterval(500);
  EXPECT_FALSE(timer.Running());
  clock.Advance(5000);
  EXPECT_EQ(ticks.count, 0);

  timer.SetEnabled(true);
  clock.Advance(300);
  timer.SetEnabled(true);  // unchanged: no restart
  clock.Advance(200);
  EXPECT_EQ(ticks.count, 1);

  // Disabled with an interval kept, then a new interval: still not running.
  timer.SetEnabled(false);
  timer.SetInterval(100);
  clock.Advance(1000);
  EXPECT_EQ(ticks.count, 1);
}

TEST(TimerTest, AHandlerMayStopItsOwnTimer) {
  ManualClock clock;
  TTimer timer;
  int ticks = 0;
  QObject::connect(&timer, &TTimer::Timer, [&] {
    ++ticks;
    timer.SetInterval(0);
  });
  timer.SetInterval(4000);
  clock.Advance(20000);
  EXPECT_EQ(ticks, 1);
  EXPECT_EQ(clock.Running(), 0);
}

TEST(TimerTest, ATimerGoneStopsItsPeriods) {
  ManualClock clock;
  {
    TTimer timer;
    timer.SetInterval(10);
    EXPECT_EQ(clock.Running(), 1);
  }
  EXPECT_EQ(clock.Running(), 0);
}

// Without a test clock the periods are Qt's own timers, served by the loop.
TEST(TimerTest, QtTimersDriveTheTimerInTheEventLoop) {
  TTimer timer;
  QEventLoop loop;
  int ticks = 0;
  QObject::connect(&timer, &TTimer::Timer, [&] {
    if (++ticks == 3)
      loop.quit();
  });
  QTimer giveUp;
  giveUp.setSingleShot(true);
  QObject::connect(&giveUp, &QTimer::timeout, &loop, [&] { loop.exit(1); });
  giveUp.start(20000);
  timer.SetInterval(1);
  EXPECT_EQ(loop.exec(), 0);
  EXPECT_EQ(ticks, 3);
  timer.SetInterval(0);
  EXPECT_FALSE(timer.Running());
}

}  // namespace
}  // namespace varnholt::test
