// varnholtctl watch on vivid: the module removed and loaded again (a driver
// reload, which the kernel survives with none of the camera's settings)
// gets the marked file's values back within two seconds of the capture
// node's return. vivid's nodes have no by-id link, so the mark is keyed by
// the card name.
//
// The suite removes vivid, so tests/vm/vivid-suite.sh runs it in a process
// of its own, with nothing else holding the device.

#include <gtest/gtest.h>
#include <linux/videodev2.h>
#include <sys/stat.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <string>

#include "tests/vm/CtlRig.h"
#include "tests/vm/VividRig.h"

namespace varnholt::test {
namespace {

TEST(VividRestoredOnReload, TheMarkedFileIsBackWithinTwoSecondsOfTheNode) {
  CtlRig ctl;
  ASSERT_FALSE(ctl.Program().isEmpty()) << "VARNHOLT_CTL should name varnholtctl";
  const std::string node = VividCaptureNode();
  ASSERT_FALSE(node.empty()) << "no video capture node: is vivid loaded?";
  const QString card = QString::fromLatin1(kVividCard);
  const QString file = ctl.Path("vivid.vhx");
  ASSERT_TRUE(ctl.Run({"set", node.c_str(), "Brightness", "37"}));
  ASSERT_TRUE(ctl.Run({"save", node.c_str(), file}));
  ASSERT_TRUE(ctl.Run({"set", node.c_str(), "Brightness", "200"}));
  ASSERT_TRUE(ctl.Run({"restore", node.c_str(), file}));
  const QString loaded = card + ": loaded " + file;
  ctl.StartWatch();
  ASSERT_TRUE(ctl.Told(loaded));
  EXPECT_EQ(RawControl(node, V4L2_CID_BRIGHTNESS), 37);

  // As a user would, once the load is over: nothing opens or closes the
  // camera for half a second (the watch's own load may still be closing it).
  ASSERT_TRUE(CtlRig::NodesQuiet(500, 20000)) << "the watch keeps opening the camera";
  // vm-modules loads it again with the profile's parameters.
  ASSERT_EQ(std::system("vm-modules unload vivid"), 0) << "rmmod vivid failed: still in use?";
  ASSERT_TRUE(ctl.Told(card + ": gone"));
  ASSERT_EQ(std::system("vm-modules load vivid"), 0);
  const qint64 ms = ctl.MsFromUntil([&] { return std::filesystem::exists(node); }, loaded, 2);
  ASSERT_GE(ms, 0) << "the capture node or the watch's load did not come back within a minute";
  std::cout << "vivid: node back -> loaded in " << ms << " ms\n";
  ::testing::Test::RecordProperty("node_back_to_loaded_ms", static_cast<int>(ms));
  EXPECT_LE(ms, 2000);
  EXPECT_EQ(RawControl(node, V4L2_CID_BRIGHTNESS), 37);
  // A node's mode changes while it stays (udev's group, a session's access
  // list), at times seconds after it came: the same appearance, no second
  // load. Past the second the node came in, its change time differs.
  struct stat made {};
  ASSERT_EQ(::stat(node.c_str(), &made), 0);
  ASSERT_TRUE(WaitFor([&] { return std::time(nullptr) > made.st_ctime; }));
  std::filesystem::permissions(
      node, std::filesystem::perms::group_read | std::filesystem::perms::group_write,
      std::filesystem::perm_options::add);
  EXPECT_TRUE(CtlRig::NodesQuiet(2000, 20000)) << "the watch keeps opening the camera";
  EXPECT_FALSE(ctl.Told(loaded, 3, 0)) << "loaded again for a change of mode";
}

}  // namespace
}  // namespace varnholt::test
