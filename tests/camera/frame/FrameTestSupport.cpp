#include "tests/camera/frame/FrameTestSupport.h"

#include "tests/support/TestEnvironment.h"

#include <QApplication>
#include <QTabWidget>
#include <QTimer>

namespace varnholt::test {

using namespace varnholt::platform;

HResult FrameTest::Show(Platform& platform, const std::vector<std::shared_ptr<Unknown>>& objects,
                        const std::vector<Guid>& pages, const std::function<void(QDialog&)>& act,
                        WindowHandle owner, int x, int y) {
  const ModalAnswer<QDialog> answer(
      [&](QDialog& frame) {
        ++shown_;
        act(frame);
      },
      "PropertyFrame");
  return ShowGenericPropertyFrame(platform, owner, x, y, "Test Camera", objects, pages);
}

std::vector<ControlInfo> Controls(const std::shared_ptr<IControlList>& list) {
  std::vector<ControlInfo> controls;
  if (!list)
    ADD_FAILURE() << "no control list";
  else
    EXPECT_EQ(list->GetControls(controls), hr::Ok);
  return controls;
}

ControlInfo Find(const std::vector<ControlInfo>& list, const std::string& name) {
  for (const auto& control : list)
    if (control.name == name)
      return control;
  ADD_FAILURE() << "no control " << name;
  return {};
}

std::pair<std::int32_t, std::int32_t> ProcAmp(IAMVideoProcAmp& procAmp, std::int32_t id) {
  std::int32_t value = 0, flags = 0;
  EXPECT_EQ(procAmp.Get(id, value, flags), hr::Ok);
  return {value, flags};
}

QStringList TabTexts(QDialog& frame) {
  QStringList texts;
  if (auto* pages = Widget<QTabWidget>(frame, "Pages"))
    for (int i = 0; i < pages->count(); ++i)
      texts << pages->tabText(i);
  return texts;
}

}  // namespace varnholt::test
