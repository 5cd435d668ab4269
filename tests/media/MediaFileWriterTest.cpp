// The ASF and AVI writer, read back through libavformat and libavcodec: what
// the container holds, the times of pictures and sound, the end of a file
// and the errors that leave a playable file or none at all.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numbers>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "media/MediaFileWriter.h"
#include "tests/support/MediaProbe.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace varnholt::media {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using test::FileInfo;
using test::Probe;
using test::StreamInfo;

constexpr int kWidth = 160;
constexpr int kHeight = 120;
constexpr double kInterval = 1.0 / 30;
constexpr int kFrames = 30;
constexpr int kRate = 48000;
constexpr double kBeepAt = 0.5;

Bytes Yuy2Frame(int index) {
  Bytes frame(static_cast<std::size_t>(kWidth) * kHeight * 2);
  for (std::size_t i = 0; i < frame.size(); ++i) {
    frame[i] = static_cast<std::uint8_t>(i % 2 == 0 ? (i / 2 + index * 7) % 220 + 16 : 128);
  }
  return frame;
}

// JPEG frames from FFmpeg's own encoder, as a camera's MJPG would come.
std::vector<Bytes> JpegFrames(int count) {
  const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MJPEG);
  AVCodecContext* enc = avcodec_alloc_context3(codec);
  enc->width = kWidth;
  enc->height = kHeight;
  enc->pix_fmt = AV_PIX_FMT_YUVJ422P;
  enc->time_base = {1, 30};
  if (avcodec_open2(enc, codec, nullptr) < 0) {
    throw std::runtime_error("no mjpeg encoder for the test frames");
  }
  AVFrame* frame = av_frame_alloc();
  frame->format = enc->pix_fmt;
  frame->width = kWidth;
  frame->height = kHeight;
  av_frame_get_buffer(frame, 0);
  AVPacket* packet = av_packet_alloc();
  std::vector<Bytes> out;
  for (int i = 0; i < count; ++i) {
    av_frame_make_writable(frame);
    for (int p = 0; p < 3; ++p) {
      const int rows = kHeight, cols = p == 0 ? kWidth : kWidth / 2;
      for (int y = 0; y < rows; ++y) {
        std::memset(frame->data[p] + y * frame->linesize[p], p == 0 ? (y + i * 5) % 256 : 128,
                    cols);
      }
    }
    frame->pts = i;
    avcodec_send_frame(enc, frame);
    while (avcodec_receive_packet(enc, packet) == 0) {
      out.emplace_back(packet->data, packet->data + packet->size);
      av_packet_unref(packet);
    }
  }
  av_packet_free(&packet);
  av_frame_free(&frame);
  avcodec_free_context(&enc);
  return out;
}

// One chunk of mono sound per frame interval: silence, and a loud 1 kHz tone
// from kBeepAt on.
std::vector<std::int16_t> SoundChunk(int index) {
  const int n = static_cast<int>(kRate * kInterval);
  std::vector<std::int16_t> chunk(n);
  for (int i = 0; i < n; ++i) {
    const double t = (index * n + i) / double(kRate);
    chunk[i] = t < kBeepAt ? 0 : std::lround(16000 * std::sin(2 * std::numbers::pi * 1000 * t));
  }
  return chunk;
}

class MediaTest : public ::testing::Test {
 protected:
  void SetUp() override {
    av_log_set_level(AV_LOG_ERROR);
    dir_ = fs::path(::testing::TempDir()) / ("varnholt-media-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
};

struct Case {
  const char* name;
  Container container;
  VideoFormat format;
  const char* videoEncoder;
  bool sound;
  const char* audioEncoder;
  const char* videoCodec;  // what the file holds
  const char* audioCodec;
  std::uint32_t tag;  // 0: not checked
};

void PrintTo(const Case& c, std::ostream* out) {
  *out << c.name;
}

class MediaWriteTest : public MediaTest, public ::testing::WithParamInterface<Case> {};

TEST_P(MediaWriteTest, HoldsWhatWasWrittenAtItsTimes) {
  const Case& c = GetParam();
  // Encoders from external libraries are there only when FFmpeg was built with them.
  const auto absent = [](const std::string& name, const std::vector<std::string>& list) {
    return name.starts_with("lib") && std::find(list.begin(), list.end(), name) == list.end();
  };
  if (absent(c.videoEncoder, VideoEncoders(c.container)) ||
      absent(c.audioEncoder, AudioEncoders(c.container))) {
    GTEST_SKIP() << "FFmpeg here lacks " << c.videoEncoder << " or " << c.audioEncoder;
  }
  const fs::path path = dir_ / "out.bin";  // the extension chooses nothing
  const std::vector<Bytes> jpegs =
      c.format == VideoFormat::MJPG ? JpegFrames(kFrames) : std::vector<Bytes>{};
  std::optional<AudioInput> audio;
  if (c.sound) {
    audio = AudioInput{kRate, 1, c.audioEncoder};
  }
  {
    MediaFileWriter writer;
    writer.Open(path.string(), c.container, {kWidth, kHeight, c.format, kInterval, c.videoEncoder},
                audio);
    for (int i = 0; i < kFrames; ++i) {
      const Bytes frame = c.format == VideoFormat::MJPG ? jpegs[i] : Yuy2Frame(i);
      EXPECT_TRUE(writer.WriteVideo(frame, i * kInterval));
      if (c.sound) {
        writer.WriteAudio(SoundChunk(i), i * kInterval);
      }
    }
    writer.Finish();
  }
  const FileInfo info = Probe(path);
  EXPECT_EQ(info.format, c.container == Container::Asf ? "asf" : "avi");
  ASSERT_EQ(info.streams.size(), c.sound ? 2u : 1u);
  const StreamInfo& v = info.streams[0];
  EXPECT_EQ(v.type, AVMEDIA_TYPE_VIDEO);
  EXPECT_EQ(v.codec, c.videoCodec);
  if (c.tag != 0) {
    EXPECT_EQ(v.tag, c.tag);
  }
  EXPECT_EQ(v.width, kWidth);
  EXPECT_EQ(v.height, kHeight);
  EXPECT_NEAR(static_cast<double>(v.packets.size()), kFrames, 1);
  EXPECT_NEAR(info.duration, kFrames * kInterval, 2 * kInterval);
  if (!jpegs.empty() && std::string(c.videoCodec) == "mjpeg" && !v.packets.empty()) {
    EXPECT_EQ(v.packets[3], jpegs[3]);  // passed through, not made anew
  }
  if (c.sound) {
    const StreamInfo& a = info.streams[1];
    EXPECT_EQ(a.type, AVMEDIA_TYPE_AUDIO);
    EXPECT_EQ(a.codec, c.audioCodec);
    EXPECT_NEAR(a.beep, kBeepAt, kInterval);
  }
}

constexpr std::uint32_t kYuy2 = MKTAG('Y', 'U', 'Y', '2');
constexpr std::uint32_t kMjpg = MKTAG('M', 'J', 'P', 'G');

INSTANTIATE_TEST_SUITE_P(
    Containers, MediaWriteTest,
    ::testing::Values(Case{"AviYuy2AsItComes", Container::Avi, VideoFormat::YUY2, "", false, "",
                           "rawvideo", "", kYuy2},
                      Case{"AviMjpgAsItComesWithPcm", Container::Avi, VideoFormat::MJPG, "", true,
                           "", "mjpeg", "pcm_s16le", kMjpg},
                      Case{"AviYuy2ToMpeg4WithPcm", Container::Avi, VideoFormat::YUY2, "mpeg4",
                           true, "", "mpeg4", "pcm_s16le", 0},
                      Case{"AviYuy2ToMjpegWithWma", Container::Avi, VideoFormat::YUY2, "mjpeg",
                           true, "wmav2", "mjpeg", "wmav2", 0},
                      Case{"AviYuy2ToX264WithMp3", Container::Avi, VideoFormat::YUY2, "libx264",
                           true, "libmp3lame", "h264", "mp3", 0},
                      Case{"AsfYuy2Default", Container::Asf, VideoFormat::YUY2, "", false, "",
                           "wmv2", "", 0},
                      Case{"AsfYuy2DefaultWithSound", Container::Asf, VideoFormat::YUY2, "", true,
                           "", "wmv2", "wmav2", 0},
                      Case{"AsfMjpgReencodedWithSound", Container::Asf, VideoFormat::MJPG,
                           "msmpeg4", true, "", "msmpeg4v3", "wmav2", 0},
                      Case{"AsfMjpgAsItComes", Container::Asf, VideoFormat::MJPG, "mjpeg", false,
                           "", "mjpeg", "", 0}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

TEST_F(MediaTest, FramesKeepTheirTimesAndLateOnesAreDropped) {
  for (Container container : {Container::Avi, Container::Asf}) {
    SCOPED_TRACE(container == Container::Asf ? "ASF" : "AVI");
    const fs::path path = dir_ / "times";
    MediaFileWriter writer;
    writer.Open(path.string(), container, {kWidth, kHeight, VideoFormat::YUY2, kInterval, "mpeg4"},
                std::nullopt);
    EXPECT_TRUE(writer.WriteVideo(Yuy2Frame(0), 0.0));
    EXPECT_FALSE(writer.WriteVideo(Yuy2Frame(1), 0.0));  // the same time again
    // Jitter around the slot edges: 1.45 rounds to slot 1 and 1.6 does too;
    // the later one takes slot 2, being past slot 1's time.
    EXPECT_TRUE(writer.WriteVideo(Yuy2Frame(2), 1.45 * kInterval));
    EXPECT_TRUE(writer.WriteVideo(Yuy2Frame(3), 1.6 * kInterval));
    // One frame too many: no later than the last slot's time.
    EXPECT_FALSE(writer.WriteVideo(Yuy2Frame(4), 2.0 * kInterval));
    EXPECT_FALSE(writer.WriteVideo(Yuy2Frame(5), 0.0));                      // earlier
    EXPECT_THROW(writer.WriteVideo(Bytes(100), 5 * kInterval), MediaError);  // too short
    EXPECT_TRUE(writer.WriteVideo(Yuy2Frame(6), 10 * kInterval));
    writer.Finish();
    const std::vector<double> times = Probe(path).streams.at(0).times;
    ASSERT_EQ(times.size(), 4u);
    EXPECT_NEAR(times[0], 0.0, 0.002);
    EXPECT_NEAR(times[1], kInterval, 0.002);
    EXPECT_NEAR(times[2], 2 * kInterval, 0.002);
    EXPECT_NEAR(times[3], 10 * kInterval, 0.002);
  }
}

TEST_F(MediaTest, SoundAfterAGapStaysAtItsTime) {
  // The sound starts late and skips a stretch: silence fills both, so the
  // beep is heard when it was written, in AVI too, which keeps no sound times.
  for (Container container : {Container::Avi, Container::Asf}) {
    SCOPED_TRACE(container == Container::Asf ? "ASF" : "AVI");
    const fs::path path = dir_ / "gap";
    MediaFileWriter writer;
    writer.Open(path.string(), container, {kWidth, kHeight, VideoFormat::YUY2, kInterval, ""},
                AudioInput{kRate, 1, ""});
    for (int i = 0; i < kFrames; ++i) {
      writer.WriteVideo(Yuy2Frame(i), i * kInterval);
      if (i >= 5 && (i < 10 || i >= 14)) {
        writer.WriteAudio(SoundChunk(i), i * kInterval);
      }
    }
    writer.Finish();
    EXPECT_NEAR(Probe(path).streams.at(1).beep, kBeepAt, kInterval);
  }
  // A sound clock that jumps by a day adds no day of silence.
  const fs::path path = dir_ / "jump";
  MediaFileWriter writer;
  writer.Open(path.string(), Container::Avi, {kWidth, kHeight, VideoFormat::YUY2, kInterval, ""},
              AudioInput{kRate, 1, ""});
  writer.WriteVideo(Yuy2Frame(0), 0);
  writer.WriteAudio(SoundChunk(0), 0);
  writer.WriteAudio(SoundChunk(1), 86400);
  writer.Finish();
  EXPECT_LT(Probe(path).streams.at(1).seconds, 1.0);
}

TEST_F(MediaTest, FinishEndsTheFileOnceAndTheDestructorFinishes) {
  const fs::path path = dir_ / "finish.avi";
  MediaFileWriter writer;
  writer.Open(path.string(), Container::Avi, {kWidth, kHeight, VideoFormat::YUY2, kInterval, ""},
              std::nullopt);
  EXPECT_TRUE(writer.IsOpen());
  writer.WriteVideo(Yuy2Frame(0), 0);
  writer.WriteVideo(Yuy2Frame(1), kInterval);
  writer.Finish();
  const auto size = fs::file_size(path);
  writer.Finish();
  EXPECT_FALSE(writer.IsOpen());
  EXPECT_EQ(fs::file_size(path), size);
  EXPECT_THROW(writer.WriteVideo(Yuy2Frame(2), 2 * kInterval), MediaError);
  EXPECT_EQ(Probe(path).streams.at(0).packets.size(), 2u);

  const fs::path left = dir_ / "left.asf";
  {
    MediaFileWriter unfinished;
    unfinished.Open(left.string(), Container::Asf,
                    {kWidth, kHeight, VideoFormat::YUY2, kInterval, ""}, AudioInput{kRate, 1, ""});
    for (int i = 0; i < 10; ++i) {
      unfinished.WriteVideo(Yuy2Frame(i), i * kInterval);
      unfinished.WriteAudio(SoundChunk(i), i * kInterval);
    }
  }
  const FileInfo info = Probe(left);
  EXPECT_NEAR(static_cast<double>(info.streams.at(0).packets.size()), 10, 1);
  EXPECT_NEAR(info.duration, 10 * kInterval, 2 * kInterval);
}

std::string Contents(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

std::ptrdiff_t FilesIn(const fs::path& dir) {
  return std::distance(fs::directory_iterator(dir), fs::directory_iterator());
}

// Run, Stop and Run again: the second run goes on in the same file, right
// after the first, whether the caller's clock went straight on (AVI) or ran
// on while stopped (ASF).
TEST_F(MediaTest, ResumedRecordingHoldsBothRunsBackToBack) {
  struct Run {
    const char* name;
    Container container;
    VideoFormat format;
    double pause;  // seconds the caller's clock runs between the two runs
  };
  const std::vector<Bytes> jpegs = JpegFrames(2 * kFrames);
  for (const Run& r : {Run{"AVI MJPG and PCM", Container::Avi, VideoFormat::MJPG, 0},
                       Run{"ASF wmv2 and wmav2", Container::Asf, VideoFormat::YUY2, 5}}) {
    SCOPED_TRACE(r.name);
    const fs::path path = dir_ / "resumed";
    MediaFileWriter writer;
    writer.Open(path.string(), r.container, {kWidth, kHeight, r.format, kInterval, ""},
                AudioInput{kRate, 1, ""});
    const auto record = [&](int from, double pause) {
      for (int i = from; i < from + kFrames; ++i) {
        const Bytes frame = r.format == VideoFormat::MJPG ? jpegs[i] : Yuy2Frame(i);
        EXPECT_TRUE(writer.WriteVideo(frame, pause + i * kInterval));
        writer.WriteAudio(SoundChunk(i), pause + i * kInterval);
      }
      writer.Finish();
    };
    record(0, 0);
    const double once = Probe(path).streams.at(1).seconds;
    writer.Resume();
    EXPECT_TRUE(writer.IsOpen());
    record(kFrames, r.pause);
    EXPECT_FALSE(writer.IsOpen());
    EXPECT_EQ(FilesIn(dir_), 1);  // the temporary file became the recording

    const FileInfo info = Probe(path);
    ASSERT_EQ(info.streams.size(), 2u);
    const StreamInfo& v = info.streams[0];
    ASSERT_EQ(v.packets.size(), 2u * kFrames);
    EXPECT_NEAR(v.times[kFrames - 1], (kFrames - 1) * kInterval, 0.002);
    EXPECT_NEAR(v.times[kFrames], kFrames * kInterval, 0.002);
    EXPECT_NEAR(v.times.back(), (2 * kFrames - 1) * kInterval, 0.002);
    EXPECT_NEAR(info.duration, 2 * kFrames * kInterval, 2 * kInterval);
    if (r.format == VideoFormat::MJPG) {
      EXPECT_EQ(v.packets[3], jpegs[3]);
      EXPECT_EQ(v.packets[kFrames + 3], jpegs[kFrames + 3]);
    }
    const StreamInfo& a = info.streams[1];
    EXPECT_NEAR(a.beep, kBeepAt, kInterval);
    EXPECT_NEAR(a.seconds, 2 * once, kInterval);  // both runs' sound, no more
    fs::remove(path);
  }
}

TEST_F(MediaTest, FailedResumeLeavesTheRecordingAsItWas) {
  const VideoInput yuy2{kWidth, kHeight, VideoFormat::YUY2, kInterval, ""};
  const auto record = [&](MediaFileWriter& writer, const fs::path& path, const VideoInput& video) {
    writer.Open(path.string(), Container::Avi, video, AudioInput{kRate, 1, ""});
    for (int i = 0; i < 10; ++i) {
      writer.WriteVideo(Yuy2Frame(i), i * kInterval);
      writer.WriteAudio(SoundChunk(i), i * kInterval);
    }
  };
  const auto refused = [](MediaFileWriter& writer, const std::string& says) {
    try {
      writer.Resume();
      ADD_FAILURE() << "resumed";
    } catch (const MediaError& e) {
      EXPECT_NE(std::string(e.what()).find(says), std::string::npos) << e.what();
    }
    EXPECT_FALSE(writer.IsOpen());
  };
  const fs::path path = dir_ / "kept.avi";
  MediaFileWriter writer;
  record(writer, path, yuy2);
  writer.Finish();

  MediaFileWriter elsewhere;
  elsewhere.Open(std::make_unique<FileOutput>((dir_ / "custom").string()), Container::Avi, yuy2,
                 std::nullopt);
  elsewhere.Finish();
  refused(elsewhere, "named file");

  // Another recording in its place, in MPEG-4: its packets cannot go on in YUY2.
  {
    MediaFileWriter other;
    record(other, dir_ / "other", {kWidth, kHeight, VideoFormat::YUY2, kInterval, "mpeg4"});
  }
  fs::copy_file(dir_ / "other", path, fs::copy_options::overwrite_existing);
  const std::string kept = Contents(path);
  refused(writer, "no longer holds the streams");
  EXPECT_EQ(Contents(path), kept);
  EXPECT_EQ(FilesIn(dir_), 3);  // kept.avi, custom, other: no temporary left

  fs::remove(path);
  refused(writer, "reading the recording");
  EXPECT_EQ(FilesIn(dir_), 2);
}

// What killed writers left beside a file goes with the next writer of that
// name once nobody has written to it for a minute; a live one's stays, and
// so does every other file.
TEST_F(MediaTest, LeftoversOfKilledWritersGoOnceStale) {
  const fs::path path = dir_ / "kept.avi";
  const std::vector<std::string> stale = {".kept.avi.record-a1B2c3", ".kept.avi.resume-x9Y8z7"};
  const std::vector<std::string> kept = {".kept.avi.resume-Live00", ".kept.avi.other-a1B2c3",
                                         ".other.avi.record-a1B2c3"};
  for (const auto& name : stale)
    std::ofstream(dir_ / name) << "cut off";
  for (const auto& name : kept)
    std::ofstream(dir_ / name) << "cut off";
  for (const auto& name : stale)
    fs::last_write_time(dir_ / name, fs::file_time_type::clock::now() - std::chrono::minutes(2));
  fs::last_write_time(dir_ / kept[1], fs::file_time_type::clock::now() - std::chrono::minutes(2));
  MediaFileWriter writer;
  writer.Open(path.string(), Container::Avi, {kWidth, kHeight, VideoFormat::YUY2, kInterval, ""},
              std::nullopt);
  writer.Finish();
  for (const auto& name : stale)
    EXPECT_FALSE(fs::exists(dir_ / name)) << name;
  for (const auto& name : kept)
    EXPECT_TRUE(fs::exists(dir_ / name)) << name;
}

TEST_F(MediaTest, FailedOpenLeavesNoFileAndSaysWhy) {
  const fs::path path = dir_ / "failed.avi";
  struct Attempt {
    Container container;
    VideoInput video;
    std::optional<AudioInput> audio;
    std::string says;
  };
  const Attempt attempts[] = {
      {Container::Avi,
       {kWidth, kHeight, VideoFormat::YUY2, kInterval, "no-such-codec"},
       std::nullopt,
       "no-such-codec"},
      {Container::Avi,
       {kWidth, kHeight, VideoFormat::YUY2, kInterval, "wmav2"},
       std::nullopt,
       "no video encoder named \"wmav2\""},
      {Container::Asf,
       {kWidth, kHeight, VideoFormat::YUY2, kInterval, ""},
       AudioInput{kRate, 1, "mpeg4"},
       "no audio encoder"},
      {Container::Avi,
       {kWidth, kHeight, VideoFormat::YUY2, kInterval, ""},
       AudioInput{96000, 1, "wmav2"},
       "opening the audio encoder wmav2"},
      {Container::Avi,
       {kWidth, kHeight, VideoFormat::YUY2, kInterval, ""},
       AudioInput{2'000'000'000, 1, "pcm_s16le"},
       "sample rate from 1 to 384000 Hz"},
      {Container::Avi,
       {kWidth, kHeight, VideoFormat::YUY2, kInterval, "rpza"},
       std::nullopt,
       "\"rpza\" is left out"},
      {Container::Avi, {0, kHeight, VideoFormat::YUY2, kInterval, ""}, std::nullopt, "size"},
      // Beyond what a time base holds: the muxers would divide by zero.
      {Container::Avi, {kWidth, kHeight, VideoFormat::YUY2, 5e307, ""}, std::nullopt, "interval"},
      {Container::Asf, {kWidth, kHeight, VideoFormat::YUY2, 1e-9, ""}, std::nullopt, "interval"}};
  for (const Attempt& a : attempts) {
    SCOPED_TRACE(a.says);
    MediaFileWriter writer;
    try {
      writer.Open(path.string(), a.container, a.video, a.audio);
      ADD_FAILURE() << "opened";
    } catch (const MediaError& e) {
      EXPECT_NE(std::string(e.what()).find(a.says), std::string::npos) << e.what();
    }
    EXPECT_FALSE(fs::exists(path));
    EXPECT_FALSE(writer.IsOpen());
  }
  // A recording that fails to start over an older one leaves that one whole.
  { std::ofstream(path, std::ios::binary) << "an older recording"; }
  EXPECT_THROW(
      MediaFileWriter().Open(path.string(), attempts[0].container, attempts[0].video, std::nullopt),
      MediaError);
  EXPECT_EQ(Contents(path), "an older recording");
  EXPECT_EQ(FilesIn(dir_), 1);
  fs::remove(path);
  MediaFileWriter writer;
  EXPECT_THROW(writer.Open((dir_ / "missing" / "x.avi").string(), Container::Avi,
                           {kWidth, kHeight, VideoFormat::YUY2, kInterval, ""}, std::nullopt),
               MediaError);
  // What is not a plain file (a pipe here, a device elsewhere) is written
  // to, never removed.
  const fs::path pipe = dir_ / "pipe";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  const int reader = ::open(pipe.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  EXPECT_THROW(writer.Open(pipe.string(), Container::Avi,
                           {0, kHeight, VideoFormat::YUY2, kInterval, ""}, std::nullopt),
               MediaError);
  ::close(reader);
  EXPECT_TRUE(fs::exists(pipe));
}

// A file on a disk that holds capacity bytes: a write past it lands up to the end,
// then fails as a full disk does; bytes already there can be rewritten.
class FullDisk : public FileOutput {
 public:
  FullDisk(const std::string& path, std::int64_t capacity)
      : FileOutput(path), capacity_(capacity) {}
  int Write(const std::uint8_t* data, std::size_t size) override {
    const std::int64_t room = std::max<std::int64_t>(0, capacity_ - Position());
    if (static_cast<std::int64_t>(size) <= room) {
      return FileOutput::Write(data, size);
    }
    FileOutput::Write(data, static_cast<std::size_t>(room));
    return ENOSPC;
  }

 private:
  std::int64_t capacity_;
};

// Writes until the disk is full: the error names it, the writer stops, and
// the file still plays the frames that landed, for as long as they last.
void FillUp(MediaFileWriter& writer, const fs::path& path) {
  int taken = 0;
  std::string error;
  for (int i = 0; i < 300 && error.empty(); ++i) {
    try {
      writer.WriteAudio(SoundChunk(i), i * kInterval);
      writer.WriteVideo(Yuy2Frame(i), i * kInterval);
      ++taken;
    } catch (const MediaError& e) {
      error = e.what();
    }
  }
  EXPECT_NE(error.find("No space left on device"), std::string::npos) << error;
  EXPECT_FALSE(writer.IsOpen());
  EXPECT_THROW(writer.WriteVideo(Yuy2Frame(0), 100.0), MediaError);
  EXPECT_NO_THROW(writer.Finish());
  const FileInfo info = Probe(path);
  ASSERT_EQ(info.streams.size(), 2u);
  const auto frames = static_cast<int>(info.streams[0].packets.size());
  EXPECT_GE(frames, 2);
  EXPECT_LE(frames, taken + 1);
  // The trailer still went out: the header knows how long the file is.
  EXPECT_NEAR(info.duration, taken * kInterval, 2 * kInterval);
}

VideoInput Uncompressed(Container container) {
  // YUY2 frames of 38400 bytes in AVI, small JPEGs in ASF: either fills a
  // few hundred kilobytes soon, the one in a few frames, the other in many.
  return {kWidth, kHeight, VideoFormat::YUY2, kInterval,
          container == Container::Asf ? "mjpeg" : ""};
}

TEST_F(MediaTest, FullDiskStopsTheWriterAndKeepsAPlayableFile) {
  for (Container container : {Container::Avi, Container::Asf}) {
    SCOPED_TRACE(container == Container::Asf ? "ASF" : "AVI");
    const fs::path path = dir_ / "full";
    MediaFileWriter writer;
    writer.Open(std::make_unique<FullDisk>(path.string(), 400 * 1024), container,
                Uncompressed(container), AudioInput{kRate, 1, ""});
    FillUp(writer, path);
    EXPECT_EQ(fs::file_size(path), 400u * 1024);
  }
}

TEST_F(MediaTest, FullTmpfsStopsTheWriterAndKeepsAPlayableFile) {
  const fs::path disk = dir_ / "disk";
  fs::create_directories(disk);
  if (::mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=256k") != 0) {
    GTEST_SKIP() << "cannot mount a tmpfs here (" << std::strerror(errno)
                 << "); FullDiskStopsTheWriterAndKeepsAPlayableFile covers it";
  }
  struct Unmount {
    const fs::path& at;
    ~Unmount() { ::umount2(at.c_str(), MNT_DETACH); }
  } unmount{disk};
  for (Container container : {Container::Avi, Container::Asf}) {
    SCOPED_TRACE(container == Container::Asf ? "ASF" : "AVI");
    const fs::path path = disk / "full";
    {
      MediaFileWriter writer;
      writer.Open(path.string(), container, Uncompressed(container), AudioInput{kRate, 1, ""});
      FillUp(writer, path);
    }
    fs::remove(path);
  }
  // Full while resumed: the writer stops as above, and the first run stays as it was.
  const fs::path path = disk / "resumed";
  MediaFileWriter writer;
  writer.Open(path.string(), Container::Avi, Uncompressed(Container::Avi),
              AudioInput{kRate, 1, ""});
  for (int i = 0; i < 2; ++i) {
    writer.WriteAudio(SoundChunk(i), i * kInterval);
    writer.WriteVideo(Yuy2Frame(i), i * kInterval);
  }
  writer.Finish();
  const std::string kept = Contents(path);
  writer.Resume();
  std::string error;
  for (int i = 2; i < 300 && error.empty(); ++i) {
    try {
      writer.WriteAudio(SoundChunk(i), i * kInterval);
      writer.WriteVideo(Yuy2Frame(i), i * kInterval);
    } catch (const MediaError& e) {
      error = e.what();
    }
  }
  EXPECT_NE(error.find("No space left on device"), std::string::npos) << error;
  EXPECT_NO_THROW(writer.Finish());
  EXPECT_EQ(Contents(path), kept);
  EXPECT_EQ(FilesIn(disk), 1);
}

TEST(MediaEncoders, ListWhatTheContainersHold) {
  const auto has = [](const std::vector<std::string>& list, const std::string& name) {
    return std::find(list.begin(), list.end(), name) != list.end();
  };
  const auto aviVideo = VideoEncoders(Container::Avi);
  const auto asfVideo = VideoEncoders(Container::Asf);
  const auto aviAudio = AudioEncoders(Container::Avi);
  const auto asfAudio = AudioEncoders(Container::Asf);
  EXPECT_TRUE(has(aviVideo, "mjpeg") && has(aviVideo, "mpeg4"));
  EXPECT_TRUE(has(asfVideo, "wmv2") && has(asfVideo, "msmpeg4"));
  EXPECT_TRUE(has(aviAudio, "pcm_s16le") && has(asfAudio, "wmav2"));
  EXPECT_FALSE(has(aviVideo, "pcm_s16le") || has(aviAudio, "mjpeg"));
  EXPECT_FALSE(has(aviAudio, "pcm_u8"));  // 16-bit input is not narrowed
  // Encoders that need a device which may not be there are left out, and
  // those that can abort or hang the program.
  for (const char* leftOut :
       {"h264_vaapi", "h264_qsv", "h264_omx", "h264_v4l2m2m", "rpza", "libsvtav1"}) {
    EXPECT_FALSE(has(aviVideo, leftOut)) << leftOut;
  }
}

}  // namespace
}  // namespace varnholt::media
