// A uvcvideo camera that dies: the emulated camera program killed while the
// component streams from it, and right before the ioctl of a property read
// or write.
// The host then sees the USB device go, as with a pulled cable; the program
// must raise the clear "not connected" error, neither crash nor hang, and
// list the camera no more, as with vivid's unplugged camera.
//
// Each suite kills its camera, so tests/vm/uvc-suite.sh gives each a camera
// of its own and runs it in a process of its own.

#include <gtest/gtest.h>
#include <signal.h>

#include <QBuffer>
#include <QThread>
#include <atomic>
#include <iostream>
#include <set>
#include <string>

#include "camera/platform/HResult.h"
#include "tests/vm/UvcRig.h"
#include "tests/vm/VmChecks.h"

namespace varnholt::test {
namespace {

using varnholt::platform::hr::DeviceNotConnected;

// Whether a call on a gone camera failed clearly: the driver's "not
// connected", or, once an inactive component has let the dead node go,
// the missing camera by name.
::testing::AssertionResult FailedAsGone(const TFCamera& camera, const RaisedError& raised) {
  if (raised.ole && raised.code == static_cast<std::uint32_t>(DeviceNotConnected) &&
      raised.message == "The device is not connected")
    return ::testing::AssertionSuccess();
  if (!camera.Active() && raised.camera &&
      raised.message == std::string("Camera device '") + kUvcCard + "' not found")
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << raised.message;
}

// What every test expects of a camera once it is gone: reads and writes
// fail clearly, again and again, and the device list is empty.
void ExpectGone(TFCamera& camera) {
  for (int i = 0; i < 2; ++i) {
    EXPECT_TRUE(FailedAsGone(camera, ErrorOf([&] { camera.Brightness(); })));
    EXPECT_TRUE(FailedAsGone(camera, ErrorOf([&] { camera.SetContrast(60); })));
  }
  EXPECT_TRUE(camera.Devices().empty());
  EXPECT_EQ(ErrorOf([&] { camera.GetDevice(kUvcCard); }).message, "<no exception>");
  EXPECT_EQ(camera.GetDevice(kUvcCard), nullptr);
}

using UvcKilledWhileStreaming = UvcOwnCameraTest;

TEST_F(UvcKilledWhileStreaming, TheStreamEndsAndReadsRaiseTheClearError) {
  const TFCameraFormat small = Yuy2Format(*camera, 320, 240);
  ASSERT_EQ(small.Width, 320) << "the camera should offer YUYV 320x240";
  camera->SetFormat(small);
  const auto grabbed = StartGrabbing(*camera);
  const std::atomic<int>& frames = grabbed->frames;
  ASSERT_TRUE(WaitFor([&] { return frames >= 2; })) << frames << " frames in a minute";

  ASSERT_TRUE(KillCamera(cameraPid, node)) << "the capture node stayed after the kill";
  ASSERT_TRUE(WaitFor([&] { return camera->Devices().empty(); }));
  ExpectStreamEndedKeepingTheLastPicture(*camera, *grabbed);
  // Letting go neither hangs nor crashes.
  ExpectGone(*camera);
  EXPECT_EQ(ErrorOf([&] { camera->SetActive(false); }).message, "<no exception>");
  EXPECT_FALSE(camera->Active());
  camera->SetDeviceName("");
  EXPECT_TRUE(camera->Devices().empty());
}

using UvcKilledDuringARead = UvcOwnCameraTest;

TEST_F(UvcKilledDuringARead, TheReadRaisesTheClearErrorAndTheCameraLeavesTheList) {
  // Bound and read once, so the next read is the value read alone.
  ASSERT_TRUE(camera->BrightnessSupported());
  ASSERT_EQ(camera->Brightness(), 0);
  ExpireValueSnapshots();
  long start = nodes->Ioctls();
  EXPECT_EQ(camera->Brightness(), 0);
  ASSERT_GE(nodes->Ioctls() - start, 1) << "the value should be read from the driver";

  // Killed right before that read's first ioctl.
  ExpireValueSnapshots();
  bool killed = false;
  start = nodes->Ioctls();
  nodes->BeforeIoctl(start, [&] { killed = KillCamera(cameraPid, node); });
  const RaisedError raised = ErrorOf([&] { camera->Brightness(); });
  ASSERT_GT(nodes->Ioctls(), start) << "the read sent no ioctl";
  ASSERT_TRUE(killed) << "the capture node stayed after the kill";
  EXPECT_TRUE(raised.ole) << raised.message;
  EXPECT_EQ(raised.code, static_cast<std::uint32_t>(DeviceNotConnected));
  EXPECT_EQ(raised.message, "The device is not connected");

  ExpectGone(*camera);
  // Choosing it anew names the missing camera.
  camera->SetDeviceName("");
  camera->SetDeviceName(kUvcCard);
  const RaisedError missing = ErrorOf([&] { camera->BrightnessSupported(); });
  EXPECT_TRUE(missing.camera) << missing.message;
  EXPECT_EQ(missing.message, std::string("Camera device '") + kUvcCard + "' not found");
}

// Killed without waiting for uvcvideo to notice: until the host has seen
// the device go, a write's USB request meets a camera that is going
// (uvcvideo then answers EPROTO; a read may still come from its cache).
using UvcKilledDuringAWrite = UvcOwnCameraTest;

TEST_F(UvcKilledDuringAWrite, EveryWriteWhileTheCameraGoesFailsClearlyOrLands) {
  ASSERT_EQ(camera->Brightness(), 0);  // bound and read once
  long start = nodes->Ioctls();
  camera->SetBrightness(10);
  const long perWrite = nodes->Ioctls() - start;
  ASSERT_GE(perWrite, 1);

  // Killed right before the write's last ioctl, the value's own; the value
  // read first, as before the measured write.
  camera->Brightness();
  bool killed = false;
  start = nodes->Ioctls();
  nodes->BeforeIoctl(start + perWrite - 1, [&] { killed = ::kill(cameraPid, SIGKILL) == 0; });
  // Writes until the component says the camera is gone. Success is
  // possible at first (gadgetfs acks a SET_CUR's data itself); a failure
  // must be a platform error that says what happened, not "Unspecified
  // error".
  std::set<std::string> seen;
  bool gone = false;
  const bool ended = WaitFor([&] {
    const RaisedError raised = ErrorOf([&] { camera->SetBrightness(20); });
    seen.insert(raised.message);
    if (raised.message != "<no exception>") {
      EXPECT_TRUE(raised.ole) << raised.message;
      EXPECT_NE(raised.code, static_cast<std::uint32_t>(varnholt::platform::hr::Fail))
          << raised.message;
    }
    gone = raised.code == static_cast<std::uint32_t>(DeviceNotConnected);
    return gone;
  });
  ASSERT_TRUE(killed) << "the write sent no ioctl, or the kill failed";
  std::string outcomes;
  for (const std::string& message : seen)
    outcomes += (outcomes.empty() ? "" : " | ") + message;
  std::cout << "[ FIGURES  ] writes as the camera dies: " << outcomes << "\n";
  RecordProperty("writes_as_camera_dies", outcomes);
  ASSERT_TRUE(ended && gone) << "no write said the camera is gone within a minute";

  ASSERT_TRUE(WaitFor([&] { return camera->Devices().empty(); }));
  ExpectGone(*camera);
}

}  // namespace
}  // namespace varnholt::test
