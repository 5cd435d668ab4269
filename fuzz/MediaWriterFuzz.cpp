// libFuzzer target for the media writer (media/MediaFileWriter) through its
// public calls: a container, a video format of any size, rate and encoder,
// sound of any rate, channels and encoder, then frames and sound chunks of
// any bytes at any times, with Finish and Resume in between, into a file of
// its own. Kept small (pictures up to 64x48, a few dozen calls), so one
// execution stays a few milliseconds. Besides crashes and sanitizer
// findings: refusals are MediaErrors and nothing else, and every finished
// file reads back with its streams; an AVI that stores frames as they come
// holds exactly the frames the writer took.

#include <fuzzer/FuzzedDataProvider.h>

#include <QFile>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "media/MediaFileWriter.h"

extern "C" {
#include <libavformat/avformat.h>
}

using namespace varnholt::media;
using varnholt::fuzz::Require;

namespace {

constexpr int kMaxSide = 64;
constexpr int kMaxCalls = 40;
constexpr std::size_t kMaxSamples = 4096;

int Side(FuzzedDataProvider& input) {
  // Mostly a small picture; now and then a size the writer must refuse.
  return input.ConsumeProbability<float>() < 0.9f ? input.ConsumeIntegralInRange(1, kMaxSide)
                                                  : input.ConsumeIntegralInRange(-2, 0);
}

double Interval(FuzzedDataProvider& input) {
  constexpr double kCommon[] = {1.0 / 30, 1.0 / 15, 1.0 / 60, 1.0 / 5, 0.1};
  if (input.ConsumeProbability<float>() < 0.8f)
    return kCommon[input.ConsumeIntegralInRange<std::size_t>(0, std::size(kCommon) - 1)];
  return input.ConsumeFloatingPoint<double>();  // zero, negative, NaN, huge too
}

// The encoders FFmpeg has for a container, listed once: walking FFmpeg's
// codecs took more time than most executions.
const std::vector<std::string>& Listed(Container container, bool video) {
  static const std::vector<std::string> lists[] = {
      VideoEncoders(Container::Avi), AudioEncoders(Container::Avi), VideoEncoders(Container::Asf),
      AudioEncoders(Container::Asf)};
  return lists[(container == Container::Asf ? 2 : 0) + (video ? 0 : 1)];
}

// Mostly the default (empty), which keeps an execution to our own muxing;
// otherwise one of the encoders FFmpeg has for the container or a name it
// does not have. (Opening an encoder takes most of an execution's time.)
std::string Encoder(FuzzedDataProvider& input, const std::vector<std::string>& names) {
  if (input.ConsumeProbability<float>() < 0.75f)
    return {};
  const std::size_t pick = input.ConsumeIntegralInRange<std::size_t>(0, names.size() + 1);
  if (pick == 0)
    return {};
  if (pick <= names.size())
    return names[pick - 1];
  return input.ConsumeRandomLengthString(12);
}

// Mostly the next slot or a little off it, sometimes any double at all.
double NextTime(FuzzedDataProvider& input, double& clock, double interval) {
  switch (input.ConsumeIntegralInRange(0, 3)) {
    case 0:
      return input.ConsumeFloatingPoint<double>();
    case 1:
      return clock += input.ConsumeFloatingPointInRange<double>(-0.05, 0.5);
    default:
      return clock += std::isfinite(interval) && interval > 0 && interval < 1 ? interval : 0.033;
  }
}

// A finished file as a player's demuxer reads it: its streams and the
// non-empty video packets (their bytes are the muxer's business: sound of
// any sample layout may be in there). Nothing when it does not open.
struct ReadBack {
  bool video = false, audio = false;
  std::size_t videoPackets = 0;
};

std::optional<ReadBack> Read(const std::string& path) {
  AVFormatContext* context = nullptr;
  if (avformat_open_input(&context, path.c_str(), nullptr, nullptr) < 0)
    return std::nullopt;
  ReadBack read;
  int videoIndex = -1;
  for (unsigned i = 0; i < context->nb_streams; ++i) {
    const AVMediaType type = context->streams[i]->codecpar->codec_type;
    if (type == AVMEDIA_TYPE_VIDEO && videoIndex < 0) {
      read.video = true;
      videoIndex = int(i);
    }
    read.audio |= type == AVMEDIA_TYPE_AUDIO;
  }
  AVPacket* packet = av_packet_alloc();
  while (av_read_frame(context, packet) >= 0) {
    if (packet->stream_index == videoIndex && packet->size > 0)
      ++read.videoPackets;
    av_packet_unref(packet);
  }
  av_packet_free(&packet);
  avformat_close_input(&context);
  return read;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string path =
      (varnholt::fuzz::ScratchFolder() + QStringLiteral("/recording")).toStdString();
  FuzzedDataProvider input(data, size);
  const Container container = input.ConsumeBool() ? Container::Avi : Container::Asf;
  VideoInput video;
  video.width = Side(input);
  video.height = Side(input);
  video.format = input.ConsumeBool() ? VideoFormat::MJPG : VideoFormat::YUY2;
  video.frameInterval = Interval(input);
  video.encoder = Encoder(input, Listed(container, true));
  std::optional<AudioInput> audio;
  if (input.ConsumeBool()) {
    constexpr int kRates[] = {8000, 11025, 16000, 22050, 44100, 48000};
    audio = AudioInput{};
    audio->sampleRate = input.ConsumeProbability<float>() < 0.9f
                            ? kRates[input.ConsumeIntegralInRange<std::size_t>(0, 5)]
                            : input.ConsumeIntegral<int>();
    audio->channels = input.ConsumeIntegralInRange(0, 9);
    audio->encoder = Encoder(input, Listed(container, false));
  }
  // Stored as they come: one packet per frame taken, with the frame's bytes.
  const bool asTheyCome = container == Container::Avi && video.encoder.empty();

  QFile::remove(QString::fromStdString(path));
  MediaFileWriter writer;
  try {
    writer.Open(path, container, video, audio);
  } catch (const MediaError&) {
    Require(!writer.IsOpen(), "a refused open leaves the writer closed");
    return 0;
  }
  int taken = 0;  // non-empty frames in the file, when stored as they come
  double videoClock = 0, audioClock = 0;
  bool finished = false;
  for (int call = 0; call < kMaxCalls && input.remaining_bytes() > 0; ++call) {
    try {
      switch (input.ConsumeIntegralInRange(0, 9)) {
        case 0: {  // Finish, and mostly go on with Resume
          writer.Finish();
          finished = true;
          if (input.ConsumeBool()) {
            writer.Resume();
            finished = false;
          }
          break;
        }
        case 1:
        case 2:
        case 3: {  // sound
          if (!audio)
            break;
          const double time = NextTime(input, audioClock, 0.05);
          const std::vector<std::uint8_t> bytes = input.ConsumeBytes<std::uint8_t>(
              2 * input.ConsumeIntegralInRange<std::size_t>(0, kMaxSamples));
          std::vector<std::int16_t> samples(bytes.size() / 2);
          if (!samples.empty())
            std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
          writer.WriteAudio(samples, time);
          break;
        }
        default: {  // a frame: exactly a picture's bytes, or any bytes
          const double time = NextTime(input, videoClock, video.frameInterval);
          const std::size_t picture = std::size_t(video.width) * std::size_t(video.height) * 2;
          // A small picture's JPEG is larger than its pixels.
          const std::size_t most = std::max<std::size_t>(picture * 2, 4096);
          const std::size_t length =
              input.ConsumeBool() ? picture : input.ConsumeIntegralInRange<std::size_t>(0, most);
          std::vector<std::uint8_t> frame = input.ConsumeBytes<std::uint8_t>(length);
          frame.resize(video.format == VideoFormat::YUY2 ? std::max(frame.size(), length)
                                                         : frame.size());
          if (writer.WriteVideo(frame, time) && !frame.empty())
            ++taken;
          break;
        }
      }
    } catch (const MediaError&) {
      // A refused frame, chunk, encoder or resume: the writer says so and
      // goes on, or has stopped; either is its answer.
    }
  }
  try {
    writer.Finish();
    finished = true;
  } catch (const MediaError&) {
    return 0;  // stopped on an error: the file holds what it could
  }
  Require(finished && !writer.IsOpen(), "a finished writer is closed");
  const std::optional<ReadBack> read = Read(path);
  Require(read.has_value(), "a finished file reads back");
  Require(read->video, "a finished file has its video stream");
  Require(!audio || read->audio, "a finished file has its sound stream");
  if (asTheyCome)
    Require(read->videoPackets == std::size_t(taken),
            "an AVI holds every frame taken, and only those");
  return 0;
}
