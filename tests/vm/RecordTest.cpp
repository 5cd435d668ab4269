// Recording from vivid with sound from ALSA's loopback card (snd-aloop):
// the test plays silence and then a loud tone into the loopback's playback
// side, the component records what its capture side hears beside vivid's
// pictures, and the files are read back as a player reads them. Real
// drivers both: vivid streams in real time, the loopback on its own timer.

#include <alsa/asoundlib.h>
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/MediaProbe.h"
#include "tests/vm/VividFixture.h"
#include "tests/vm/VmChecks.h"

namespace varnholt::test {
namespace {

using Clock = std::chrono::steady_clock;

// snd-aloop pairs its devices: what subdevice N of device 0 plays, subdevice
// N of device 1 captures (the VM loads it with one subdevice each).
constexpr char kPlayInto[] = "plughw:Loopback,0,0";
constexpr char kHearFrom[] = "Loopback: Loopback PCM (hw:0,1)";
constexpr unsigned kRate = 48000;  // the graph's own rate: no resampling anywhere
constexpr int kChannels = 2;

// Writes 10 ms chunks into the loopback from a thread of its own, silence
// until ToneOn(), a 1 kHz tone at half scale after it. Blocking writes into
// a short buffer keep it in step with the card's clock and the tone's start
// close to the moment it was asked for.
class TonePlayer {
 public:
  TonePlayer() {
    snd_pcm_t* pcm = nullptr;
    if (int err = snd_pcm_open(&pcm, kPlayInto, SND_PCM_STREAM_PLAYBACK, 0); err < 0) {
      error_ = std::string("cannot open ") + kPlayInto + ": " + snd_strerror(err);
      return;
    }
    pcm_ = pcm;
    if (int err = snd_pcm_set_params(pcm_, SND_PCM_FORMAT_S16, SND_PCM_ACCESS_RW_INTERLEAVED,
                                     kChannels, kRate, 0, 40'000);
        err < 0) {
      error_ = std::string("cannot set up ") + kPlayInto + ": " + snd_strerror(err);
      return;
    }
    thread_ = std::thread([this] { Play(); });
  }
  ~TonePlayer() {
    stop_ = true;
    if (thread_.joinable())
      thread_.join();
    if (pcm_)
      snd_pcm_close(pcm_);
  }
  TonePlayer(const TonePlayer&) = delete;
  TonePlayer& operator=(const TonePlayer&) = delete;

  const std::string& Error() const { return error_; }
  void ToneOn() { tone_ = true; }
  // Chunks written so far; a stalled player shows as a count that stops.
  long Written() const { return written_; }
  const std::string& PlayError() const { return playError_; }

 private:
  void Play() {
    constexpr int kChunk = kRate / 100;
    std::vector<std::int16_t> chunk(kChunk * kChannels);
    std::int64_t sample = 0;
    while (!stop_) {
      const bool loud = tone_;
      for (int i = 0; i < kChunk; ++i, ++sample) {
        const double v = loud ? 0.5 * std::sin(2 * M_PI * 1000.0 * sample / kRate) : 0.0;
        for (int c = 0; c < kChannels; ++c)
          chunk[i * kChannels + c] = static_cast<std::int16_t>(v * 32767);
      }
      snd_pcm_sframes_t put = snd_pcm_writei(pcm_, chunk.data(), kChunk);
      // A machine too busy to keep the buffer filled underruns: go on.
      if (put < 0)
        put = snd_pcm_recover(pcm_, static_cast<int>(put), 1);
      // A starved VM may leave the loopback in error beyond recovery; start
      // it afresh before giving up.
      if (put < 0 && snd_pcm_prepare(pcm_) == 0)
        put = 0;
      if (put < 0) {
        playError_ = snd_strerror(static_cast<int>(put));
        return;
      }
      ++written_;
    }
  }

  snd_pcm_t* pcm_ = nullptr;
  std::string error_, playError_;
  std::thread thread_;
  std::atomic<bool> stop_{false}, tone_{false};
  std::atomic<long> written_{0};
};

struct Case {
  const char* name;
  TFMediaType type;
  const char* container;
  const char* videoCodec;
  const char* audioCodec;
};

void PrintTo(const Case& c, std::ostream* out) {
  *out << c.name;
}

using VividSound = VividTest;
class VividRecord : public VividTest, public ::testing::WithParamInterface<Case> {};

TEST_F(VividSound, TheLoopbackCaptureDevicesAreTheSoundInputs) {
  ASSERT_TRUE(std::filesystem::exists("/dev/snd/pcmC0D1c"))
      << "no loopback nodes: is snd-aloop loaded?";
  // snd-aloop's two devices both capture; playback-only devices would be left out.
  const TFAudioCaptureDevices inputs = camera->AudioCaptureDevices();
  ASSERT_EQ(inputs.size(), 2u);
  EXPECT_EQ(inputs[0].Name, "Loopback: Loopback PCM (hw:0,0)");
  EXPECT_EQ(inputs[1].Name, kHearFrom);
  EXPECT_EQ(inputs[1].WaveInID, 1);
  EXPECT_EQ(inputs[1].Description, "Loopback 1");
  EXPECT_NE(camera->GetAudioCaptureDevice(kHearFrom), nullptr);
}

TEST_P(VividRecord, HoldsVividsPicturesAndTheToneItHeard) {
  const Case& c = GetParam();
  TonePlayer player;
  ASSERT_EQ(player.Error(), "");
  QTemporaryDir folder;
  const std::string file = folder.filePath("clip").toStdString();

  // vivid lists each size at several rates, the slowest first: take the
  // one nearest 30 frames a second.
  TFCameraFormat format;
  for (const TFCameraFormat& f : camera->SupportedFormats())
    if (FourCC(f.Compression) == "YUY2" && f.Width == 320 && std::abs(f.Height) == 180 &&
        (format.Width == 0 ||
         std::abs(f.AvgTimePerFrame - 333'333) < std::abs(format.AvgTimePerFrame - 333'333)))
      format = f;
  ASSERT_EQ(format.Width, 320);
  const double frame = format.AvgTimePerFrame / 1e7;
  // About two seconds, the tone from the first whole second on.
  const int toneAt = static_cast<int>(std::lround(1.0 / frame));
  const int want = 2 * toneAt;
  // What the grabber saw: each frame's stream time and when it came.
  std::mutex seenLock;
  std::vector<double> times;
  Clock::time_point first, last;
  std::atomic<int> frames{0};
  camera->SetFormat(format);
  camera->SetCaptureType(ctGrabber);
  camera->SetOnImageAvailable([&](TFCamera*, double time) {
    std::lock_guard lock(seenLock);
    last = Clock::now();
    if (times.empty())
      first = last;
    times.push_back(time);
    if (++frames == toneAt)
      player.ToneOn();
  });
  camera->SetOutputFileName(QString::fromStdString(file));
  camera->SetOutputFileType(c.type);
  camera->SetAudioDeviceName(kHearFrom);
  camera->SetActive(true);
  camera->Run();
  ASSERT_TRUE(WaitFor([&] { return frames >= want; })) << frames << " frames";
  camera->Stop();
  camera->SetActive(false);
  std::lock_guard lock(seenLock);
  const double wall = std::chrono::duration<double>(last - first).count();
  EXPECT_EQ(player.PlayError(), "");
  EXPECT_GT(player.Written(), 100);  // it played throughout: 10 ms chunks

  const FileInfo info = Probe(file);
  EXPECT_EQ(info.format, c.container);
  const StreamInfo& video = info.Stream(AVMEDIA_TYPE_VIDEO);
  EXPECT_EQ(video.codec, c.videoCodec);
  EXPECT_EQ(video.width, 320);
  EXPECT_EQ(video.height, 180);
  ASSERT_FALSE(video.times.empty());
  // Every frame the grabber saw is in the file, a frame slot each, and the
  // file spans the time they took. vivid drops frames itself when the VM is
  // starved (a busy host), which leaves their slots empty: the span follows
  // the capture times, which may differ from the callbacks' arrival by a
  // little more then.
  const int sent = static_cast<int>(times.size());
  const int held = static_cast<int>(video.packets.size());
  const double span = video.times.back() - video.times.front();
  EXPECT_NEAR(span, wall, 4 * frame + 0.05 * wall);
  EXPECT_NEAR(held, sent, 3.0) << "frames lost on the way into the file";
  EXPECT_LE(held, span / frame + 1.5);
  const double length = video.times.back() + frame;

  ASSERT_TRUE(info.Has(AVMEDIA_TYPE_AUDIO));
  const StreamInfo& sound = info.Stream(AVMEDIA_TYPE_AUDIO);
  EXPECT_EQ(sound.codec, c.audioCodec);
  EXPECT_EQ(sound.sampleRate, static_cast<int>(kRate));
  EXPECT_NEAR(sound.seconds, length, 0.2);
  // The silence came through as silence and the tone where the picture
  // says it began: after the frame that started it, give or take the
  // loopback's short buffers.
  const double toneTime = times.at(toneAt - 1);
  EXPECT_GE(sound.beep, 0) << "no tone in the recorded sound";
  EXPECT_NEAR(sound.beep, toneTime, 0.25);
  std::printf(
      "[ %s ] %d of %d frames of %.1f ms from %.3f to %.3f s (wall %.3f s), "
      "sound %.3f s, tone at %.3f s (asked at %.3f s)\n",
      c.name, held, sent, frame * 1000, video.times.front(), video.times.back(), wall,
      sound.seconds, sound.beep, toneTime);
}

INSTANTIATE_TEST_SUITE_P(Containers, VividRecord,
                         ::testing::Values(Case{"Avi", mtAvi, "avi", "rawvideo", "pcm_s16le"},
                                           Case{"Asf", mtAsf, "asf", "wmv2", "wmav2"}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace varnholt::test
