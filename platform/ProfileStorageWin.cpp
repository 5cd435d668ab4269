// The profile storage on Windows (ProfileStorage.h), over platform/win/:
// the same answers and messages as the Linux ProfileStorage.cpp, which it
// replaces on WIN32. What differs: the replacement takes the folder's
// inherited access list (not a copy of the old file's own), the hidden mark
// is kept, and ProfileLock is a named lock of this session rather than a
// lock on the file itself, because Windows refuses to rename over an open file.

#include <QFile>

#include "platform/ProfileStorage.h"
#include "platform/win/WinFiles.h"

namespace varnholt::profile {
namespace {

// A path with an embedded NUL would silently name another file.
bool HasNul(const QString& path) {
  return path.contains(QChar(u'\0'));
}

std::wstring Native(const QString& path) {
  return path.toStdWString();
}

ProfileStamp FromWin(const win::FileStamp& stamp) {
  // FILETIME counts 100 ns steps.
  return {stamp.exists, stamp.volume,        stamp.index,
          stamp.size,   stamp.written * 100, stamp.changed * 100};
}

win::FileStamp ToWin(const ProfileStamp& stamp) {
  return {stamp.exists, stamp.device,           stamp.inode,
          stamp.size,   stamp.modifiedNs / 100, stamp.changedNs / 100};
}

Replacement Replace(const QString& path, const QByteArray& bytes, const ProfileStamp* expected,
                    QString* reason) {
  const auto fail = [reason](const QString& why) {
    if (reason)
      *reason = why;
    return Replacement::Failed;
  };
  if (HasNul(path))
    return fail(QStringLiteral("the name holds a NUL character"));
  if (path.isEmpty())
    return fail(QStringLiteral("no file is named"));
  // A file the next read would refuse must never be written.
  if (bytes.size() > kMaxProfileBytes)
    return fail(QStringLiteral("it would grow larger than 16 MiB"));
  const win::FileStamp stamp = expected ? ToWin(*expected) : win::FileStamp{};
  const win::SaveResult result = win::SaveFileAtomically(
      Native(path), std::string_view(bytes.constData(), std::size_t(bytes.size())),
      expected ? &stamp : nullptr);
  switch (result.outcome) {
    case win::Saved::Done:
      return Replacement::Done;
    case win::Saved::Changed:
      return Replacement::Changed;
    case win::Saved::Failed:
      break;
  }
  return fail(result.error ? QString::fromStdWString(win::SystemMessage(result.error))
                           : QString::fromStdString(result.why));
}

}  // namespace

LoadedProfile LoadProfile(const QString& path) {
  using State = LoadedProfile::State;
  using Reason = LoadedProfile::Reason;
  if (HasNul(path))
    return LoadedProfile{State::Unusable, {}, Reason::Unreadable, 0, {}};
  if (path.isEmpty())
    return {State::Missing, {}, Reason::None, 0, {}};
  win::LoadedFile file = win::LoadFile(Native(path), kMaxProfileBytes);
  const auto unusable = [&file](Reason reason) {
    return LoadedProfile{State::Unusable, {}, reason, int(file.error), {}};
  };
  switch (file.kind) {
    case win::FileKind::Missing:
      return {State::Missing, {}, Reason::None, 0, {}};
    case win::FileKind::Folder:
      return unusable(Reason::Folder);
    case win::FileKind::Other:
      return unusable(Reason::NotRegularFile);
    case win::FileKind::Regular:
      break;
  }
  if (file.tooLarge)
    return unusable(Reason::TooLarge);
  if (file.error)
    return unusable(Reason::Unreadable);
  LoadedProfile loaded{State::Loaded, {}, Reason::None, 0, FromWin(file.stamp)};
  loaded.bytes = QByteArray(file.bytes.data(), qsizetype(file.bytes.size()));
  return loaded;
}

bool ReplaceProfile(const QString& path, const QByteArray& bytes, QString* reason) {
  return Replace(path, bytes, nullptr, reason) == Replacement::Done;
}

Replacement ReplaceProfileIfUnchanged(const QString& path, const QByteArray& bytes,
                                      const ProfileStamp& expected, QString* reason) {
  return Replace(path, bytes, &expected, reason);
}

// fd_ stays unused here: the named lock lives in lock_ (ProfileStorage.h).
ProfileLock::ProfileLock(const QString& path, int timeoutMs) {
  if (path.isEmpty() || HasNul(path)) {
    held_ = true;  // the write itself reports what is wrong with the name
    return;
  }
  lock_ = std::make_unique<win::NamedLock>(win::LockNameForPath(path.toStdWString()),
                                           static_cast<unsigned>(timeoutMs));
  held_ = lock_->Held();
}

ProfileLock::~ProfileLock() = default;

}  // namespace varnholt::profile
