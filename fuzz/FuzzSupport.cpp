#include "fuzz/FuzzSupport.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QTemporaryDir>

#include "camera/FCamera.h"
#include "camera/PropertyKeys.h"

namespace varnholt::fuzz {

void StartApplication() {
  static int argc = 1;
  static char name[] = "varnholt-fuzz";
  static char* argv[] = {name, nullptr};
  if (QCoreApplication::instance())
    return;
  qputenv("QT_QPA_PLATFORM", "offscreen");
  // Decoders warn of every broken frame: millions of lines that say nothing.
  QLoggingCategory::setFilterRules(QStringLiteral("qt.*=false"));
  new QApplication(argc, argv);  // lives as long as the process
}

QString ScratchFolder() {
  // In memory where there is such a folder: saves sync to disk, which would
  // make every run wait for it.
  static QTemporaryDir folder(QFileInfo(QStringLiteral("/dev/shm")).isWritable()
                                  ? QStringLiteral("/dev/shm/varnholt-fuzz-XXXXXX")
                                  : QDir::tempPath() + QStringLiteral("/varnholt-fuzz-XXXXXX"));
  Require(folder.isValid(), "a scratch folder");
  return folder.path();
}

void ReadEverything(TFCamera& camera) {
  // Each call on its own: a property that fails must not hide the next.
  const auto guarded = [](auto&& call) {
    try {
      call();
    } catch (const varnholt::Exception&) {
    }
  };
  for (const TFPropertyKey& key : kPropertyKeys) {
    guarded([&] {
      if (!(camera.*key.Supported)())
        return;
      const TFRange range = (camera.*key.Range)();
      (void)range;
      (void)(camera.*key.Value)();
      (void)(camera.*key.IsAuto)();
    });
  }
  guarded([&] {
    if (camera.PowerLineFrequencySupported())
      (void)camera.PowerLineFrequency();
  });
  guarded([&] {
    for (const TFCameraFormat& format : camera.SupportedFormats())
      Require(format.Width >= 0 && format.Height >= 0, "format sizes are not negative");
  });
}

}  // namespace varnholt::fuzz
