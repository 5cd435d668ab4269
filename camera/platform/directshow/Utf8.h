#pragma once

// The platform speaks UTF-16; the interfaces speak UTF-8.

#include <string>
#include <string_view>

namespace varnholt::platform::directshow {

std::wstring ToUtf16(std::string_view text);
std::string ToUtf8(std::wstring_view text);
// A system string that may be absent.
std::string ToUtf8(const wchar_t* text);

}  // namespace varnholt::platform::directshow
