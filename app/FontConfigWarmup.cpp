#include "app/FontConfigWarmup.h"

#ifdef VARNHOLT_HAVE_FONTCONFIG
#include <fontconfig/fontconfig.h>
#endif

namespace varnholt {

FontConfigWarmup::FontConfigWarmup() {
#ifdef VARNHOLT_HAVE_FONTCONFIG
  // Safe beside Qt's own FcInit: the first configuration made is kept.
  thread_ = std::thread([] { FcInit(); });
#endif
}

FontConfigWarmup::~FontConfigWarmup() {
  if (thread_.joinable())
    thread_.join();
}

}  // namespace varnholt
