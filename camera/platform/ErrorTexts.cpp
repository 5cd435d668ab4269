#include <cstdio>
#include <string>

#include "camera/platform/Interfaces.h"

namespace varnholt::platform {

std::string HexCode(HResult code) {
  char buf[9];
  std::snprintf(buf, sizeof buf, "%08X", static_cast<unsigned>(code));
  return buf;
}

std::string SystemMessage(HResult code) {
  // The system's texts for the codes our platforms produce, trimmed of the
  // trailing full stop as the error box adds its own.
  struct Entry {
    HResult code;
    const char* text;
  };
  static constexpr Entry kTexts[] = {
      {hr::Ok, "The operation completed successfully"},
      {hr::NotImpl, "Not implemented"},
      {hr::NoInterface, "No such interface supported"},
      {hr::Pointer, "Invalid pointer"},
      {hr::Abort, "Operation aborted"},
      {hr::Fail, "Unspecified error"},
      {hr::Unexpected, "Catastrophic failure"},
      {hr::ClassNotRegistered, "Class not registered"},
      {hr::PathNotFound, "The system cannot find the path specified"},
      {hr::AccessDenied, "Access is denied"},
      {hr::WriteFault, "The system cannot write to the specified device"},
      {hr::DiskFull, "There is not enough space on the disk"},
      {hr::OutOfMemory, "Not enough memory resources are available to complete this operation"},
      {hr::InvalidArg, "The parameter is incorrect"},
      {hr::InsufficientBuffer, "The data area passed to a system call is too small"},
      {hr::Busy, "The requested resource is in use"},
      {hr::MoreData, "More data is available"},
      {hr::DeviceNotConnected, "The device is not connected"},
      {hr::Timeout, "This operation returned because the timeout period expired"},
      {hr::PropIdUnsupported, "Element not found"},
      {hr::PropSetUnsupported, "The property set specified does not exist on the object"},
  };
  for (const auto& e : kTexts)
    if (e.code == code)
      return e.text;
  return "OLE error " + HexCode(code);
}

namespace {
// Cuts UTF-8 text to at most n characters without splitting one.
std::string CutToCharacters(const std::string& text, std::size_t n) {
  std::size_t chars = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
      if (chars == n)
        return text.substr(0, i);
      ++chars;
    }
  }
  return text;
}
}  // namespace

std::string ErrorMessage(Platform& platform, HResult code) {
  // The capture framework's text buffer holds 160 characters.
  std::string text = CutToCharacters(platform.ErrorText(code), 160);
  if (text.empty())
    return SystemMessage(code);
  return text;
}

}  // namespace varnholt::platform
