// Descriptions that cannot be used: every message names the source, the
// place and the fault; junk never crashes.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <future>
#include <random>

#include "camera/platform/virtual/VirtualCameraSet.h"
#include "tests/camera/virtual/VirtualTestSupport.h"
#include "tests/support/TestEnvironment.h"

namespace varnholt::test {
namespace {

using platform::virtualcam::VirtualCameraError;

// Parsing and listing only read the state folder, so these tests share one.
QString UnusedStateDir() {
  return TestHome() + "/json-test-state";
}

// The error message, or "<no error>".
std::string ErrorOf(const QByteArray& json, const QString& source = "cams.json") {
  try {
    VirtualPlatform::FromJson(json, UnusedStateDir(), source);
  } catch (const VirtualCameraError& e) {
    return e.what();
  }
  return "<no error>";
}

QByteArray Camera(const std::string& body) {
  return OneCamera(body);
}

TEST(JsonErrorTest, MessagesNameTheSourceThePlaceAndTheFault) {
  const std::pair<QByteArray, std::string> cases[] = {
      {"{", "cams.json: not valid JSON at offset"},
      {"[]", "cams.json: the top level must be a JSON object"},
      {"{}", "cams.json: \"cameras\" is missing"},
      {R"({"cameras": {}})", "\"cameras\" must be an array"},
      {R"({"cameras": [7]})", "cameras[0]: must be a JSON object"},
      {R"({"cameras": [{"devicePath": "p"}]})", "cameras[0]: \"friendlyName\" is missing"},
      {R"({"cameras": [{"friendlyName": "", "devicePath": "p"}]})",
       "\"friendlyName\" must be a non-empty string"},
      {R"({"cameras": [{"friendlyName": "Foo"}]})",
       "cameras[0] \"Foo\": \"devicePath\" is missing"},
      {R"({"cameras": [{"friendlyName": "A", "devicePath": "p"},
                       {"friendlyName": "Foo", "devicePath": "p"}]})",
       "cameras[1] \"Foo\": \"devicePath\" is the same as that of cameras[0]"},
      {Camera(R"("videoProcAmp": {"Brightness": {"min": "0", "max": 1}})"),
       "cameras[0] \"Test\": videoProcAmp \"Brightness\": \"min\" must be an integer"},
      {Camera(R"("videoProcAmp": {"Brightness": {"min": 0.5, "max": 1}})"),
       "\"min\" must be an integer"},
      {Camera(R"("videoProcAmp": {"Brightness": {"min": 0, "max": 1e300}})"),
       "\"max\" must be an integer from -2147483648 to 2147483647"},
      {Camera(R"("videoProcAmp": {"Brightness": {"max": 1}})"), "\"min\" is missing"},
      {Camera(R"("videoProcAmp": {"Brightnes": {"min": 0, "max": 1}})"),
       "videoProcAmp: unknown property \"Brightnes\""},
      {Camera(R"("videoProcAmp": {"Zoom": {"min": 0, "max": 1}})"),
       "\"Zoom\" is a cameraControl property"},
      {Camera(R"("videoProcAmp": {"Brightness": {"min": 0, "max": 1}, "0": {"min": 0, "max": 1}})"),
       "name the same property"},
      {Camera(R"("videoProcAmp": {"Brightness": {"min": 0, "max": 1, "flags": "sometimes"}})"),
       "\"flags\" must be \"auto\", \"manual\" or an integer"},
      {Camera(R"("videoProcAmp": {"Brightness": {"min": 0, "max": 1, "caps": ["often"]}})"),
       "\"caps\" may only list \"auto\" and \"manual\""},
      {Camera(R"("videoProcAmp": {"Brightness": {"unsupported": 1}})"),
       "\"unsupported\" must be true or false"},
      {Camera(R"("videoProcAmp": {"Brightness": {"min": 0, "max": 1, "fail": {"get": "0xZZ"}}})"),
       "\"get\" must be a result code such as \"0x80004005\""},
      {Camera(R"("videoProcAmp": {"Brightness": {"min": 0, "max": 1, "fail": {"get": 1e10}}})"),
       "\"get\" must be an integer"},
      {Camera(
           R"("videoProcAmp": {"Brightness": {"min": 0, "max": 1, "fail": {"set": {"text": "x"}}}})"),
       "\"set\" needs a \"code\""},
      {Camera(R"("videoProcAmp": [])"), "videoProcAmp: must be a JSON object"},
      {Camera(R"("flash": {"mode": -1})"), "\"flash\": \"mode\" must be an integer from 0"},
      {Camera(R"("pins": [{"category": "output"}])"),
       "pins[0]: \"category\" must be \"capture\", \"preview\" or \"still\""},
      {Camera(R"("pins": [{"category": "capture", "ksPropertySet": "yes"}])"),
       "\"ksPropertySet\" must be true or false"},
      {Camera(R"("formats": [{"height": 480, "compression": "YUY2"}])"),
       "formats[0]: \"width\" is missing"},
      {Camera(R"("formats": [{"width": 0, "height": 480, "compression": "YUY2"}])"),
       "\"width\" must be an integer from 1 to 16384"},
      {Camera(R"("formats": [{"width": 640, "height": 480, "compression": "YUV"}])"),
       "\"compression\" must be a four-character code"},
      {Camera(R"("formats": [{"width": 640, "height": 480, "compression": "ABCD"}])"),
       "\"bitsPerPixel\" is missing"},
      {Camera(R"("formats": [{"width": 640, "height": 480, "compression": "YUY2", "fps": 0}])"),
       "\"fps\" must be a number from 0.1 to 1000"},
      {Camera(
           R"("formats": [{"width": 64, "height": 48, "compression": "YUY2", "formatType": "X"}])"),
       "\"formatType\" must be \"VideoInfo\" or \"VideoInfo2\""},
      {Camera(R"("interfaces": {"videoProcAmp": 0})"),
       "\"interfaces\": \"videoProcAmp\" must be true or false"},
      {Camera(R"("fail": {"bindFilter": "later"})"), "\"bindFilter\" must be a result code"},
      {R"({"cameras": [], "audioInputs": [{"friendlyName": "M", "waveInId": "x"}]})",
       "audioInputs[0] \"M\": \"waveInId\" must be an integer"},
      {R"({"cameras": [], "videoCompressors": ["ok", 5]})",
       "videoCompressors[1]: it must be a non-empty string"},
      {QByteArray(R"({"cameras": [{"friendlyName": "Nul\u0000Name"}]})"),
       "cameras[0] \"Nul\\u0000Name\": \"devicePath\" is missing"},
  };
  for (const auto& [json, fragment] : cases) {
    const std::string message = ErrorOf(json);
    EXPECT_EQ(message.rfind("cams.json: ", 0), 0u) << message;
    EXPECT_NE(message.find(fragment), std::string::npos) << json.toStdString() << "\n" << message;
  }
}

TEST(JsonErrorTest, UnknownKeysAreIgnoredAndCodesTakeEveryForm) {
  EXPECT_EQ(ErrorOf(R"({"cameras": [], "comment": 1, "future": {"x": []}})"), "<no error>");
  EXPECT_EQ(ErrorOf(Camera(R"("colour": "blue", "videoProcAmp": {"Brightness":
      {"min": 0, "max": 1, "note": "x", "fail": {"get": 2147500037, "set": -2147467259,
       "range": "-2147467259"}}})")),
            "<no error>");
}

TEST(JsonErrorTest, JunkNeverCrashes) {
  std::mt19937 random(7);
  const QByteArray valid = Camera(R"("videoProcAmp": {"Brightness": {"min": 0, "max": 255}},
      "formats": [{"width": 640, "height": 480, "compression": "YUY2"}])");
  for (int round = 0; round < 300; ++round) {
    QByteArray json = valid;
    for (int i = 0; i < 3; ++i)
      json[random() % json.size()] = static_cast<char>(random() % 256);
    try {
      const auto platform = VirtualPlatform::FromJson(json, UnusedStateDir());
      ListedNames(*platform, DeviceCategory::VideoInput);
    } catch (const VirtualCameraError& e) {
      EXPECT_NE(std::string(e.what()).find("camera descriptions: "), std::string::npos);
    }
  }
}

TEST(JsonErrorTest, EnvironmentNamesTheFileThatCannotBeRead) {
  const QString missing = TestHome() + "/no-such-cameras.json";
  ScopedEnv env("VARNHOLT_VIRTUAL_CAMERAS", missing.toUtf8());
  try {
    VirtualPlatform::FromEnvironment();
    ADD_FAILURE() << "no error";
  } catch (const VirtualCameraError& e) {
    EXPECT_NE(std::string(e.what()).find(missing.toStdString() + ": cannot read"),
              std::string::npos)
        << e.what();
  }

  ScopedEnv endless("VARNHOLT_VIRTUAL_CAMERAS", "/dev/zero");  // a device: no end
  try {
    VirtualPlatform::FromEnvironment();
    ADD_FAILURE() << "no error";
  } catch (const VirtualCameraError& e) {
    EXPECT_NE(std::string(e.what()).find("/dev/zero: cannot read the camera descriptions: not a "
                                         "regular file"),
              std::string::npos)
        << e.what();
  }

  const QString huge = TestHome() + "/huge-cameras.json";  // sparse: costs no disk
  QFile hugeFile(huge);
  ASSERT_TRUE(hugeFile.open(QIODevice::WriteOnly) && hugeFile.resize(16 * 1024 * 1024 + 1));
  hugeFile.close();
  ScopedEnv hugeEnv("VARNHOLT_VIRTUAL_CAMERAS", huge.toUtf8());
  try {
    VirtualPlatform::FromEnvironment();
    ADD_FAILURE() << "no error";
  } catch (const VirtualCameraError& e) {
    EXPECT_EQ(std::string(e.what()),
              huge.toStdString() + ": the camera descriptions are larger than 16 MiB");
  }
  QFile::remove(huge);

  const QString broken = TestHome() + "/broken-cameras.json";
  ASSERT_TRUE(WriteFile(broken, R"({"cameras": [{"friendlyName": "X"}]})"));
  ScopedEnv brokenEnv("VARNHOLT_VIRTUAL_CAMERAS", broken.toUtf8());
  try {
    VirtualPlatform::FromEnvironment();
    ADD_FAILURE() << "no error";
  } catch (const VirtualCameraError& e) {
    EXPECT_EQ(std::string(e.what()),
              broken.toStdString() + ": cameras[0] \"X\": \"devicePath\" is missing");
  }
}

// A FIFO or a device would block start-up or never end: only a regular file
// is read, and anything else is refused as an unreadable file is.
TEST(JsonErrorTest, EnvironmentReadsOnlyARegularFile) {
  const QString fifo = TestHome() + "/cameras.fifo";
  QFile::remove(fifo);
  ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
  ScopedEnv env("VARNHOLT_VIRTUAL_CAMERAS", fifo.toUtf8());
  auto loading = std::async(std::launch::async, [] {
    try {
      VirtualPlatform::FromEnvironment();
    } catch (const VirtualCameraError& e) {
      return std::string(e.what());
    }
    return std::string("<no error>");
  });
  const bool finished = loading.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
  EXPECT_TRUE(finished) << "start-up hangs on a FIFO";
  if (!finished) {
    // Lets the stuck reader go: a writer that comes and goes means end of file.
    const int writer = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK);
    if (writer >= 0)
      ::close(writer);
  }
  EXPECT_EQ(loading.get(),
            fifo.toStdString() + ": cannot read the camera descriptions: not a regular file");
}

TEST(JsonErrorTest, EnvironmentLoadsTheNamedFileAndStateFolder) {
  const QString file = TestHome() + "/env-cameras.json";
  ASSERT_TRUE(
      WriteFile(file, R"({"cameras": [{"friendlyName": "From file", "devicePath": "f"}]})"));
  ScopedEnv env("VARNHOLT_VIRTUAL_CAMERAS", file.toUtf8());
  QTemporaryDir state;
  ScopedEnv stateEnv("VARNHOLT_VIRTUAL_STATE", state.path().toUtf8());
  const auto platform = VirtualPlatform::FromEnvironment();
  EXPECT_EQ(ListedNames(*platform, DeviceCategory::VideoInput),
            std::vector<std::string>{"From file"});
  EXPECT_EQ(platform->Cameras()->StateDir(), state.path());

  // Without it the state and its locks go to a folder closed to others: not
  // a runtime folder that others may enter.
  ScopedEnv noState("VARNHOLT_VIRTUAL_STATE", "");
  QTemporaryDir open;
  ASSERT_TRUE(QFile::setPermissions(open.path(), QFile::ReadOwner | QFile::WriteOwner |
                                                     QFile::ExeOwner | QFile::ReadOther |
                                                     QFile::ExeOther));
  ScopedEnv runtime("XDG_RUNTIME_DIR", open.path().toUtf8());
  ScopedEnv tmp("TMPDIR", state.path().toUtf8());
  EXPECT_EQ(
      VirtualPlatform::FromEnvironment()->Cameras()->StateDir().toStdString(),
      (state.path() + "/varnholt-" + QString::number(::geteuid()) + "/varnholt-virtual-cameras")
          .toStdString());
}

TEST(JsonErrorTest, TheDocumentedExampleLoads) {
  const QByteArray doc = ReadFile(VARNHOLT_DOCS_DIR "/virtual-cameras.md");
  // The full example; shorter ones come before it.
  const qsizetype start = doc.lastIndexOf("```json\n");
  ASSERT_GE(start, 0);
  const qsizetype end = doc.indexOf("```", start + 8);
  const QByteArray json = doc.mid(start + 8, end - start - 8);
  QTemporaryDir state;
  const auto platform = VirtualPlatform::FromJson(json, state.path());
  EXPECT_EQ(ListedNames(*platform, DeviceCategory::VideoInput),
            (std::vector<std::string>{"Lab Camera", "Broken Camera"}));
  EXPECT_EQ(platform->ErrorText(platform::MakeHResult(0x80070015)), "The camera is not ready.");
}

}  // namespace
}  // namespace varnholt::test
