#include "camera/platform/graph/GraphErrors.h"

namespace varnholt::platform::graph {

std::string ErrorText(HResult code) {
  struct Entry {
    HResult code;
    const char* text;
  };
  static constexpr Entry kTexts[] = {
      {vfw::AlreadyConnected,
       "The operation cannot be performed because the pins are already connected."},
      {vfw::NoAcceptableTypes, "No acceptable types could be found for the connection."},
      {vfw::NotConnected, "The operation cannot be performed because the pins are not connected."},
      {vfw::CannotConnect,
       "No combination of intermediate filters could be found to make the connection."},
      {vfw::NotStopped, "The operation could not be performed because the filter is not stopped."},
      {vfw::WrongState,
       "The operation could not be performed because the filter is in the wrong state."},
      {vfw::TypeNotAccepted, "The specified media type is not accepted."},
      {vfw::NotInGraph,
       "Cannot perform the requested function on an object that is not in the filter graph."},
      {vfw::DuplicateName,
       "An attempt to add a filter with a duplicate name succeeded with a modified name."},
      {vfw::NoPreviewPin,
       "Preview was rendered through the Smart Tee filter because the capture filter does not "
       "have a preview pin."},
  };
  for (const auto& e : kTexts)
    if (e.code == code)
      return e.text;
  return {};
}

}  // namespace varnholt::platform::graph
