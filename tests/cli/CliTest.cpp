// varnholtctl as a script runs it: the real program over virtual cameras,
// judged by its exit codes, its output and the cameras' state afterwards.

#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <map>

#include "tests/cli/CliRun.h"

namespace varnholt::test {
namespace {

// Lab A is found by its device node too; Lab B refuses Contrast writes.
const QByteArray kCameras = R"([
  {"friendlyName": "Lab Camera A", "devicePath": "@DIR@/video7",
   "videoProcAmp": {
     "Brightness": {"min": 0, "max": 255, "default": 128, "value": 100},
     "WhiteBalance": {"min": 2800, "max": 6500, "step": 10, "default": 4600, "value": 4000,
                      "caps": ["auto", "manual"]},
     "PowerLineFrequency": {"min": 0, "max": 3, "value": 1}},
   "cameraControl": {"Zoom": {"min": 100, "max": 500, "default": 100}},
   "formats": [{"width": 320, "height": 240, "compression": "YUY2", "fps": 30}]},
  {"friendlyName": "Lab Camera B", "devicePath": "lab-b",
   "videoProcAmp": {
     "Brightness": {"min": 0, "max": 255, "default": 128, "value": 10},
     "Contrast": {"min": 0, "max": 100, "default": 50, "value": 20, "fail": {"set": "0x80070057"}}}},
  {"friendlyName": "Busy Camera", "devicePath": "busy", "fail": {"busy": true},
   "formats": [{"width": 320, "height": 240, "compression": "YUY2"}]}
])";

class Cli : public ::testing::Test {
 protected:
  Cli() : cameras(kCameras) { QFile(cameras.Path("video7")).open(QIODevice::WriteOnly); }

  CliResult Run(const QStringList& arguments) const { return cameras.Run(arguments); }
  static QJsonObject Json(const CliResult& result) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(result.Out.toUtf8(), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << result.Out.toStdString();
    return document.object();
  }
  // One property of get --json.
  QJsonObject Property(const QString& camera, const QString& name) const {
    const CliResult result = Run({"get", "--json", camera, name});
    const QJsonArray properties = Json(result)["properties"].toArray();
    EXPECT_EQ(properties.size(), 1) << result.Err.toStdString();
    return properties.first().toObject();
  }

  CliCameras cameras;
};

TEST_F(Cli, HelpVersionAndBadUsageHaveTheirOwnExitCodes) {
  const CliResult help = Run({"--help"});
  EXPECT_EQ(help.Code, 0);
  for (const char* text : {"list", "get CAMERA [PROPERTY]", "set CAMERA PROPERTY", "power",
                           "defaults", "load", "save", "snapshot", "record CAMERA FILE", "5  file"})
    EXPECT_TRUE(help.Out.contains(text)) << text;
  EXPECT_EQ(Run({"--version"}).Out.trimmed(), "varnholtctl " VARNHOLT_VERSION);

  for (const QStringList& bad : {QStringList{},
                                 {"frobnicate"},
                                 {"get"},
                                 {"power", "Lab A"},
                                 {"--json", "set", "Lab Camera A", "Brightness", "1"},
                                 {"--verbose", "list"}}) {
    const CliResult result = Run(bad);
    EXPECT_EQ(result.Code, 2) << bad.join(' ').toStdString();
    EXPECT_FALSE(result.Err.isEmpty());
  }
  const CliResult platform = cameras.Run({"list"}, "nonesuch");
  EXPECT_EQ(platform.Code, 1);
  EXPECT_TRUE(platform.Err.contains("nonesuch")) << platform.Err.toStdString();
}

TEST_F(Cli, ListShowsCamerasWithTheirFormatsAsTextAndJson) {
  const CliResult text = Run({"list"});
  EXPECT_EQ(text.Code, 0) << text.Err.toStdString();
  EXPECT_TRUE(text.Out.contains("Lab Camera A")) << text.Out.toStdString();
  EXPECT_TRUE(text.Out.contains("320x240 YUY2 30 fps")) << text.Out.toStdString();

  const QJsonArray list = Json(Run({"list", "--json"}))["cameras"].toArray();
  ASSERT_EQ(list.size(), 3);
  EXPECT_EQ(list[1]["name"].toString(), "Lab Camera B");
  EXPECT_TRUE(list[1]["formats"].toArray().isEmpty());
  const QJsonObject format = list[0]["formats"][0].toObject();
  EXPECT_EQ(format["width"].toInt(), 320);
  EXPECT_EQ(format["height"].toInt(), 240);
  EXPECT_EQ(format["compression"].toString(), "YUY2");
  EXPECT_DOUBLE_EQ(format["fps"].toDouble(), 30);
}

// A device chooses its name: a terminal escape or line break in it reaches
// the terminal as an escape, in listings and in messages alike.
TEST(CliNames, ControlCharactersInCameraNamesAreEscaped) {
  const CliCameras cameras(R"([
    {"friendlyName": "Evil\u001b[2J\nCam", "devicePath": "evil\tpath",
     "videoProcAmp": {"Brightness": {"min": 0, "max": 255, "value": 1}}},
    {"friendlyName": "Evil\u001b[2J\nTwin", "devicePath": "twin"}])");
  const CliResult list = cameras.Run({"list"});
  EXPECT_TRUE(list.Out.contains("Evil\\x1b[2J\\nCam  (evil\\tpath)\n")) << list.Out.toStdString();
  const CliResult set = cameras.Run({"set", "Evil", "Brightness", "2"});
  EXPECT_EQ(set.Code, 3);
  EXPECT_TRUE(set.Err.contains("Evil\\x1b[2J\\nCam, Evil\\x1b[2J\\nTwin")) << set.Err.toStdString();
  const CliResult one = cameras.Run({"set", "Evil\x1b[2J\nC", "Brightness", "2"});
  EXPECT_TRUE(one.Out.startsWith("Evil\\x1b[2J\\nCam: Brightness 2")) << one.Out.toStdString();
  for (const CliResult* r : {&list, &set, &one})
    EXPECT_FALSE((r->Out + r->Err).contains(QChar(0x1b)));
}

TEST_F(Cli, GetReadsEveryPropertyAndShowsUnsupportedOnes) {
  const QJsonArray all = Json(Run({"get", "--json", "Lab Camera A"}))["properties"].toArray();
  ASSERT_EQ(all.size(), 18);  // the seventeen rows and the power frequency
  std::map<QString, QJsonObject> byName;
  for (const QJsonValue& p : all)
    byName[p["name"].toString()] = p.toObject();
  EXPECT_EQ(byName["Brightness"], (QJsonObject{{"name", "Brightness"},
                                               {"supported", true},
                                               {"value", 100},
                                               {"min", 0},
                                               {"max", 255},
                                               {"step", 1},
                                               {"default", 128},
                                               {"auto", false},
                                               {"autoPossible", false},
                                               {"manualPossible", true}}));
  EXPECT_TRUE(byName["WhiteBalance"]["autoPossible"].toBool());
  EXPECT_FALSE(byName["Hue"]["supported"].toBool());
  EXPECT_EQ(byName["PowerFrequency"]["value"].toInt(), 50);

  const CliResult one = Run({"get", "Lab Camera A", "whitebalance"});
  EXPECT_EQ(one.Code, 0);
  EXPECT_TRUE(one.Out.contains("4000  range 2800..6500  step 10  default 4600  auto off"))
      << one.Out.toStdString();
  const CliResult unsupported = Run({"get", "Lab Camera A", "Hue"});
  EXPECT_EQ(unsupported.Code, 4);
  EXPECT_TRUE(unsupported.Out.contains("unsupported"));
  EXPECT_EQ(Run({"get", "Lab Camera A", "Loudness"}).Code, 2);
}

TEST_F(Cli, CamerasAreFoundByNamePrefixOrDeviceNode) {
  EXPECT_EQ(Property("lab camera a", "Brightness")["value"].toInt(), 100);
  EXPECT_EQ(Property("Lab Camera B", "Brightness")["value"].toInt(), 10);
  ASSERT_TRUE(QFile::link(cameras.Path("video7"), cameras.Path("by-id-link")));
  EXPECT_EQ(Run({"get", cameras.Path("by-id-link"), "Brightness"}).Code, 0);

  const CliResult ambiguous = Run({"get", "Lab", "Brightness"});
  EXPECT_EQ(ambiguous.Code, 3);
  EXPECT_TRUE(ambiguous.Err.contains("Lab Camera A, Lab Camera B")) << ambiguous.Err.toStdString();
  EXPECT_EQ(Run({"set", "Nowhere Cam", "Brightness", "1"}).Code, 3);
  EXPECT_EQ(Run({"get", "/dev/null"}).Code, 3);
}

TEST_F(Cli, SetWritesAtOnceAndRefusesWhatTheCameraCannotTake) {
  EXPECT_EQ(Run({"set", "Lab Camera A", "Brightness", "200"}).Code, 0);
  EXPECT_EQ(Property("Lab Camera A", "Brightness")["value"].toInt(), 200);
  EXPECT_EQ(Run({"set", "Lab Camera A", "WhiteBalance", "auto"}).Code, 0);
  EXPECT_TRUE(Property("Lab Camera A", "WhiteBalance")["auto"].toBool());
  EXPECT_EQ(Run({"power", "Lab Camera A", "60"}).Code, 0);
  EXPECT_EQ(Property("Lab Camera A", "PowerFrequency")["value"].toInt(), 60);

  const CliResult outOfRange = Run({"set", "Lab Camera A", "Brightness", "256"});
  EXPECT_EQ(outOfRange.Code, 4);
  EXPECT_TRUE(outOfRange.Err.contains("0..255")) << outOfRange.Err.toStdString();
  EXPECT_EQ(Property("Lab Camera A", "Brightness")["value"].toInt(), 200);  // not clamped

  EXPECT_EQ(Run({"set", "Lab Camera A", "Brightness", "auto"}).Code, 4);  // no automatic mode
  EXPECT_EQ(Run({"set", "Lab Camera A", "Hue", "3"}).Code, 4);
  EXPECT_EQ(Run({"power", "Lab Camera B", "50"}).Code, 4);
  const CliResult refused = Run({"set", "Lab Camera B", "Contrast", "30"});
  EXPECT_EQ(refused.Code, 4);
  EXPECT_FALSE(refused.Err.isEmpty());
  EXPECT_EQ(Run({"set", "Lab Camera A", "Brightness", "bright"}).Code, 2);
  EXPECT_EQ(Run({"power", "Lab Camera A", "55"}).Code, 2);
  EXPECT_EQ(Run({"set", "Lab Camera A", "Loudness", "3"}).Code, 2);
}

TEST_F(Cli, DefaultsResetEachPropertyOnItsOwn) {
  ASSERT_EQ(Run({"set", "Lab Camera A", "Zoom", "300"}).Code, 0);
  EXPECT_EQ(Run({"defaults", "Lab Camera A"}).Code, 0);
  EXPECT_EQ(Property("Lab Camera A", "Brightness")["value"].toInt(), 128);
  EXPECT_EQ(Property("Lab Camera A", "Zoom")["value"].toInt(), 100);

  // Contrast refuses; Brightness is reset all the same.
  const CliResult partly = Run({"defaults", "Lab Camera B"});
  EXPECT_EQ(partly.Code, 4);
  EXPECT_TRUE(partly.Err.contains("Contrast")) << partly.Err.toStdString();
  EXPECT_EQ(Property("Lab Camera B", "Brightness")["value"].toInt(), 128);
}

TEST_F(Cli, SaveThenLoadBringsTheCameraBackAndFileFaultsSayWhy) {
  ASSERT_EQ(Run({"set", "Lab Camera A", "Brightness", "42"}).Code, 0);
  ASSERT_EQ(Run({"power", "Lab Camera A", "60"}).Code, 0);
  const QString file = cameras.Path("lab.vhx");
  EXPECT_EQ(Run({"save", "Lab Camera A", file}).Code, 0);
  ASSERT_EQ(Run({"set", "Lab Camera A", "Brightness", "7"}).Code, 0);
  ASSERT_EQ(Run({"set", "Lab Camera A", "WhiteBalance", "auto"}).Code, 0);
  ASSERT_EQ(Run({"power", "Lab Camera A", "50"}).Code, 0);

  EXPECT_EQ(Run({"load", "Lab Camera A", file}).Code, 0);
  EXPECT_EQ(Property("Lab Camera A", "Brightness")["value"].toInt(), 42);
  const QJsonObject whiteBalance = Property("Lab Camera A", "WhiteBalance");
  EXPECT_EQ(whiteBalance["value"].toInt(), 4000);
  EXPECT_FALSE(whiteBalance["auto"].toBool());
  EXPECT_EQ(Property("Lab Camera A", "PowerFrequency")["value"].toInt(), 60);

  const CliResult missing = Run({"load", "Lab Camera A", cameras.Path("missing.vhx")});
  EXPECT_EQ(missing.Code, 5);
  EXPECT_TRUE(missing.Err.contains("missing.vhx")) << missing.Err.toStdString();
  EXPECT_EQ(Run({"load", "Lab Camera B", file}).Code, 5);  // nothing for that camera
  EXPECT_EQ(Run({"save", "Lab Camera A", cameras.Path("no/such/folder.vhx")}).Code, 5);
  EXPECT_EQ(Run({"load", "Nowhere Cam", file}).Code, 3);
}

TEST_F(Cli, SnapshotWritesAStillOfTheCurrentFormat) {
  const QString file = cameras.Path("still.bmp");
  const CliResult result = Run({"snapshot", "Lab Camera A", file});
  ASSERT_EQ(result.Code, 0) << result.Err.toStdString();
  const QImage image(file);
  ASSERT_FALSE(image.isNull());
  EXPECT_EQ(image.size(), QSize(320, 240));

  const CliResult busy = Run({"snapshot", "Busy Camera", cameras.Path("busy.bmp")});
  EXPECT_EQ(busy.Code, 4);
  EXPECT_FALSE(busy.Err.isEmpty());
  EXPECT_FALSE(QFile::exists(cameras.Path("busy.bmp")));
  EXPECT_EQ(Run({"snapshot", "Lab Camera A", cameras.Path("no/such/still.bmp")}).Code, 5);
}

}  // namespace
}  // namespace varnholt::test
