// Asks for a property frame in a process without a QApplication: none at
// all ("none") or only a QCoreApplication ("core"), as a command-line tool
// has. Prints the answer as eight hexadecimal digits.

#include <QCoreApplication>
#include <QTemporaryDir>
#include <cstdio>
#include <cstring>
#include <memory>

#include "camera/platform/PropertyFrame.h"
#include "camera/platform/virtual/VirtualPlatform.h"

using namespace varnholt::platform;

int main(int argc, char** argv) {
  std::unique_ptr<QCoreApplication> app;
  if (argc > 1 && std::strcmp(argv[1], "core") == 0)
    app = std::make_unique<QCoreApplication>(argc, argv);
  QTemporaryDir state;
  const auto platform = virtualcam::VirtualPlatform::FromJson(
      virtualcam::VirtualPlatform::BuiltinCamerasJson(), state.path());

  std::shared_ptr<Unknown> object;
  std::shared_ptr<IEnumMoniker> monikers;
  std::shared_ptr<IMoniker> moniker;
  std::shared_ptr<IBaseFilter> filter;
  if (platform->CreateInstance(ClassId::SystemDeviceEnum, object) != hr::Ok ||
      Query<ICreateDevEnum>(object)->CreateClassEnumerator(DeviceCategory::VideoInput, monikers,
                                                           0) != hr::Ok ||
      monikers->Next(moniker) != hr::Ok || moniker->BindToObject(filter) != hr::Ok) {
    std::fprintf(stderr, "no virtual camera to ask for\n");
    return 1;
  }
  const HResult code =
      ShowGenericPropertyFrame(*platform, 0, 0, 0, "Probe", {filter}, {guids::PageDeviceControls});
  std::printf("%s\n", HexCode(code).c_str());
  return 0;
}
