#include "camera/platform/graph/Compressors.h"

#include <algorithm>
#include <mutex>

#include "camera/platform/graph/FilterParts.h"
#include "camera/platform/graph/GraphErrors.h"
#include "camera/platform/graph/StreamInterfaces.h"
#include "camera/platform/kit/DeviceEnumeration.h"
#include "camera/platform/kit/SingleInterface.h"
#include "media/MediaModule.h"

namespace varnholt::platform::graph {
namespace {

class CompressorFilter final : public kit::SingleInterface<IBaseFilter, GraphFilter>,
                               public IFrameForwarder {
 public:
  CompressorFilter(bool audio, std::string encoder)
      : SingleInterface(encoder, {{PinDirection::Input, "In"}, {PinDirection::Output, "Out"}}),
        audio_(audio),
        encoder_(std::move(encoder)) {}

  HResult ConnectOutput(const std::shared_ptr<IFrameReceiver>& downstream) override {
    if (!downstream)
      return hr::Pointer;
    const auto encoding = std::dynamic_pointer_cast<IEncodingInput>(downstream);
    if (!encoding)
      return vfw::CannotConnect;
    std::lock_guard lock(mutex_);
    if (downstream_)
      return vfw::AlreadyConnected;
    if (const HResult code = encoding->UseEncoder(encoder_); Failed(code))
      return code;
    downstream_ = downstream;
    return hr::Ok;
  }

  void DisconnectOutput() override {
    std::shared_ptr<IFrameReceiver> downstream;
    {
      std::lock_guard lock(mutex_);
      downstream = std::exchange(downstream_, nullptr);
    }
    if (!downstream)
      return;
    // The input goes back to taking the stream as it is.
    std::dynamic_pointer_cast<IEncodingInput>(downstream)->UseEncoder({});
    downstream->BreakConnection();
  }

  HResult ReceiveConnection(const AmMediaType& mediaType) override {
    if (mediaType.majortype != (audio_ ? guids::MediaTypeAudio : guids::MediaTypeVideo))
      return vfw::TypeNotAccepted;
    if (const auto downstream = Downstream()) {
      if (const HResult code = downstream->ReceiveConnection(mediaType); Failed(code))
        return code;
    }
    connection_->Set(mediaType);
    return hr::Ok;
  }

  void BreakConnection() override { connection_->Clear(); }

  HResult Receive(const std::shared_ptr<IMediaSample>& sample, double sampleTime) override {
    const auto downstream = Downstream();
    return downstream ? downstream->Receive(sample, sampleTime) : hr::Ok;
  }

 private:
  std::shared_ptr<IFrameReceiver> Downstream() const {
    std::lock_guard lock(mutex_);
    return downstream_;
  }

  const bool audio_;
  const std::string encoder_;
  mutable std::mutex mutex_;
  std::shared_ptr<IFrameReceiver> downstream_;
};

// The encoders of either container, each once, in FFmpeg's order; none
// when recording is not available (the loader has said why).
std::vector<std::string> EncoderNames(bool audio) {
  const media::MediaModule* module = nullptr;
  try {
    module = &media::Media();
  } catch (const media::MediaError&) {
    return {};
  }
  std::vector<std::string> names;
  for (const auto container : {media::Container::Avi, media::Container::Asf}) {
    for (auto& name : audio ? module->AudioEncoders(container) : module->VideoEncoders(container))
      if (std::find(names.begin(), names.end(), name) == names.end())
        names.push_back(std::move(name));
  }
  return names;
}

}  // namespace

std::vector<std::shared_ptr<IMoniker>> CompressorMonikers(DeviceCategory category) {
  if (category != DeviceCategory::VideoCompressor && category != DeviceCategory::AudioCompressor)
    return {};
  const bool audio = category == DeviceCategory::AudioCompressor;
  // FFmpeg's lists do not change while the program runs.
  static const std::vector<std::string> kVideo = EncoderNames(false);
  static const std::vector<std::string> kAudio = EncoderNames(true);
  std::vector<std::shared_ptr<IMoniker>> monikers;
  for (const auto& name : audio ? kAudio : kVideo)
    monikers.push_back(
        std::make_shared<kit::DeviceMoniker>(kit::PropertyBag::Values{{"FriendlyName", name}},
                                             [audio, name](std::shared_ptr<IBaseFilter>& filter) {
                                               filter = MakeCompressorFilter(audio, name);
                                               return hr::Ok;
                                             }));
  return monikers;
}

std::shared_ptr<IBaseFilter> MakeCompressorFilter(bool audio, std::string encoder) {
  return std::make_shared<CompressorFilter>(audio, std::move(encoder));
}

}  // namespace varnholt::platform::graph
