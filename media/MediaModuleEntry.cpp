// The inside of varnholt-media.so: MediaFileWriter behind MediaModule.

#include "media/MediaModule.h"

namespace varnholt::media {
namespace {

class ModuleWriter final : public FileWriter {
 public:
  void Open(const std::string& path, Container container, const VideoInput& video,
            const std::optional<AudioInput>& audio) override {
    writer_.Open(path, container, video, audio);
  }
  bool WriteVideo(std::span<const std::uint8_t> frame, double time) override {
    return writer_.WriteVideo(frame, time);
  }
  void WriteAudio(std::span<const std::int16_t> samples, double time) override {
    writer_.WriteAudio(samples, time);
  }
  void Finish() override { writer_.Finish(); }
  void Resume() override { writer_.Resume(); }
  bool IsOpen() const override { return writer_.IsOpen(); }

 private:
  MediaFileWriter writer_;
};

class Module final : public MediaModule {
 public:
  std::unique_ptr<FileWriter> NewWriter() const override {
    return std::make_unique<ModuleWriter>();
  }
  std::vector<std::string> VideoEncoders(Container container) const override {
    return media::VideoEncoders(container);
  }
  std::vector<std::string> AudioEncoders(Container container) const override {
    return media::AudioEncoders(container);
  }
};

}  // namespace

extern "C" __attribute__((visibility("default"))) const MediaModule* varnholt_media_module(
    int version) {
  static const Module module;
  return version == kMediaModuleVersion ? &module : nullptr;
}

}  // namespace varnholt::media
