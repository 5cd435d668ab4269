#pragma once

// The current values of every virtual camera's properties. A real camera
// keeps its settings while it stays plugged in, whichever filter object a
// program binds; here they last as long as the DLL stays loaded, shared by
// every filter of a camera in the process. Answers are the codes a camera
// driver gives through IAMVideoProcAmp and IAMCameraControl.

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "camera/platform/directshow/vcam/CameraTable.h"

namespace varnholt::vcam {

struct Range {
  long min, max, step, defaultValue, caps;
};

// E_PROP_SET_UNSUPPORTED when the camera lacks the family,
// E_PROP_ID_UNSUPPORTED when it lacks (or only lists) the property.
HRESULT GetPropertyRange(std::size_t camera, Family family, long id, Range& range);
HRESULT GetProperty(std::size_t camera, Family family, long id, long& value, long& flags);
// E_INVALIDARG for a value outside the range, flags other than one of
// automatic (1) and manual (2), or a mode the caps lack.
HRESULT SetProperty(std::size_t camera, Family family, long id, long value, long flags);

}  // namespace varnholt::vcam
