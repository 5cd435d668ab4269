// varnholtctl watch on uvcvideo: a camera with a marked settings file,
// killed and started again (the cable pulled and plugged back), gets the
// file's values within two seconds of its node coming back. The camera's
// own log proves the values reached it.
//
// The suite kills its camera, so it needs one of its own
// (tests/vm/uvc-suite.sh).

#include <gtest/gtest.h>
#include <linux/videodev2.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>

#include "tests/vm/CtlRig.h"
#include "tests/vm/UvcRig.h"

namespace varnholt::test {
namespace {

class UvcRestoredOnReplug : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* suite = std::getenv("UVC_CAM_SUITE");
    const char* pid = std::getenv("UVC_CAM_PID");
    ASSERT_TRUE(suite && std::string(suite) == "UvcRestoredOnReplug" && pid)
        << "UvcRestoredOnReplug needs a camera of its own: tests/vm/uvc-suite.sh starts one";
    cameraPid = static_cast<pid_t>(std::atol(pid));
    ASSERT_FALSE(ctl.Program().isEmpty()) << "VARNHOLT_CTL should name varnholtctl";
    node = UvcCaptureNode();
    ASSERT_FALSE(node.empty()) << "no uvcvideo capture node: is the suite's camera running?";
  }
  void TearDown() override {
    // The suite's script waits for the nodes of the camera it started to
    // go; the one started here goes first.
    if (again > 0) {
      EXPECT_TRUE(KillCamera(again, node)) << "the restarted camera's node stayed";
      ::waitpid(again, nullptr, 0);
    }
  }

  CtlRig ctl;
  std::string node;
  pid_t cameraPid = 0;
  pid_t again = 0;
};

TEST_F(UvcRestoredOnReplug, TheMarkedFileIsBackWithinTwoSecondsOfTheNode) {
  const QString card = QString::fromLatin1(kUvcCard);
  const QString file = ctl.Path("uvc.vhx");
  ASSERT_TRUE(ctl.Run({"set", card, "Brightness", "37"}));
  ASSERT_TRUE(ctl.Run({"save", card, file}));
  ASSERT_TRUE(ctl.Run({"set", card, "Brightness", "5"}));
  ASSERT_TRUE(ctl.Run({"restore", card, file}));
  const QString loaded = card + ": loaded " + file;
  ctl.StartWatch();
  ASSERT_TRUE(ctl.Told(loaded));
  EXPECT_EQ(RawControl(node, V4L2_CID_BRIGHTNESS), 37);

  ASSERT_TRUE(KillCamera(cameraPid, node)) << "the capture node stayed after the kill";
  ASSERT_TRUE(ctl.Told(card + ": gone"));

  const std::string log = "/out/uvc-cam-UvcRestoredOnReplug-again.log";
  again = StartCamera(log);
  ASSERT_GT(again, 0) << "could not start /test/helper";
  const qint64 ms = ctl.MsFromUntil([&] { return std::filesystem::exists(node); }, loaded, 2);
  ASSERT_GE(ms, 0) << "the camera or the watch's load did not come back within a minute";
  std::cout << "uvcvideo: node back -> loaded in " << ms << " ms\n";
  RecordProperty("node_back_to_loaded_ms", static_cast<int>(ms));
  EXPECT_LE(ms, 2000);

  ::setenv("UVC_CAM_LOG", log.c_str(), 1);
  EXPECT_TRUE(CameraReceived("brightness", 0, "37"));
  EXPECT_EQ(RawControl(node, V4L2_CID_BRIGHTNESS), 37);
}

}  // namespace
}  // namespace varnholt::test
