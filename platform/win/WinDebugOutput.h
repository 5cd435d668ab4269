#pragma once

// The debugger channel on Windows: OutputDebugStringW, which a debugger or
// DebugView shows one call per line. Qt-free.

#include <string_view>

namespace varnholt::win {

// Sends text as one message. Nothing happens when no debugger listens;
// the system serialises messages from several threads.
void DebugOutput(std::wstring_view text);

}  // namespace varnholt::win
