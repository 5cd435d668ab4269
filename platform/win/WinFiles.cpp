#include "platform/win/WinFiles.h"

#include <windows.h>

#include <algorithm>
#include <random>

namespace varnholt::win {
namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr wchar_t kTemporarySuffix[] = L".save-tmp";
constexpr std::size_t kTemporaryHexDigits = 16;
// How long a target that another program holds open is waited for.
constexpr ULONGLONG kBusyWaitMs = 1000;

class Handle {
 public:
  explicit Handle(HANDLE h) : h_(h == INVALID_HANDLE_VALUE ? nullptr : h) {}
  ~Handle() {
    if (h_)
      ::CloseHandle(h_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE Get() const { return h_; }
  // Closes now, reporting what a delayed write may only report here.
  bool Close() {
    const HANDLE h = h_;
    h_ = nullptr;
    return ::CloseHandle(h) != FALSE;
  }

 private:
  HANDLE h_;
};

std::int64_t Ticks(const FILETIME& t) {
  return static_cast<std::int64_t>((ULONGLONG(t.dwHighDateTime) << 32) | t.dwLowDateTime);
}

FileStamp StampOfHandle(HANDLE file) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(file, &info))
    return {};
  FileStamp stamp;
  stamp.exists = true;
  stamp.volume = info.dwVolumeSerialNumber;
  stamp.index = (std::uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  stamp.size = static_cast<std::int64_t>((ULONGLONG(info.nFileSizeHigh) << 32) | info.nFileSizeLow);
  stamp.written = Ticks(info.ftLastWriteTime);
  // The change time moves with attribute and access-list changes as well.
  FILE_BASIC_INFO basic{};
  if (::GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic))
    stamp.changed = basic.ChangeTime.QuadPart;
  return stamp;
}

bool IsMissingError(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
         error == ERROR_BAD_NETPATH || error == ERROR_INVALID_DRIVE;
}

// The file a path finally names, links followed; the path itself when
// nothing exists there yet (a new file, or a link to nothing, replaced as such).
std::wstring FinalPath(const std::wstring& path) {
  Handle file(::CreateFileW(path.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                            FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!file.Get())
    return path;
  std::wstring final(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n =
        ::GetFinalPathNameByHandleW(file.Get(), final.data(), static_cast<DWORD>(final.size()), 0);
    if (n == 0)
      return path;
    if (n < final.size()) {
      final.resize(n);
      return final;
    }
    final.resize(n + 1);
  }
}

std::size_t NameStart(const std::wstring& path) {
  const auto cut = path.find_last_of(L"\\/");
  return cut == std::wstring::npos ? 0 : cut + 1;
}

// ".<name>.<16 hex digits>.save-tmp": the replacement files only we make.
bool IsOurTemporaryName(std::wstring_view name) {
  const std::size_t suffix = std::size(kTemporarySuffix) - 1;
  if (name.size() < suffix + kTemporaryHexDigits + 3 || name.front() != L'.' ||
      name.substr(name.size() - suffix) != kTemporarySuffix)
    return false;
  const std::size_t dot = name.size() - suffix - kTemporaryHexDigits - 1;
  if (name[dot] != L'.')
    return false;
  for (std::size_t i = dot + 1; i < dot + 1 + kTemporaryHexDigits; ++i) {
    const wchar_t c = name[i];
    if (!((c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f')))
      return false;
  }
  return true;
}

// Leftovers of saves killed halfway: ours, files, and old enough that no
// save still running can own them.
void RemoveStaleTemporaries(const std::wstring& folder) {
  WIN32_FIND_DATAW found{};
  const std::wstring pattern = folder + L".*" + kTemporarySuffix;
  const HANDLE search = ::FindFirstFileW(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE)
    return;
  FILETIME now{};
  ::GetSystemTimeAsFileTime(&now);
  const std::int64_t before = Ticks(now) - 60LL * 10'000'000;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
        IsOurTemporaryName(found.cFileName) && Ticks(found.ftLastWriteTime) < before)
      ::DeleteFileW((folder + found.cFileName).c_str());
  } while (::FindNextFileW(search, &found));
  ::FindClose(search);
}

std::wstring RandomHex() {
  std::random_device random;
  const std::uint64_t value = (std::uint64_t(random()) << 32) ^ random();
  std::wstring hex(kTemporaryHexDigits, L'0');
  for (std::size_t i = 0; i < kTemporaryHexDigits; ++i)
    hex[kTemporaryHexDigits - 1 - i] = L"0123456789abcdef"[(value >> (4 * i)) & 0xF];
  return hex;
}

bool WriteAll(HANDLE file, std::string_view bytes) {
  while (!bytes.empty()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 20));
    DWORD written = 0;
    if (!::WriteFile(file, bytes.data(), chunk, &written, nullptr) || written == 0)
      return false;
    bytes.remove_prefix(written);
  }
  return true;
}

// Renames over the target in one step. Another program may hold the target
// open for a moment without sharing delete (scanners, indexers, backup).
bool MoveOver(const std::wstring& from, const std::wstring& to) {
  const ULONGLONG until = ::GetTickCount64() + kBusyWaitMs;
  for (;;) {
    if (::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
      return true;
    const DWORD error = ::GetLastError();
    if ((error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION &&
         error != ERROR_LOCK_VIOLATION) ||
        ::GetTickCount64() > until) {
      ::SetLastError(error);
      return false;
    }
    ::Sleep(10);
  }
}

}  // namespace

LoadedFile LoadFile(const std::wstring& path, std::int64_t maxBytes) {
  LoadedFile loaded;
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    loaded.kind = FileKind::Folder;
    return loaded;
  }
  Handle file(::CreateFileW(path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Get()) {
    const DWORD error = ::GetLastError();
    if (IsMissingError(error) || error == ERROR_INVALID_NAME)
      return loaded;
    loaded.kind = FileKind::Regular;
    loaded.error = error;
    return loaded;
  }
  // Consoles, pipes and devices are opened but never read: reading may block.
  if (::GetFileType(file.Get()) != FILE_TYPE_DISK) {
    loaded.kind = FileKind::Other;
    return loaded;
  }
  loaded.kind = FileKind::Regular;
  loaded.stamp = StampOfHandle(file.Get());
  if (!loaded.stamp.exists) {
    loaded.error = ::GetLastError();
    return loaded;
  }
  if (loaded.stamp.size > maxBytes) {
    loaded.tooLarge = true;
    return loaded;
  }
  // Up to one byte past the limit, in case the file grew since.
  loaded.bytes.resize(static_cast<std::size_t>(loaded.stamp.size) + 1);
  std::size_t used = 0;
  for (;;) {
    if (used == loaded.bytes.size()) {
      if (static_cast<std::int64_t>(used) > maxBytes) {
        loaded.tooLarge = true;
        loaded.bytes.clear();
        return loaded;
      }
      loaded.bytes.resize(std::min<std::size_t>(used * 2 + 4096, std::size_t(maxBytes) + 1));
    }
    DWORD got = 0;
    if (!::ReadFile(file.Get(), loaded.bytes.data() + used,
                    static_cast<DWORD>(loaded.bytes.size() - used), &got, nullptr)) {
      loaded.error = ::GetLastError();
      loaded.bytes.clear();
      return loaded;
    }
    if (got == 0)
      break;
    used += got;
  }
  loaded.bytes.resize(used);
  return loaded;
}

FileStamp StampOf(const std::wstring& path) {
  Handle file(::CreateFileW(path.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                            FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  return file.Get() ? StampOfHandle(file.Get()) : FileStamp{};
}

SaveResult SaveFileAtomically(const std::wstring& path, std::string_view bytes,
                              const FileStamp* expected) {
  const auto failed = [](DWORD error, std::string why = {}) {
    return SaveResult{Saved::Failed, error, std::move(why)};
  };
  const std::wstring target = FinalPath(path);
  const DWORD attributes = ::GetFileAttributesW(target.c_str());
  const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
  if (!exists && !IsMissingError(::GetLastError()))
    return failed(::GetLastError());
  if (exists && (attributes & FILE_ATTRIBUTE_DIRECTORY))
    return failed(0, "it is a folder");
  // A reparse point left after following links is a cloud placeholder or the
  // like (a Documents folder synced by OneDrive): a file like any other.
  if (exists && (attributes & FILE_ATTRIBUTE_DEVICE))
    return failed(0, "it is not a regular file");
  // As Explorer and every editor do: a read-only file stays unwritten.
  if (exists && (attributes & FILE_ATTRIBUTE_READONLY))
    return failed(0, "it is read-only");

  const std::size_t nameAt = NameStart(target);
  const std::wstring folder = target.substr(0, nameAt);
  RemoveStaleTemporaries(folder);
  // Short enough to stay within the name limit whatever the target's name.
  const std::wstring stem = folder + L"." + target.substr(nameAt, 100) + L".";
  std::wstring temporary;
  HANDLE created = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < 100 && created == INVALID_HANDLE_VALUE; ++attempt) {
    temporary = stem + RandomHex() + kTemporarySuffix;
    // Made in the target's folder, it takes that folder's inherited access
    // list, which is what a file there has unless someone set it by hand.
    created = ::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
    if (created == INVALID_HANDLE_VALUE && ::GetLastError() != ERROR_FILE_EXISTS)
      return failed(::GetLastError());
  }
  if (created == INVALID_HANDLE_VALUE)
    return failed(ERROR_FILE_EXISTS);
  Handle file(created);
  bool ok = WriteAll(file.Get(), bytes) && ::FlushFileBuffers(file.Get());
  DWORD error = ok ? 0 : ::GetLastError();
  ok = file.Close() && ok;
  if (ok && exists) {
    // The marks a user sets in Explorer stay with the file.
    const DWORD kept = attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
    if (kept && !::SetFileAttributesW(temporary.c_str(), kept))
      ok = false;
  }
  if (!ok && !error)
    error = ::GetLastError();
  if (ok && expected) {
    const FileStamp now = StampOf(target);
    if (now.exists ? !(now == *expected) : expected->exists) {
      ::DeleteFileW(temporary.c_str());
      return {Saved::Changed, 0, {}};
    }
  }
  if (ok && !MoveOver(temporary, target)) {
    ok = false;
    error = ::GetLastError();
  }
  if (!ok) {
    ::DeleteFileW(temporary.c_str());
    return error ? failed(error) : failed(0, "the file could not be written");
  }
  return {Saved::Done, 0, {}};
}

std::wstring SystemMessage(unsigned long error) {
  LPWSTR text = nullptr;
  const DWORD n = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
  std::wstring message = n && text ? std::wstring(text, n) : std::wstring();
  ::LocalFree(text);
  while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' ||
                              message.back() == L' ' || message.back() == L'.'))
    message.pop_back();
  if (message.empty())
    message = L"error " + std::to_wstring(error);
  return message;
}

FileLock::FileLock(const std::wstring& path, unsigned timeoutMs) {
  // Not inherited (no security attributes): a child we start must not keep
  // the lock after we end.
  const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll, nullptr,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return;
  file_ = file;
  const ULONGLONG until = ::GetTickCount64() + timeoutMs;
  for (;;) {
    OVERLAPPED at{};  // the first byte, which may lie past the end
    if (::LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
      held_ = true;
      return;
    }
    if (::GetLastError() != ERROR_LOCK_VIOLATION || ::GetTickCount64() >= until)
      return;
    ::Sleep(5);
  }
}

FileLock::~FileLock() {
  if (!file_)
    return;
  if (held_) {
    OVERLAPPED at{};
    ::UnlockFileEx(file_, 0, 1, 0, &at);
  }
  ::CloseHandle(file_);
}

NamedLock::NamedLock(std::wstring_view name, unsigned timeoutMs) {
  const std::wstring terminated(name);
  mutex_ = ::CreateMutexW(nullptr, FALSE, terminated.c_str());
  if (!mutex_) {
    held_ = true;  // nothing to share a lock through: the save goes on alone
    return;
  }
  // Abandoned: its holder ended without letting go, which is no reason to wait.
  const DWORD waited = ::WaitForSingleObject(mutex_, timeoutMs);
  held_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
  if (!held_) {
    ::CloseHandle(mutex_);
    mutex_ = nullptr;
  }
}

NamedLock::~NamedLock() {
  if (!mutex_)
    return;
  ::ReleaseMutex(mutex_);
  ::CloseHandle(mutex_);
}

std::wstring LockNameForPath(std::wstring_view path) {
  std::wstring full(path);
  const DWORD n = ::GetFullPathNameW(full.c_str(), 0, nullptr, nullptr);
  if (n > 0) {
    std::wstring buffer(n, L'\0');
    const DWORD m = ::GetFullPathNameW(full.c_str(), n, buffer.data(), nullptr);
    if (m > 0 && m < n) {
      buffer.resize(m);
      full = buffer;
    }
  }
  for (auto& c : full)
    if (c == L'/')
      c = L'\\';
  if (!full.empty())
    ::CharUpperBuffW(full.data(), static_cast<DWORD>(full.size()));
  // FNV-1a: mutex names cannot hold backslashes and have a length limit.
  std::uint64_t hash = 14695981039346656037ull;
  for (const wchar_t c : full) {
    hash ^= static_cast<std::uint16_t>(c);
    hash *= 1099511628211ull;
  }
  std::wstring hex(16, L'0');
  for (int i = 0; i < 16; ++i)
    hex[15 - i] = L"0123456789abcdef"[(hash >> (4 * i)) & 0xF];
  return L"Local\\varnholt-file-" + hex;
}

}  // namespace varnholt::win
