// The V4L2 platform as the component walks it: the cameras found among the
// device nodes, their property bags, binding a filter and reaching its
// property families, and choosing the platform by name.

#include <gtest/gtest.h>
#include <linux/videodev2.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>

#include <QByteArray>
#include <QtGlobal>

#include "camera/CameraErrors.h"
#include "camera/FCamera.h"
#include "camera/platform/PlatformFactory.h"
#include "camera/platform/v4l2/AlsaSound.h"
#include "camera/platform/v4l2/V4l2Errors.h"
#include "camera/platform/v4l2/V4l2Platform.h"
#include "camera/platform/v4l2/device/NodeDirectory.h"
#include "tests/camera/v4l2/FakeUvcCamera.h"
#include "tests/support/TestEnvironment.h"

namespace varnholt::test {
namespace {

using namespace varnholt::platform;

constexpr std::uint32_t kCapture = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING;

// Nodes by path: a capture-capable camera, or an errno its opening answers.
class FakeNodes : public v4l2::NodeDirectory {
 public:
  struct Node {
    Node(std::uint32_t caps = kCapture, int error = 0, std::string link = "",
         std::string bus = "usb-0000:00:14.0-1", std::optional<v4l2::NodeFacts> told = {})
        : deviceCaps(caps),
          openErrno(error),
          byId(std::move(link)),
          busInfo(std::move(bus)),
          facts(std::move(told)) {}
    std::uint32_t deviceCaps;
    int openErrno;
    std::string byId;
    std::string busInfo;
    std::optional<v4l2::NodeFacts> facts;  // what sysfs tells without opening
  };

  std::vector<std::string> VideoNodes() override {
    std::vector<std::string> paths;
    for (const auto& [path, node] : nodes)
      paths.push_back(path);
    v4l2::SortByNodeNumber(paths);
    return paths;
  }
  std::string ByIdLink(const std::string& path) override { return nodes.at(path).byId; }
  int Open(const std::string& path, std::unique_ptr<v4l2::IoctlDevice>& device) override {
    const Node& node = nodes.at(path);
    if (node.openErrno)
      return -node.openErrno;
    auto camera = std::make_unique<FakeUvcCamera>(FakeUvcCamera::FullWebcam());
    camera->deviceCaps = node.deviceCaps;
    camera->busInfo = node.busInfo;
    device = std::move(camera);
    return 0;
  }
  bool Facts(const std::string& path, v4l2::NodeFacts& facts) override {
    const Node& node = nodes.at(path);
    if (node.facts)
      facts = *node.facts;
    return node.facts.has_value();
  }

  std::map<std::string, Node> nodes;
};

struct Listed {
  std::string friendlyName, devicePath, description;
  std::shared_ptr<IMoniker> moniker;
};

std::string BagString(IPropertyBag& bag, const std::string& name) {
  PropVariant value;
  if (bag.Read(name, value) != hr::Ok)
    return "<missing>";
  return std::get<std::string>(value);
}

class V4l2PlatformTest : public ::testing::Test {
 protected:
  std::vector<Listed> List(DeviceCategory category = DeviceCategory::VideoInput) {
    v4l2::V4l2Platform platform(nodes_);
    std::shared_ptr<Unknown> object;
    EXPECT_EQ(platform.CreateInstance(ClassId::SystemDeviceEnum, object), hr::Ok);
    auto devEnum = Query<ICreateDevEnum>(object);
    std::shared_ptr<IEnumMoniker> enumerator;
    std::vector<Listed> listed;
    if (devEnum->CreateClassEnumerator(category, enumerator, 0) != hr::Ok)
      return listed;
    std::shared_ptr<IMoniker> moniker;
    while (enumerator->Next(moniker) == hr::Ok) {
      std::shared_ptr<IPropertyBag> bag;
      EXPECT_EQ(moniker->BindToStorage(bag), hr::Ok);
      listed.push_back({BagString(*bag, "FriendlyName"), BagString(*bag, "DevicePath"),
                        BagString(*bag, "Description"), moniker});
    }
    return listed;
  }

  std::shared_ptr<FakeNodes> nodes_ = std::make_shared<FakeNodes>();
};

TEST_F(V4l2PlatformTest, CaptureNodesAreListedInNodeOrderWithTheirNames) {
  nodes_->nodes["/dev/video10"] = {};
  nodes_->nodes["/dev/video2"] = {kCapture, 0, "/dev/v4l/by-id/usb-Fake_Webcam-video-index0"};
  nodes_->nodes["/dev/video3"] = {V4L2_CAP_META_CAPTURE, 0, ""};
  nodes_->nodes["/dev/video4"] = {kCapture, EACCES, ""};
  nodes_->nodes["/dev/video5"] = {V4L2_CAP_VIDEO_OUTPUT, 0, ""};
  // Multi-planar capture only: a queue we do not stream.
  nodes_->nodes["/dev/video6"] = {V4L2_CAP_VIDEO_CAPTURE_MPLANE | V4L2_CAP_STREAMING, 0, ""};

  const auto listed = List();
  ASSERT_EQ(listed.size(), 2u);
  EXPECT_EQ(listed[0].friendlyName, "Fake UVC Webcam");
  EXPECT_EQ(listed[0].devicePath, "/dev/v4l/by-id/usb-Fake_Webcam-video-index0");
  EXPECT_EQ(listed[0].description, "uvcvideo usb-0000:00:14.0-1");
  EXPECT_EQ(listed[1].devicePath, "/dev/video10");  // no by-id link
  // Sound inputs are the machine's sound devices, never a video node.
  EXPECT_EQ(List(DeviceCategory::AudioInput).size(), v4l2::FindAlsaCaptureDevices().size());
}

TEST_F(V4l2PlatformTest, IdenticalCamerasAreNumberedByBusPositionAndLockedNodesListed) {
  // Found in node order, numbered in bus order: port 10 after port 9.
  nodes_->nodes["/dev/video0"] = {kCapture, 0, "", "usb-0000:00:14.0-10"};
  nodes_->nodes["/dev/video2"] = {kCapture, 0, "", "usb-0000:00:14.0-9"};
  nodes_->nodes["/dev/video4"] = {kCapture, 0, "", "usb-0000:00:14.0-2.1"};
  // This user may not open these: the first node of a device is listed,
  // its metadata node is not.
  nodes_->nodes["/dev/video6"] = {kCapture, EACCES, "/dev/v4l/by-id/usb-Locked-video-index0", "",
                                  v4l2::NodeFacts{"Locked Cam", 0, "/sys/devices/usb1/1-3"}};
  nodes_->nodes["/dev/video7"] = {kCapture, EACCES, "", "",
                                  v4l2::NodeFacts{"Locked Cam", 1, "/sys/devices/usb1/1-3"}};

  const auto listed = List();
  ASSERT_EQ(listed.size(), 4u);
  EXPECT_EQ(listed[0].friendlyName, "Fake UVC Webcam #3");
  EXPECT_EQ(listed[1].friendlyName, "Fake UVC Webcam #2");
  EXPECT_EQ(listed[2].friendlyName, "Fake UVC Webcam");
  EXPECT_EQ(listed[3].friendlyName, "Locked Cam");
  EXPECT_EQ(listed[3].devicePath, "/dev/v4l/by-id/usb-Locked-video-index0");
  EXPECT_EQ(listed[3].description, "/dev/video6: permission denied");

  // Each name reaches its own camera; the locked one says why it cannot.
  TFCamera camera(nullptr, std::make_shared<v4l2::V4l2Platform>(nodes_));
  camera.SetDeviceName("Fake UVC Webcam #2");
  EXPECT_TRUE(camera.BrightnessSupported());
  camera.SetDeviceName("Locked Cam");
  try {
    camera.BrightnessSupported();
    FAIL() << "a locked node was opened";
  } catch (const EOleSysError& e) {
    EXPECT_EQ(e.ErrorCode(), v4l2::hr_v4l2::NodeAccessDenied);
    const std::string& m = e.Message();
    EXPECT_EQ(m.rfind("Camera device 'Locked Cam' cannot be opened: Permission denied", 0), 0u)
        << m;
    EXPECT_NE(m.find("'video'"), std::string::npos) << m;
  }
}

TEST_F(V4l2PlatformTest, NoCameraIsAnEmptyCategory) {
  nodes_->nodes["/dev/video0"] = {kCapture, ENODEV, ""};
  v4l2::V4l2Platform platform(nodes_);
  std::shared_ptr<Unknown> object;
  ASSERT_EQ(platform.CreateInstance(ClassId::SystemDeviceEnum, object), hr::Ok);
  std::shared_ptr<IEnumMoniker> enumerator;
  EXPECT_EQ(Query<ICreateDevEnum>(object)->CreateClassEnumerator(DeviceCategory::VideoInput,
                                                                 enumerator, 0),
            hr::False);
  EXPECT_EQ(enumerator, nullptr);
}

TEST_F(V4l2PlatformTest, ABoundFilterAnswersBothFamiliesAndNamesItself) {
  nodes_->nodes["/dev/video0"] = {};
  const auto listed = List();
  ASSERT_EQ(listed.size(), 1u);
  std::shared_ptr<IBaseFilter> filter;
  ASSERT_EQ(listed[0].moniker->BindToObject(filter), hr::Ok);

  FilterInfo info;
  ASSERT_EQ(filter->QueryFilterInfo(info), hr::Ok);
  EXPECT_EQ(info.achName, "Fake UVC Webcam");
  std::shared_ptr<IEnumPins> pins;
  ASSERT_EQ(filter->EnumPins(pins), hr::Ok);
  std::shared_ptr<IPin> pin;
  ASSERT_EQ(pins->Next(pin), hr::Ok);
  EXPECT_NE(Query<IAMStreamConfig>(pin), nullptr);
  EXPECT_EQ(pins->Next(pin), hr::False);

  auto procAmp = Query<IAMVideoProcAmp>(filter);
  auto cameraControl = Query<IAMCameraControl>(filter);
  ASSERT_NE(procAmp, nullptr);
  ASSERT_NE(cameraControl, nullptr);
  EXPECT_EQ(Query<IKsPropertySet>(filter), nullptr);
  auto controls = Query<IControlList>(filter);
  ASSERT_NE(controls, nullptr);
  // The families and the control list lead back to the filter.
  EXPECT_EQ(Query<IBaseFilter>(procAmp), filter);
  EXPECT_NE(Query<IAMCameraControl>(controls), nullptr);
  std::int64_t contrast = 0;
  ASSERT_EQ(controls->GetValue(V4L2_CID_CONTRAST, contrast), hr::Ok);
  EXPECT_EQ(contrast, 32);
  std::int32_t value, flags;
  ASSERT_EQ(procAmp->Get(1, value, flags), hr::Ok);
  EXPECT_EQ(value, 32);
  ASSERT_EQ(cameraControl->Get(6, value, flags), hr::Ok);
  EXPECT_EQ(flags, kPropertyFlagsAuto);

  // Unplugged between listing and binding.
  nodes_->nodes["/dev/video0"].openErrno = ENOENT;
  EXPECT_EQ(listed[0].moniker->BindToObject(filter), hr::DeviceNotConnected);
}

TEST_F(V4l2PlatformTest, ErrorTextsExplainTheBackendsOwnCodes) {
  v4l2::V4l2Platform platform(nodes_);
  EXPECT_NE(platform.ErrorText(v4l2::hr_v4l2::UnderAutomaticControl).find("automatic control"),
            std::string::npos);
  const std::string message = ErrorMessage(platform, v4l2::hr_v4l2::UnderAutomaticControl);
  EXPECT_EQ(message.find("denied"), std::string::npos);
  EXPECT_FALSE(message.empty());
  std::shared_ptr<Unknown> graph;
  EXPECT_EQ(platform.CreateInstance(ClassId::FilterGraph, graph), hr::Ok);
}

TEST(V4l2NodeOrderTest, NodesSortByNumberNotByText) {
  std::vector<std::string> nodes = {"/dev/video10", "/dev/video2", "/dev/videoX", "/dev/video0"};
  v4l2::SortByNodeNumber(nodes);
  EXPECT_EQ(nodes, (std::vector<std::string>{"/dev/video0", "/dev/video2", "/dev/video10",
                                             "/dev/videoX"}));
}

TEST(V4l2NodeOrderTest, TheSystemDirectoryListsOnlyVideoNodes) {
  // A folder laid out like /dev: only videoN entries count.
  const std::string dir = testing::TempDir() + "v4l2-nodes";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir + "/v4l/by-id");
  for (const char* name : {"video11", "video1", "media0", "videoX", "v4l-subdev0"})
    std::ofstream(dir + "/" + name).put('x');
  std::filesystem::create_symlink("../../video11", dir + "/v4l/by-id/usb-Cam-video-index0");

  v4l2::SystemNodeDirectory system(dir);
  EXPECT_EQ(system.VideoNodes(), (std::vector<std::string>{dir + "/video1", dir + "/video11"}));
  EXPECT_EQ(system.ByIdLink(dir + "/video11"), dir + "/v4l/by-id/usb-Cam-video-index0");
  EXPECT_EQ(system.ByIdLink(dir + "/video1"), "");
  std::unique_ptr<v4l2::IoctlDevice> device;
  EXPECT_EQ(system.Open(dir + "/video9", device), -ENOENT);
  std::filesystem::remove_all(dir);
}

TEST(V4l2NodeWatchTest, TheWatchReportsNodesAndByIdLinksEvenInFoldersMadeLater) {
  // udev makes /dev/v4l/by-id with a camera's first link, and a link after
  // its node: a camera may become known by its link alone.
  const std::string dir = testing::TempDir() + "v4l2-watch";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  std::atomic<int> calls{0};
  v4l2::SystemNodeDirectory system(dir);
  const auto watch = system.Watch([&] { ++calls; });
  ASSERT_NE(watch, nullptr);
  const auto reported = [&](const std::function<void()>& change) {
    const int before = calls;
    change();
    return WaitUntil([&] { return calls > before; }, 10000);
  };
  const auto node = [&] { std::ofstream(dir + "/video0").put('x'); };
  const auto folders = [&] { std::filesystem::create_directories(dir + "/v4l/by-id"); };
  const auto link = [&] {
    std::filesystem::create_symlink("../../video0", dir + "/v4l/by-id/usb-Cam-video-index0");
  };
  EXPECT_TRUE(reported(node));
  EXPECT_TRUE(reported(folders));
  EXPECT_TRUE(reported(link));
  EXPECT_TRUE(reported([&] { std::filesystem::remove_all(dir + "/v4l"); }));
  // Made again, the folders are followed again.
  EXPECT_TRUE(reported(folders));
  EXPECT_TRUE(reported(link));
  std::filesystem::remove_all(dir);
}

TEST(V4l2NoCameraTest, AComputerWithoutVideoNodesListsNoCameraAndNothingFails) {
  const std::string dir = testing::TempDir() + "v4l2-no-nodes";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  TFCamera camera(nullptr, std::make_shared<v4l2::V4l2Platform>(
                               std::make_shared<v4l2::SystemNodeDirectory>(dir)));
  EXPECT_TRUE(camera.Devices().empty());
  try {
    camera.SupportedFormats();
    FAIL() << "formats without a camera";
  } catch (const EFCameraError& e) {
    EXPECT_EQ(e.Message(), "Camera device not selected");
  }
  std::filesystem::remove_all(dir);
}

TEST(V4l2PlatformChoiceTest, V4l2IsTheDefaultWhenNoneIsChosen) {
  const QByteArray chosen = qgetenv("VARNHOLT_PLATFORM");
  qunsetenv("VARNHOLT_PLATFORM");
  const std::string name = ChosenPlatformName();
  qputenv("VARNHOLT_PLATFORM", chosen);
  EXPECT_EQ(name, "v4l2");
  EXPECT_EQ(chosen, "virtual");  // what every test program runs on
}

TEST(V4l2PlatformChoiceTest, TheFactoryKnowsV4l2ByName) {
  const auto names = AvailablePlatforms();
  EXPECT_NE(std::find(names.begin(), names.end(), "v4l2"), names.end());
  EXPECT_EQ(CreatePlatform("v4l2")->Name(), "v4l2");
}

}  // namespace
}  // namespace varnholt::test
