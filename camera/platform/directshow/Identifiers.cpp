#include "camera/platform/directshow/Identifiers.h"

#include <cstring>

namespace varnholt::platform::directshow {

GUID ToGuid(const Guid& guid) {
  GUID out;
  out.Data1 = guid.data1;
  out.Data2 = guid.data2;
  out.Data3 = guid.data3;
  std::memcpy(out.Data4, guid.data4.data(), 8);
  return out;
}

Guid FromGuid(const GUID& guid) {
  Guid out;
  out.data1 = guid.Data1;
  out.data2 = guid.Data2;
  out.data3 = guid.Data3;
  std::memcpy(out.data4.data(), guid.Data4, 8);
  return out;
}

const IID* ComIid(Iid iid) {
  switch (iid) {
    case Iid::CreateDevEnum:
      return &IID_ICreateDevEnum;
    case Iid::EnumMoniker:
      return &IID_IEnumMoniker;
    case Iid::Moniker:
      return &IID_IMoniker;
    case Iid::PropertyBag:
      return &IID_IPropertyBag;
    case Iid::BaseFilter:
      return &IID_IBaseFilter;
    case Iid::Pin:
      return &IID_IPin;
    case Iid::AMVideoProcAmp:
      return &IID_IAMVideoProcAmp;
    case Iid::AMCameraControl:
      return &IID_IAMCameraControl;
    case Iid::AMVideoControl:
      return &IID_IAMVideoControl;
    case Iid::AMStreamConfig:
      return &IID_IAMStreamConfig;
    case Iid::KsPropertySet:
      return &IID_IKsPropertySet;
    case Iid::SpecifyPropertyPages:
      return &IID_ISpecifyPropertyPages;
    case Iid::GraphBuilder:
      return &IID_IGraphBuilder;
    case Iid::MediaControl:
      return &IID_IMediaControl;
    case Iid::MediaEvent:
      return &IID_IMediaEvent;
    case Iid::CaptureGraphBuilder2:
      return &IID_ICaptureGraphBuilder2;
    case Iid::SampleGrabber:
      return &IID_ISampleGrabber;
    case Iid::SampleGrabberCB:
      return &IID_ISampleGrabberCB;
    case Iid::VMRFilterConfig9:
      return &IID_IVMRFilterConfig9;
    case Iid::VMRWindowlessControl9:
      return &IID_IVMRWindowlessControl9;
    case Iid::FileSinkFilter:
      return &IID_IFileSinkFilter;
    case Iid::EnumPins:
      return &IID_IEnumPins;
    case Iid::EnumMediaTypes:
      return &IID_IEnumMediaTypes;
    case Iid::MediaSample:
      return &IID_IMediaSample;
    case Iid::ControlList:
    case Iid::CurrentPicture:
    case Iid::PreparedPicture:
      return nullptr;
  }
  return nullptr;
}

const CLSID& ComClassId(ClassId classId) {
  switch (classId) {
    case ClassId::SystemDeviceEnum:
      return CLSID_SystemDeviceEnum;
    case ClassId::FilterGraph:
      return CLSID_FilterGraph;
    case ClassId::CaptureGraphBuilder2:
      return CLSID_CaptureGraphBuilder2;
    case ClassId::SampleGrabber:
      return kClsidSampleGrabber;
    case ClassId::NullRenderer:
      return kClsidNullRenderer;
    case ClassId::VideoMixingRenderer9:
      return CLSID_VideoMixingRenderer9;
  }
  return GUID_NULL;
}

const CLSID& ComCategory(DeviceCategory category) {
  switch (category) {
    case DeviceCategory::VideoInput:
      return CLSID_VideoInputDeviceCategory;
    case DeviceCategory::AudioInput:
      return CLSID_AudioInputDeviceCategory;
    case DeviceCategory::VideoCompressor:
      return CLSID_VideoCompressorCategory;
    case DeviceCategory::AudioCompressor:
      return CLSID_AudioCompressorCategory;
  }
  return GUID_NULL;
}

}  // namespace varnholt::platform::directshow
