#pragma once

// The enumerators a virtual camera hands out: its one pin, and its pin's
// media types as they were when the enumerator was made. Each holds the
// filter, and answers the filter's faults.

#include <dshow.h>

#include <vector>

#include "camera/platform/directshow/vcam/MediaTypes.h"

namespace varnholt::vcam {

class CameraFilter;

HRESULT MakePinEnumerator(CameraFilter& filter, IEnumPins** out);
HRESULT MakeMediaTypeEnumerator(CameraFilter& filter, std::vector<VideoFormat> formats,
                                IEnumMediaTypes** out);

}  // namespace varnholt::vcam
