#pragma once

// Giving back a system media type (AM_MEDIA_TYPE) the way the system's own
// helpers do: its format block and its object reference, then, when it was
// allocated as a whole, the type itself. Header-only and Win32 only, so
// that the backend, the virtual cameras' DLL and their tests share it.

#include <dshow.h>

namespace varnholt::platform::directshow {

// Releases the block and the object of a system type, leaving it empty.
inline void FreeComMediaType(AM_MEDIA_TYPE& type) {
  if (type.pbFormat)
    CoTaskMemFree(type.pbFormat);
  type.pbFormat = nullptr;
  type.cbFormat = 0;
  if (type.pUnk)
    type.pUnk->Release();
  type.pUnk = nullptr;
}

// FreeComMediaType, and the type itself.
inline void DeleteComMediaType(AM_MEDIA_TYPE* type) {
  if (!type)
    return;
  FreeComMediaType(*type);
  CoTaskMemFree(type);
}

}  // namespace varnholt::platform::directshow
