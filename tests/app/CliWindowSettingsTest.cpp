// One settings file format for the window and varnholtctl: a file saved by
// either and loaded by the other gives the camera back as it was saved.

#include <gtest/gtest.h>

#include "tests/app/SettingsWindowFixture.h"
#include "tests/cli/CliRun.h"

namespace varnholt::test {
namespace {

const QByteArray kDesk =
    "[" +
    Camera("Desk",
           R"({"Brightness": )" + Property(0, 255, 128) + R"(, "WhiteBalance": )" +
               Property(2800, 6500, 4600, R"(, "step": 10)" + kAutoCaps) +
               R"(, "PowerLineFrequency": )" + Property(0, 3, 1) + "}",
           Formats({480}), R"({"Zoom": )" + Property(100, 500, 100) + "}") +
    "]";

class CliWindowSettings : public SettingsWindow {
 protected:
  CliWindowSettings() : cli(kDesk) {}

  // The window on the same cameras and camera state as the program.
  void StartWindow() {
    platform =
        platform::virtualcam::VirtualPlatform::FromJson(cli.Description(), cli.StateFolder());
    platform::SetActivePlatform(platform);
    form = Start();
  }
  void Cli(const QStringList& arguments) {
    const CliResult result = cli.Run(arguments);
    EXPECT_EQ(result.Code, 0) << arguments.join(' ').toStdString() << ": "
                              << result.Err.toStdString();
  }
  // Every property of the camera, as get --json gives it.
  QByteArray CameraState() { return cli.Run({"get", "--json", "Desk"}).Out.toUtf8(); }
  void SetSaved() {
    Cli({"set", "Desk", "Brightness", "42"});
    Cli({"set", "Desk", "Zoom", "250"});
    Cli({"set", "Desk", "WhiteBalance", "auto"});
    Cli({"power", "Desk", "60"});
  }
  void SetOther() {
    Cli({"set", "Desk", "Brightness", "7"});
    Cli({"set", "Desk", "Zoom", "400"});
    Cli({"set", "Desk", "WhiteBalance", "manual"});
    Cli({"set", "Desk", "WhiteBalance", "3000"});
    Cli({"power", "Desk", "50"});
  }

  CliCameras cli;
};

TEST_F(CliWindowSettings, AFileSavedByTheProgramLoadsInTheWindow) {
  SetSaved();
  const QByteArray saved = CameraState();
  QDir().mkpath(Folder());
  Cli({"save", "Desk", PathIn("cli.vhx")});
  SetOther();
  ASSERT_NE(CameraState(), saved);

  StartWindow();
  Load("cli.vhx");
  EXPECT_EQ(CameraState(), saved);
}

TEST_F(CliWindowSettings, AFileSavedInTheWindowLoadsThroughTheProgram) {
  SetSaved();
  const QByteArray saved = CameraState();
  StartWindow();
  Save("window.vhx");
  SetOther();
  ASSERT_NE(CameraState(), saved);

  Cli({"load", "Desk", PathIn("window.vhx")});
  EXPECT_EQ(CameraState(), saved);
}

}  // namespace
}  // namespace varnholt::test
