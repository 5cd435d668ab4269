#include "app/StartupWarmup.h"

#include <dlfcn.h>

#include <cstdlib>
#include <cstring>

#ifdef VARNHOLT_HAVE_FONTCONFIG
#include <fontconfig/fontconfig.h>
#endif

namespace varnholt {
namespace {

#ifdef VARNHOLT_QT_XCB_PLUGIN
// Whether Qt will take the X11 plugin: asked for, or the default on a
// display that is not a Wayland session.
bool QtWillUseXcb() {
  const char* asked = std::getenv("QT_QPA_PLATFORM");
  if (asked && *asked)
    return std::strcmp(asked, "xcb") == 0;
  const char* session = std::getenv("XDG_SESSION_TYPE");
  const bool wayland = session && std::strcmp(session, "wayland") == 0;
  return !wayland && std::getenv("DISPLAY");
}
#endif

}  // namespace

StartupWarmup::StartupWarmup() {
  const char* plugin = nullptr;
#ifdef VARNHOLT_QT_XCB_PLUGIN
  if (QtWillUseXcb())
    plugin = VARNHOLT_QT_XCB_PLUGIN;
#endif
  thread_ = std::thread([plugin] {
    // Qt opens the same file later and finds it loaded; the loader keeps
    // it until then. Nothing is lost when this fails: Qt says why.
    if (plugin)
      (void)::dlopen(plugin, RTLD_LAZY);
#ifdef VARNHOLT_HAVE_FONTCONFIG
    // Safe beside Qt's own FcInit: the first configuration made is kept.
    FcInit();
#endif
  });
}

StartupWarmup::~StartupWarmup() {
  if (thread_.joinable())
    thread_.join();
}

}  // namespace varnholt
