#include "platform/win/WinDebugOutput.h"

#include <windows.h>

#include <string>

namespace varnholt::win {

void DebugOutput(std::wstring_view text) {
  // The channel takes a terminated string: a NUL inside would end the
  // message there, so it travels as a visible mark instead.
  std::wstring message(text);
  for (auto& c : message)
    if (c == L'\0')
      c = L'\uFFFD';
  ::OutputDebugStringW(message.c_str());
}

}  // namespace varnholt::win
