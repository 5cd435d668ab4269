// The sound cards as the V4L2 platform lists them for the component: every
// capture device, in card and device order, and a card that is not there
// answering as not connected. On a machine without sound cards the list is
// empty and nothing fails; the VM suite runs the same checks on snd-aloop.

#include <gtest/gtest.h>

#include <QWidget>
#include <set>
#include <utility>

#include "camera/FCamera.h"
#include "camera/platform/v4l2/AlsaSound.h"
#include "camera/platform/v4l2/V4l2Platform.h"

namespace varnholt::test {
namespace {

using namespace varnholt::platform;

TEST(SoundCardTest, EveryCaptureDeviceIsListedInCardOrderAndAnAbsentCardIsNotConnected) {
  const auto found = v4l2::FindAlsaCaptureDevices();
  std::set<std::string> names;
  for (std::size_t i = 0; i < found.size(); ++i) {
    const auto& d = found[i];
    EXPECT_TRUE(d.friendlyName.ends_with(" (" + d.HwName() + ")")) << d.friendlyName;
    EXPECT_TRUE(names.insert(d.friendlyName).second) << d.friendlyName;
    if (i > 0 && d.pcm.empty()) {
      // Cards in order, before any sound server's PCM.
      EXPECT_TRUE(found[i - 1].pcm.empty()) << d.friendlyName;
      EXPECT_LT(std::pair(found[i - 1].card, found[i - 1].device), std::pair(d.card, d.device));
    }
  }

  // The component sees the same list, each numbered by its place.
  TFCamera camera(nullptr, std::make_shared<v4l2::V4l2Platform>());
  const TFAudioCaptureDevices listed = camera.AudioCaptureDevices();
  ASSERT_EQ(listed.size(), found.size());
  for (std::size_t i = 0; i < found.size(); ++i)
    EXPECT_EQ(listed[i], (TFAudioCaptureDevice{QString::fromStdString(found[i].friendlyName),
                                               QString::fromStdString(found[i].description),
                                               static_cast<std::int32_t>(i)}));

  v4l2::AlsaCaptureDevice absent;
  absent.card = 31;  // beyond any card the kernel numbers
  std::uint16_t channels = 0;
  EXPECT_EQ(v4l2::ProbeAlsaChannels(absent, channels), hr::DeviceNotConnected);
  std::unique_ptr<graph::SoundCapture> capture;
  EXPECT_EQ(v4l2::MakeAlsaSoundDevice(absent)->Open(graph::kSoundRate, 2, {}, capture),
            hr::DeviceNotConnected);
  EXPECT_EQ(capture, nullptr);
}

}  // namespace
}  // namespace varnholt::test
