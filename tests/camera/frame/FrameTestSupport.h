#pragma once

// Helpers for the property frame tests: the frame shown and driven from a
// timer, and short ways to read controls, properties and pages.

#include <QDialog>
#include <functional>
#include <utility>

#include "camera/platform/PropertyFrame.h"
#include "tests/camera/virtual/VirtualTestSupport.h"

namespace varnholt::test {

using platform::ControlInfo;

class FrameTest : public VirtualPlatformTest {
 protected:
  std::shared_ptr<VirtualPlatform> Builtin() { return Load(VirtualPlatform::BuiltinCamerasJson()); }

  // Calls ShowGenericPropertyFrame; act runs once the frame is up and may
  // close it, otherwise it is closed afterwards. shown_ counts the frames.
  HResult Show(platform::Platform& platform,
               const std::vector<std::shared_ptr<platform::Unknown>>& objects,
               const std::vector<platform::Guid>& pages, const std::function<void(QDialog&)>& act,
               platform::WindowHandle owner = 0, int x = 0, int y = 0);

  int shown_ = 0;
};

std::vector<ControlInfo> Controls(const std::shared_ptr<platform::IControlList>& list);
// The named control; fails the test when absent.
ControlInfo Find(const std::vector<ControlInfo>& list, const std::string& name);
// Value and flags of a video-processing property.
std::pair<std::int32_t, std::int32_t> ProcAmp(platform::IAMVideoProcAmp& procAmp, std::int32_t id);
QStringList TabTexts(QDialog& frame);

template <class T>
std::vector<platform::Guid> Pages(const std::shared_ptr<T>& object) {
  std::vector<platform::Guid> ids;
  const auto pages = platform::Query<platform::ISpecifyPropertyPages>(object);
  if (!pages)
    ADD_FAILURE() << "no property pages";
  else
    EXPECT_EQ(pages->GetPages(ids), platform::hr::Ok);
  return ids;
}

// The frame's widget of that type and name; fails the test when absent.
template <class W>
W* Widget(QDialog& frame, const QString& name) {
  W* widget = frame.findChild<W*>(name);
  if (!widget)
    ADD_FAILURE() << "no widget " << name.toStdString();
  return widget;
}

}  // namespace varnholt::test
