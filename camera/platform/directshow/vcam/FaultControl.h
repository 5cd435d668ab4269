#pragma once

// How a test makes a virtual DirectShow camera misbehave. The filters read
// these values at every call, so a change takes effect at the next call, in
// this process and in any other one using the same Wine prefix.
//
// Everything lives under one per-user registry key, a subkey per camera
// named by its friendly name:
//
//   HKEY_CURRENT_USER\Software\Varnholt\VirtualCamera\<friendly name>
//     Busy        REG_DWORD  non-zero: the camera is in use by another
//                            program. Connecting its capture pin, Pause and
//                            Run answer HRESULT_FROM_WIN32(ERROR_BUSY)
//                            (0x800700AA); a running stream goes on.
//     Unplugged   REG_DWORD  non-zero: the camera is gone. SetUnplugged also
//                            removes its entry from the video input device
//                            category (and puts it back when plugged in), so
//                            enumerations no longer list it; every call on a
//                            filter of it, its pin, enumerators and property
//                            interfaces answers HRESULT_FROM_WIN32(
//                            ERROR_DEVICE_NOT_CONNECTED) (0x8007048F), except
//                            those a client needs to let go of it: the
//                            IUnknown methods, Stop, Pause of a running filter
//                            (graphs pause before they stop), GetState,
//                            JoinFilterGraph,
//                            QueryFilterInfo, EnumPins (and its enumerator),
//                            the pin's Disconnect, ConnectedTo, QueryPinInfo,
//                            QueryDirection and QueryId. A running stream stops delivering
//                            and the graph hears EC_DEVICE_LOST. As with a
//                            driver's device, a filter bound before stays
//                            dead when the camera is plugged in again
//                            (Plugs below); only a new binding reaches it.
//     Plugs       REG_DWORD  counts the unplugs, kept by SetUnplugged.
//     Fail.<Interface>.<Method>
//                 REG_DWORD  that method answers this HRESULT instead of
//                            doing its work, e.g. "Fail.IAMVideoProcAmp.Set"
//                            = 0x80070005. Interfaces: IBaseFilter (also for
//                            the IMediaFilter methods Pause, Run), IPin,
//                            IEnumPins, IEnumMediaTypes, IAMStreamConfig,
//                            IAMVideoProcAmp, IAMCameraControl,
//                            IKsPropertySet (filter and pin),
//                            ISpecifyPropertyPages.
//
// Values the DLL keeps for the cameras (property values) live in the
// process that loaded it, as long as it stays loaded.

#include <windows.h>

#include <optional>
#include <string>

namespace varnholt::vcam {

// ---- What the filters ask ---------------------------------------------------

bool IsBusy(const wchar_t* camera);
bool IsUnplugged(const wchar_t* camera);
// How often the camera has been unplugged; a filter remembers it when bound.
DWORD PlugCount(const wchar_t* camera);
// The code armed for "Interface.Method" on that camera, if any.
std::optional<HRESULT> ArmedFailure(const wchar_t* camera, const wchar_t* point);

// ---- What tests set ---------------------------------------------------------

HRESULT SetBusy(const std::wstring& camera, bool busy);
// Unplugs the camera (removes its device entry) or plugs it in again.
HRESULT SetUnplugged(const std::wstring& camera, bool unplugged);
// Arms point ("IAMVideoProcAmp.Set") with code until it is cleared.
HRESULT FailCall(const std::wstring& camera, const std::wstring& point, HRESULT code);
HRESULT ClearCall(const std::wstring& camera, const std::wstring& point);
// Every camera back to normal: plugged in, not busy, no armed failure.
HRESULT ResetAllFaults();

}  // namespace varnholt::vcam
