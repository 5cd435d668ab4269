// varnholt-vcam as another program: its changes show in this process's
// objects, and this process's changes show in its output.

#include <QProcess>
#include <QProcessEnvironment>

#include "tests/camera/virtual/VirtualTestSupport.h"
#include "tests/support/TestEnvironment.h"

namespace varnholt::test {
namespace {

using namespace varnholt::platform;

const QByteArray kCameras = R"({"cameras": [
  {"friendlyName": "Desk", "devicePath": "desk-path",
   "videoProcAmp": {"Brightness": {"min": 0, "max": 255, "default": 128, "caps": ["auto", "manual"]}},
   "stabilization": {"mode": 0, "flags": 2}},
  {"friendlyName": "Twin", "devicePath": "twin-1"},
  {"friendlyName": "Twin", "devicePath": "twin-2"}
]})";

struct VcamRun {
  int exitCode = -1;
  QString out;
  QString err;
};

class VcamToolTest : public VirtualPlatformTest {
 protected:
  void SetUp() override {
    camerasFile_ = StateDir() + "/cameras.json";
    ASSERT_TRUE(WriteFile(camerasFile_, kCameras));
    platform_ = VirtualPlatform::FromJson(kCameras, StateDir() + "/state");
  }

  VcamRun Vcam(const QStringList& args) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("VARNHOLT_VIRTUAL_CAMERAS", camerasFile_);
    env.insert("VARNHOLT_VIRTUAL_STATE", StateDir() + "/state");
    process.setProcessEnvironment(env);
    process.start(VARNHOLT_VCAM_PATH, args);
    EXPECT_TRUE(process.waitForFinished(10000)) << args.join(' ').toStdString();
    return VcamRun{process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
                   QString::fromUtf8(process.readAllStandardError())};
  }

  QString camerasFile_;
  std::shared_ptr<VirtualPlatform> platform_;
};

TEST_F(VcamToolTest, ChangesCrossBetweenProcesses) {
  const auto procAmp = Query<IAMVideoProcAmp>(BindCamera(*platform_));
  ASSERT_NE(procAmp, nullptr);

  VcamRun run = Vcam({"set", "Desk", "Brightness", "140", "auto"});
  EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
  std::int32_t value = 0, flags = 0;
  ASSERT_EQ(procAmp->Get(0, value, flags), hr::Ok);
  EXPECT_EQ(value, 140);
  EXPECT_EQ(flags, kPropertyFlagsAuto);

  ASSERT_EQ(procAmp->Set(0, 33, kPropertyFlagsManual), hr::Ok);
  run = Vcam({"get", "desk-path", "brightness"});
  EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
  EXPECT_EQ(run.out, "33 manual\n");

  run = Vcam({"set", "Desk", "Stabilization", "2"});
  EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
  EXPECT_EQ(Vcam({"get", "Desk", "Stabilization"}).out, "2 manual\n");
}

TEST_F(VcamToolTest, UnplugAndPlugShowInTheDeviceList) {
  EXPECT_EQ(Vcam({"unplug", "Desk"}).exitCode, 0);
  EXPECT_EQ(ListedNames(*platform_, DeviceCategory::VideoInput),
            (std::vector<std::string>{"Twin", "Twin #2"}));
  const VcamRun list = Vcam({"list"});
  EXPECT_EQ(list.exitCode, 0);
  EXPECT_TRUE(list.out.startsWith("Desk\tdesk-path\tunplugged\nTwin\ttwin-1\tplugged\n"))
      << list.out.toStdString();
  EXPECT_EQ(Vcam({"plug", "Desk"}).exitCode, 0);
  EXPECT_EQ(ListedNames(*platform_, DeviceCategory::VideoInput).size(), 3u);
}

// A name from a device may hold terminal escapes and line breaks: the list
// shows them as escapes, one line per camera.
TEST_F(VcamToolTest, ListEscapesControlCharacters) {
  ASSERT_TRUE(WriteFile(camerasFile_, R"({"cameras": [{"friendlyName":
      "Evil\u001b[2J\tTab\nNew\\Back\u0085", "devicePath": "evil\rpath"}]})"));
  const VcamRun list = Vcam({"list"});
  EXPECT_EQ(list.exitCode, 0) << list.err.toStdString();
  EXPECT_EQ(list.out, "Evil\\x1b[2J\\tTab\\nNew\\\\Back\\x85\tevil\\rpath\tplugged\n");
}

TEST_F(VcamToolTest, BadUseAndFailuresExitWithTwoAndAMessage) {
  const std::pair<QStringList, QString> cases[] = {
      {{}, "usage:"},
      {{"dance"}, "usage:"},
      {{"get", "Desk"}, "usage:"},
      {{"get", "Nobody", "Brightness"}, "no virtual camera is named \"Nobody\""},
      {{"get", "Twin", "Brightness"}, "several virtual cameras are named \"Twin\""},
      {{"get", "Desk", "Loudness"}, "unknown property \"Loudness\""},
      {{"set", "Desk", "Brightness", "bright"}, "\"bright\" is not an integer"},
      {{"set", "Desk", "Brightness", "10", "often"}, "must be \"auto\" or \"manual\""},
      {{"set", "Desk", "Brightness", "999"}, "set Brightness failed: The parameter is incorrect"},
      {{"get", "twin-1", "Brightness"}, "(0x80070492)"},
  };
  for (const auto& [args, message] : cases) {
    const VcamRun run = Vcam(args);
    EXPECT_EQ(run.exitCode, 2) << args.join(' ').toStdString();
    EXPECT_TRUE(run.err.contains(message)) << run.err.toStdString();
  }
}

}  // namespace
}  // namespace varnholt::test
