#include "camera/platform/v4l2/AlsaSound.h"

#include <alsa/asoundlib.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <utility>

namespace varnholt::platform::v4l2 {
namespace {

using Clock = std::chrono::steady_clock;

// 10 ms periods; the buffer holds a quarter second, so a busy machine
// rarely overruns.
constexpr std::uint32_t kPeriodsPerSecond = 100;
constexpr snd_pcm_uframes_t kPeriodsPerBuffer = 25;
// How long one Read waits for a period before it lets the source look up.
constexpr int kWaitMs = 100;

struct CtlClose {
  void operator()(snd_ctl_t* ctl) const { snd_ctl_close(ctl); }
};
struct PcmClose {
  void operator()(snd_pcm_t* pcm) const { snd_pcm_close(pcm); }
};
struct CardInfoFree {
  void operator()(snd_ctl_card_info_t* info) const { snd_ctl_card_info_free(info); }
};
struct PcmInfoFree {
  void operator()(snd_pcm_info_t* info) const { snd_pcm_info_free(info); }
};
struct HwParamsFree {
  void operator()(snd_pcm_hw_params_t* params) const { snd_pcm_hw_params_free(params); }
};
struct SwParamsFree {
  void operator()(snd_pcm_sw_params_t* params) const { snd_pcm_sw_params_free(params); }
};
using Ctl = std::unique_ptr<snd_ctl_t, CtlClose>;
using Pcm = std::unique_ptr<snd_pcm_t, PcmClose>;
using HwParams = std::unique_ptr<snd_pcm_hw_params_t, HwParamsFree>;
using SwParams = std::unique_ptr<snd_pcm_sw_params_t, SwParamsFree>;

HwParams NewHwParams() {
  snd_pcm_hw_params_t* params = nullptr;
  snd_pcm_hw_params_malloc(&params);
  return HwParams(params);
}

SwParams NewSwParams() {
  snd_pcm_sw_params_t* params = nullptr;
  snd_pcm_sw_params_malloc(&params);
  return SwParams(params);
}

Clock::time_point FromTimespec(const snd_htimestamp_t& ts) {
  return Clock::time_point(std::chrono::duration_cast<Clock::duration>(
      std::chrono::seconds(ts.tv_sec) + std::chrono::nanoseconds(ts.tv_nsec)));
}

Clock::duration FramesTime(snd_pcm_sframes_t frames, std::uint32_t rate) {
  return std::chrono::duration_cast<Clock::duration>(
      std::chrono::nanoseconds(static_cast<std::int64_t>(frames) * 1'000'000'000 / rate));
}

class AlsaCapture final : public graph::SoundCapture {
 public:
  AlsaCapture(Pcm pcm, std::uint32_t rate, std::uint16_t channels, snd_pcm_uframes_t period,
              bool monotonicStamps)
      : pcm_(std::move(pcm)),
        rate_(rate),
        channels_(channels),
        period_(period),
        monotonicStamps_(monotonicStamps) {}

  ReadResult Read(std::vector<std::int16_t>& samples, Clock::time_point& captured) override {
    const int ready = snd_pcm_wait(pcm_.get(), kWaitMs);
    if (ready < 0)
      return Recover(ready);
    if (ready == 0 && snd_pcm_state(pcm_.get()) != SND_PCM_STATE_DISCONNECTED)
      return ReadResult::Nothing;
    // What waits in the buffer came before the frames read now: the first of
    // them was taken that long before the stamp.
    snd_pcm_sframes_t waiting = snd_pcm_avail_update(pcm_.get());  // syncs the stamp too
    const Clock::time_point now = Clock::now();
    if (waiting < 0)
      return Recover(static_cast<int>(waiting));
    snd_pcm_uframes_t avail = 0;
    snd_htimestamp_t stamp{};
    const bool stamped = monotonicStamps_ && snd_pcm_htimestamp(pcm_.get(), &avail, &stamp) == 0 &&
                         (stamp.tv_sec != 0 || stamp.tv_nsec != 0);
    if (stamped)
      waiting = static_cast<snd_pcm_sframes_t>(avail);
    samples.resize(period_ * channels_);
    const snd_pcm_sframes_t got = snd_pcm_readi(pcm_.get(), samples.data(), period_);
    if (got < 0)
      return Recover(static_cast<int>(got));
    samples.resize(static_cast<std::size_t>(got) * channels_);
    captured = (stamped ? FromTimespec(stamp) : now) - FramesTime(waiting, rate_);
    return got > 0 ? ReadResult::Chunk : ReadResult::Nothing;
  }

 private:
  ReadResult Recover(int error) {
    if (error == -ENODEV || snd_pcm_state(pcm_.get()) == SND_PCM_STATE_DISCONNECTED)
      return ReadResult::Lost;
    if (error == -EAGAIN)
      return ReadResult::Nothing;
    if (error == -EPIPE || error == -ESTRPIPE) {
      // An overrun (or a suspend) lost some sound; the next chunk carries
      // its own stamp, so the time line stays right after the gap.
      if (error == -ESTRPIPE && snd_pcm_resume(pcm_.get()) == 0)
        return ReadResult::Nothing;
      if (snd_pcm_prepare(pcm_.get()) < 0 || snd_pcm_start(pcm_.get()) < 0)
        return snd_pcm_state(pcm_.get()) == SND_PCM_STATE_DISCONNECTED ? ReadResult::Lost
                                                                       : ReadResult::Failed;
      return ReadResult::Nothing;
    }
    return ReadResult::Failed;
  }

  Pcm pcm_;
  const std::uint32_t rate_;
  const std::uint16_t channels_;
  const snd_pcm_uframes_t period_;
  const bool monotonicStamps_;
};

int Configure(snd_pcm_t* pcm, std::uint32_t rate, std::uint16_t channels, snd_pcm_uframes_t& period,
              bool& monotonicStamps) {
  const HwParams hw = NewHwParams();
  if (!hw)
    return -ENOMEM;
  unsigned int exactRate = rate;
  period = rate / kPeriodsPerSecond;
  snd_pcm_uframes_t buffer = period * kPeriodsPerBuffer;
  int err = 0;
  if ((err = snd_pcm_hw_params_any(pcm, hw.get())) < 0 ||
      (err = snd_pcm_hw_params_set_access(pcm, hw.get(), SND_PCM_ACCESS_RW_INTERLEAVED)) < 0 ||
      (err = snd_pcm_hw_params_set_format(pcm, hw.get(), SND_PCM_FORMAT_S16)) < 0 ||
      (err = snd_pcm_hw_params_set_channels(pcm, hw.get(), channels)) < 0 ||
      (err = snd_pcm_hw_params_set_rate(pcm, hw.get(), exactRate, 0)) < 0 ||
      (err = snd_pcm_hw_params_set_period_size_near(pcm, hw.get(), &period, nullptr)) < 0 ||
      (err = snd_pcm_hw_params_set_buffer_size_near(pcm, hw.get(), &buffer)) < 0 ||
      (err = snd_pcm_hw_params(pcm, hw.get())) < 0)
    return err;
  snd_pcm_hw_params_get_period_size(hw.get(), &period, nullptr);

  const SwParams sw = NewSwParams();
  if (!sw)
    return -ENOMEM;
  if ((err = snd_pcm_sw_params_current(pcm, sw.get())) < 0 ||
      (err = snd_pcm_sw_params_set_avail_min(pcm, sw.get(), period)) < 0 ||
      (err = snd_pcm_sw_params_set_start_threshold(pcm, sw.get(), 1)) < 0)
    return err;
  // Stamps on CLOCK_MONOTONIC, steady_clock's clock; a device or library
  // without them falls back to the instant of reading.
  monotonicStamps =
      snd_pcm_sw_params_set_tstamp_mode(pcm, sw.get(), SND_PCM_TSTAMP_ENABLE) == 0 &&
      snd_pcm_sw_params_set_tstamp_type(pcm, sw.get(), SND_PCM_TSTAMP_TYPE_MONOTONIC) == 0;
  if ((err = snd_pcm_sw_params(pcm, sw.get())) < 0)
    return err;
  if ((err = snd_pcm_prepare(pcm)) < 0)
    return err;
  return snd_pcm_start(pcm);
}

class AlsaSoundDevice final : public graph::SoundDevice {
 public:
  explicit AlsaSoundDevice(AlsaCaptureDevice device) : device_(std::move(device)) {}

  HResult Open(std::uint32_t rate, std::uint16_t channels, const graph::StreamStart&,
               std::unique_ptr<graph::SoundCapture>& capture) override {
    snd_pcm_t* raw = nullptr;
    if (const int err = snd_pcm_open(&raw, device_.PlugName().c_str(), SND_PCM_STREAM_CAPTURE, 0);
        err < 0)
      return ResultFromAlsaError(err);
    Pcm pcm(raw);
    snd_pcm_uframes_t period = 0;
    bool monotonic = false;
    if (const int err = Configure(pcm.get(), rate, channels, period, monotonic); err < 0)
      return ResultFromAlsaError(err);
    capture = std::make_unique<AlsaCapture>(std::move(pcm), rate, channels, period, monotonic);
    return hr::Ok;
  }

 private:
  const AlsaCaptureDevice device_;
};

}  // namespace

namespace {

// The PCMs through which sound servers share the cards, as ALSA's
// configuration describes them, in a fixed order so that their numbers stay.
void AddNamedPcms(std::vector<AlsaCaptureDevice>& found) {
  void** hints = nullptr;
  if (snd_device_name_hint(-1, "pcm", &hints) < 0 || hints == nullptr)
    return;
  const auto take = [](char* text) {
    std::string s = text ? text : "";
    std::free(text);
    return s;
  };
  std::vector<AlsaCaptureDevice> named;
  for (const char* wanted : {"pipewire", "pulse", "default"}) {
    for (void** hint = hints; *hint != nullptr; ++hint) {
      const std::string name = take(snd_device_name_get_hint(*hint, "NAME"));
      if (name != wanted)
        continue;
      // No IOID means both ways.
      if (take(snd_device_name_get_hint(*hint, "IOID")) == "Output")
        break;
      std::string what = take(snd_device_name_get_hint(*hint, "DESC"));
      what = what.substr(0, what.find('\n'));
      AlsaCaptureDevice& d = found.emplace_back();
      d.card = -1;
      d.pcm = name;
      d.description = what;
      d.friendlyName = (what.empty() ? std::string("Sound input") : what) + " (" + name + ")";
      break;
    }
  }
  snd_device_name_free_hint(hints);
}

}  // namespace

std::string AlsaCaptureDevice::HwName() const {
  return pcm.empty() ? "hw:" + std::to_string(card) + "," + std::to_string(device) : pcm;
}

std::string AlsaCaptureDevice::PlugName() const {
  return pcm.empty() ? "plug" + HwName() : pcm;
}

std::vector<AlsaCaptureDevice> FindAlsaCaptureDevices() {
  std::vector<AlsaCaptureDevice> found;
  snd_ctl_card_info_t* rawCard = nullptr;
  snd_pcm_info_t* rawPcm = nullptr;
  if (snd_ctl_card_info_malloc(&rawCard) < 0)
    return found;
  const std::unique_ptr<snd_ctl_card_info_t, CardInfoFree> cardInfo(rawCard);
  if (snd_pcm_info_malloc(&rawPcm) < 0)
    return found;
  const std::unique_ptr<snd_pcm_info_t, PcmInfoFree> pcmInfo(rawPcm);

  int card = -1;
  while (snd_card_next(&card) == 0 && card >= 0) {
    snd_ctl_t* rawCtl = nullptr;
    if (snd_ctl_open(&rawCtl, ("hw:" + std::to_string(card)).c_str(), 0) < 0)
      continue;  // gone since, or not ours to open
    const Ctl ctl(rawCtl);
    if (snd_ctl_card_info(ctl.get(), cardInfo.get()) < 0)
      continue;
    const std::string cardName = snd_ctl_card_info_get_name(cardInfo.get());
    const std::string longName = snd_ctl_card_info_get_longname(cardInfo.get());
    int device = -1;
    while (snd_ctl_pcm_next_device(ctl.get(), &device) == 0 && device >= 0) {
      snd_pcm_info_set_device(pcmInfo.get(), static_cast<unsigned>(device));
      snd_pcm_info_set_subdevice(pcmInfo.get(), 0);
      snd_pcm_info_set_stream(pcmInfo.get(), SND_PCM_STREAM_CAPTURE);
      if (snd_ctl_pcm_info(ctl.get(), pcmInfo.get()) < 0)
        continue;  // a playback-only device
      AlsaCaptureDevice& d = found.emplace_back();
      d.card = card;
      d.device = device;
      d.description = longName;
      d.friendlyName =
          cardName + ": " + snd_pcm_info_get_name(pcmInfo.get()) + " (" + d.HwName() + ")";
    }
  }
  AddNamedPcms(found);
  return found;
}

HResult ProbeAlsaChannels(const AlsaCaptureDevice& device, std::uint16_t& channels) {
  channels = 2;
  if (!device.pcm.empty())
    return hr::Ok;  // a server's PCM takes two channels and is never unplugged
  snd_pcm_t* raw = nullptr;
  // Non-blocking: a device another program holds answers at once.
  const int err =
      snd_pcm_open(&raw, device.HwName().c_str(), SND_PCM_STREAM_CAPTURE, SND_PCM_NONBLOCK);
  if (err == -ENOENT || err == -ENODEV)
    return hr::DeviceNotConnected;
  if (err < 0)
    return hr::Ok;  // busy now, perhaps free when the graph runs: two channels
  const Pcm pcm(raw);
  const HwParams hw = NewHwParams();
  unsigned int most = 0;
  if (hw && snd_pcm_hw_params_any(pcm.get(), hw.get()) >= 0 &&
      snd_pcm_hw_params_get_channels_max(hw.get(), &most) >= 0 && most == 1)
    channels = 1;
  return hr::Ok;
}

HResult ResultFromAlsaError(int negativeErrno) {
  switch (-negativeErrno) {
    case 0:
      return hr::Ok;
    case EBUSY:
      return hr::Busy;
    case ENOENT:
    case ENODEV:
    case ENXIO:
      return hr::DeviceNotConnected;
    case EACCES:
    case EPERM:
      return hr::AccessDenied;
    case ENOMEM:
      return hr::OutOfMemory;
    default:
      return hr::Fail;
  }
}

std::shared_ptr<graph::SoundDevice> MakeAlsaSoundDevice(AlsaCaptureDevice device) {
  return std::make_shared<AlsaSoundDevice>(std::move(device));
}

}  // namespace varnholt::platform::v4l2
