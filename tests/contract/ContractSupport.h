#pragma once

// The walks a client makes through any platform, for the contract tests:
// listing and binding the known camera, finding its capture pin by
// category, its formats, and a capture graph into a sample grabber.

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "camera/platform/Interfaces.h"
#include "tests/contract/ContractRig.h"

namespace varnholt::contract {

using platform::HResult;
namespace hr = platform::hr;

// Every test gets a fresh rig and leaves the camera as it found it.
class Contract : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  platform::Platform& Platform() { return rig_->Platform(); }
  const KnownCamera& Camera() const { return rig_->Camera(); }

  std::unique_ptr<ContractRig> rig_;
};

// The rig's first property of that family.
const KnownProperty& KnownOf(const KnownCamera& camera, platform::PropertyFamilyKind family);

struct ListedDevice {
  std::string friendlyName;
  std::string devicePath;
  std::shared_ptr<platform::IMoniker> moniker;
};

// The video input devices as a device list shows them.
std::vector<ListedDevice> ListVideoInputs(platform::Platform& platform);
bool IsListed(platform::Platform& platform, const KnownCamera& camera);

// A new filter of the known camera; fails the test and answers nullptr when
// it is not listed or does not bind.
std::shared_ptr<platform::IBaseFilter> BindKnownCamera(platform::Platform& platform,
                                                       const KnownCamera& camera);

// The output pin whose category (the pin property set) is capture.
std::shared_ptr<platform::IPin> CapturePin(platform::IBaseFilter& filter);

template <class T>
std::shared_ptr<T> Create(platform::Platform& platform, platform::ClassId classId) {
  std::shared_ptr<platform::Unknown> object;
  EXPECT_EQ(platform.CreateInstance(classId, object), hr::Ok);
  return platform::Query<T>(object);
}

struct FrameSize {
  std::int32_t width = 0, height = 0;
  friend bool operator==(const FrameSize&, const FrameSize&) = default;
};
// The picture size of a video media type (VideoInfo or VideoInfo2 block).
std::optional<FrameSize> SizeOf(const platform::AmMediaType& type);

// The stream caps entry of the pin's configuration with that subtype and size.
std::unique_ptr<platform::AmMediaType> FindCaps(platform::IAMStreamConfig& config,
                                                const platform::Guid& subtype, FrameSize size);

// Counts what the grabber hands over and keeps the last frame's size.
class FrameCounter final : public platform::ISampleGrabberCB {
 public:
  std::shared_ptr<void> QueryInterface(platform::Iid) override { return nullptr; }
  HResult SampleCB(double time, const std::shared_ptr<platform::IMediaSample>& sample) override;
  HResult BufferCB(double, std::span<const std::uint8_t>) override { return hr::NotImpl; }

  // Waits until count frames arrived in all, at most deadline.
  bool WaitFor(int count, std::chrono::milliseconds deadline = std::chrono::seconds(15));
  int Frames();
  std::size_t LastBytes();

 private:
  std::mutex mutex_;
  std::condition_variable arrived_;
  int frames_ = 0;
  std::size_t lastBytes_ = 0;
};

// camera -> sample grabber -> null renderer, built by the capture graph
// builder from the capture pin, as the component builds its grabbing graph.
struct CaptureGraph {
  std::shared_ptr<platform::IGraphBuilder> graph;
  std::shared_ptr<platform::ICaptureGraphBuilder2> builder;
  std::shared_ptr<platform::IBaseFilter> grabberFilter, renderer;
  std::shared_ptr<platform::ISampleGrabber> grabber;
  std::shared_ptr<platform::IMediaControl> control;
  std::shared_ptr<FrameCounter> counter = std::make_shared<FrameCounter>();

  // The first failing code on the way, else RenderStream's.
  HResult Build(platform::Platform& platform, const std::shared_ptr<platform::IBaseFilter>& camera);
  ~CaptureGraph();
};

}  // namespace varnholt::contract
