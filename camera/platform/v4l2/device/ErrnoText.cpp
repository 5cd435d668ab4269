#include "camera/platform/v4l2/device/ErrnoText.h"

#include <cstring>

namespace varnholt::platform::v4l2 {

std::string ErrnoText(int negativeErrno) {
  const int error = -negativeErrno;
  // The glibc lookups, unlike strerror, are thread-safe and answer null
  // for a number they do not know.
  const char* description = strerrordesc_np(error);
  const char* name = strerrorname_np(error);
  std::string text = description ? description : "Unknown error " + std::to_string(error);
  if (name)
    text += std::string(" (") + name + ")";
  return text;
}

}  // namespace varnholt::platform::v4l2
