#pragma once

// The main window on the V4L2 platform over a camera in the VM, with the
// ioctl-counting node directory, for the vivid and uvcvideo window suites.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/Forms.h"
#include "camera/platform/PlatformFactory.h"
#include "camera/platform/v4l2/V4l2Platform.h"
#include "tests/app/MainWindowFixture.h"
#include "tests/vm/VividRig.h"

namespace varnholt::test {

class V4l2Window : public MainWindow {
 protected:
  // Finds the camera's node and puts the driver's values back, before the
  // window starts and reads them.
  virtual void PrepareDriver() = 0;

  void SetUp() override {
    PrepareDriver();
    if (HasFatalFailure())
      return;
    platform::SetActivePlatform(v4l2);
    form = Start();
  }
  void TearDown() override {
    form.reset();
    platform::SetActivePlatform(nullptr);
  }

  TPropertyRow Row(const char* key) const { return RowOf(*form, key); }
  void Tick() { form->RefreshTimerTimer(form.get()); }

  std::string node;
  std::shared_ptr<CountingNodes> nodes = std::make_shared<CountingNodes>();
  std::shared_ptr<platform::v4l2::V4l2Platform> v4l2 =
      std::make_shared<platform::v4l2::V4l2Platform>(nodes);
  std::unique_ptr<TFormMain> form;
};

}  // namespace varnholt::test
