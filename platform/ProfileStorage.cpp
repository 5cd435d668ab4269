#include "platform/ProfileStorage.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <QFile>
#include <QRandomGenerator>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <ctime>
#include <optional>
#include <thread>

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

constexpr char kTemporarySuffix[] = ".save-tmp";
constexpr qsizetype kTemporaryHexDigits = 16;

// ".<name>.<16 hex digits>.save-tmp": the replacement files only we make.
bool IsOurTemporaryName(const char* name) {
  const QByteArray text(name);
  const qsizetype suffix = sizeof kTemporarySuffix - 1;
  const qsizetype dot = text.size() - suffix - kTemporaryHexDigits - 1;
  if (!text.startsWith('.') || !text.endsWith(kTemporarySuffix) || dot < 2 || text[dot] != '.')
    return false;
  for (qsizetype i = dot + 1; i < dot + 1 + kTemporaryHexDigits; ++i) {
    const char c = text[i];
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
      return false;
  }
  return true;
}

QByteArray FolderOf(const QByteArray& target) {
  const qsizetype slash = target.lastIndexOf('/');
  return slash < 0 ? QByteArray(".") : target.left(slash + 1);
}

// Leftovers of saves killed halfway: ours, regular files of this user, and
// old enough that no save still running can own them.
void RemoveStaleTemporaries(const QByteArray& target) {
  DIR* folder = ::opendir(FolderOf(target).constData());
  if (!folder)
    return;
  const time_t before = ::time(nullptr) - 60;
  while (const dirent* entry = ::readdir(folder)) {
    if (!IsOurTemporaryName(entry->d_name))
      continue;
    struct stat st;
    if (::fstatat(::dirfd(folder), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISREG(st.st_mode) && st.st_uid == ::geteuid() && st.st_mtime < before)
      ::unlinkat(::dirfd(folder), entry->d_name, 0);
  }
  ::closedir(folder);
}

// A new, exclusively created file beside target; -1 on failure.
int CreateSibling(const QByteArray& target, mode_t mode, QByteArray& name) {
  const qsizetype slash = target.lastIndexOf('/');
  // Short enough to stay within the name limit whatever the target's name.
  const QByteArray stem = target.left(slash + 1) + '.' + target.mid(slash + 1).left(100);
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = stem + '.' +
           QByteArray::number(QRandomGenerator::global()->generate64(), 16)
               .rightJustified(kTemporaryHexDigits, '0') +
           kTemporarySuffix;
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd >= 0 || errno != EEXIST)
      return fd;
  }
  return -1;
}

// Copies every extended attribute of the file at from onto fd: user
// attributes, ACLs (system.posix_acl_*), security labels. Those this process
// may not set (trusted.* unless privileged) or the file system cannot hold
// are left out; any other failure fails the save.
bool CopyAttributes(const QByteArray& from, int fd) {
  ssize_t size = ::listxattr(from.constData(), nullptr, 0);
  if (size < 0)
    return errno == ENOTSUP;
  QByteArray names(size, '\0');
  size = ::listxattr(from.constData(), names.data(), names.size());
  if (size < 0)
    return false;
  names.resize(size);
  for (qsizetype at = 0; at < names.size();) {
    const char* name = names.constData() + at;
    at += qsizetype(std::strlen(name)) + 1;
    const ssize_t length = ::getxattr(from.constData(), name, nullptr, 0);
    if (length < 0)
      continue;  // removed meanwhile
    QByteArray value(length, '\0');
    const ssize_t got = ::getxattr(from.constData(), name, value.data(), value.size());
    if (got < 0)
      continue;
    if (::fsetxattr(fd, name, value.constData(), got, 0) != 0 && errno != EPERM && errno != ENOTSUP)
      return false;
  }
  return true;
}

ProfileStamp StampOf(const struct stat& st) {
  return {true,
          quint64(st.st_dev),
          quint64(st.st_ino),
          qint64(st.st_size),
          qint64(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec,
          qint64(st.st_ctim.tv_sec) * 1'000'000'000 + st.st_ctim.tv_nsec};
}

void SyncFolderOf(const QByteArray& target) {
  const int fd = ::open(FolderOf(target).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
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
    return LoadedProfile{State::Unusable, {}, reason, reason == Reason::Unreadable ? errno : 0, {}};
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
    return LoadedProfile{State::Unusable, {}, Reason::Unreadable, 0, {}};
  if (native->isEmpty())
    return {State::Missing, {}, Reason::None, 0, {}};
  // Check the type before opening: opening a FIFO or a device may block or
  // have side effects.
  struct stat st;
  if (::stat(native->constData(), &st) != 0) {
    if (errno == ENOENT || errno == ENOTDIR)
      return {State::Missing, {}, Reason::None, 0, {}};
    return unusable(Reason::Unreadable);
  }
  if (!S_ISREG(st.st_mode) || st.st_size > kMaxProfileBytes)
    return unusableKind(st);

  FileDescriptor fd(::open(native->constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  if (fd.Get() < 0) {
    if (errno == ENOENT)
      return {State::Missing, {}, Reason::None, 0, {}};
    return unusable(Reason::Unreadable);
  }
  // The path may have been swapped between stat and open.
  if (::fstat(fd.Get(), &st) != 0)
    return unusable(Reason::Unreadable);
  if (!S_ISREG(st.st_mode) || st.st_size > kMaxProfileBytes)
    return unusableKind(st);
  LoadedProfile loaded{State::Loaded, {}, Reason::None, 0, {}};
  loaded.stamp = StampOf(st);
  loaded.bytes.reserve(st.st_size + 1);
  if (!ReadAll(fd.Get(), loaded.bytes))
    return unusable(loaded.bytes.size() > kMaxProfileBytes ? Reason::TooLarge : Reason::Unreadable);
  return loaded;
}

namespace {

Replacement Replace(const QString& path, const QByteArray& bytes, const ProfileStamp* expected,
                    QString* reason) {
  const auto fail = [reason](const QString& why) {
    if (reason)
      *reason = why;
    return Replacement::Failed;
  };
  const auto failSystem = [&fail] { return fail(qt_error_string(errno)); };
  const auto native = NativePath(path);
  if (!native)
    return fail(QStringLiteral("the name holds a NUL character"));
  if (native->isEmpty())
    return fail(QStringLiteral("no file is named"));
  // A file the next read would refuse must never be written.
  if (bytes.size() > kMaxProfileBytes)
    return fail(QStringLiteral("it would grow larger than 16 MiB"));
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
  // A read-only file stays unwritten, as on Windows, for root as well.
  if (exists && (st.st_mode & S_IWUSR) == 0)
    return fail(QStringLiteral("it is read-only"));
  if (exists && ::access(target->constData(), W_OK) != 0)
    return failSystem();

  RemoveStaleTemporaries(*target);
  QByteArray temporary;
  // Never more open than the final file, not even for a moment.
  FileDescriptor fd(CreateSibling(*target, exists ? (st.st_mode & 0777) : 0666, temporary));
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
    // The mode before the ACLs: setting the access ACL sets the group bits.
    ok = ::fchmod(fd.Get(), st.st_mode & 07777) == 0 && CopyAttributes(*target, fd.Get());
  }
  ok = ok && ::fsync(fd.Get()) == 0;
  ok = fd.Close() && ok;
  if (ok && expected) {
    struct stat now;
    const bool present = ::stat(target->constData(), &now) == 0;
    if (present ? !(StampOf(now) == *expected) : expected->exists) {
      ::unlink(temporary.constData());
      return Replacement::Changed;
    }
  }
  if (!ok || ::rename(temporary.constData(), target->constData()) != 0) {
    const int error = errno;
    ::unlink(temporary.constData());
    return fail(error ? qt_error_string(error) : QStringLiteral("the file could not be written"));
  }
  SyncFolderOf(*target);
  return Replacement::Done;
}

}  // namespace

bool ReplaceProfile(const QString& path, const QByteArray& bytes, QString* reason) {
  return Replace(path, bytes, nullptr, reason) == Replacement::Done;
}

Replacement ReplaceProfileIfUnchanged(const QString& path, const QByteArray& bytes,
                                      const ProfileStamp& expected, QString* reason) {
  return Replace(path, bytes, &expected, reason);
}

ProfileLock::ProfileLock(const QString& path, int timeoutMs) {
  const auto native = NativePath(path);
  const auto target = native ? FinalTarget(*native) : std::nullopt;
  if (!target || target->isEmpty()) {
    held_ = true;  // the write itself reports what is wrong with the name
    return;
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    fd_ = ::open(target->constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    struct stat locked;
    if (fd_ < 0 || ::fstat(fd_, &locked) != 0 || !S_ISREG(locked.st_mode)) {
      held_ = true;  // nothing there to lock, or nothing a save will replace
      return;
    }
    while (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
      if ((errno != EWOULDBLOCK && errno != EINTR) || std::chrono::steady_clock::now() > deadline)
        return;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    // The holder before us may have renamed a new file over the one we locked.
    struct stat now;
    if (::stat(target->constData(), &now) != 0 ||
        (now.st_dev == locked.st_dev && now.st_ino == locked.st_ino)) {
      held_ = true;
      return;
    }
    ::close(fd_);
    fd_ = -1;
  }
}

ProfileLock::~ProfileLock() {
  if (fd_ >= 0)
    ::close(fd_);
}

}  // namespace varnholt::profile
