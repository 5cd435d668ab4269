#include "platform/win/WinProcesses.h"

#include <windows.h>

#include <tlhelp32.h>

namespace varnholt::win {

std::wstring OwnExecutablePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0)
      return {};
    // A cut-off name fills the buffer exactly: try again with more room.
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    if (path.size() >= 32768)
      return {};
    path.resize(path.size() * 2);
  }
}

std::wstring FileNameOf(std::wstring_view path) {
  const auto cut = path.find_last_of(L"\\/:");
  return std::wstring(cut == std::wstring_view::npos ? path : path.substr(cut + 1));
}

std::vector<unsigned long> ProcessIdsNamed(std::wstring_view name) {
  std::vector<unsigned long> ids;
  const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE)
    return ids;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = ::Process32FirstW(snapshot, &entry); more;
       more = ::Process32NextW(snapshot, &entry)) {
    // szExeFile is the file name alone (without its folder).
    const std::wstring file = FileNameOf(entry.szExeFile);
    if (::CompareStringOrdinal(file.data(), static_cast<int>(file.size()), name.data(),
                               static_cast<int>(name.size()), TRUE) == CSTR_EQUAL)
      ids.push_back(entry.th32ProcessID);
  }
  ::CloseHandle(snapshot);
  return ids;
}

}  // namespace varnholt::win
