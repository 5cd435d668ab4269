#pragma once

// Media types between our values and the system's AM_MEDIA_TYPE. A system
// type owns its format block (CoTaskMemAlloc) and a reference to its object;
// both are released here the way the system's own functions do, and a type
// the system allocated as a whole is freed with it.

#include "camera/platform/MediaType.h"
#include "camera/platform/directshow/ComMediaTypeMemory.h"
#include "camera/platform/directshow/WinHeaders.h"

namespace varnholt::platform::directshow {

// A copy of the system type: the block copied, the object shared.
AmMediaType FromComMediaType(const AM_MEDIA_TYPE& type);

// A system view of ours for calls that copy what they are given (SetFormat):
// it borrows the block and the object, takes no reference, and is valid
// while `type` lives unchanged.
AM_MEDIA_TYPE BorrowComMediaType(const AmMediaType& type);

// A system type of its own, allocated as the system allocates one; the
// caller gives it back with DeleteComMediaType.
AM_MEDIA_TYPE* NewComMediaType(const AmMediaType& type);

}  // namespace varnholt::platform::directshow
