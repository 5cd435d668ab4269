#pragma once

// Where a backend that simulates failing devices (the virtual one) answers a
// call of the platform seam in its stead. Every implementation of a seam
// method probes its point, "Interface.Method" as Interfaces.h names it,
// before doing its work; with no probe installed that is one atomic load.

#include <functional>
#include <optional>
#include <string_view>

#include "camera/platform/HResult.h"

namespace varnholt::platform {

// device is the device path of the camera whose object is called, empty for
// objects of no camera (graphs, renderers, the enumerator).
using FaultProbe =
    std::function<std::optional<HResult>(std::string_view point, std::string_view device)>;

// Installs probe for the whole process, replacing any; owner identifies the
// installer so that it removes only its own (RemoveFaultProbe).
void InstallFaultProbe(const void* owner, FaultProbe probe);
void RemoveFaultProbe(const void* owner);

// The code the call at point answers instead of doing its work, if any.
std::optional<HResult> ProbeFault(std::string_view point, std::string_view device = {});

}  // namespace varnholt::platform
