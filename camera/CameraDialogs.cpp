// The driver's own property dialogs, for the capture filter and for the
// capture stream's configuration.

#include "camera/FCamera.h"

using namespace varnholt::platform;

void TFCamera::ShowPages(const std::shared_ptr<Unknown>& object) {
  auto pages = Query<ISpecifyPropertyPages>(object);
  Check(pages ? hr::Ok : hr::NoInterface);
  CheckInterface(pages, "ISpecifyPropertyPages");
  std::vector<Guid> pageIds;
  Check(pages->GetPages(pageIds));
  FilterInfo info;
  Check(FCaptureFilter->QueryFilterInfo(info));
  info.pGraph.reset();  // the caption is all we need of it
  Check(FPlatform->ShowPropertyFrame(0, 0, 0, info.achName, {object}, pageIds, 0));
}

void TFCamera::ShowPropertyDialog() {
  CheckDevice();
  ShowPages(FCaptureFilter);
}

void TFCamera::ShowStreamPropertyDialog() {
  CheckDevice();
  CheckInterface(CaptureGraphBuilder2(), "ICaptureGraphBuilder2");
  std::shared_ptr<Unknown> streamConfig;
  Check(FCaptureGraphBuilder2->FindInterface(&guids::PinCategoryCapture, &guids::MediaTypeVideo,
                                             FCaptureFilter, Iid::AMStreamConfig, streamConfig));
  CheckInterface(streamConfig, "IAMStreamConfig");
  ShowPages(streamConfig);
}
