#pragma once

// Where the virtual cameras are written into the registry, so that the
// system device enumerator lists them as video input devices: each camera is
// a COM class of its own, served by this DLL, and an instance of the video
// input device category whose property bag holds FriendlyName, DevicePath
// and CLSID, as a camera driver's entry does. The cameras' property page is
// a class of its own, registered with them.

#include <windows.h>

#include <cstddef>
#include <optional>
#include <string>

namespace varnholt::vcam {

// Camera index's class id: a fixed base whose last byte is the index.
CLSID ClassIdOf(std::size_t camera);
std::optional<std::size_t> CameraOfClassId(REFCLSID clsid);
// The property page's class id.
CLSID PageClassId();
// The camera with that friendly name.
std::optional<std::size_t> CameraNamed(const std::wstring& friendlyName);

// Every camera's class (served by the DLL at dllPath) and device entry, and
// the property page's class.
HRESULT RegisterCameras(const std::wstring& dllPath);
HRESULT UnregisterCameras();

// One camera's entry in the device category alone: what plugging it in and
// unplugging it adds and removes.
HRESULT AddDeviceEntry(std::size_t camera);
HRESULT RemoveDeviceEntry(std::size_t camera);

}  // namespace varnholt::vcam
