#pragma once

// One system object as ours. It answers each of our interfaces exactly when
// the system object answers the matching COM interface, with itself, so a
// caller walks between a device's interfaces as on the system; the two
// property families are objects of their own that lead back here
// (Interfaces.h has the rules). Whatever kind of object arrives (a camera
// filter from the device list, a renderer, a multiplexer) is served the
// same way, so a new device in a category needs nothing of its own here.
// While a wrapper lives, the same system object always arrives as it.

#include <memory>
#include <mutex>

#include "camera/platform/directshow/ComObject.h"
#include "camera/platform/directshow/DeviceFacets.h"
#include "camera/platform/directshow/FilterFacets.h"
#include "camera/platform/directshow/GraphFacets.h"
#include "camera/platform/directshow/RendererFacets.h"

namespace varnholt::platform::directshow {

class SystemObject final : public ComBacked,
                           public DeviceEnumFacet,
                           public MonikerFacet,
                           public PropertyBagFacet,
                           public FilterFacet,
                           public PinFacet,
                           public KsPropertySetFacet,
                           public StreamConfigFacet,
                           public VideoControlFacet,
                           public PropertyPagesFacet,
                           public GraphFacet,
                           public MediaControlFacet,
                           public MediaEventFacet,
                           public CaptureGraphBuilderFacet,
                           public SampleGrabberFacet,
                           public VmrConfigFacet,
                           public VmrWindowlessFacet,
                           public FileSinkFacet,
                           public MediaSampleFacet,
                           public std::enable_shared_from_this<SystemObject> {
 public:
  // object: the system object's IUnknown (its identity).
  explicit SystemObject(ComPtr<::IUnknown> object) : object_(std::move(object)) {}
  ~SystemObject() override;

  ::IUnknown* ComObject() const override { return object_.get(); }
  std::shared_ptr<void> QueryInterface(Iid iid) override;

 private:
  template <class Ours, class Com>
  std::shared_ptr<void> Answer(REFIID iid);

  ComPtr<::IUnknown> object_;
  std::mutex mutex_;  // guards the facets' pointers while they are acquired
};

}  // namespace varnholt::platform::directshow
