// What reading a V4L2 camera costs in driver calls, and that the savings
// change no answer: ranges and capability flags come from one enumeration,
// values of a whole reload of the rows from one request per control class;
// a driver that reads controls only one by one and another program changing
// controls still give the answers of single reads.

#include <gtest/gtest.h>
#include <linux/videodev2.h>

#include <condition_variable>
#include <mutex>

#include "camera/CameraErrors.h"
#include "camera/PropertyKeys.h"
#include "tests/camera/v4l2/V4l2TestSupport.h"

namespace varnholt::test {
namespace {

using V4l2CostTest = V4l2CameraTest;

int ReadAllRanges(TFCamera& camera) {
  int supported = 0;
  for (const TFPropertyKey& key : kPropertyKeys)
    if ((camera.*key.Supported)()) {
      (camera.*key.Range)();
      ++supported;
    }
  return supported;
}

// What the rows show after a reload, key by key.
struct Row {
  bool supported = false;
  std::int32_t value = 0;
  TFRange range;
  bool automatic = false;
  friend bool operator==(const Row&, const Row&) = default;
};

std::vector<Row> Reload(TFCamera& camera) {
  std::vector<Row> rows;
  for (const TFPropertyKey& key : kPropertyKeys) {
    Row row;
    row.supported = (camera.*key.Supported)();
    if (row.supported) {
      row.value = (camera.*key.Value)();
      row.range = (camera.*key.Range)();
      row.automatic = (camera.*key.IsAuto)();
    }
    rows.push_back(row);
  }
  return rows;
}

// A second webcam of the same model whose driver reads controls only one by
// one, as every read did before the class requests.
struct OneByOne {
  std::shared_ptr<FakeUvcCamera> fake =
      std::make_shared<FakeUvcCamera>(FakeUvcCamera::FullWebcam());
  std::shared_ptr<SharedNodes> nodes = std::make_shared<SharedNodes>();
  std::unique_ptr<TFCamera> camera;
  OneByOne() {
    fake->refuseClassReads = true;
    nodes->cameras["/dev/video0"] = fake;
    camera =
        std::make_unique<TFCamera>(nullptr, std::make_shared<platform::v4l2::V4l2Platform>(nodes));
    camera->SetDeviceName("Fake UVC Webcam");
  }
};

TEST_F(V4l2CostTest, RangesOfAllSeventeenPropertiesComeFromOneEnumeration) {
  EXPECT_EQ(ReadAllRanges(*camera_), 15);  // UVC has no ColorEnable and no Roll
  const std::uint64_t enumerations = fake_->IoctlCount(VIDIOC_QUERY_EXT_CTRL);
  const std::uint64_t menus = fake_->IoctlCount(VIDIOC_QUERYMENU);
  // One walk: a query per control and one past the last.
  EXPECT_EQ(enumerations, FakeUvcCamera::FullWebcam().size() + 1);

  ReadAllRanges(*camera_);
  EXPECT_EQ(fake_->IoctlCount(VIDIOC_QUERY_EXT_CTRL), enumerations);
  EXPECT_EQ(fake_->IoctlCount(VIDIOC_QUERYMENU), menus);
}

TEST_F(V4l2CostTest, AReloadReadsEachControlClassOnceAndAnswersAsSingleReadsDo) {
  SnapshotClock clock;
  OneByOne old;
  Reload(*camera_);
  Reload(*old.camera);
  // Another program moves the camera through states the rows show
  // differently: values, each side of the exposure menu, modes off and on.
  const std::vector<std::function<void(FakeUvcCamera&)>> changes = {
      [](FakeUvcCamera&) {},
      [](FakeUvcCamera& f) { f.Find(V4L2_CID_BRIGHTNESS)->value = -20; },
      [](FakeUvcCamera& f) { f.Find(V4L2_CID_EXPOSURE_AUTO)->value = V4L2_EXPOSURE_MANUAL; },
      [](FakeUvcCamera& f) {
        f.Find(V4L2_CID_EXPOSURE_AUTO)->value = V4L2_EXPOSURE_SHUTTER_PRIORITY;
        f.Find(V4L2_CID_AUTO_WHITE_BALANCE)->value = 0;
        f.Find(V4L2_CID_WHITE_BALANCE_TEMPERATURE)->value = 3000;
      },
      [](FakeUvcCamera& f) {
        f.Find(V4L2_CID_AUTOGAIN)->value = 1;
        f.Find(V4L2_CID_FOCUS_AUTO)->value = 0;
        f.Find(V4L2_CID_ZOOM_ABSOLUTE)->value = 3;
      },
  };
  for (std::size_t i = 0; i < changes.size(); ++i) {
    SCOPED_TRACE(i);
    changes[i](*fake_);
    changes[i](*old.fake);
    // Within the snapshot's life: only the events tell of the change.
    const std::vector<Row> rows = Reload(*camera_);
    EXPECT_EQ(rows, Reload(*old.camera));

    clock.Expire();
    const std::uint64_t calls = fake_->IoctlCount();
    const std::uint64_t oldCalls = old.fake->IoctlCount();
    EXPECT_EQ(Reload(*camera_), rows);
    EXPECT_EQ(Reload(*old.camera), rows);
    // The user and camera classes; the old way, every support test, value
    // and automatic flag of the fifteen properties is a call of its own.
    EXPECT_EQ(fake_->IoctlCount() - calls, 2u);
    EXPECT_EQ(old.fake->IoctlCount() - oldCalls, 45u);
  }

  // Our own write ends the snapshot: the mode it switched off reads at once.
  camera_->SetFocusAuto(true);
  EXPECT_TRUE(camera_->FocusAuto());
  camera_->SetFocusAuto(false);
  camera_->SetFocus(50);
  EXPECT_FALSE(camera_->FocusAuto());
  EXPECT_EQ(camera_->Focus(), 50);
}

TEST_F(V4l2CostTest, AControlEventRefreshesCachedRangesAndValuesAndWakesTheWatch) {
  SnapshotClock clock;  // never expires here: what changes, the events bring
  ASSERT_EQ(camera_->Brightness(), 0);
  ASSERT_TRUE(camera_->BrightnessRange().Manual);
  const std::uint64_t queries = fake_->IoctlCount(VIDIOC_QUERY_EXT_CTRL);
  const std::uint64_t reads = fake_->IoctlCount(VIDIOC_G_EXT_CTRLS);

  FakeControl& brightness = *fake_->Find(V4L2_CID_BRIGHTNESS);
  brightness.maximum = 40;
  brightness.flags |= V4L2_CTRL_FLAG_GRABBED;
  brightness.value = 12;
  EXPECT_EQ(camera_->Brightness(), 12);
  const TFRange range = camera_->BrightnessRange();
  EXPECT_EQ(range.Max, 40);
  EXPECT_FALSE(range.Manual);
  EXPECT_EQ(fake_->IoctlCount(VIDIOC_QUERY_EXT_CTRL), queries);
  EXPECT_EQ(fake_->IoctlCount(VIDIOC_G_EXT_CTRLS), reads);

  // Whoever watches the devices hears of another program's change at once.
  std::mutex mutex;
  std::condition_variable heard;
  int calls = 0;
  auto watch = platform_->WatchDevices([&] {
    std::lock_guard lock(mutex);
    ++calls;
    heard.notify_all();
  });
  ASSERT_NE(watch, nullptr);
  fake_->ChangeByOtherProgram(V4L2_CID_CONTRAST, 7);
  std::unique_lock lock(mutex);
  ASSERT_TRUE(heard.wait_for(lock, std::chrono::seconds(10), [&] { return calls > 0; }));
  lock.unlock();
  EXPECT_EQ(camera_->Contrast(), 7);
  EXPECT_EQ(fake_->IoctlCount(VIDIOC_G_EXT_CTRLS), reads);
}

TEST_F(V4l2CostTest, ARefusedWriteQueriesThatOneControlAgainAndItsFlagsFollow) {
  ASSERT_TRUE(camera_->BrightnessRange().Manual);
  const std::uint64_t before = fake_->IoctlCount(VIDIOC_QUERY_EXT_CTRL);
  // Another program makes the control read-only between our read and write.
  fake_->beforeWrite = [&] { fake_->Find(V4L2_CID_BRIGHTNESS)->flags |= V4L2_CTRL_FLAG_READ_ONLY; };
  EXPECT_THROW(camera_->SetBrightness(10), EOleSysError);
  EXPECT_EQ(fake_->IoctlCount(VIDIOC_QUERY_EXT_CTRL), before + 1);
  EXPECT_FALSE(camera_->BrightnessRange().Manual);
  EXPECT_TRUE(camera_->ContrastRange().Manual);  // the others keep what they had
  // Values are read anew all the same.
  fake_->Find(V4L2_CID_BRIGHTNESS)->value = 33;
  EXPECT_EQ(camera_->Brightness(), 33);
}

}  // namespace
}  // namespace varnholt::test
