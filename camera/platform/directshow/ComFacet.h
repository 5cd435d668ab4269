#pragma once

// One interface of a wrapped system object: the system's pointer for it,
// acquired by the object it belongs to (SystemObject) when a caller first asks
// for that interface, and never changed after.

#include "camera/platform/directshow/ComPtr.h"

namespace varnholt::platform::directshow {

template <class Com>
struct ComFacet {
  ComPtr<Com> com;
};

}  // namespace varnholt::platform::directshow
