// The capture graph: building it for each capture type, running it, its
// state, and the renderer's preview geometry.

#include <QWidget>
#include <cmath>

#include "camera/FCamera.h"

using namespace varnholt::platform;

// ---- Building ----------------------------------------------------------------------

void TFCamera::BuildGraph() {
  // Common objects; from the media control on, the component reads as active.
  CheckDevice();
  CheckInterface(CaptureFilter(), "Capture IBaseFilter");
  CheckInterface(CaptureGraphBuilder2(), "ICaptureGraphBuilder2");
  CheckInterface(GraphBuilder(), "IGraphBuilder");
  CheckInterface(MediaControl(), "IMediaControl");
  HResult preview = hr::Ok;

  if (FCaptureType == ctAuto || FCaptureType == ctVmr9) {
    preview = BuildVmr9Preview();
    if (FCaptureType == ctVmr9)
      Check(preview);
  }
  // Under ctAuto only a failed render falls back; every earlier failure raised.
  if (FCaptureType == ctGrabber || (FCaptureType == ctAuto && Failed(preview)))
    BuildSampleGrabber();
  if (!FOutputFileName.isEmpty())
    BuildRecording();
}

QWidget* TFCamera::PreviewForm() const {
  if (FPreviewControl)
    return FPreviewControl->window();
  auto* owner = qobject_cast<QWidget*>(parent());
  return owner && owner->isWindow() ? owner : nullptr;
}

HResult TFCamera::BuildVmr9Preview() {
  CheckInterface(VideoMixingRenderer9Filter(), "VideoMixingRenderer9 IBaseFilter");
  CheckInterface(VMRFilterConfig9(), "IVMRFilterConfig9");
  CheckInterface(VMRWindowlessControl9(), "IVMRWindowlessControl9");
  QWidget* form = PreviewForm();
  CheckCondition(form != nullptr, "Cannot retrieve preview form");
  Check(FVMRWindowlessControl9->SetVideoClippingWindow(static_cast<WindowHandle>(form->winId())));
  if (FPreviewControl) {
    const QPointF topLeft = FPreviewControl->mapTo(form, QPointF(0, 0));
    const QPointF bottomRight =
        FPreviewControl->mapTo(form, QPointF(FPreviewControl->width(), FPreviewControl->height()));
    const Rect32 target{static_cast<std::int32_t>(std::trunc(topLeft.x())),
                        static_cast<std::int32_t>(std::trunc(topLeft.y())),
                        static_cast<std::int32_t>(std::trunc(bottomRight.x())),
                        static_cast<std::int32_t>(std::trunc(bottomRight.y()))};
    Check(FVMRWindowlessControl9->SetVideoPosition(nullptr, &target));
  }
  // Cosmetic: a renderer that cannot letterbox or colour its border still previews.
  FVMRWindowlessControl9->SetAspectRatioMode(FAspectRatio ? 1 : 0);
  FVMRWindowlessControl9->SetBorderColor(FBorderColor);
  Check(FGraphBuilder->AddFilter(FCaptureFilter, "Video capture"));
  Check(FGraphBuilder->AddFilter(FVideoMixingRenderer9Filter, "VMR-9"));
  const HResult rendered =
      FCaptureGraphBuilder2->RenderStream(&guids::PinCategoryPreview, &guids::MediaTypeVideo,
                                          FCaptureFilter, nullptr, FVideoMixingRenderer9Filter);
  if (Succeeded(rendered) && FOnPictureReady)
    PreparePictures();
  return rendered;
}

void TFCamera::PreparePictures() {
  // Without the renderer's help the window converts each picture itself,
  // as CurrentImageToBitmap does.
  const auto prepared = Query<IPreparedPicture>(FVideoMixingRenderer9Filter);
  if (!prepared)
    return;
  // The handler as the graph starts: rebinding it on our thread meanwhile
  // never races with the streaming thread.
  const auto listener = [handler = FOnPictureReady, this] {
    try {
      handler(this);
    } catch (...) {
      // A handler's failure must not reach the platform's streaming thread.
    }
  };
  if (Succeeded(prepared->SetPictureListener(listener)))
    FPreparedPicture = prepared;
}

void TFCamera::BuildSampleGrabber() {
  FGrabberUsed = true;
  CheckInterface(NullRenderer(), "NullRenderer IBaseFilter");
  CheckInterface(SampleGrabber(), "ISampleGrabber");
  CheckInterface(SampleGrabberFilter(), "SampleGrabber IBaseFilter");
  // No media type is imposed: the grabber passes whatever the camera delivers.
  Check(FSampleGrabber->SetBufferSamples(true));
  if (FOnImageAvailable) {
    CheckInterface(SampleGrabberCB(), "ISampleGrabberCB");
    Check(FSampleGrabber->SetCallback(FSampleGrabberCB, 0));
  }
  if (FCaptureType == ctAuto) {
    Check(FGraphBuilder->RemoveFilter(FCaptureFilter));
    Check(FGraphBuilder->RemoveFilter(FVideoMixingRenderer9Filter));
  }
  Check(FGraphBuilder->AddFilter(FCaptureFilter, "Video capture"));
  Check(FGraphBuilder->AddFilter(FSampleGrabberFilter, "Sample grabber"));
  Check(FGraphBuilder->AddFilter(FNullRenderer, "Null renderer"));
  Check(FCaptureGraphBuilder2->RenderStream(&guids::PinCategoryPreview, &guids::MediaTypeVideo,
                                            FCaptureFilter, FSampleGrabberFilter, FNullRenderer));
}

void TFCamera::BuildRecording() {
  std::shared_ptr<IBaseFilter> multiplexer;
  std::shared_ptr<IFileSinkFilter> sink;
  const Guid& subtype = FOutputFileType == mtAvi ? guids::MediaSubtypeAvi : guids::MediaSubtypeAsf;
  Check(FCaptureGraphBuilder2->SetOutputFileName(subtype, FOutputFileName.toStdString(),
                                                 multiplexer, sink));
  CheckInterface(multiplexer, "Mux IBaseFilter");
  std::shared_ptr<IBaseFilter> intermediate;
  if (!FCompressorName.isEmpty()) {
    CheckInterface(CompressorFilter(), "Compressor IBaseFilter");
    Check(FGraphBuilder->AddFilter(FCompressorFilter, "Compressor filter"));
    intermediate = FCompressorFilter;
  }
  Check(FCaptureGraphBuilder2->RenderStream(&guids::PinCategoryCapture, &guids::MediaTypeVideo,
                                            FCaptureFilter, intermediate, multiplexer));
  if (FAudioDeviceName.isEmpty())
    return;
  CheckInterface(AudioCaptureFilter(), "IAudioCaptureFilter");
  Check(FGraphBuilder->AddFilter(FAudioCaptureFilter, "Audio capture"));
  std::shared_ptr<IBaseFilter> audioIntermediate;
  if (!FAudioCompressorName.isEmpty()) {
    CheckInterface(AudioCompressorFilter(), "AudioCompressor IBaseFilter");
    Check(FGraphBuilder->AddFilter(FAudioCompressorFilter, "AudioCompressor filter"));
    audioIntermediate = FAudioCompressorFilter;
  }
  Check(FCaptureGraphBuilder2->RenderStream(&guids::PinCategoryCapture, &guids::MediaTypeAudio,
                                            FAudioCaptureFilter, audioIntermediate, multiplexer));
}

// ---- State and graph control -----------------------------------------------------

TFCameraState TFCamera::State() {
  if (!Active())
    return csInactive;
  auto control = MediaControl();
  if (!control)
    return csUnknown;
  std::int32_t state = -1;
  if (Failed(control->GetState(0, state)))
    return csUnknown;
  switch (state) {
    case kStateStopped:
      return csStopped;
    case kStatePaused:
      return csPaused;
    case kStateRunning:
      return csRunning;
    default:
      return csUnknown;
  }
}

void TFCamera::Run() {
  CheckActive();
  Check(FMediaControl->Run());
}

void TFCamera::Pause() {
  CheckActive();
  Check(FMediaControl->Pause());
}

void TFCamera::Stop() {
  CheckActive();
  Check(FMediaControl->Stop());
}

// ---- Renderer settings and preview geometry ---------------------------------------

bool TFCamera::AspectRatio() {
  if (FDesigning || !Active())
    return FAspectRatio;
  CheckVmr9();
  std::uint32_t mode = 0;
  Check(FVMRWindowlessControl9->GetAspectRatioMode(mode));
  return mode == 1;
}

void TFCamera::SetAspectRatio(bool Value) {
  if (Value != AspectRatio() && !FDesigning && Active()) {
    CheckVmr9();
    Check(FVMRWindowlessControl9->SetAspectRatioMode(Value ? 1 : 0));
  }
  FAspectRatio = Value;
}

std::uint32_t TFCamera::BorderColor() {
  if (FDesigning || !Active())
    return FBorderColor;
  CheckVmr9();
  std::uint32_t color = 0;
  Check(FVMRWindowlessControl9->GetBorderColor(color));
  return color;
}

void TFCamera::SetBorderColor(std::uint32_t Value) {
  if (Value != BorderColor() && !FDesigning && Active()) {
    CheckVmr9();
    Check(FVMRWindowlessControl9->SetBorderColor(Value));
  }
  FBorderColor = Value;
}

QPoint TFCamera::MaxIdealVideoSize() {
  CheckVmr9();
  std::int32_t x = 0, y = 0;
  Check(FVMRWindowlessControl9->GetMaxIdealVideoSize(x, y));
  return QPoint(x, y);
}

QPoint TFCamera::MinIdealVideoSize() {
  CheckVmr9();
  std::int32_t x = 0, y = 0;
  Check(FVMRWindowlessControl9->GetMinIdealVideoSize(x, y));
  return QPoint(x, y);
}

QPoint TFCamera::NativeVideoSize() {
  CheckVmr9();
  std::int32_t width = 0, height = 0, aspectX = 0, aspectY = 0;
  Check(FVMRWindowlessControl9->GetNativeVideoSize(width, height, aspectX, aspectY));
  return QPoint(width, height);
}

QPoint TFCamera::NativeAspectRatio() {
  CheckVmr9();
  std::int32_t width = 0, height = 0, aspectX = 0, aspectY = 0;
  Check(FVMRWindowlessControl9->GetNativeVideoSize(width, height, aspectX, aspectY));
  return QPoint(aspectX, aspectY);
}

namespace {
TFRect ToTFRect(const Rect32& r) {
  return TFRect{r.left, r.top, r.right, r.bottom};
}
Rect32 ToRect32(const TFRect& r) {
  return Rect32{r.Left, r.Top, r.Right, r.Bottom};
}
}  // namespace

TFRect TFCamera::VideoPositionDest() {
  CheckVmr9();
  Rect32 source, target;
  Check(FVMRWindowlessControl9->GetVideoPosition(source, target));
  return ToTFRect(target);
}

void TFCamera::SetVideoPositionDest(const TFRect& Value) {
  CheckVmr9();
  const Rect32 target = ToRect32(Value);
  Check(FVMRWindowlessControl9->SetVideoPosition(nullptr, &target));
}

TFRect TFCamera::VideoPositionSource() {
  CheckVmr9();
  Rect32 source, target;
  Check(FVMRWindowlessControl9->GetVideoPosition(source, target));
  return ToTFRect(source);
}

void TFCamera::SetVideoPositionSource(const TFRect& Value) {
  CheckVmr9();
  const Rect32 source = ToRect32(Value);
  Check(FVMRWindowlessControl9->SetVideoPosition(&source, nullptr));
}
