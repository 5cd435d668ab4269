// restore and watch: a marked settings file comes back by itself whenever
// its camera appears, judged through the real program and the cameras'
// shared state.

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include "camera/platform/virtual/VirtualPlatform.h"
#include "tests/cli/CliRun.h"
#include "tests/support/TestEnvironment.h"

namespace varnholt::test {
namespace {

const QByteArray kWatchCameras = R"([
  {"friendlyName": "Lab Camera A", "devicePath": "lab-a",
   "videoProcAmp": {"Brightness": {"min": 0, "max": 255, "default": 128, "value": 100}}},
  {"friendlyName": "Lab Camera B", "devicePath": "lab-b",
   "videoProcAmp": {"Brightness": {"min": 0, "max": 255, "default": 128, "value": 10}}}
])";

class Watch : public ::testing::Test {
 protected:
  Watch() : cameras(kWatchCameras) {}
  ~Watch() override {
    watch.terminate();
    watch.waitForFinished();
  }
  int Brightness(const QString& camera) const {
    const CliResult result = cameras.Run({"get", "--json", camera, "Brightness"});
    const QJsonArray properties =
        QJsonDocument::fromJson(result.Out.toUtf8()).object()["properties"].toArray();
    return properties.isEmpty() ? -1 : properties.first().toObject()["value"].toInt(-1);
  }
  // Waits for the watch to have written the line count times in all.
  bool Told(const QString& line, int count = 1) {
    return WaitUntil([&] {
      output += QString::fromUtf8(watch.readAllStandardOutput());
      return output.count(line + "\n") >= count;
    });
  }

  CliCameras cameras;
  QProcess watch;
  QString output;
};

TEST_F(Watch, AMarkedFileIsLoadedAtStartAndWheneverItsCameraComesBack) {
  const QString file = cameras.Path("lab.vhx");
  ASSERT_EQ(cameras.Run({"set", "Lab Camera A", "Brightness", "77"}).Code, 0);
  ASSERT_EQ(cameras.Run({"save", "Lab Camera A", file}).Code, 0);
  ASSERT_EQ(cameras.Run({"set", "Lab Camera A", "Brightness", "5"}).Code, 0);

  // A file that would not load is refused when marked; "off" clears a mark.
  EXPECT_EQ(cameras.Run({"restore", "Lab Camera A", cameras.Path("none.vhx")}).Code, 5);
  EXPECT_EQ(cameras.Run({"restore", "Lab Camera B", file}).Code, 5);  // no section for B
  EXPECT_EQ(cameras.Run({"restore", "Nobody", file}).Code, 3);
  EXPECT_EQ(cameras.Run({"restore", "Lab Camera A", file}).Code, 0);
  EXPECT_EQ(cameras.Run({"restore", "Lab Camera B", "off"}).Code, 0);

  watch.setProcessEnvironment(cameras.Environment());
  watch.start(VARNHOLT_CLI, {"watch"});
  ASSERT_TRUE(Told("Lab Camera A: loaded " + file)) << output.toStdString();
  EXPECT_EQ(Brightness("Lab Camera A"), 77);
  EXPECT_EQ(Brightness("Lab Camera B"), 10);  // unmarked: untouched

  // Unplugged, changed meanwhile by nobody, plugged in again: the file's value.
  ASSERT_EQ(cameras.Run({"set", "Lab Camera A", "Brightness", "5"}).Code, 0);
  const auto plug =
      platform::virtualcam::VirtualPlatform::FromJson(cameras.Description(), cameras.StateFolder());
  ASSERT_EQ(plug->SetConnected("lab-a", false), 0);
  ASSERT_TRUE(Told("Lab Camera A: gone")) << output.toStdString();
  ASSERT_EQ(plug->SetConnected("lab-a", true), 0);
  ASSERT_TRUE(Told("Lab Camera A: loaded " + file, 2)) << output.toStdString();
  EXPECT_EQ(Brightness("Lab Camera A"), 77);
  EXPECT_EQ(QString::fromUtf8(watch.readAllStandardError()), "");
  EXPECT_EQ(watch.state(), QProcess::Running);
}

}  // namespace
}  // namespace varnholt::test
