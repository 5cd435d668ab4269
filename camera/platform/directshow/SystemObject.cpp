#include "camera/platform/directshow/SystemObject.h"

#include <unordered_map>

namespace varnholt::platform::directshow {
namespace {

// The wrapper of each system object while one lives, by the object's
// identity, so that a system object reached again (a filter's graph, an
// interface a builder finds) is the same object of ours.
struct Wrappers {
  std::mutex mutex;
  std::unordered_map<::IUnknown*, std::weak_ptr<SystemObject>> byIdentity;
};

Wrappers& LiveWrappers() {
  static auto* wrappers = new Wrappers;  // outlives every wrapper, at exit too
  return *wrappers;
}

}  // namespace

SystemObject::~SystemObject() {
  auto& wrappers = LiveWrappers();
  std::lock_guard lock(wrappers.mutex);
  // A newer wrapper may stand for the same object already; it stays.
  const auto entry = wrappers.byIdentity.find(object_.get());
  if (entry != wrappers.byIdentity.end() && entry->second.expired())
    wrappers.byIdentity.erase(entry);
}

template <class Ours, class Com>
std::shared_ptr<void> SystemObject::Answer(REFIID iid) {
  ComFacet<Com>& facet = *this;
  {
    std::lock_guard lock(mutex_);
    if (!facet.com) {
      ComPtr<Com> com;
      if (FAILED(object_->QueryInterface(iid, com.ReceiveVoid())) || !com)
        return nullptr;
      facet.com = std::move(com);
    }
  }
  return InterfaceOf<Ours>(shared_from_this());
}

std::shared_ptr<void> SystemObject::QueryInterface(Iid iid) {
  switch (iid) {
    case Iid::CreateDevEnum:
      return Answer<ICreateDevEnum, ::ICreateDevEnum>(IID_ICreateDevEnum);
    case Iid::Moniker:
      return Answer<IMoniker, ::IMoniker>(IID_IMoniker);
    case Iid::PropertyBag:
      return Answer<IPropertyBag, ::IPropertyBag>(IID_IPropertyBag);
    case Iid::BaseFilter:
      return Answer<IBaseFilter, ::IBaseFilter>(IID_IBaseFilter);
    case Iid::Pin:
      return Answer<IPin, ::IPin>(IID_IPin);
    case Iid::KsPropertySet:
      return Answer<IKsPropertySet, ::IKsPropertySet>(IID_IKsPropertySet);
    case Iid::AMStreamConfig:
      return Answer<IAMStreamConfig, ::IAMStreamConfig>(IID_IAMStreamConfig);
    case Iid::AMVideoControl:
      return Answer<IAMVideoControl, ::IAMVideoControl>(IID_IAMVideoControl);
    case Iid::SpecifyPropertyPages:
      return Answer<ISpecifyPropertyPages, ::ISpecifyPropertyPages>(IID_ISpecifyPropertyPages);
    case Iid::GraphBuilder:
      return Answer<IGraphBuilder, ::IGraphBuilder>(IID_IGraphBuilder);
    case Iid::MediaControl:
      return Answer<IMediaControl, ::IMediaControl>(IID_IMediaControl);
    case Iid::MediaEvent:
      return Answer<IMediaEvent, ::IMediaEvent>(IID_IMediaEvent);
    case Iid::CaptureGraphBuilder2:
      return Answer<ICaptureGraphBuilder2, ::ICaptureGraphBuilder2>(IID_ICaptureGraphBuilder2);
    case Iid::SampleGrabber:
      return Answer<ISampleGrabber, ::ISampleGrabber>(IID_ISampleGrabber);
    case Iid::VMRFilterConfig9:
      return Answer<IVMRFilterConfig9, ::IVMRFilterConfig9>(IID_IVMRFilterConfig9);
    case Iid::VMRWindowlessControl9:
      return Answer<IVMRWindowlessControl9, ::IVMRWindowlessControl9>(IID_IVMRWindowlessControl9);
    case Iid::FileSinkFilter:
      return Answer<IFileSinkFilter, ::IFileSinkFilter>(IID_IFileSinkFilter);
    case Iid::MediaSample:
      return Answer<IMediaSample, ::IMediaSample>(IID_IMediaSample);
    case Iid::AMVideoProcAmp: {
      auto family = object_.As<::IAMVideoProcAmp>(IID_IAMVideoProcAmp);
      return family ? MakeVideoProcAmp(std::move(family), weak_from_this()) : nullptr;
    }
    case Iid::AMCameraControl: {
      auto family = object_.As<::IAMCameraControl>(IID_IAMCameraControl);
      return family ? MakeCameraControl(std::move(family), weak_from_this()) : nullptr;
    }
    // Enumerators are objects of their own (Enumerators.h); the callback
    // interface is the caller's to implement; the rest exist only in the
    // shared graph objects.
    case Iid::EnumMoniker:
    case Iid::EnumPins:
    case Iid::EnumMediaTypes:
    case Iid::SampleGrabberCB:
    case Iid::ControlList:
    case Iid::CurrentPicture:
    case Iid::PreparedPicture:
      return nullptr;
  }
  return nullptr;
}

::IUnknown* ComOf(const std::shared_ptr<Unknown>& object) {
  const auto* backed = dynamic_cast<const ComBacked*>(object.get());
  return backed ? backed->ComObject() : nullptr;
}

std::shared_ptr<Unknown> WrapObject(::IUnknown* object) {
  if (!object)
    return nullptr;
  // The identity interface: COM answers the same pointer for one object.
  ComPtr<::IUnknown> identity;
  if (FAILED(object->QueryInterface(IID_IUnknown, identity.ReceiveVoid())) || !identity)
    identity = ComPtr<::IUnknown>::Share(object);
  auto& wrappers = LiveWrappers();
  std::lock_guard lock(wrappers.mutex);
  auto& known = wrappers.byIdentity[identity.get()];
  if (auto wrapper = known.lock())
    return wrapper;
  auto wrapper = std::make_shared<SystemObject>(std::move(identity));
  known = wrapper;
  return wrapper;
}

}  // namespace varnholt::platform::directshow
