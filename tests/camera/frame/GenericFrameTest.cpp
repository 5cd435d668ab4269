// The frame on any device's control list (buttons, read-only and unreadable
// controls, no controls), format texts, and a process without a
// QApplication.

#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>

#include "camera/platform/PropertyFrameFormat.h"
#include "tests/camera/frame/FrameTestSupport.h"

namespace varnholt::test {
namespace {

using namespace varnholt::platform;
using Type = ControlInfo::Type;

// A device that lists what a test gives it and records the writes.
class FakeControls final : public IControlList, public std::enable_shared_from_this<FakeControls> {
 public:
  explicit FakeControls(std::vector<ControlInfo> controls) : controls_(std::move(controls)) {}

  std::shared_ptr<void> QueryInterface(Iid iid) override {
    return iid == kIid ? InterfaceOf<IControlList>(shared_from_this()) : nullptr;
  }
  HResult GetControls(std::vector<ControlInfo>& controls) override {
    controls = controls_;
    return hr::Ok;
  }
  HResult GetValue(std::uint32_t id, std::int64_t& value) override {
    value = 5;
    return id == kUnreadable ? hr::AccessDenied : hr::Ok;
  }
  HResult SetValue(std::uint32_t id, std::int64_t value) override {
    writes.emplace_back(id, value);
    return hr::Ok;
  }

  static constexpr std::uint32_t kUnreadable = 3;
  std::vector<std::pair<std::uint32_t, std::int64_t>> writes;

 private:
  std::vector<ControlInfo> controls_;
};

ControlInfo Control(std::uint32_t id, const std::string& name, Type type, bool readOnly = false) {
  ControlInfo info;
  info.id = id;
  info.name = name;
  info.type = type;
  info.maximum = 10;
  info.readOnly = readOnly;
  return info;
}

TEST_F(FrameTest, AnyDevicesControlsGetTheirRows) {
  const auto platform = Builtin();
  const auto device = std::make_shared<FakeControls>(std::vector{
      Control(1, "Reset Pan/Tilt", Type::Button), Control(2, "Firmware", Type::Integer, true),
      Control(FakeControls::kUnreadable, "Secret", Type::Integer),
      Control(4, "Secret", Type::Integer)});
  Show(*platform, {device}, {guids::PageDeviceControls}, [&](QDialog& frame) {
    EXPECT_EQ(TabTexts(frame), QStringList{"Controls"});  // a device without groups
    Widget<QPushButton>(frame, "Control_Reset_Pan_Tilt")->click();
    EXPECT_FALSE(Widget<QSlider>(frame, "Control_Firmware")->isEnabled());
    EXPECT_EQ(Widget<QSlider>(frame, "Control_Firmware")->value(), 5);
    auto* unreadable = Widget<QSlider>(frame, "Control_Secret");
    EXPECT_FALSE(unreadable->isEnabled());
    EXPECT_EQ(unreadable->toolTip(), "Access is denied");
    // Two controls of one name still have names of their own.
    Widget<QSlider>(frame, "Control_Secret_2")->setValue(8);
  });
  EXPECT_EQ(device->writes, (std::vector<std::pair<std::uint32_t, std::int64_t>>{{1, 1}, {4, 8}}));

  const auto empty = std::make_shared<FakeControls>(std::vector<ControlInfo>{});
  Show(*platform, {empty}, {guids::PageDeviceControls}, [&](QDialog& frame) {
    EXPECT_EQ(TabTexts(frame), QStringList{"Controls"});
    EXPECT_NE(frame.findChild<QLabel*>(), nullptr);
  });
  EXPECT_EQ(shown_, 2);
}

AmMediaType Video(const Guid& formatType, std::size_t size, std::size_t bitmapAt,
                  std::uint32_t subtypeCode, std::uint32_t compression, std::int64_t frameTime) {
  VideoInfoHeader header;
  header.AvgTimePerFrame = frameTime;
  header.bmiHeader.biWidth = 320;
  header.bmiHeader.biHeight = -240;  // top-down
  header.bmiHeader.biBitCount = 24;
  header.bmiHeader.biCompression = compression;
  AmMediaType type;
  type.majortype = guids::MediaTypeVideo;
  type.subtype = FourCCSubtype(subtypeCode);
  type.formattype = formatType;
  type.pbFormat = header.ToBytes();
  type.pbFormat.resize(size);
  header.bmiHeader.WriteTo(type.pbFormat.data() + bitmapAt);
  return type;
}

TEST(FormatTextTest, NamesSizeRateDepthAndCompression) {
  auto type = Video(guids::FormatVideoInfo, 88, 48, kFourCCMJPG, kFourCCMJPG, 333667);
  EXPECT_EQ(FormatText(type), "320x240 29.97Hz 24bpp MJPG");
  type = Video(guids::FormatVideoInfo2, 112, 72, kFourCCYUY2, kFourCCYUY2, 1333333);
  EXPECT_EQ(FormatText(type), "320x240 7.5Hz 24bpp YUY2 (VideoInfo2)");
  // Not a four-character subtype: the bitmap header says what it is.
  type = Video(guids::FormatVideoInfo, 88, 48, 0, 0, 0);
  type.subtype.data2 = 0x1234;
  EXPECT_EQ(FormatText(type), "320x240 24bpp RGB");
  type.pbFormat.resize(40);
  EXPECT_EQ(FormatText(type), type.subtype.ToString() + " (no video header)");

  // A header differing only in fields that do not choose the format is the same format.
  auto a = Video(guids::FormatVideoInfo, 88, 48, kFourCCYUY2, kFourCCYUY2, 333333);
  auto b = a;
  b.pbFormat[32] = 7;  // bit rate
  EXPECT_TRUE(SameFormat(a, b));
  b.pbFormat[40] = 1;  // frame time
  EXPECT_FALSE(SameFormat(a, b));
}

TEST(FrameProcessTest, WithoutAQApplicationTheFrameIsRefused) {
  for (const char* mode : {"none", "core"}) {
    QProcess probe;
    probe.start(VARNHOLT_FRAME_PROBE_PATH, {mode});
    ASSERT_TRUE(probe.waitForFinished(30000)) << mode;
    EXPECT_EQ(probe.exitCode(), 0) << mode;
    EXPECT_EQ(probe.readAllStandardOutput().trimmed(), HexCode(hr::Unexpected).c_str()) << mode;
  }
}

}  // namespace
}  // namespace varnholt::test
