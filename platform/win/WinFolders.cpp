#include "platform/win/WinFolders.h"

#include <windows.h>

#include <knownfolders.h>
#include <shlobj.h>

namespace varnholt::win {
namespace {

std::wstring KnownFolder(REFKNOWNFOLDERID id, DWORD flags) {
  PWSTR path = nullptr;
  std::wstring folder;
  if (SUCCEEDED(::SHGetKnownFolderPath(id, flags, nullptr, &path)) && path)
    folder = path;
  ::CoTaskMemFree(path);  // the shell allocates it even when it fails
  while (folder.size() > 3 && (folder.back() == L'\\' || folder.back() == L'/'))
    folder.pop_back();
  return folder;
}

}  // namespace

std::wstring DocumentsFolder() {
  return KnownFolder(FOLDERID_Documents, 0);
}

std::wstring PrivateFolder() {
  const std::wstring local = KnownFolder(FOLDERID_LocalAppData, KF_FLAG_CREATE);
  if (local.empty())
    return {};
  const std::wstring own = local + L"\\Varnholt";
  if (!::CreateDirectoryW(own.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS)
    return {};
  const DWORD attributes = ::GetFileAttributesW(own.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
    return {};
  return own;
}

}  // namespace varnholt::win
