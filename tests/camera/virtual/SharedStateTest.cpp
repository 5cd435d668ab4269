// The state folder: what one process sets, every other sees; bad files and
// folders never crash; unplugging.

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>

#include "camera/platform/virtual/DeviceLock.h"
#include "camera/platform/virtual/StateFile.h"
#include "camera/platform/virtual/VirtualCameraSet.h"
#include "tests/camera/virtual/VirtualTestSupport.h"
#include "tests/support/TestEnvironment.h"

namespace varnholt::test {
namespace {

using namespace varnholt::platform;
using platform::virtualcam::DeviceLock;
using platform::virtualcam::StateFile;

const std::string kCamera = R"(
  "videoProcAmp": {"Brightness": {"min": 0, "max": 255, "default": 128,
                                  "caps": ["auto", "manual"]}},
  "flash": {"mode": 0, "flags": 2},
  "formats": [{"width": 640, "height": 480, "compression": "YUY2"},
              {"width": 320, "height": 240, "compression": "YUY2"}])";

class SharedStateTest : public VirtualPlatformTest {
 protected:
  void SetUp() override { platform_ = Load(OneCamera(kCamera)); }

  std::pair<std::int32_t, std::int32_t> Brightness(VirtualPlatform& platform) {
    std::int32_t value = -1, flags = -1;
    EXPECT_EQ(Query<IAMVideoProcAmp>(BindCamera(platform))->Get(0, value, flags), hr::Ok);
    return {value, flags};
  }

  QString StatePath() const {
    return QDir(StateDir()).filePath(StateFile::FileNameFor("test-path"));
  }

  std::shared_ptr<VirtualPlatform> platform_;
};

TEST_F(SharedStateTest, ASetThroughOnePlatformShowsThroughAnother) {
  const auto other = Load(OneCamera(kCamera));
  const auto procAmp = Query<IAMVideoProcAmp>(BindCamera(*platform_));
  // Bound before the change: every read goes to the device as it is now.
  const auto otherProcAmp = Query<IAMVideoProcAmp>(BindCamera(*other));
  ASSERT_EQ(procAmp->Set(0, 200, kPropertyFlagsAuto), hr::Ok);
  std::int32_t value = 0, flags = 0;
  ASSERT_EQ(otherProcAmp->Get(0, value, flags), hr::Ok);
  EXPECT_EQ(value, 200);
  EXPECT_EQ(flags, kPropertyFlagsAuto);

  const auto flash = Query<IKsPropertySet>(BindCamera(*other));
  const std::vector<std::uint8_t> words = {1, 0, 0, 0, 2, 0, 0, 0};
  ASSERT_EQ(flash->Set(guids::KsPropSetFlash, 0, {}, words), hr::Ok);
  std::vector<std::uint8_t> read(8);
  std::uint32_t returned = 0;
  ASSERT_EQ(Query<IKsPropertySet>(BindCamera(*platform_))
                ->Get(guids::KsPropSetFlash, 0, {}, read, returned),
            hr::Ok);
  EXPECT_EQ(read, words);

  auto types = std::make_unique<AmMediaType>();
  const auto pin = CapturePin(*BindCamera(*other));
  std::shared_ptr<IEnumMediaTypes> formats;
  ASSERT_EQ(pin->EnumMediaTypes(formats), hr::Ok);
  formats->Next(types);
  formats->Next(types);
  ASSERT_EQ(Query<IAMStreamConfig>(pin)->SetFormat(*types), hr::Ok);
  std::unique_ptr<AmMediaType> current;
  ASSERT_EQ(Query<IAMStreamConfig>(CapturePin(*BindCamera(*platform_)))->GetFormat(current),
            hr::Ok);
  EXPECT_EQ(current->pbFormat, types->pbFormat);
}

TEST_F(SharedStateTest, BadStateEntriesFallBackToTheDescription) {
  ASSERT_EQ(Query<IAMVideoProcAmp>(BindCamera(*platform_))->Set(0, 90, kPropertyFlagsManual),
            hr::Ok);
  const QByteArray header = "# varnholt virtual camera state\n";
  const std::pair<const char*, QByteArray> garbage[] = {
      {"above the maximum", "videoProcAmp.0 999 2\n"},
      {"below the minimum", "videoProcAmp.0 -1 2\n"},
      {"bad flags", "videoProcAmp.0 10 3\n"},
      {"too few numbers", "videoProcAmp.0 10\n"},
      {"too many numbers", "videoProcAmp.0 10 2 7\n"},
      {"not a number", "videoProcAmp.0 ten 2\n"},
      {"huge number", "videoProcAmp.0 99999999999999999999 2\n"},
      {"cut off without a newline", "videoProcAmp.0 10 2"},
      {"NUL bytes", QByteArray("videoProcAmp.0 1\0 2\n", 20)},
      {"binary junk", QByteArray(3000, '\xff')},
      {"empty file", ""},
  };
  for (const auto& [what, text] : garbage) {
    ASSERT_TRUE(WriteFile(StatePath(), header + text)) << what;
    EXPECT_EQ(Brightness(*platform_), std::pair(128, kPropertyFlagsManual)) << what;
  }
  // A good line among bad ones still counts.
  ASSERT_TRUE(WriteFile(StatePath(), "junk\nvideoProcAmp.0 12 1\nflash 9 9\n"));
  EXPECT_EQ(Brightness(*platform_), std::pair(12, kPropertyFlagsAuto));
  // A set over a garbage file replaces it with a good one.
  ASSERT_EQ(Query<IAMVideoProcAmp>(BindCamera(*platform_))->Set(0, 77, kPropertyFlagsManual),
            hr::Ok);
  EXPECT_EQ(Brightness(*platform_), std::pair(77, kPropertyFlagsManual));
  EXPECT_FALSE(ReadFile(StatePath()).contains("junk"));
}

TEST_F(SharedStateTest, StateFileNamesStayInTheFolder) {
  const std::string paths[] = {
      "../../etc/passwd",          "/abs/path",           "a\\b:c", "..", "",
      std::string("nul\0byte", 8), std::string(5000, 'x')};
  for (const std::string& path : paths) {
    const QString name = StateFile::FileNameFor(path);
    EXPECT_FALSE(name.contains('/')) << path;
    EXPECT_FALSE(name.startsWith('.')) << path;
    EXPECT_LT(name.size(), 100) << path;
  }
  EXPECT_NE(StateFile::FileNameFor("a/b"), StateFile::FileNameFor("a_b"));
}

TEST_F(SharedStateTest, OnlyALiveHoldersLockAnswersBusy) {
  platform_->Cameras()->SetLockTimeout(50);
  QDir().mkpath(StateDir());
  const auto procAmp = Query<IAMVideoProcAmp>(BindCamera(*platform_));
  // What a writer killed while taking the lock leaves: an empty lock file.
  ASSERT_TRUE(WriteFile(StatePath() + ".lock", ""));
  EXPECT_EQ(procAmp->Set(0, 20, kPropertyFlagsManual), hr::Ok);

  const int held = ::open(QFile::encodeName(StatePath() + ".lock").constData(), O_RDWR | O_CLOEXEC);
  ASSERT_GE(held, 0);
  ASSERT_EQ(::flock(held, LOCK_EX), 0);
  EXPECT_EQ(procAmp->Set(0, 10, kPropertyFlagsManual), hr::Busy);
  ::close(held);
  EXPECT_EQ(procAmp->Set(0, 10, kPropertyFlagsManual), hr::Ok);
}

TEST_F(SharedStateTest, TheStreamLockFollowsNoPlantedLink) {
  QDir().mkpath(StateDir());
  const QString target = StateDir() + "/planted";
  ASSERT_TRUE(QFile::link(target, StatePath() + ".stream"));
  std::unique_ptr<DeviceLock> lock;
  EXPECT_EQ(DeviceLock::Acquire(*platform_->Cameras()->Cameras().front(), lock), hr::AccessDenied);
  EXPECT_FALSE(QFileInfo::exists(target));
}

TEST_F(SharedStateTest, AnUnwritableFolderAnswersAccessDenied) {
  // A plain file where the folder should be stops even a superuser.
  const QString blocker = StateDir() + "/blocker";
  ASSERT_TRUE(WriteFile(blocker, "x"));
  const auto platform = VirtualPlatform::FromJson(OneCamera(kCamera), blocker + "/state");
  const auto filter = BindCamera(*platform);
  std::int32_t value = 0, flags = 0;
  EXPECT_EQ(Query<IAMVideoProcAmp>(filter)->Get(0, value, flags), hr::Ok);
  EXPECT_EQ(Query<IAMVideoProcAmp>(filter)->Set(0, 10, kPropertyFlagsManual), hr::AccessDenied);
  EXPECT_EQ(platform->SetConnected("test-path", false), hr::AccessDenied);
}

TEST_F(SharedStateTest, UnpluggedCameraLeavesTheListAndItsObjectsFail) {
  const auto filter = BindCamera(*platform_);
  const auto procAmp = Query<IAMVideoProcAmp>(filter);
  const auto properties = Query<IKsPropertySet>(filter);
  const auto pin = CapturePin(*filter);
  std::shared_ptr<IEnumMediaTypes> formats;
  ASSERT_EQ(pin->EnumMediaTypes(formats), hr::Ok);
  std::shared_ptr<IEnumPins> pins;
  ASSERT_EQ(filter->EnumPins(pins), hr::Ok);

  // Another process pulls the plug.
  const auto other = Load(OneCamera(kCamera));
  ASSERT_EQ(other->SetConnected("test-path", false), hr::Ok);
  EXPECT_TRUE(ListedNames(*platform_, DeviceCategory::VideoInput).empty());

  std::int32_t value, flags, n;
  std::vector<std::uint8_t> data(16);
  std::uint32_t returned;
  std::string id;
  FilterInfo info;
  std::unique_ptr<AmMediaType> type;
  std::shared_ptr<IPin> nextPin;
  std::shared_ptr<IEnumPins> newPins;
  const HResult codes[] = {
      procAmp->Get(0, value, flags),
      procAmp->Set(0, 1, kPropertyFlagsManual),
      procAmp->GetRange(0, n, n, n, n, n),
      properties->Get(guids::KsPropSetFlash, 0, {}, data, returned),
      properties->Set(guids::KsPropSetFlash, 0, {}, data),
      properties->Get(guids::KsPropSetVideoStabilization, 0, {}, data, returned),
      Query<IKsPropertySet>(pin)->Get(guids::AmPropSetIdPin, 0, {}, data, returned),
      pin->QueryId(id),
      formats->Next(type),
      pins->Next(nextPin),
      filter->EnumPins(newPins),
      filter->QueryFilterInfo(info),
      Query<IAMStreamConfig>(pin)->GetFormat(type),
  };
  for (std::size_t i = 0; i < std::size(codes); ++i)
    EXPECT_EQ(codes[i], hr::DeviceNotConnected) << "call " << i;

  // Plugged back in, it is a new device: the old objects stay dead, as a
  // driver's node does, and only a new binding reaches it.
  ASSERT_EQ(other->SetConnected("test-path", true), hr::Ok);
  EXPECT_EQ(ListedNames(*platform_, DeviceCategory::VideoInput).size(), 1u);
  EXPECT_EQ(procAmp->Get(0, value, flags), hr::DeviceNotConnected);
  std::shared_ptr<IBaseFilter> fresh;
  ASSERT_EQ(Monikers(*platform_, DeviceCategory::VideoInput).at(0)->BindToObject(fresh), hr::Ok);
  EXPECT_EQ(Query<IAMVideoProcAmp>(fresh)->Get(0, value, flags), hr::Ok);
  EXPECT_EQ(other->SetConnected("no-such-path", false), hr::InvalidArg);
}

TEST_F(SharedStateTest, AMonikerOfAnUnpluggedCameraDoesNotBind) {
  const auto monikers = Monikers(*platform_, DeviceCategory::VideoInput);
  ASSERT_EQ(monikers.size(), 1u);
  ASSERT_EQ(platform_->SetConnected("test-path", false), hr::Ok);
  std::shared_ptr<IBaseFilter> filter;
  EXPECT_EQ(monikers[0]->BindToObject(filter), hr::DeviceNotConnected);
}

}  // namespace
}  // namespace varnholt::test
