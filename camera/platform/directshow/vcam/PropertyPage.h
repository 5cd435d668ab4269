#pragma once

// The cameras' own property page, what a driver's dialog is to a real
// camera: the camera's name and a brightness slider. A moved slider makes
// the page dirty; Apply writes the value through the filter's
// IAMVideoProcAmp, so a refusal of the filter (an armed fault, an unplugged
// camera) comes back from Apply. Its class (PageClassId) is registered
// beside the cameras' and named by the filters' ISpecifyPropertyPages.

#include <windows.h>

namespace varnholt::vcam {

// A new page, answering iid.
HRESULT CreatePropertyPage(REFIID iid, void** out);

}  // namespace varnholt::vcam
