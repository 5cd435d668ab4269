#pragma once

// A device category's enumerator over monikers a backend has already found:
// S_OK with each in turn, then S_FALSE. Every backend lists its devices so.

#include <memory>
#include <vector>

#include "camera/platform/Interfaces.h"

namespace varnholt::platform {

std::shared_ptr<IEnumMoniker> MakeMonikerList(std::vector<std::shared_ptr<IMoniker>> monikers);

}  // namespace varnholt::platform
