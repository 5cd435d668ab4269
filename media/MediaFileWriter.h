#pragma once

// Writes camera video and sound into an ASF or AVI file through FFmpeg's
// libraries, on its own, without the capture graph.
//
// Errors are MediaError exceptions whose text names the step and carries
// FFmpeg's or the system's reason (av_strerror). A file that fails to open is
// removed again. A recording to a plain file begins beside it under a hidden
// name and takes the file's name once its header is written: a file of that
// name stays whole until then, and a crash never leaves one there that does
// not open. A write that fails (a full disk) stops the writer: it writes
// what it still can of the trailer, so that the frames already on disk stay
// playable, and every later Write... throws the same error again.
//
// Without an encoder name:
//   AVI stores the frames as they come: MJPG as JPEG frames (codec MJPG, the
//       exact bytes), YUY2 uncompressed (rawvideo, fourcc YUY2), sound as
//       16-bit PCM.
//   ASF re-encodes to Windows Media: wmv2 video and wmav2 sound, the pair
//       every player of the format reads and which FFmpeg encodes natively
//       (no external library), so it is there in every FFmpeg build.
// Re-encoding converts YUY2 with libswscale; MJPG input is decoded only when
// it is re-encoded ("mjpeg" as the encoder of MJPG input passes it through).
// Sound is interleaved signed 16-bit PCM; it is converted to the encoder's
// sample layout here, never resampled: the encoder must take the input rate.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace varnholt::media {

class MediaError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The container is chosen here, never from the file's extension.
enum class Container { Asf, Avi };

// YUY2: packed YUYV 4:2:2, width * height * 2 bytes. MJPG: one JPEG per frame.
enum class VideoFormat { YUY2, MJPG };

struct VideoInput {
  int width = 0;
  int height = 0;
  VideoFormat format = VideoFormat::YUY2;
  double frameInterval = 1.0 / 30;  // seconds
  std::string encoder;              // an FFmpeg encoder name; empty: the default above
};

struct AudioInput {
  int sampleRate = 0;
  int channels = 0;
  std::string encoder;  // an FFmpeg encoder name; empty: the default above
};

// Where the container's bytes go: a file normally, something else in tests
// (a disk that fills up). Answers are 0 or a positive errno value.
class MediaOutput {
 public:
  virtual ~MediaOutput() = default;
  // Writes all of size bytes at the current position, or fails.
  virtual int Write(const std::uint8_t* data, std::size_t size) = 0;
  // Moves to offset bytes from the start.
  virtual int Seek(std::int64_t offset) = 0;
  virtual std::int64_t Position() const = 0;
  virtual std::int64_t Size() const = 0;
  // Called once the output is no longer needed; failed tells to remove what was made.
  virtual void Close(bool failed) = 0;
};

// A new or truncated file at path; throws MediaError when it cannot be made.
class FileOutput : public MediaOutput {
 public:
  explicit FileOutput(const std::string& path);
  ~FileOutput() override;
  int Write(const std::uint8_t* data, std::size_t size) override;
  int Seek(std::int64_t offset) override;
  std::int64_t Position() const override;
  std::int64_t Size() const override;
  void Close(bool failed) override;

 private:
  std::string path_;
  int fd_ = -1;
  bool regular_ = false;  // a plain file, which a failure may remove
};

class MediaFileWriter {
 public:
  MediaFileWriter();
  ~MediaFileWriter();  // Finish(), its error swallowed
  MediaFileWriter(const MediaFileWriter&) = delete;
  MediaFileWriter& operator=(const MediaFileWriter&) = delete;

  void Open(const std::string& path, Container container, const VideoInput& video,
            const std::optional<AudioInput>& audio);
  void Open(std::unique_ptr<MediaOutput> output, Container container, const VideoInput& video,
            const std::optional<AudioInput>& audio);

  // time: seconds from the recording's start, rounded to a frame slot: a
  // slot holds one frame (AVI has no other timing) and encoders need
  // increasing times. A frame rounding onto the slot of the one before but
  // later than that slot's time takes the next slot (camera jitter); one no
  // later than it is dropped.
  // Answers whether the frame was taken. A short YUY2 frame or a JPEG that
  // does not decode (when re-encoded) throws and the writer goes on.
  bool WriteVideo(std::span<const std::uint8_t> frame, double time);
  // Interleaved samples, channels per instant. Sound is one gapless run:
  // a chunk arriving later than the run's end by more than 20 ms is preceded
  // by silence, an earlier one loses its overlapping start, so that sound
  // keeps to the pictures in AVI, which stores no sound times.
  void WriteAudio(std::span<const std::int16_t> samples, double time);

  // Flushes the encoders and writes the trailer and index. Idempotent.
  void Finish();

  // Continues a recording after a successful Finish(), for a writer opened
  // with a path: the next Finish() leaves one file at that path holding the
  // earlier frames and sound, then the new ones, in the same streams.
  //
  // The finished file is read back (packets copied, nothing re-encoded) into
  // a new file beside it, under a hidden temporary name, with fresh encoders
  // of the same settings for what comes next; that file replaces the
  // original only once it is finished. Until then the original stays as it
  // was: a failed Resume, a failed write (a full disk, which stops the writer
  // as in a first run) or a crash leave it untouched, and the temporary file
  // is removed (a crash may leave it behind; the next writer of that name
  // removes it once nobody has written to it for a minute).
  //
  // The caller's clock goes on: the first time written after Resume() lands
  // in the frame slot after the last one written, later times keep their
  // distance to it, so a gap between Finish and Resume is closed and the two
  // runs play back to back. Sound goes on as one gapless run.
  //
  // Throws MediaError, leaving the writer finished, when the writer is open,
  // was opened on a MediaOutput, stopped on an error, or when the file can no
  // longer be read or no longer matches what fresh encoders make.
  void Resume();

  bool IsOpen() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// The encoders FFmpeg has here whose output the container can hold, by name.
std::vector<std::string> VideoEncoders(Container container);
std::vector<std::string> AudioEncoders(Container container);

}  // namespace varnholt::media
