// A camera that goes away while the rows are being read: vivid's "Disconnect"
// button makes its nodes answer ENODEV from one ioctl to the next, as an
// unplugged USB webcam does. The program must raise a clear error, not
// crash, and list the camera no more.
//
// vivid comes back only when its last user lets go, so the VM script runs
// this suite in a process of its own on a freshly loaded vivid.

#include <gtest/gtest.h>

#include "camera/platform/HResult.h"
#include "tests/vm/VividFixture.h"

namespace varnholt::test {
namespace {

using varnholt::platform::hr::DeviceNotConnected;

using VividUnplug = VividTest;

TEST_F(VividUnplug, ACameraUnpluggedDuringAReloadRaisesAClearErrorAndLeavesTheList) {
  ReloadRows(*camera);  // bound and read once
  ExpireValueSnapshots();
  long start = nodes->Ioctls();
  ReloadRows(*camera);
  const long reload = nodes->Ioctls() - start;
  ASSERT_GE(reload, 1);

  // Unplugged halfway through the next reload (before its one read of
  // vivid's single control class, when that is all it asks).
  ExpireValueSnapshots();
  bool pressed = false;
  start = nodes->Ioctls();
  nodes->BeforeIoctl(start + reload / 2, [&] { pressed = PressDisconnect(node); });
  const RaisedError raised = ErrorOf([&] { ReloadRows(*camera); });
  ASSERT_TRUE(pressed) << "vivid has no Disconnect button (no_error_inj=0 missing?)";
  EXPECT_TRUE(raised.ole) << raised.message;
  EXPECT_EQ(raised.code, static_cast<std::uint32_t>(DeviceNotConnected));
  EXPECT_EQ(raised.message, "The device is not connected");

  // The component let the dead node go with that error. vivid plugs its
  // camera in again once its last user lets go, so the next use finds it
  // and reads it, as a webcam plugged in again, without choosing it anew.
  EXPECT_EQ(camera->Devices().size(), 1u);
  EXPECT_TRUE(camera->BrightnessSupported());
  EXPECT_EQ(camera->Brightness(), 128);
  EXPECT_EQ(ErrorOf([&] { camera->SetBrightness(10); }).message, "<no exception>");
  EXPECT_EQ(camera->Brightness(), 10);
}

}  // namespace
}  // namespace varnholt::test
