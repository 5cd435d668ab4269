#include "platform/UserLock.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QThread>

namespace varnholt {
namespace {

constexpr char kCall[] = "raise\n";
constexpr char kAnswer[] = "ok\n";

// A folder no other user can enter: ours, and no group or other access.
bool OwnedPrivately(const struct stat& facts) {
  return S_ISDIR(facts.st_mode) && facts.st_uid == ::geteuid() && (facts.st_mode & 077) == 0;
}

// The socket's address; none when the path does not fit in one.
std::optional<sockaddr_un> AddressOf(const QString& path) {
  const QByteArray name = QFile::encodeName(path);
  sockaddr_un address{};
  if (name.size() >= static_cast<qsizetype>(sizeof address.sun_path))
    return std::nullopt;
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, name.constData(), static_cast<std::size_t>(name.size()));
  return address;
}

// One caller's connection: answers each call line from the event loop.
class Connection : public QObject {
 public:
  Connection(int fd, const std::function<void()>& onCalled, QObject* parent)
      : QObject(parent), fd_(fd), onCalled_(onCalled), notifier_(fd, QSocketNotifier::Read) {
    QObject::connect(&notifier_, &QSocketNotifier::activated, this, [this] { Read(); });
  }
  ~Connection() override {
    notifier_.setEnabled(false);
    ::close(fd_);
  }

 private:
  void Read() {
    char chunk[64];
    const ssize_t n = ::recv(fd_, chunk, sizeof chunk, MSG_DONTWAIT);
    if (n < 0 && (errno == EAGAIN || errno == EINTR))
      return;
    if (n <= 0) {  // the caller has gone
      notifier_.setEnabled(false);
      deleteLater();
      return;
    }
    pending_.append(chunk, n);
    for (qsizetype end; (end = pending_.indexOf('\n')) >= 0;) {
      const QByteArray line = pending_.left(end + 1);
      pending_.remove(0, end + 1);
      if (line != kCall)
        continue;
      // Answered from the event loop, so that only a copy that serves
      // events counts as running.
      (void)::send(fd_, kAnswer, sizeof kAnswer - 1, MSG_NOSIGNAL | MSG_DONTWAIT);
      // The handler may take its time (bring the window forward): the
      // caller has its answer already.
      const auto handler = onCalled_;
      if (handler)
        handler();
    }
  }

  const int fd_;
  const std::function<void()>& onCalled_;
  QSocketNotifier notifier_;
  QByteArray pending_;
};

}  // namespace

QString UserPrivateFolder() {
  // The runtime folder the session gave us, when it is as private as it
  // should be (Qt takes one that others may enter, with a warning).
  const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
  struct stat facts {};
  if (!runtime.isEmpty() && ::stat(runtime.constData(), &facts) == 0 && OwnedPrivately(facts))
    return QFile::decodeName(runtime);
  // Else one of our own in the shared temporary folder, where anyone may
  // have made that name first: a link or another's folder is refused.
  const QString own = QDir::tempPath() + "/varnholt-" + QString::number(::geteuid());
  const QByteArray path = QFile::encodeName(own);
  if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST)
    return {};
  if (::lstat(path.constData(), &facts) != 0 || !OwnedPrivately(facts))
    return {};
  return own;
}

UserLock::UserLock(const QString& name) {
  const QString folder = UserPrivateFolder();
  if (folder.isEmpty()) {
    held_ = true;
    return;
  }
  const QString base = QDir(folder).filePath(name);
  socketPath_ = base + ".socket";
  // Close-on-exec: a child we start must not keep the lock after we end.
  // A link in the lock's place is refused, not followed.
  fd_ = ::open(QFile::encodeName(base + ".lock").constData(),
               O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd_ < 0) {
    held_ = true;
    return;
  }
  if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd_);
    fd_ = -1;
    return;
  }
  held_ = true;
  Listen();
}

void UserLock::Listen() {
  const auto address = AddressOf(socketPath_);
  if (!address)
    return;  // we still hold the lock; later starts just cannot call us
  // Only the holder gets here, so the socket file left by a dead holder is
  // ours to replace.
  ::unlink(address->sun_path);
  listenFd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (listenFd_ < 0)
    return;
  if (::bind(listenFd_, reinterpret_cast<const sockaddr*>(&*address), sizeof *address) != 0 ||
      ::chmod(address->sun_path, 0600) != 0 || ::listen(listenFd_, 8) != 0) {
    ::close(listenFd_);
    listenFd_ = -1;
    return;
  }
  server_ = std::make_unique<QObject>();
  auto* notifier = new QSocketNotifier(listenFd_, QSocketNotifier::Read, server_.get());
  QObject::connect(notifier, &QSocketNotifier::activated, server_.get(), [this] {
    for (int fd; (fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK)) >= 0;)
      new Connection(fd, onCalled_, server_.get());
  });
}

UserLock::~UserLock() {
  server_.reset();  // the connections first, then the socket they came through
  if (listenFd_ >= 0) {
    // The socket file goes while we still hold the lock.
    ::unlink(QFile::encodeName(socketPath_).constData());
    ::close(listenFd_);
  }
  if (fd_ >= 0)
    ::close(fd_);
}

bool UserLock::CallHolder(int timeoutMs) const {
  if (held_ || socketPath_.isEmpty())
    return false;
  const auto address = AddressOf(socketPath_);
  if (!address)
    return false;
  const QDeadlineTimer deadline(timeoutMs);
  for (;;) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
      return false;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&*address), sizeof *address) == 0) {
      bool answered = false;
      if (::send(fd, kCall, sizeof kCall - 1, MSG_NOSIGNAL) == sizeof kCall - 1) {
        QByteArray reply;
        while (!reply.contains('\n')) {
          pollfd wait{fd, POLLIN, 0};
          const int ready = ::poll(&wait, 1, static_cast<int>(deadline.remainingTime()));
          if (ready < 0 && errno == EINTR)
            continue;
          char chunk[16];
          const ssize_t n = ready > 0 ? ::recv(fd, chunk, sizeof chunk, 0) : 0;
          if (n <= 0)
            break;
          reply.append(chunk, n);
        }
        answered = reply == kAnswer;
      }
      ::close(fd);
      return answered;
    }
    ::close(fd);
    if (deadline.hasExpired())
      return false;
    // The holder took the lock but does not listen yet; the gap is short.
    QThread::msleep(20);
  }
}

QString OwnExecutableName() {
  QString target = QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
  // The mark the kernel adds once the executed file was replaced or removed.
  const QString deleted = QStringLiteral(" (deleted)");
  if (target.endsWith(deleted))
    target.chop(deleted.size());
  return QFileInfo(target).fileName();
}

}  // namespace varnholt
