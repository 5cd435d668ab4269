#pragma once

// What a virtual camera set is made of, as parsed from its JSON description
// (docs/virtual-cameras.md). Plain values: the device behaviour lives in
// VirtualCamera, the parsing in DescriptionParser.

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "camera/platform/HResult.h"
#include "camera/platform/Interfaces.h"

namespace varnholt::platform::virtualcam {

// The two kernel-streaming blocks of two 32-bit words.
enum class Block { Flash = 0, Stabilization = 1 };
constexpr std::size_t kBlockCount = 2;

// A code a call answers instead of doing its work.
using Fault = std::optional<HResult>;

struct PropertyDescription {
  std::int32_t id = 0;
  std::string key;  // as written in the description, for messages
  bool unsupported = false;
  std::int32_t min = 0;
  std::int32_t max = 0;
  std::int32_t step = 1;
  std::int32_t defaultValue = 0;
  std::int32_t value = 0;
  std::int32_t flags = kPropertyFlagsManual;
  std::int32_t caps = kPropertyFlagsManual;
  std::int32_t setMs = 0;  // how long an accepted write takes, like a motor's
  Fault failGet;
  Fault failSet;
  Fault failRange;
};

struct BlockWords {
  std::uint32_t mode = 0;
  std::uint32_t flags = static_cast<std::uint32_t>(kPropertyFlagsManual);
  friend bool operator==(const BlockWords&, const BlockWords&) = default;
};

struct BlockDescription {
  BlockWords words;
  Fault failGet;
  Fault failSet;
};

enum class PinCategory { Capture, Preview, Still };

struct PinDescription {
  PinCategory category = PinCategory::Capture;
  bool ksPropertySet = true;
};

enum class FormatType { VideoInfo, VideoInfo2 };

struct FormatDescription {
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::uint32_t fourcc = 0;
  std::uint16_t bitsPerPixel = 0;
  std::int64_t frameTime = 0;  // 100-ns units
  FormatType type = FormatType::VideoInfo;
};

struct InterfaceSwitches {
  bool videoProcAmp = true;
  bool cameraControl = true;
  bool ksPropertySet = true;
  bool videoControl = true;
  bool propertyPages = true;
};

struct CameraDescription {
  std::string friendlyName;
  std::string devicePath;
  std::optional<std::string> description;
  // Absent family: the device lacks the whole set.
  std::array<std::optional<std::vector<PropertyDescription>>, kPropertyFamilyCount> families;
  std::array<std::optional<BlockDescription>, kBlockCount> blocks;
  std::vector<PinDescription> pins;
  std::vector<FormatDescription> formats;
  InterfaceSwitches interfaces;
  Fault failBindFilter;
  Fault failBindStorage;
  Fault failBusy;           // connecting a stream answers it, as if another program had it
  Fault failRenderPreview;  // a video renderer refuses the preview stream

  // The described property, or null when the family or the id is absent.
  const PropertyDescription* FindProperty(PropertyFamilyKind family, std::int32_t id) const {
    const auto& list = families[static_cast<std::size_t>(family)];
    if (!list)
      return nullptr;
    for (const auto& property : *list)
      if (property.id == id)
        return &property;
    return nullptr;
  }
};

struct AudioInputDescription {
  std::string friendlyName;
  std::optional<std::string> description;
  std::int32_t waveInId = 0;
};

// An "Interface.Method" fault of the seam (FaultTable), as described.
struct FaultEntry {
  std::string point;
  std::string device;  // the camera's device path; empty for every object
  HResult code = 0;
  int count = -1;  // calls that fail; -1 until cleared
};

struct CameraSetDescription {
  std::vector<CameraDescription> cameras;
  std::vector<AudioInputDescription> audioInputs;
  std::vector<std::string> videoCompressors;
  std::vector<std::string> audioCompressors;
  std::map<HResult, std::string> faultTexts;  // texts given with injected faults
  std::vector<FaultEntry> faults;
};

}  // namespace varnholt::platform::virtualcam
