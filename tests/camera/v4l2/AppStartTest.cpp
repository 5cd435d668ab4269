// The program on the V4L2 platform of a computer without cameras: the main
// window starts with an empty camera list and reports nothing.

#include <gtest/gtest.h>

#include <filesystem>

#include "camera/platform/PlatformFactory.h"
#include "camera/platform/v4l2/V4l2Platform.h"
#include "controls/ListBox.h"
#include "tests/app/MainWindowFixture.h"

namespace varnholt::test {
namespace {

class V4l2AppStartTest : public MainWindow {
 protected:
  ~V4l2AppStartTest() override { platform::SetActivePlatform(nullptr); }
};

TEST_F(V4l2AppStartTest, WithoutVideoNodesTheWindowStartsWithNoCamera) {
  const std::string dir = testing::TempDir() + "v4l2-app-no-nodes";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  platform::SetActivePlatform(std::make_shared<platform::v4l2::V4l2Platform>(
      std::make_shared<platform::v4l2::SystemNodeDirectory>(dir)));

  auto form = Start();
  EXPECT_EQ(Part<TListBox>(*form, "ComboBoxCamera")->count(), 0);
  EXPECT_EQ(form->CameraStatus(), 0);
  EXPECT_TRUE(errors.isEmpty()) << errors.join("; ").toStdString();
  Close(*form);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace varnholt::test
