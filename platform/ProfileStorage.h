#pragma once

// Reading and replacing profile files on disk without ever blocking on odd
// paths (folders, FIFOs, devices) and without ever leaving a half-written
// file: a replacement is written beside the target and renamed over it.

#include <QByteArray>
#include <QString>

namespace varnholt::profile {

// Files larger than this are not profile files; they read as empty and are
// never rewritten, so their content cannot be lost.
inline constexpr qint64 kMaxProfileBytes = 16 * 1024 * 1024;

struct LoadedProfile {
  enum class State { Loaded, Missing, Unusable };
  // Why an unusable file is unusable, for messages that must say so.
  enum class Reason { None, Folder, NotRegularFile, TooLarge, Unreadable };
  State state = State::Missing;
  QByteArray bytes;
  Reason reason = Reason::None;
  int error = 0;  // the system's error number behind Unreadable, when there is one
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

}  // namespace varnholt::profile
