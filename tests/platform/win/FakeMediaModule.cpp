// A media module that records nothing: enough for the Windows loader's test
// to find the entry, ask for this build's version and list encoders.

#include "media/MediaModule.h"

namespace varnholt::media {
namespace {

class FakeModule final : public MediaModule {
 public:
  std::unique_ptr<FileWriter> NewWriter() const override { return nullptr; }
  std::vector<std::string> VideoEncoders(Container) const override { return {"fake-video"}; }
  std::vector<std::string> AudioEncoders(Container) const override { return {}; }
};

}  // namespace

extern "C" __declspec(dllexport) const MediaModule* varnholt_media_module(int version) {
  static const FakeModule module;
  return version == kMediaModuleVersion ? &module : nullptr;
}

}  // namespace varnholt::media
