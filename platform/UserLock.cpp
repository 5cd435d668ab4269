#include "platform/UserLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>

namespace varnholt {
namespace {

constexpr char kCall[] = "raise\n";
constexpr char kAnswer[] = "ok\n";

// A folder no other user can enter: ours, and no group or other access.
bool OwnedPrivately(const struct stat& facts) {
  return S_ISDIR(facts.st_mode) && facts.st_uid == ::geteuid() && (facts.st_mode & 077) == 0;
}

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
  // Only the holder gets here, so the socket file left by a dead holder is
  // ours to replace.
  QLocalServer::removeServer(socketPath_);
  server_ = std::make_unique<QLocalServer>();
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  if (!server_->listen(socketPath_))
    return;  // we still hold the lock; later starts just cannot call us
  QLocalServer* server = server_.get();
  QObject::connect(server, &QLocalServer::newConnection, server, [this, server] {
    while (QLocalSocket* socket = server->nextPendingConnection()) {
      QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
      QObject::connect(socket, &QLocalSocket::readyRead, socket, [this, socket] {
        while (socket->canReadLine()) {
          if (socket->readLine() != kCall)
            continue;
          // Answered from the event loop, so that only a copy that serves
          // events counts as running.
          socket->write(kAnswer);
          socket->flush();
          if (onCalled_)
            onCalled_();
        }
      });
    }
  });
}

UserLock::~UserLock() {
  if (server_) {
    server_->close();  // removes the socket file while we still hold the lock
    server_.reset();
  }
  if (fd_ >= 0)
    ::close(fd_);
}

bool UserLock::CallHolder(int timeoutMs) const {
  if (held_ || socketPath_.isEmpty())
    return false;
  const QDeadlineTimer deadline(timeoutMs);
  for (;;) {
    QLocalSocket socket;
    socket.connectToServer(socketPath_);
    if (socket.waitForConnected(static_cast<int>(deadline.remainingTime()))) {
      socket.write(kCall);
      while (!socket.canReadLine())
        if (!socket.waitForReadyRead(static_cast<int>(deadline.remainingTime())))
          return false;
      return socket.readLine() == kAnswer;
    }
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
