#pragma once

// A scriptable capture platform for the component's tests: devices with
// property families, kernel-streaming blocks and pins, graph objects whose
// release is logged, and a call log of everything the component sends.
// Every bound or queried object is a fresh instance that only its holder
// keeps, so the log shows when the component lets go of each one.

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "camera/platform/Interfaces.h"

namespace varnholt::test {

using namespace varnholt::platform;

struct FakeProperty {
  std::int32_t value = 0;
  std::int32_t flags = kPropertyFlagsManual;
  std::int32_t min = 0, max = 100, step = 1, def = 50, caps = kPropertyFlagsManual;
  HResult getResult = hr::Ok;  // a failure here is answered by get, set and range alike
  HResult setResult = hr::Ok;
};

struct FakePin {
  std::optional<Guid> category;  // none: the pin has no property set interface
  HResult categoryResult = hr::Ok;
  std::uint32_t categorySize = 16;
};

struct FakeDevice {
  std::optional<std::string> friendlyName, devicePath, description;
  std::optional<std::int32_t> waveInId;
  HResult bindStorage = hr::Ok;
  HResult bindObject = hr::Ok;
  bool hasVideoProcAmp = true, hasCameraControl = true, hasKsPropertySet = true;
  std::map<std::int32_t, FakeProperty> videoProcAmp, cameraControl;
  std::map<std::string, std::array<std::uint32_t, 2>> blocks;  // by set Guid::ToString()
  HResult blockResult = hr::Ok;
  std::vector<FakePin> pins{FakePin{guids::PinCategoryCapture}};
  int binds = 0;  // how often the device was bound to its filter
  // The capture pin's media types, in order, and the stream's current one.
  std::vector<AmMediaType> mediaTypes;
  HResult enumResult = hr::Ok;
  bool enumWithoutEnumerator = false;  // success, but no enumerator
  std::optional<AmMediaType> currentFormat;
  HResult formatResult = hr::Ok;
  bool hasPages = true;
  std::vector<Guid> pages{guids::PageDeviceControls};
};

// A video media type with a video-info block (or another block type/size).
AmMediaType VideoType(int width, int height, std::int64_t frameTime, int bits, std::uint32_t fourcc,
                      const Guid& formatType = guids::FormatVideoInfo,
                      std::size_t blockSize = VideoInfoHeader::kSize);

class FakePlatform : public Platform {
 public:
  std::vector<std::shared_ptr<FakeDevice>> video, audio, videoCompressors, audioCompressors;
  std::map<HResult, std::string> errorTexts;
  bool hasDeviceEnumerator = true;
  bool hasGraph = true;         // filter graph, capture graph builder, renderers, grabber
  HResult graphState = hr::Ok;  // answer of GetState
  std::int32_t graphStateValue = kStateStopped;
  std::map<std::string, HResult> renderResults;  // answer of RenderStream, by sink name
  HResult outputFileResult = hr::NotImpl;
  bool outputFileWithoutMux = false;                       // success, but no multiplexer
  std::optional<AmMediaType> grabberType;                  // the grabber's connected type
  std::optional<std::vector<std::uint8_t>> grabberBuffer;  // none: no sample yet
  std::vector<std::uint8_t> rendererImage;                 // header + pixels
  HResult rendererImageResult = hr::Ok;
  HResult frameResult = hr::Ok;
  int createCalls = 0;
  int enumerations = 0;
  std::vector<std::string> log;  // calls and releases, in order

  std::shared_ptr<FakeDevice> AddCamera(const std::string& name, const std::string& path,
                                        std::optional<std::string> description = "A camera");

  std::string Name() const override { return "fake"; }
  HResult CreateInstance(ClassId classId, std::shared_ptr<Unknown>& object) override;
  std::string ErrorText(HResult code) override {
    auto it = errorTexts.find(code);
    return it == errorTexts.end() ? std::string() : it->second;
  }
  HResult ShowPropertyFrame(WindowHandle owner, int x, int y, const std::string& caption,
                            const std::vector<std::shared_ptr<Unknown>>& objects,
                            const std::vector<Guid>& pages, std::uint32_t locale) override;

  // Log entries that start with prefix, in order.
  std::vector<std::string> LogOf(const std::string& prefix) const;
};

}  // namespace varnholt::test
