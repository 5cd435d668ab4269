#include "media/MediaFileWriter.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <ctime>
#include <string_view>
#include <utility>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/log.h>
#include <libavutil/mem.h>
#include <libswscale/swscale.h>
}

namespace varnholt::media {
namespace {

std::string AvError(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

[[noreturn]] void Throw(const std::string& what, int code) {
  throw MediaError(what + ": " + AvError(code));
}

// The bytes AVIO hands over became const in FFmpeg 7.
#if LIBAVFORMAT_VERSION_MAJOR >= 61
using AvioBytes = const std::uint8_t*;
#else
using AvioBytes = std::uint8_t*;
#endif

const char* ShortName(Container container) {
  return container == Container::Asf ? "asf" : "avi";
}

const char* DisplayName(Container container) {
  return container == Container::Asf ? "ASF" : "AVI";
}

// The sample layouts the 16-bit input is converted into here.
bool Convertible(AVSampleFormat format) {
  switch (format) {
    case AV_SAMPLE_FMT_S16:
    case AV_SAMPLE_FMT_S16P:
    case AV_SAMPLE_FMT_S32:
    case AV_SAMPLE_FMT_S32P:
    case AV_SAMPLE_FMT_FLT:
    case AV_SAMPLE_FMT_FLTP:
      return true;
    default:
      return false;
  }
}

bool HasConvertibleFormat(const AVCodec* codec) {
  if (codec->sample_fmts == nullptr) {
    return false;
  }
  for (const AVSampleFormat* f = codec->sample_fmts; *f != AV_SAMPLE_FMT_NONE; ++f) {
    if (Convertible(*f)) {
      return true;
    }
  }
  return false;
}

// Encoders of this FFmpeg that take the whole program down on input a camera
// may send, both found by fuzzing: rpza aborts ("put_bits buffer too small")
// on a 16-pixel-wide picture; libsvtav1 can wait forever in finishing a
// recording. Never offered, and refused by name.
bool Unsafe(std::string_view name) {
  return name == "rpza" || name == "libsvtav1";
}

bool Usable(const AVCodec* codec, const AVOutputFormat* format) {
  // Experimental encoders need a compliance waiver, hardware ones a device
  // that may not be there: neither belongs in a plain list of choices.
  // OpenMAX encoders carry no mark of their own but the name.
  const std::string_view name = codec->name;
  if ((codec->capabilities &
       (AV_CODEC_CAP_EXPERIMENTAL | AV_CODEC_CAP_HARDWARE | AV_CODEC_CAP_HYBRID)) ||
      avcodec_get_hw_config(codec, 0) != nullptr || name.ends_with("_omx") || Unsafe(name)) {
    return false;
  }
  if (codec->type == AVMEDIA_TYPE_AUDIO && !HasConvertibleFormat(codec)) {
    return false;
  }
  return avformat_query_codec(format, codec->id, FF_COMPLIANCE_NORMAL) == 1;
}

std::vector<std::string> Encoders(Container container, AVMediaType type) {
  const AVOutputFormat* format = av_guess_format(ShortName(container), nullptr, nullptr);
  std::vector<std::string> names;
  void* it = nullptr;
  while (const AVCodec* codec = av_codec_iterate(&it)) {
    if (format != nullptr && av_codec_is_encoder(codec) && codec->type == type &&
        Usable(codec, format)) {
      names.emplace_back(codec->name);
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

const AVCodec* FindEncoder(const std::string& name, AVMediaType type, Container container,
                           const AVOutputFormat* format) {
  const AVCodec* codec = avcodec_find_encoder_by_name(name.c_str());
  const char* kind = type == AVMEDIA_TYPE_VIDEO ? "video" : "audio";
  if (codec == nullptr || codec->type != type) {
    throw MediaError("no " + std::string(kind) + " encoder named \"" + name + "\" here");
  }
  if (Unsafe(name)) {
    throw MediaError("the " + std::string(kind) + " encoder \"" + name +
                     "\" is left out: it can end or hang the program on some recordings");
  }
  if (avformat_query_codec(format, codec->id, FF_COMPLIANCE_NORMAL) != 1) {
    throw MediaError(std::string(DisplayName(container)) + " cannot hold " + kind + " from \"" +
                     name + "\"");
  }
  return codec;
}

// A new empty file beside path, under a hidden name of its own ("." path
// "." role "-XXXXXX"), with path's permissions, or those a new file gets
// when there is none yet, so that it can replace path by a rename.
std::string MakeFileBeside(const std::string& path, const char* role) {
  struct stat st {};
  const bool exists = ::stat(path.c_str(), &st) == 0;
  if (!exists && errno != ENOENT) {
    throw MediaError("cannot read " + path + ": " + std::strerror(errno));
  }
  const std::size_t slash = path.rfind('/');
  const std::size_t at = slash == std::string::npos ? 0 : slash + 1;
  std::string name = path.substr(0, at) + "." + path.substr(at) + "." + role + "-XXXXXX";
  const int fd = ::mkstemp(name.data());
  if (fd < 0) {
    throw MediaError("cannot create a file beside " + path + ": " + std::strerror(errno));
  }
  if (exists) {
    ::fchmod(fd, st.st_mode & 07777);
  } else {
    const mode_t mask = ::umask(0);  // only read: set back at once
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
  }
  ::close(fd);
  return name;
}

// Removes what killed writers left beside path (MakeFileBeside's files) and
// nobody has written to for a minute: a live writer's file changes with
// every frame, and one cut off by a crash would otherwise stay for good,
// as large as the recording it was copying.
void RemoveLeftoversOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  const std::string base = "." + path.substr(folder.size()) + ".";
  DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (dir == nullptr) {
    return;
  }
  const std::time_t stale = std::time(nullptr) - 60;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string_view name = entry->d_name;
    if (name.size() != base.size() + 13 || name.substr(0, base.size()) != base) {
      continue;
    }
    const std::string_view role = name.substr(base.size(), 7);
    if (role != "record-" && role != "resume-") {
      continue;
    }
    const std::string leftover = folder + std::string(name);
    struct stat st {};
    if (::lstat(leftover.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_mtime < stale) {
      ::unlink(leftover.c_str());
    }
  }
  ::closedir(dir);
}

// Makes a rename in the folder of path last through a power cut.
void SyncFolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    ::fsync(fd);
    ::close(fd);
  }
}

struct InputCloser {
  AVFormatContext*& ic;
  ~InputCloser() { avformat_close_input(&ic); }
};

}  // namespace

// ---- FileOutput ----

FileOutput::FileOutput(const std::string& path) : path_(path) {
  fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd_ < 0) {
    throw MediaError("cannot create " + path + ": " + std::strerror(errno));
  }
  struct stat st {};
  regular_ = ::fstat(fd_, &st) == 0 && S_ISREG(st.st_mode);
}

FileOutput::~FileOutput() {
  if (fd_ >= 0) {
    ::close(fd_);
  }
}

int FileOutput::Write(const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd_, data, size);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      return n < 0 ? errno : ENOSPC;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return 0;
}

int FileOutput::Seek(std::int64_t offset) {
  return ::lseek(fd_, offset, SEEK_SET) < 0 ? errno : 0;
}

std::int64_t FileOutput::Position() const {
  return ::lseek(fd_, 0, SEEK_CUR);
}

std::int64_t FileOutput::Size() const {
  struct stat st {};
  return ::fstat(fd_, &st) == 0 ? st.st_size : -1;
}

void FileOutput::Close(bool failed) {
  if (fd_ >= 0) {
    if (!failed) {
      ::fsync(fd_);  // a resumed recording is renamed over the earlier one next
    }
    ::close(fd_);
    fd_ = -1;
  }
  // Only a file of our own making goes: never a device or pipe written to.
  if (failed && regular_) {
    ::unlink(path_.c_str());
  }
}

// ---- MediaFileWriter ----

struct MediaFileWriter::State {
  std::unique_ptr<MediaOutput> output;
  bool outputClosed = false;
  AVFormatContext* oc = nullptr;
  AVIOContext* pb = nullptr;
  AVPacket* packet = nullptr;
  Container container = Container::Avi;
  std::string error;     // set once a write failed; the writer is stopped
  bool swallow = false;  // finishing after a failed write: keep what lands
  bool finished = false;
  int outputError = 0;  // the errno of the last failed output call

  std::string path;              // the file asked for; empty for a MediaOutput
  std::string temporary;         // resumed: the file beside path that replaces it when finished
  bool shiftPending = false;     // resumed: the first time written sets slotShift
  std::int64_t slotShift = 0;    // added to the caller's frame slots
  std::int64_t audioOrigin = 0;  // the sample number this audio encoder starts at
  std::int64_t lastAudioTime = AV_NOPTS_VALUE;  // of the last sound packet, in its stream's units

  VideoInput video;
  AVRational slotBase{1, 30};  // one frame interval
  AVStream* videoStream = nullptr;
  AVCodecContext* videoEncoder = nullptr;  // none: frames are stored as they come
  AVCodecContext* jpegDecoder = nullptr;
  AVFrame* decoded = nullptr;
  AVFrame* picture = nullptr;
  SwsContext* scaler = nullptr;
  std::int64_t lastSlot = -1;

  std::optional<AudioInput> audio;
  AVStream* audioStream = nullptr;
  AVCodecContext* audioEncoder = nullptr;
  int audioFrameSize = 0;
  std::vector<std::int16_t> pending;  // samples not yet encoded, interleaved
  std::int64_t pendingStart = 0;      // the sample number of pending's first instant

  ~State() {
    avcodec_free_context(&videoEncoder);
    avcodec_free_context(&jpegDecoder);
    avcodec_free_context(&audioEncoder);
    av_frame_free(&decoded);
    av_frame_free(&picture);
    sws_freeContext(scaler);
    av_packet_free(&packet);
    avformat_free_context(oc);
    if (pb != nullptr) {
      av_freep(&pb->buffer);
      avio_context_free(&pb);
    }
    // A resumed file that was never finished must not outlive the writer.
    CloseOutput(!temporary.empty());
  }

  void CloseOutput(bool failed) {
    if (output && !outputClosed) {
      outputClosed = true;
      output->Close(failed);
    }
  }

  static int WritePacket(void* opaque, AvioBytes data, int size) {
    auto* self = static_cast<State*>(opaque);
    const int err = self->output->Write(data, static_cast<std::size_t>(size));
    if (err == 0) {
      return size;
    }
    self->outputError = err;
    // After a failed write the trailer still goes out; AVIO would drop every
    // write after one error, and with it the header fields that fit.
    return self->swallow ? size : AVERROR(err);
  }

  static std::int64_t SeekOutput(void* opaque, std::int64_t offset, int whence) {
    auto* self = static_cast<State*>(opaque);
    MediaOutput& out = *self->output;
    if (whence & AVSEEK_SIZE) {
      return out.Size();
    }
    switch (whence & ~AVSEEK_FORCE) {
      case SEEK_CUR:
        offset += out.Position();
        break;
      case SEEK_END:
        offset += out.Size();
        break;
      default:
        break;
    }
    const int err = out.Seek(offset);
    return err == 0 ? offset : AVERROR(err);
  }

  void Build(std::unique_ptr<MediaOutput> out, Container c, const VideoInput& v,
             const std::optional<AudioInput>& a) {
    output = std::move(out);
    container = c;
    video = v;
    audio = a;
    if (v.width <= 0 || v.height <= 0 || !(v.frameInterval > 0)) {
      throw MediaError("the video needs a positive size and frame interval");
    }
    // A frame slot is a time base of at most 65535 in either part: an
    // interval beyond that makes a zero one, which the muxers divide by.
    constexpr double kMostSlotPart = 65535;
    if (!(v.frameInterval >= 1 / kMostSlotPart && v.frameInterval <= kMostSlotPart)) {
      throw MediaError("the video needs a frame interval from 1/65535 to 65535 seconds");
    }
    if (v.format == VideoFormat::YUY2 && v.width % 2 != 0) {
      throw MediaError("YUY2 video needs an even width");
    }
    // Sound cards go up to 384 kHz; a rate beyond would make the silence
    // that fills a gap in the sound (up to 10 s) billions of samples.
    constexpr int kMostSampleRate = 384000;
    if (a && (a->sampleRate <= 0 || a->sampleRate > kMostSampleRate || a->channels <= 0 ||
              a->channels > 8)) {
      throw MediaError("the sound needs a sample rate from 1 to 384000 Hz and 1 to 8 channels");
    }
    int err = avformat_alloc_output_context2(&oc, nullptr, ShortName(c), nullptr);
    if (err < 0) {
      Throw(std::string("no ") + DisplayName(c) + " muxer", err);
    }
    packet = av_packet_alloc();
    slotBase = av_d2q(v.frameInterval, 65535);
    BuildVideo();
    if (audio) {
      BuildAudio();
    }
    constexpr int kBufferSize = 64 * 1024;
    auto* buffer = static_cast<std::uint8_t*>(av_malloc(kBufferSize));
    pb = avio_alloc_context(buffer, kBufferSize, 1, this, nullptr, WritePacket, SeekOutput);
    if (pb == nullptr) {
      av_free(buffer);
      throw MediaError("out of memory");
    }
    oc->pb = pb;
    oc->flags |= AVFMT_FLAG_CUSTOM_IO;
    err = avformat_write_header(oc, nullptr);
    if (err >= 0) {
      avio_flush(pb);
      err = pb->error;
    }
    if (err < 0) {
      Throw(std::string("writing the ") + DisplayName(c) + " header", err);
    }
  }

  void BuildVideo() {
    std::string name = video.encoder;
    if (name.empty() && container == Container::Asf) {
      name = "wmv2";
    }
    if (video.format == VideoFormat::MJPG && name == "mjpeg") {
      name.clear();  // already JPEG: passed through rather than decoded and made again
    }
    videoStream = avformat_new_stream(oc, nullptr);
    AVCodecParameters* par = videoStream->codecpar;
    videoStream->time_base = slotBase;
    videoStream->avg_frame_rate = av_inv_q(slotBase);
    if (name.empty()) {
      const bool jpeg = video.format == VideoFormat::MJPG;
      par->codec_type = AVMEDIA_TYPE_VIDEO;
      par->codec_id = jpeg ? AV_CODEC_ID_MJPEG : AV_CODEC_ID_RAWVIDEO;
      par->codec_tag = jpeg ? MKTAG('M', 'J', 'P', 'G') : MKTAG('Y', 'U', 'Y', '2');
      par->format = jpeg ? AV_PIX_FMT_YUVJ422P : AV_PIX_FMT_YUYV422;
      par->bits_per_coded_sample = jpeg ? 24 : 16;
      par->width = video.width;
      par->height = video.height;
      if (avformat_query_codec(oc->oformat, par->codec_id, FF_COMPLIANCE_NORMAL) != 1) {
        throw MediaError(std::string(DisplayName(container)) +
                         " cannot hold the frames as they come");
      }
      return;
    }
    const AVCodec* codec = FindEncoder(name, AVMEDIA_TYPE_VIDEO, container, oc->oformat);
    const AVPixelFormat source =
        video.format == VideoFormat::YUY2 ? AV_PIX_FMT_YUYV422 : AV_PIX_FMT_YUVJ422P;
    AVPixelFormat target = AV_PIX_FMT_YUV420P;
    if (codec->pix_fmts != nullptr) {
      target = avcodec_find_best_pix_fmt_of_list(codec->pix_fmts, source, 0, nullptr);
      // FFmpeg's JPEG encoder takes limited-range YUV only with a compliance
      // waiver; the full-range kind is plain JPEG.
      for (const AVPixelFormat* f = codec->pix_fmts; *f != AV_PIX_FMT_NONE; ++f) {
        if (codec->id == AV_CODEC_ID_MJPEG && *f == AV_PIX_FMT_YUVJ422P) {
          target = *f;
        }
      }
    }
    videoEncoder = avcodec_alloc_context3(codec);
    videoEncoder->width = video.width;
    videoEncoder->height = video.height;
    videoEncoder->pix_fmt = target;
    videoEncoder->time_base = slotBase;
    videoEncoder->framerate = av_inv_q(slotBase);
    videoEncoder->gop_size = 12;
    // Without B-frames every packet leaves in order: AVI has no reorder times.
    videoEncoder->max_b_frames = 0;
    // About 0.2 bits a pixel: a webcam picture stays clean at modest size.
    videoEncoder->bit_rate = static_cast<std::int64_t>(
        std::clamp(0.2 * video.width * video.height / video.frameInterval, 2e5, 5e7));
    if (oc->oformat->flags & AVFMT_GLOBALHEADER) {
      videoEncoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }
    int err = avcodec_open2(videoEncoder, codec, nullptr);
    if (err < 0) {
      Throw("opening the video encoder " + name, err);
    }
    avcodec_parameters_from_context(videoStream->codecpar, videoEncoder);
    picture = av_frame_alloc();
    picture->format = target;
    picture->width = video.width;
    picture->height = video.height;
    err = av_frame_get_buffer(picture, 0);
    if (err < 0) {
      Throw("allocating a picture", err);
    }
    if (video.format == VideoFormat::MJPG) {
      const AVCodec* decoder = avcodec_find_decoder(AV_CODEC_ID_MJPEG);
      jpegDecoder = decoder ? avcodec_alloc_context3(decoder) : nullptr;
      if (jpegDecoder == nullptr || avcodec_open2(jpegDecoder, decoder, nullptr) < 0) {
        throw MediaError("no JPEG decoder here to re-encode MJPG frames");
      }
      decoded = av_frame_alloc();
    }
  }

  void BuildAudio() {
    std::string name = audio->encoder;
    if (name.empty()) {
      name = container == Container::Asf ? "wmav2" : "pcm_s16le";
    }
    const AVCodec* codec = FindEncoder(name, AVMEDIA_TYPE_AUDIO, container, oc->oformat);
    AVSampleFormat format = AV_SAMPLE_FMT_NONE;
    for (const AVSampleFormat* f = codec->sample_fmts; f && *f != AV_SAMPLE_FMT_NONE; ++f) {
      if (Convertible(*f)) {
        format = *f;
        break;
      }
    }
    if (format == AV_SAMPLE_FMT_NONE) {
      throw MediaError("the audio encoder " + name + " takes no sample layout made here");
    }
    if (const int* rates = codec->supported_samplerates) {
      bool found = false;
      for (; *rates != 0; ++rates) {
        found = found || *rates == audio->sampleRate;
      }
      if (!found) {
        throw MediaError("the audio encoder " + name + " does not take " +
                         std::to_string(audio->sampleRate) + " Hz");
      }
    }
    audioEncoder = avcodec_alloc_context3(codec);
    audioEncoder->sample_fmt = format;
    audioEncoder->sample_rate = audio->sampleRate;
    av_channel_layout_default(&audioEncoder->ch_layout, audio->channels);
    audioEncoder->time_base = AVRational{1, audio->sampleRate};
    audioEncoder->bit_rate = 64000 * std::min(audio->channels, 2);
    if (oc->oformat->flags & AVFMT_GLOBALHEADER) {
      audioEncoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }
    const int err = avcodec_open2(audioEncoder, codec, nullptr);
    if (err < 0) {
      Throw("opening the audio encoder " + name, err);
    }
    const bool anySize = codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE;
    audioFrameSize = anySize || audioEncoder->frame_size <= 0 ? 1024 : audioEncoder->frame_size;
    audioStream = avformat_new_stream(oc, nullptr);
    audioStream->time_base = audioEncoder->time_base;
    avcodec_parameters_from_context(audioStream->codecpar, audioEncoder);
  }

  void CheckWritable() const {
    if (oc == nullptr || finished) {
      throw MediaError(error.empty() ? "the media file is not open" : error);
    }
  }

  // A failed write stops the writer: what can still land of the trailer is
  // written, then the error is reported now and on every later call.
  [[noreturn]] void Stop(const std::string& what, int code) {
    error = what + ": " + AvError(outputError != 0 ? AVERROR(outputError) : code);
    finished = true;
    if (!temporary.empty()) {
      // The earlier recording is whole and plays; a cut-off copy of it is worse.
      error += " (" + path + " stays as it was before it was resumed)";
      CloseOutput(true);
      throw MediaError(error);
    }
    swallow = true;
    pb->error = 0;
    av_write_trailer(oc);
    avio_flush(pb);
    CloseOutput(false);
    throw MediaError(error);
  }

  void Mux(AVStream* stream) {
    packet->stream_index = stream->index;
    const int err = av_interleaved_write_frame(oc, packet);
    if (err < 0 || pb->error < 0) {
      Stop("writing the media file", err < 0 ? err : pb->error);
    }
  }

  // Sends frame (null: the end) and muxes what comes out.
  void Encode(AVCodecContext* encoder, AVFrame* frame, AVStream* stream) {
    int err = avcodec_send_frame(encoder, frame);
    if (err < 0 && err != AVERROR_EOF) {
      Stop("encoding", err);
    }
    while ((err = avcodec_receive_packet(encoder, packet)) >= 0) {
      // Sound encoders start with a packet of priming before time 0. ASF
      // and AVI keep no such delay: AVI would play the sound late by it, and
      // FFmpeg's ASF muxer moves every stream later to make the time
      // positive. So priming alone is dropped and a packet that only starts
      // early is set at the start. A resumed encoder primes again, at the
      // end of the earlier sound.
      if (encoder->codec_type == AVMEDIA_TYPE_AUDIO && packet->pts != AV_NOPTS_VALUE &&
          packet->pts < audioOrigin) {
        if (packet->pts + packet->duration <= audioOrigin) {
          av_packet_unref(packet);
          continue;
        }
        packet->pts = packet->dts = audioOrigin;
      }
      av_packet_rescale_ts(packet, encoder->time_base, stream->time_base);
      if (stream == audioStream) {
        // In AVI's unit of one packet the one set at the start and the next
        // can round to the same time, which the muxer refuses after its first.
        if (lastAudioTime != AV_NOPTS_VALUE && packet->dts <= lastAudioTime) {
          packet->pts = packet->dts = lastAudioTime + 1;
        }
        lastAudioTime = packet->dts;
      }
      Mux(stream);
    }
    if (err != AVERROR(EAGAIN) && err != AVERROR_EOF) {
      Stop("encoding", err);
    }
  }

  bool WriteVideo(std::span<const std::uint8_t> frame, double time) {
    CheckWritable();
    if (!(time >= 0 && time < 1e9)) {
      return false;  // before the start, or no time at all
    }
    // A frame whose time rounds onto the slot before, yet falls after that
    // slot's own time, takes the next slot: a camera's frames jitter around
    // the slot edges, and dropping them would lose every other one there.
    // Its slot is then less than one frame late, so sound keeps to it; a
    // frame no later than the last slot's time is one too many and goes.
    const double position = Shifted(time);
    std::int64_t slot = std::llround(position);
    if (slot <= lastSlot) {
      if (position <= static_cast<double>(lastSlot)) {
        return false;
      }
      slot = lastSlot + 1;
    }
    const std::size_t need = static_cast<std::size_t>(video.width) * video.height * 2;
    if (video.format == VideoFormat::YUY2 && frame.size() < need) {
      throw MediaError("a YUY2 frame of " + std::to_string(video.width) + "x" +
                       std::to_string(video.height) + " needs " + std::to_string(need) +
                       " bytes, not " + std::to_string(frame.size()));
    }
    if (video.format == VideoFormat::MJPG && frame.empty()) {
      throw MediaError("an empty MJPG frame");
    }
    if (videoEncoder == nullptr) {
      const std::size_t size = video.format == VideoFormat::YUY2 ? need : frame.size();
      if (av_new_packet(packet, static_cast<int>(size)) < 0) {
        throw MediaError("out of memory");
      }
      std::memcpy(packet->data, frame.data(), size);
      packet->pts = packet->dts = slot;
      packet->duration = 1;
      packet->flags |= AV_PKT_FLAG_KEY;
      av_packet_rescale_ts(packet, slotBase, videoStream->time_base);
      lastSlot = slot;
      Mux(videoStream);
      return true;
    }
    const std::uint8_t* planes[4] = {frame.data(), nullptr, nullptr, nullptr};
    int strides[4] = {video.width * 2, 0, 0, 0};
    AVPixelFormat source = AV_PIX_FMT_YUYV422;
    if (video.format == VideoFormat::MJPG) {
      Decode(frame);
      source = static_cast<AVPixelFormat>(decoded->format);
      std::copy(decoded->data, decoded->data + 4, planes);
      std::copy(decoded->linesize, decoded->linesize + 4, strides);
    }
    scaler =
        sws_getCachedContext(scaler, video.width, video.height, source, video.width, video.height,
                             videoEncoder->pix_fmt, SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (scaler == nullptr || av_frame_make_writable(picture) < 0) {
      throw MediaError("cannot convert the frame for the video encoder");
    }
    sws_scale(scaler, planes, strides, 0, video.height, picture->data, picture->linesize);
    picture->pts = slot;
    lastSlot = slot;
    Encode(videoEncoder, picture, videoStream);
    return true;
  }

  // A caller's time in frame slots. After a resume the first time written
  // goes to the slot after the earlier run's last one.
  double Shifted(double time) {
    const double position = time * slotBase.den / slotBase.num;
    if (shiftPending) {
      shiftPending = false;
      slotShift = lastSlot + 1 - std::llround(position);
    }
    return position + static_cast<double>(slotShift);
  }

  void Decode(std::span<const std::uint8_t> frame) {
    if (av_new_packet(packet, static_cast<int>(frame.size())) < 0) {
      throw MediaError("out of memory");
    }
    std::memcpy(packet->data, frame.data(), frame.size());
    int err = avcodec_send_packet(jpegDecoder, packet);
    av_packet_unref(packet);
    if (err >= 0) {
      err = avcodec_receive_frame(jpegDecoder, decoded);
    }
    if (err < 0) {
      Throw("an MJPG frame does not decode", err);
    }
    if (decoded->width != video.width || decoded->height != video.height) {
      throw MediaError("an MJPG frame is not " + std::to_string(video.width) + "x" +
                       std::to_string(video.height));
    }
  }

  void WriteAudio(std::span<const std::int16_t> samples, double time) {
    CheckWritable();
    if (!audio) {
      throw MediaError("the media file was opened without sound");
    }
    const int channels = audio->channels;
    if (samples.size() % channels != 0) {
      throw MediaError("the sound chunk is not a whole number of instants");
    }
    if (!(time >= 0 && time < 1e9)) {
      throw MediaError("a sound chunk needs a time from the recording's start");
    }
    Shifted(time);
    const std::int64_t at = std::llround(time * audio->sampleRate) +
                            av_rescale_q(slotShift, slotBase, AVRational{1, audio->sampleRate});
    const std::int64_t end = pendingStart + static_cast<std::int64_t>(pending.size()) / channels;
    const std::int64_t tolerance = audio->sampleRate / 50;
    // A stalled microphone leaves a gap of seconds; a chunk far beyond that
    // is a clock that jumped, and filling up to it could write hours of
    // silence: such a chunk goes on where the sound ended.
    const std::int64_t longestGap = std::int64_t{10} * audio->sampleRate;
    if (at > end + longestGap) {
      // Written as it comes, right after the sound before it.
    } else if (at > end + tolerance) {
      AppendSilence(at - end);
    } else if (at < end - tolerance) {
      const auto skip = static_cast<std::size_t>(end - at) * channels;
      samples = samples.subspan(std::min(skip, samples.size()));
    }
    pending.insert(pending.end(), samples.begin(), samples.end());
    EncodeWholeFrames();
  }

  void AppendSilence(std::int64_t instants) {
    // A frame at a time, so that a long gap never piles up in memory.
    while (instants > 0) {
      const std::int64_t n = std::min<std::int64_t>(instants, audioFrameSize);
      pending.insert(pending.end(), static_cast<std::size_t>(n) * audio->channels, 0);
      instants -= n;
      EncodeWholeFrames();
    }
  }

  void EncodeWholeFrames() {
    while (pending.size() >= static_cast<std::size_t>(audioFrameSize) * audio->channels) {
      EncodeAudio(audioFrameSize);
    }
  }

  void EncodeAudio(int instants) {
    AVFrame* frame = av_frame_alloc();
    frame->nb_samples = instants;
    frame->format = audioEncoder->sample_fmt;
    frame->sample_rate = audioEncoder->sample_rate;
    av_channel_layout_copy(&frame->ch_layout, &audioEncoder->ch_layout);
    if (av_frame_get_buffer(frame, 0) < 0) {
      av_frame_free(&frame);
      throw MediaError("out of memory");
    }
    const int channels = audio->channels;
    const auto format = static_cast<AVSampleFormat>(frame->format);
    const bool planar = av_sample_fmt_is_planar(format);
    // The sample type is chosen once per chunk, not per sample.
    const auto fill = [&]<class Sample>(auto convert) {
      for (int i = 0; i < instants; ++i) {
        for (int c = 0; c < channels; ++c) {
          const std::int16_t s = pending[static_cast<std::size_t>(i) * channels + c];
          auto* plane = reinterpret_cast<Sample*>(frame->extended_data[planar ? c : 0]);
          plane[planar ? i : i * channels + c] = convert(s);
        }
      }
    };
    switch (av_get_packed_sample_fmt(format)) {
      case AV_SAMPLE_FMT_S16:
        fill.operator()<std::int16_t>([](std::int16_t s) { return s; });
        break;
      case AV_SAMPLE_FMT_S32:
        fill.operator()<std::int32_t>(
            [](std::int16_t s) { return static_cast<std::int32_t>(s) << 16; });
        break;
      default:
        fill.operator()<float>([](std::int16_t s) { return s / 32768.0f; });
        break;
    }
    pending.erase(pending.begin(),
                  pending.begin() + static_cast<std::ptrdiff_t>(instants) * channels);
    frame->pts = pendingStart;
    pendingStart += instants;
    try {
      Encode(audioEncoder, frame, audioStream);
    } catch (...) {
      av_frame_free(&frame);
      throw;
    }
    av_frame_free(&frame);
  }

  void Finish() {
    if (oc == nullptr || finished) {
      return;
    }
    if (audioEncoder != nullptr && !pending.empty()) {
      const int left = static_cast<int>(pending.size()) / audio->channels;
      const bool shortLast = audioEncoder->codec->capabilities &
                             (AV_CODEC_CAP_SMALL_LAST_FRAME | AV_CODEC_CAP_VARIABLE_FRAME_SIZE);
      if (!shortLast) {
        pending.resize(static_cast<std::size_t>(audioFrameSize) * audio->channels, 0);
      }
      EncodeAudio(shortLast ? left : audioFrameSize);
    }
    if (videoEncoder != nullptr) {
      Encode(videoEncoder, nullptr, videoStream);
    }
    if (audioEncoder != nullptr) {
      Encode(audioEncoder, nullptr, audioStream);
    }
    int err = av_write_trailer(oc);
    avio_flush(pb);
    if (err >= 0 && pb->error < 0) {
      err = pb->error;
    }
    if (err < 0) {
      Stop("writing the trailer", err);
    }
    finished = true;
    CloseOutput(false);
    if (!temporary.empty()) {
      if (::rename(temporary.c_str(), path.c_str()) != 0) {
        error = "replacing " + path + " by its resumed recording: " + std::strerror(errno);
        ::unlink(temporary.c_str());
        throw MediaError(error);
      }
      SyncFolderOf(path);
    }
  }

  // Opens a new file beside the finished recording of prev, copies its
  // packets there unchanged, and sets up fresh encoders to go on after them.
  void Continue(const State& prev) {
    path = prev.path;
    AVFormatContext* ic = nullptr;
    const AVInputFormat* format = av_find_input_format(ShortName(prev.container));
    int err = avformat_open_input(&ic, path.c_str(), format, nullptr);
    if (err < 0) {
      Throw("reading the recording " + path, err);
    }
    InputCloser closer{ic};
    RemoveLeftoversOf(path);
    temporary = MakeFileBeside(path, "resume");
    std::unique_ptr<FileOutput> out;
    try {
      out = std::make_unique<FileOutput>(temporary);
    } catch (...) {
      ::unlink(temporary.c_str());
      throw;
    }
    Build(std::move(out), prev.container, prev.video, prev.audio);
    CheckSameStreams(ic);
    lastSlot = prev.lastSlot;
    pendingStart = prev.pendingStart;
    while ((err = av_read_frame(ic, packet)) >= 0) {
      // AVI's empty frames hold a slot only: the muxer makes them again from the times.
      if (packet->size == 0) {
        av_packet_unref(packet);
        continue;
      }
      AVStream* from = ic->streams[packet->stream_index];
      AVStream* to = oc->streams[packet->stream_index];
      // Nothing here is reordered (no B-frames), so one time serves both.
      packet->dts = packet->pts = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
      av_packet_rescale_ts(packet, from->time_base, to->time_base);
      packet->pos = -1;
      // An encoder's last packets may reach past the sound it was given (and
      // AVI counts whole packets, not samples): the new sound starts after
      // them, so that the muxer sees its times go on increasing.
      if (packet->pts != AV_NOPTS_VALUE) {
        if (to == videoStream) {
          lastSlot = std::max(lastSlot, av_rescale_q(packet->pts, to->time_base, slotBase));
        } else if (to == audioStream) {
          const std::int64_t end = packet->pts + std::max<std::int64_t>(packet->duration, 1);
          pendingStart = std::max(
              pendingStart, av_rescale_q(end, to->time_base, AVRational{1, audio->sampleRate}));
          lastAudioTime = packet->dts;
        }
      }
      Mux(to);
    }
    if (err != AVERROR_EOF) {
      Throw("reading the recording " + path, err);
    }
    audioOrigin = pendingStart;
    shiftPending = true;
  }

  // Copied packets join the new streams only when those are the same: same
  // codec, size and rate, and the same set-up bytes from the encoder, which
  // the decoder reads once for the whole stream.
  void CheckSameStreams(const AVFormatContext* ic) const {
    if (ic->nb_streams != oc->nb_streams) {
      throw MediaError(path + " no longer holds the streams this writer made");
    }
    for (unsigned i = 0; i < ic->nb_streams; ++i) {
      const AVCodecParameters* was = ic->streams[i]->codecpar;
      const AVCodecParameters* now = oc->streams[i]->codecpar;
      if (was->codec_type != now->codec_type || was->codec_id != now->codec_id ||
          was->width != now->width || was->height != now->height ||
          was->sample_rate != now->sample_rate ||
          was->ch_layout.nb_channels != now->ch_layout.nb_channels) {
        throw MediaError(path + " no longer holds the streams this writer made");
      }
      // Extra bytes without any from the encoder are the container's own
      // (RIFF's MP3 header): packets stand on their own then.
      if (now->extradata_size > 0 &&
          (was->extradata_size != now->extradata_size ||
           std::memcmp(was->extradata, now->extradata, now->extradata_size) != 0)) {
        const char* kind = now->codec_type == AVMEDIA_TYPE_VIDEO ? "video" : "sound";
        throw MediaError(std::string("the ") + kind + " encoder " +
                         avcodec_get_name(now->codec_id) + " sets up differently than it did for " +
                         path + ": the recording cannot be continued");
      }
    }
  }
};

MediaFileWriter::MediaFileWriter() = default;

MediaFileWriter::~MediaFileWriter() {
  try {
    Finish();
  } catch (const MediaError&) {
    // A destructor has no one to tell; Finish() called first reports it.
  }
}

void MediaFileWriter::Open(const std::string& path, Container container, const VideoInput& video,
                           const std::optional<AudioInput>& audio) {
  if (IsOpen()) {
    throw MediaError("the media writer is already open");
  }
  // A plain file, or none yet, is begun beside under a hidden name and takes
  // the path's place once its header is written: a file already there
  // stays whole until then, and a crash never leaves one at the name that
  // no player opens. Anything else (a pipe, a device, a link) is written to
  // directly.
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
    Open(std::make_unique<FileOutput>(path), container, video, audio);
    state_->path = path;
    return;
  }
  RemoveLeftoversOf(path);
  const std::string begun = MakeFileBeside(path, "record");
  std::unique_ptr<FileOutput> output;
  try {
    output = std::make_unique<FileOutput>(begun);
  } catch (...) {
    ::unlink(begun.c_str());
    throw;
  }
  Open(std::move(output), container, video, audio);  // removes it when it fails
  if (::rename(begun.c_str(), path.c_str()) != 0) {
    const std::string reason = std::strerror(errno);
    state_.reset();
    ::unlink(begun.c_str());
    throw MediaError("cannot create " + path + ": " + reason);
  }
  state_->path = path;
}

void MediaFileWriter::Open(std::unique_ptr<MediaOutput> output, Container container,
                           const VideoInput& video, const std::optional<AudioInput>& audio) {
  // Encoders' remarks (clipped coefficients, ...) are no news for users; the
  // errors that matter come back as MediaError.
  static const bool quiet = [] {
    av_log_set_level(AV_LOG_ERROR);
    return true;
  }();
  (void)quiet;
  if (IsOpen()) {
    throw MediaError("the media writer is already open");
  }
  auto state = std::make_unique<State>();
  try {
    state->Build(std::move(output), container, video, audio);
  } catch (...) {
    state->CloseOutput(true);
    throw;
  }
  state_ = std::move(state);
}

bool MediaFileWriter::WriteVideo(std::span<const std::uint8_t> frame, double time) {
  if (!state_) {
    throw MediaError("the media file is not open");
  }
  return state_->WriteVideo(frame, time);
}

void MediaFileWriter::WriteAudio(std::span<const std::int16_t> samples, double time) {
  if (!state_) {
    throw MediaError("the media file is not open");
  }
  state_->WriteAudio(samples, time);
}

void MediaFileWriter::Finish() {
  if (state_) {
    state_->Finish();
  }
}

void MediaFileWriter::Resume() {
  if (!state_) {
    throw MediaError("the media writer was never opened");
  }
  const State& prev = *state_;
  if (!prev.finished) {
    throw MediaError("the recording is still being written: Finish() it before resuming");
  }
  if (!prev.error.empty()) {
    throw MediaError("a recording that stopped on an error cannot be resumed: " + prev.error);
  }
  if (prev.path.empty()) {
    throw MediaError("only a recording written to a named file can be resumed");
  }
  auto next = std::make_unique<State>();
  try {
    next->Continue(prev);
  } catch (...) {
    next->CloseOutput(true);
    throw;
  }
  state_ = std::move(next);
}

bool MediaFileWriter::IsOpen() const {
  return state_ && !state_->finished;
}

std::vector<std::string> VideoEncoders(Container container) {
  return Encoders(container, AVMEDIA_TYPE_VIDEO);
}

std::vector<std::string> AudioEncoders(Container container) {
  return Encoders(container, AVMEDIA_TYPE_AUDIO);
}

}  // namespace varnholt::media
