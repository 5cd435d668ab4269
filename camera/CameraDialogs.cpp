// The driver's own property dialogs, for the capture filter and for the
// capture stream's configuration.

#include "camera/FCamera.h"

#include <QWidget>

using namespace varnholt::platform;

namespace {

// Where the dialog opens inside the owner's window: over it, offset like a
// window opened from it.
constexpr int kDialogOffset = 40;

}  // namespace

WindowHandle TFCamera::OwnerWindow() const {
  // The component belongs to a window when a widget owns it; the dialog
  // then opens over that window and stays in front of it.
  const auto* owner = qobject_cast<const QWidget*>(parent());
  return owner ? static_cast<WindowHandle>(owner->window()->winId()) : 0;
}

void TFCamera::ShowPages(const std::shared_ptr<Unknown>& object) {
  auto pages = Query<ISpecifyPropertyPages>(object);
  Check(pages ? hr::Ok : hr::NoInterface);
  CheckInterface(pages, "ISpecifyPropertyPages");
  std::vector<Guid> pageIds;
  Check(pages->GetPages(pageIds));
  FilterInfo info;
  Check(FCaptureFilter->QueryFilterInfo(info));
  info.pGraph.reset();  // the caption is all we need of it
  const WindowHandle owner = OwnerWindow();
  const int offset = owner ? kDialogOffset : 0;
  Check(FPlatform->ShowPropertyFrame(owner, offset, offset, info.achName, {object}, pageIds, 0));
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
