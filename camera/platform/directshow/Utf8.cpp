#include "camera/platform/directshow/Utf8.h"

#include <climits>

#include "camera/platform/directshow/WinHeaders.h"

namespace varnholt::platform::directshow {

std::wstring ToUtf16(std::string_view text) {
  if (text.empty() || text.size() > INT_MAX)
    return {};
  const int size = static_cast<int>(text.size());
  // Malformed bytes become U+FFFD rather than failing the whole string.
  const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
  std::wstring out(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), size, out.data(), length);
  return out;
}

std::string ToUtf8(std::wstring_view text) {
  if (text.empty() || text.size() > INT_MAX)
    return {};
  const int size = static_cast<int>(text.size());
  const int length =
      WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), size, out.data(), length, nullptr, nullptr);
  return out;
}

std::string ToUtf8(const wchar_t* text) {
  return text ? ToUtf8(std::wstring_view(text)) : std::string();
}

}  // namespace varnholt::platform::directshow
