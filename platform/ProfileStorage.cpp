#include "platform/ProfileStorage.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QFile>
#include <QRandomGenerator>
#include <cerrno>
#include <climits>
#include <optional>

namespace varnholt::profile {
namespace {

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0)
      ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int Get() const { return fd_; }
  // Closes now, reporting the error a delayed write may only show here.
  bool Close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

// A path with an embedded NUL would silently name another file.
std::optional<QByteArray> NativePath(const QString& path) {
  QByteArray native = QFile::encodeName(path);
  if (native.contains('\0'))
    return std::nullopt;
  return native;
}

bool ReadAll(int fd, QByteArray& out) {
  constexpr qsizetype kChunk = 64 * 1024;
  for (;;) {
    if (out.size() > kMaxProfileBytes)
      return false;
    const qsizetype used = out.size();
    out.resize(used + kChunk);
    const ssize_t n = ::read(fd, out.data() + used, kChunk);
    out.resize(used + (n > 0 ? n : 0));
    if (n == 0)
      return true;
    if (n < 0 && errno != EINTR)
      return false;
  }
}

bool WriteAll(int fd, const QByteArray& bytes) {
  const char* data = bytes.constData();
  qsizetype left = bytes.size();
  while (left > 0) {
    const ssize_t n = ::write(fd, data, left);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return false;
    data += n;
    left -= n;
  }
  return true;
}

// Follows symbolic links to the file they finally name, which may not exist yet.
std::optional<QByteArray> FinalTarget(QByteArray path) {
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st;
    if (::lstat(path.constData(), &st) != 0 || !S_ISLNK(st.st_mode))
      return path;
    QByteArray target(PATH_MAX, '\0');
    const ssize_t n = ::readlink(path.constData(), target.data(), target.size());
    if (n < 0 || n >= target.size())
      return std::nullopt;
    target.resize(n);
    if (!target.startsWith('/'))
      target.prepend(path.left(path.lastIndexOf('/') + 1));
    path = target;
  }
  return std::nullopt;
}

// A new, exclusively created file beside target; -1 on failure.
int CreateSibling(const QByteArray& target, mode_t mode, QByteArray& name) {
  const qsizetype slash = target.lastIndexOf('/');
  // Short enough to stay within the name limit whatever the target's name.
  const QByteArray stem = target.left(slash + 1) + '.' + target.mid(slash + 1).left(100);
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = stem + '.' + QByteArray::number(QRandomGenerator::global()->generate(), 16);
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd >= 0 || errno != EEXIST)
      return fd;
  }
  return -1;
}

void SyncFolderOf(const QByteArray& target) {
  const qsizetype slash = target.lastIndexOf('/');
  const QByteArray folder = slash < 0 ? QByteArray(".") : target.left(slash + 1);
  const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0)
    return;
  ::fsync(fd);  // durability only; the rename has already happened
  ::close(fd);
}

}  // namespace

LoadedProfile LoadProfile(const QString& path) {
  using State = LoadedProfile::State;
  using Reason = LoadedProfile::Reason;
  const auto unusable = [](Reason reason) {
    return LoadedProfile{State::Unusable, {}, reason, reason == Reason::Unreadable ? errno : 0};
  };
  const auto unusableKind = [&](const struct stat& st) {
    if (S_ISDIR(st.st_mode))
      return unusable(Reason::Folder);
    if (!S_ISREG(st.st_mode))
      return unusable(Reason::NotRegularFile);
    return unusable(Reason::TooLarge);
  };
  const auto native = NativePath(path);
  if (!native)
    return LoadedProfile{State::Unusable, {}, Reason::Unreadable};
  if (native->isEmpty())
    return {State::Missing, {}};
  // Check the type before opening: opening a FIFO or a device may block or
  // have side effects.
  struct stat st;
  if (::stat(native->constData(), &st) != 0) {
    if (errno == ENOENT || errno == ENOTDIR)
      return {State::Missing, {}};
    return unusable(Reason::Unreadable);
  }
  if (!S_ISREG(st.st_mode) || st.st_size > kMaxProfileBytes)
    return unusableKind(st);

  FileDescriptor fd(::open(native->constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  if (fd.Get() < 0) {
    if (errno == ENOENT)
      return {State::Missing, {}};
    return unusable(Reason::Unreadable);
  }
  // The path may have been swapped between stat and open.
  if (::fstat(fd.Get(), &st) != 0)
    return unusable(Reason::Unreadable);
  if (!S_ISREG(st.st_mode) || st.st_size > kMaxProfileBytes)
    return unusableKind(st);
  LoadedProfile loaded{State::Loaded, {}};
  loaded.bytes.reserve(st.st_size + 1);
  if (!ReadAll(fd.Get(), loaded.bytes))
    return unusable(loaded.bytes.size() > kMaxProfileBytes ? Reason::TooLarge : Reason::Unreadable);
  return loaded;
}

bool ReplaceProfile(const QString& path, const QByteArray& bytes, QString* reason) {
  const auto fail = [reason](const QString& why) {
    if (reason)
      *reason = why;
    return false;
  };
  const auto failSystem = [&fail] { return fail(qt_error_string(errno)); };
  const auto native = NativePath(path);
  if (!native)
    return fail(QStringLiteral("the name holds a NUL character"));
  if (native->isEmpty())
    return fail(QStringLiteral("no file is named"));
  errno = 0;
  const auto target = FinalTarget(*native);
  if (!target)
    return errno ? failSystem() : fail(QStringLiteral("too many symbolic links"));

  struct stat st;
  const bool exists = ::stat(target->constData(), &st) == 0;
  if (!exists && errno != ENOENT)
    return failSystem();
  if (exists && !S_ISREG(st.st_mode))
    return fail(S_ISDIR(st.st_mode) ? QStringLiteral("it is a folder")
                                    : QStringLiteral("it is not a regular file"));
  // A read-only file stays unwritten, as on Windows.
  if (exists && ::access(target->constData(), W_OK) != 0)
    return failSystem();

  QByteArray temporary;
  FileDescriptor fd(CreateSibling(*target, exists ? 0600 : 0666, temporary));
  if (fd.Get() < 0)
    return failSystem();
  errno = 0;
  bool ok = WriteAll(fd.Get(), bytes);
  if (ok && exists) {
    // Ownership first: changing it may clear mode bits set before.
    if ((st.st_uid != ::geteuid() || st.st_gid != ::getegid()) &&
        ::fchown(fd.Get(), st.st_uid, st.st_gid) != 0) {
      // Only a privileged process can hand the file back; others keep theirs.
    }
    ok = ::fchmod(fd.Get(), st.st_mode & 07777) == 0;
  }
  ok = ok && ::fsync(fd.Get()) == 0;
  ok = fd.Close() && ok;
  if (!ok || ::rename(temporary.constData(), target->constData()) != 0) {
    const int error = errno;
    ::unlink(temporary.constData());
    return fail(error ? qt_error_string(error) : QStringLiteral("the file could not be written"));
  }
  SyncFolderOf(*target);
  return true;
}

}  // namespace varnholt::profile
