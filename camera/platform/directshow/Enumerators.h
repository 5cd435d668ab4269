#pragma once

// The system's enumerators of monikers, pins and media types as ours: one
// item per Next, S_FALSE and nothing at the end, other codes as they come.

#include <memory>

#include "camera/platform/Interfaces.h"
#include "camera/platform/directshow/ComPtr.h"

namespace varnholt::platform::directshow {

std::shared_ptr<IEnumMoniker> MakeMonikerEnumerator(ComPtr<::IEnumMoniker> enumerator);
std::shared_ptr<IEnumPins> MakePinEnumerator(ComPtr<::IEnumPins> enumerator);
std::shared_ptr<IEnumMediaTypes> MakeMediaTypeEnumerator(ComPtr<::IEnumMediaTypes> enumerator);

}  // namespace varnholt::platform::directshow
