// The float slider: its normalisation rule and its change notifications.

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QSlider>
#include <QTest>
#include <cmath>
#include <limits>

#include "controls/TrackBar.h"

namespace varnholt::test {
namespace {

struct Range {
  float min, max, frequency;
};

// A slider set up the way the rows load one: minimum, maximum, step, value.
void Load(TTrackBar& bar, Range r, float value) {
  bar.SetMin(r.min);
  bar.SetMax(r.max);
  bar.SetFrequency(r.frequency);
  bar.SetValue(value);
}

TEST(TrackBarTest, ValuesAreNormalisedByTheRule) {
  struct Case {
    const char* what;
    Range range;
    float value;
    float expected;
  };
  const std::vector<Case> cases = {
      {"inside, on a step", {0, 255, 1}, 128, 128},
      {"below the minimum", {-10, 10, 1}, -50, -10},
      {"above the maximum", {-10, 10, 1}, 50, 10},
      {"rounded to the nearest step", {0, 100, 10}, 34, 30},
      {"rounded up to the nearest step", {0, 100, 10}, 36, 40},
      {"tie to the even multiple below", {0, 100, 10}, 25, 20},
      {"tie to the even multiple above", {0, 100, 10}, 35, 40},
      {"tie with step 1 to even", {0, 10, 1}, 2.5f, 2},
      {"tie with step 1 to even, upwards", {0, 10, 1}, 3.5f, 4},
      {"negative tie to even", {-100, 100, 10}, -25, -20},
      {"multiples count from zero, not from the minimum", {3, 100, 10}, 14, 10},
      {"a rounded value outside the range is clamped again", {3, 100, 10}, 4, 3},
      {"the top end stays though it is no multiple", {0, 97, 10}, 97, 97},
      {"the bottom end stays though it is no multiple", {3, 97, 10}, 3, 3},
      {"a value clamped to an end stays there", {3, 97, 10}, 1000, 97},
      {"rounding past the top is clamped to it", {0, 97, 10}, 96, 97},
      {"step 0 is continuous", {-50, 50, 0}, 12.7f, 12.7f},
      {"negative step counts as 0", {-50, 50, -5}, 12.7f, 12.7f},
  };
  for (const Case& c : cases) {
    TTrackBar bar;
    Load(bar, c.range, c.value);
    EXPECT_EQ(bar.Value(), c.expected) << c.what;
  }
}

TEST(TrackBarTest, RangesAreNormalisedToo) {
  TTrackBar bar;
  Load(bar, {20, 10, -1}, 15);
  EXPECT_EQ(bar.Min(), 20);
  EXPECT_EQ(bar.Max(), 20);  // raised to the minimum: a single position
  EXPECT_EQ(bar.Frequency(), 0);
  EXPECT_EQ(bar.Value(), 20);

  // Whatever range it held, a loaded range with min <= max arrives unchanged.
  Load(bar, {-100, -50, 5}, -70);
  EXPECT_EQ(bar.Min(), -100);
  EXPECT_EQ(bar.Max(), -50);
  EXPECT_EQ(bar.Value(), -70);
  Load(bar, {500, 1000, 10}, 600);
  EXPECT_EQ(bar.Min(), 500);
  EXPECT_EQ(bar.Max(), 1000);
  EXPECT_EQ(bar.Value(), 600);

  // A range moved away from the value takes the value along.
  bar.SetMax(550);
  EXPECT_EQ(bar.Value(), 550);
}

TEST(TrackBarTest, EveryEffectiveChangeAndOnlyThatIsNotifiedAtOnce) {
  TTrackBar bar;
  Load(bar, {0, 100, 1}, 50);
  int changes = 0;
  float seen = -1;
  QObject::connect(&bar, &TTrackBar::Change, [&] {
    ++changes;
    seen = bar.Value();  // synchronous: the new value is there already
  });

  bar.SetValue(60);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(seen, 60);
  bar.SetValue(60);     // same value
  bar.SetValue(60.2f);  // rounds to the same step
  bar.SetMin(0);        // same range
  bar.SetFrequency(2);  // the step alone changes neither range nor value
  EXPECT_EQ(changes, 1);
  bar.SetFrequency(7);  // 60 is no multiple of 7: the value moves to 63
  EXPECT_EQ(changes, 2);
  EXPECT_EQ(seen, 63);
  bar.SetMax(80);  // range only
  EXPECT_EQ(changes, 3);
  bar.SetMin(70);  // range and value in one assignment: one notification
  EXPECT_EQ(changes, 4);
  EXPECT_EQ(bar.Value(), 70);
  bar.SetValue(std::numeric_limits<float>::quiet_NaN());
  bar.SetMax(std::numeric_limits<float>::quiet_NaN());
  EXPECT_EQ(changes, 4);
  EXPECT_EQ(bar.Value(), 70);
  EXPECT_EQ(bar.Max(), 80);
}

TEST(TrackBarTest, TheQtPropertiesReachTheSameRule) {
  TTrackBar bar;
  ASSERT_TRUE(bar.setProperty("min", -10.0f));
  ASSERT_TRUE(bar.setProperty("max", 10.0f));
  ASSERT_TRUE(bar.setProperty("frequency", 4.0f));
  ASSERT_TRUE(bar.setProperty("value", 6.0f));  // tie between 4 and 8: even multiple 8
  EXPECT_EQ(bar.property("value").toFloat(), 8.0f);
  EXPECT_EQ(bar.property("min").toFloat(), -10.0f);
}

TEST(TrackBarTest, DraggingNotifiesLikeTheProgramAndSnapsToSteps) {
  TTrackBar bar;
  bar.resize(300, 30);
  Load(bar, {0, 10, 1}, 0);
  bar.setEnabled(true);
  QSignalSpy changes(&bar, &TTrackBar::Change);

  // The user moves the handle most of the way: the value snaps to a step.
  bar.Track()->setSliderDown(true);
  bar.Track()->setSliderPosition(TTrackBar::kPositions * 73 / 100);  // 7.3
  EXPECT_EQ(changes.count(), 1);
  EXPECT_EQ(bar.Value(), 7);
  // Moving within the same step changes nothing.
  bar.Track()->setSliderPosition(TTrackBar::kPositions * 71 / 100);
  EXPECT_EQ(changes.count(), 1);
  // The far end is reached exactly.
  bar.Track()->setSliderPosition(TTrackBar::kPositions);
  EXPECT_EQ(bar.Value(), 10);
  bar.Track()->setSliderDown(false);
  EXPECT_EQ(changes.count(), 2);

  // Keys move by a step.
  bar.Track()->triggerAction(QAbstractSlider::SliderSingleStepSub);
  EXPECT_EQ(bar.Value(), 9);
  EXPECT_EQ(changes.count(), 3);
}

TEST(TrackBarTest, AClickOnTheGrooveMovesTheValueWithANotification) {
  TTrackBar bar;
  bar.resize(300, 30);
  bar.show();
  Load(bar, {0, 100, 0}, 0);
  QSignalSpy changes(&bar, &TTrackBar::Change);
  QTest::mouseClick(bar.Track(), Qt::LeftButton, {}, QPoint(280, 15));
  EXPECT_GE(changes.count(), 1);
  EXPECT_GT(bar.Value(), 0);
}

TEST(TrackBarTest, ProgramChangesMoveTheHandleWithoutASecondNotification) {
  TTrackBar bar;
  Load(bar, {-50, 50, 0}, 0);
  QSignalSpy changes(&bar, &TTrackBar::Change);
  bar.SetValue(25);
  EXPECT_EQ(changes.count(), 1);
  EXPECT_EQ(bar.Track()->value(), TTrackBar::kPositions * 3 / 4);
}

}  // namespace
}  // namespace varnholt::test
