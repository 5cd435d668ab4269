#pragma once

// Our identifiers as the system's: GUIDs, interface ids, class ids and
// device categories.

#include "camera/platform/Guid.h"
#include "camera/platform/Interfaces.h"
#include "camera/platform/directshow/WinHeaders.h"

namespace varnholt::platform::directshow {

GUID ToGuid(const Guid& guid);
Guid FromGuid(const GUID& guid);

// The system's id of one of our interfaces; nullptr for the interfaces that
// exist only here (the control list, the prepared pictures).
const IID* ComIid(Iid iid);

const CLSID& ComClassId(ClassId classId);
const CLSID& ComCategory(DeviceCategory category);

// The two grabber classes no mingw-w64 header declares (qedit.dll's own).
constexpr CLSID kClsidSampleGrabber = {
    0xC1F400A0, 0x3F08, 0x11D3, {0x9F, 0x0B, 0x00, 0x60, 0x08, 0x03, 0x9E, 0x37}};
constexpr CLSID kClsidNullRenderer = {
    0xC1F400A4, 0x3F08, 0x11D3, {0x9F, 0x0B, 0x00, 0x60, 0x08, 0x03, 0x9E, 0x37}};

}  // namespace varnholt::platform::directshow
