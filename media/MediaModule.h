#pragma once

// The file writer and the encoder lists as the program reaches them: through
// a module of their own (varnholt-media.so) that is loaded at the first
// recording or the first look at the compressors, so that FFmpeg's libraries
// are not loaded, relocated and initialised at every start of the window.
//
// The module is looked for beside the program as installed
// (<bin>/../lib/varnholt/modules/), then in the build tree it was built in. Code that
// may link FFmpeg (tests, fuzz targets) can use MediaFileWriter directly.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "media/MediaFileWriter.h"

namespace varnholt::media {

// MediaFileWriter's recording calls; their rules are MediaFileWriter's.
class FileWriter {
 public:
  virtual ~FileWriter() = default;
  virtual void Open(const std::string& path, Container container, const VideoInput& video,
                    const std::optional<AudioInput>& audio) = 0;
  virtual bool WriteVideo(std::span<const std::uint8_t> frame, double time) = 0;
  virtual void WriteAudio(std::span<const std::int16_t> samples, double time) = 0;
  virtual void Finish() = 0;
  virtual void Resume() = 0;
  virtual bool IsOpen() const = 0;
};

// What the module offers. It stays loaded until the program ends.
class MediaModule {
 public:
  virtual std::unique_ptr<FileWriter> NewWriter() const = 0;
  virtual std::vector<std::string> VideoEncoders(Container container) const = 0;
  virtual std::vector<std::string> AudioEncoders(Container container) const = 0;

 protected:
  ~MediaModule() = default;
};

// The module at path; throws MediaError naming the file and the reason when
// it does not load or is of another build.
const MediaModule& LoadMediaModule(const std::string& path);

// The program's module, loaded at the first call; a failure is remembered
// and thrown again as MediaError at every call.
const MediaModule& Media();

// The module's one exported function; answers nullptr to another version.
inline constexpr int kMediaModuleVersion = 1;
extern "C" const MediaModule* varnholt_media_module(int version);

}  // namespace varnholt::media
