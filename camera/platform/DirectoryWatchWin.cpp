#include <windows.h>

#include <cstdint>
#include <string>

#include "camera/platform/DirectoryWatch.h"
#include "camera/platform/directshow/Utf8.h"

namespace varnholt::platform {
namespace {

// How long a burst may keep arriving before it is reported as one change.
constexpr DWORD kSettleMs = 150;
// Names coming and going, and access changes (attributes, the access list).
constexpr DWORD kChanges = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME |
                           FILE_NOTIFY_CHANGE_ATTRIBUTES | FILE_NOTIFY_CHANGE_SECURITY;

}  // namespace

struct DirectoryWatch::Request {
  OVERLAPPED overlapped{};
  // DWORD-aligned, as the system writes its records; below 64 KiB, which
  // is the most it fills over a network share.
  alignas(DWORD) char buffer[32 * 1024];
  bool out = false;
};

std::unique_ptr<DirectoryWatch> DirectoryWatch::Start(
    const std::string& directory, std::function<bool(const std::string&)> relevant,
    std::function<void()> changed, const std::string& nested, Writes writes) {
  HANDLE folder =
      ::CreateFileW(directshow::ToUtf16(directory).c_str(), FILE_LIST_DIRECTORY,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr);
  if (folder == INVALID_HANDLE_VALUE)
    return nullptr;
  HANDLE stop = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE arrived = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (!stop || !arrived) {
    for (HANDLE h : {folder, stop, arrived})
      if (h)
        ::CloseHandle(h);
    return nullptr;
  }
  const DWORD filter =
      writes == Writes::Count ? kChanges | FILE_NOTIFY_CHANGE_LAST_WRITE : kChanges;
  std::unique_ptr<DirectoryWatch> watch(
      new DirectoryWatch(folder, stop, arrived, filter, std::move(relevant), std::move(changed)));
  // The nested path without empty parts, so that it compares with the
  // relative names the system reports.
  for (std::size_t from = 0; from < nested.size();) {
    std::size_t to = nested.find('/', from);
    if (to == std::string::npos)
      to = nested.size();
    if (to > from) {
      if (!watch->nested_.empty())
        watch->nested_ += '/';
      watch->nested_.append(nested, from, to - from);
    }
    from = to + 1;
  }
  // The first request goes out before Start returns: the system reports
  // only what changes while one is out.
  if (!watch->Ask())
    return nullptr;
  watch->thread_ = std::thread([w = watch.get()] { w->Run(); });
  return watch;
}

DirectoryWatch::DirectoryWatch(void* directory, void* stop, void* arrived, std::uint32_t filter,
                               std::function<bool(const std::string&)> relevant,
                               std::function<void()> changed)
    : request_(std::make_unique<Request>()),
      directory_(directory),
      stop_(stop),
      arrived_(arrived),
      filter_(filter),
      relevant_(std::move(relevant)),
      changed_(std::move(changed)) {}

DirectoryWatch::~DirectoryWatch() {
  ::SetEvent(stop_);
  if (thread_.joinable())
    thread_.join();
  ::CloseHandle(arrived_);
  ::CloseHandle(stop_);
  ::CloseHandle(directory_);
}

bool DirectoryWatch::Ask() {
  ::ResetEvent(arrived_);
  request_->overlapped = OVERLAPPED{};
  request_->overlapped.hEvent = arrived_;
  request_->out = ::ReadDirectoryChangesW(directory_, request_->buffer, sizeof request_->buffer,
                                          nested_.empty() ? FALSE : TRUE, filter_, nullptr,
                                          &request_->overlapped, nullptr) != FALSE;
  return request_->out;
}

void DirectoryWatch::Run() {
  bool pending = false;
  for (;;) {
    const HANDLE waits[2] = {stop_, arrived_};
    const DWORD ready = ::WaitForMultipleObjects(request_->out ? 2 : 1, waits, FALSE,
                                                 pending ? kSettleMs : INFINITE);
    if (ready == WAIT_TIMEOUT) {
      // The burst has settled.
      pending = false;
      changed_();
      continue;
    }
    if (ready != WAIT_OBJECT_0 + 1) {
      if (request_->out) {
        ::CancelIoEx(directory_, &request_->overlapped);
        DWORD ignored = 0;
        ::GetOverlappedResult(directory_, &request_->overlapped, &ignored, TRUE);
      }
      return;
    }
    DWORD length = 0;
    const bool answered =
        ::GetOverlappedResult(directory_, &request_->overlapped, &length, FALSE) != FALSE;
    // No records: more changed than the buffer held. Count it as a change.
    if (answered && length == 0)
      pending = true;
    for (DWORD at = 0; answered && length > 0;) {
      const auto* record = reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(request_->buffer + at);
      std::string name = directshow::ToUtf8(
          std::wstring_view(record->FileName, record->FileNameLength / sizeof(WCHAR)));
      for (char& c : name)
        if (c == '\\')
          c = '/';
      if (Counts(name))
        pending = true;
      if (record->NextEntryOffset == 0)
        break;
      at += record->NextEntryOffset;
    }
    // A folder that can no longer be read (removed) reports nothing more.
    Ask();
  }
}

bool DirectoryWatch::Counts(const std::string& relative) const {
  const auto slash = relative.find('/');
  if (slash == std::string::npos && relevant_(relative))
    return true;
  if (nested_.empty())
    return false;
  // A folder on the way to the nested one, or the nested folder itself.
  if (nested_.starts_with(relative) &&
      (relative.size() == nested_.size() || nested_[relative.size()] == '/'))
    return true;
  // An entry of the nested folder.
  return relative.size() > nested_.size() + 1 && relative.starts_with(nested_) &&
         relative[nested_.size()] == '/' &&
         relative.find('/', nested_.size() + 1) == std::string::npos;
}

}  // namespace varnholt::platform
