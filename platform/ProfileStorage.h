#pragma once

// Reading and replacing profile files on disk without ever blocking on odd
// paths (folders, FIFOs, devices) and without ever leaving a half-written
// file: a replacement is written beside the target and renamed over it.
//
// The replacement ".<name>.<16 hex digits>.save-tmp" is created exclusively
// in the target's folder with the target's permission bits (the umask's
// default for a new file) and gets the target's owner and extended
// attributes, ACLs included, before it is renamed over the target. A save
// killed halfway leaves that file behind; any save into the folder removes
// such leftovers of ours once they are a minute old. A file whose mode
// grants its owner no write permission is read-only to every user, root too.
//
// Other writers: a program that rewrites a profile in place holds flock
// (LOCK_EX) on the file while it does, as Varnholt holds it on the file from
// reading it to renaming the replacement over it (ProfileLock). A writer that
// takes no lock is noticed instead: when the file changed after it was read,
// the replacement is not renamed, so that the edit can be made again on
// top of theirs.
//
// On Windows ProfileStorageWin.cpp does the same over platform/win/WinFiles.h
// (MoveFileExW for the rename; a named lock per file for ProfileLock).

#include <QByteArray>
#include <QString>
#ifdef _WIN32
#include <memory>

namespace varnholt::win {
class NamedLock;
}
#endif

namespace varnholt::profile {

// Files larger than this are not profile files; they read as empty and are
// never rewritten, so their content cannot be lost.
inline constexpr qint64 kMaxProfileBytes = 16 * 1024 * 1024;

// What identifies one version of a file: a change by anyone changes it.
struct ProfileStamp {
  bool exists = false;
  quint64 device = 0, inode = 0;
  qint64 size = 0, modifiedNs = 0, changedNs = 0;
  bool operator==(const ProfileStamp&) const = default;
};

struct LoadedProfile {
  enum class State { Loaded, Missing, Unusable };
  // Why an unusable file is unusable, for messages that must say so.
  enum class Reason { None, Folder, NotRegularFile, TooLarge, Unreadable };
  State state = State::Missing;
  QByteArray bytes;
  Reason reason = Reason::None;
  int error = 0;       // the system's error number behind Unreadable, when there is one
  ProfileStamp stamp;  // of the version read, when Loaded
};

// Missing: nothing there (or a folder on the path is missing), so a write
// may create the file. Unusable: something is there that we cannot read as
// a regular file within the size cap.
LoadedProfile LoadProfile(const QString& path);

// Replaces the file (the final target when path is a symbolic link) with
// bytes, keeping its permission bits. Returns false, leaving the old file
// untouched, when that cannot be done, and then says why in reason (the
// system's words where the system refused).
bool ReplaceProfile(const QString& path, const QByteArray& bytes, QString* reason = nullptr);

enum class Replacement { Done, Failed, Changed };
// The same, but answers Changed, leaving the file alone, when it is no
// longer the version stamped expected.
Replacement ReplaceProfileIfUnchanged(const QString& path, const QByteArray& bytes,
                                      const ProfileStamp& expected, QString* reason = nullptr);

// The advisory lock other writers share (see above) on the file a path
// finally names, taken for the lifetime of this object. A missing file has
// nothing to lock and counts as held. Waits at most timeoutMs for another
// holder, so that a hung program cannot freeze the window.
class ProfileLock {
 public:
  explicit ProfileLock(const QString& path, int timeoutMs = 1000);
  ~ProfileLock();
  ProfileLock(const ProfileLock&) = delete;
  ProfileLock& operator=(const ProfileLock&) = delete;
  bool Held() const { return held_; }

 private:
  int fd_ = -1;
  bool held_ = false;
#ifdef _WIN32
  std::unique_ptr<win::NamedLock> lock_;
#endif
};

}  // namespace varnholt::profile
