#pragma once

// Reading and atomically replacing small files, and the locks around them,
// in Win32 terms. Qt-free; platform/ProfileStorageWin.cpp builds the
// profile storage of the Windows build on it.
//
// A replacement is written beside the target as
// ".<name>.<16 hex digits>.save-tmp", flushed to the disk and moved over the
// target with MoveFileExW(MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH):
// one rename, so a reader finds the old file or the new one, never neither
// and never a part. Files are opened sharing read, write and delete, so that
// our own reads never block another program's save; a virus scanner or
// indexer holding the target for a moment is waited for briefly.

#include <cstdint>
#include <string>
#include <string_view>

namespace varnholt::win {

// What identifies one version of a file; any change to it changes this.
struct FileStamp {
  bool exists = false;
  std::uint64_t volume = 0, index = 0;
  std::int64_t size = 0;
  std::int64_t written = 0, changed = 0;  // FILETIME units (100 ns)
  bool operator==(const FileStamp&) const = default;
};

enum class FileKind { Missing, Regular, Folder, Other };

struct LoadedFile {
  FileKind kind = FileKind::Missing;
  bool tooLarge = false;    // a regular file above the limit: not read
  unsigned long error = 0;  // the system's error code when reading failed
  std::string bytes;
  FileStamp stamp;
};

// Reads the file at path when it is a regular disk file of at most maxBytes.
// A missing file or folder on the way is Missing; a folder is Folder; a
// device or pipe ("CON", "\\\\.\\pipe\\x") is Other and never read.
LoadedFile LoadFile(const std::wstring& path, std::int64_t maxBytes);

// The stamp of the file at path now; exists is false when there is none.
FileStamp StampOf(const std::wstring& path);

enum class Saved { Done, Failed, Changed };
struct SaveResult {
  Saved outcome = Saved::Failed;
  unsigned long error = 0;  // the system's error code, when it refused
  std::string why;          // our own reason when there is no system code
};

// Replaces the file at path (the file a link finally names) with bytes, or
// leaves it as it was. With expected, answers Changed and leaves the file
// alone when it is no longer that version. A read-only or system target is
// refused. Leftover replacements of killed saves older than a minute are
// removed from the folder on the way.
SaveResult SaveFileAtomically(const std::wstring& path, std::string_view bytes,
                              const FileStamp* expected = nullptr);

// The system's text for an error code, without the trailing line break.
std::wstring SystemMessage(unsigned long error);

// An exclusive LockFileEx lock on the file at path (made when missing), held
// for this object's life. The system drops it when the process ends however
// it ends, so a killed holder never keeps the next one out.
class FileLock {
 public:
  // Waits up to timeoutMs for another holder to let go (0: not at all).
  explicit FileLock(const std::wstring& path, unsigned timeoutMs = 0);
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  bool Opened() const { return file_ != nullptr; }
  bool Held() const { return held_; }

 private:
  void* file_ = nullptr;
  bool held_ = false;
};

// A lock by name between the processes of this session: a named mutex, which
// the system hands on when its holder ends. For files whose own lock would
// stop them from being replaced (Windows refuses to rename over a file that
// is open). Acquire and release happen on the constructing thread.
class NamedLock {
 public:
  NamedLock(std::wstring_view name, unsigned timeoutMs);
  ~NamedLock();
  NamedLock(const NamedLock&) = delete;
  NamedLock& operator=(const NamedLock&) = delete;
  bool Held() const { return held_; }

 private:
  void* mutex_ = nullptr;
  bool held_ = false;
};

// A name for NamedLock from a file path: the same for every spelling of the
// path that differs only in case, within "Local\\".
std::wstring LockNameForPath(std::wstring_view path);

}  // namespace varnholt::win
