// UserLock on Windows (UserLock.h): the Linux flock and socket become
// LockFileEx on a file in the user's private folder and a named pipe of
// this user, both in platform/win/. Built instead of UserLock.cpp on WIN32.

#include <QDir>
#include <QWinEventNotifier>

#include "platform/UserLock.h"
#include "platform/win/WinCallPipe.h"
#include "platform/win/WinFiles.h"
#include "platform/win/WinFolders.h"
#include "platform/win/WinProcesses.h"

namespace varnholt {

QString UserPrivateFolder() {
  return QDir::fromNativeSeparators(QString::fromStdWString(win::PrivateFolder()));
}

UserLock::UserLock(const QString& name) {
  const std::wstring folder = win::PrivateFolder();
  if (folder.empty()) {
    held_ = true;
    return;
  }
  // The pipe's name stands where the socket's path does on Linux.
  socketPath_ = QString::fromStdWString(win::CallPipeName(name.toStdWString()));
  fileLock_ = std::make_unique<win::FileLock>(folder + L"\\" + name.toStdWString() + L".lock");
  if (!fileLock_->Opened()) {
    held_ = true;
    return;
  }
  if (!fileLock_->Held())
    return;
  held_ = true;
  Listen();
}

void UserLock::Listen() {
  if (socketPath_.isEmpty())
    return;  // we still hold the lock; later starts just cannot call us
  listener_ = std::make_unique<win::CallListener>(socketPath_.toStdWString());
  if (!listener_->Listening()) {
    listener_.reset();
    return;
  }
  server_ = std::make_unique<QObject>();
  auto* notifier = new QWinEventNotifier(listener_->Event(), server_.get());
  QObject::connect(notifier, &QWinEventNotifier::activated, server_.get(), [this] {
    // The handler may take its time (bring the window forward): the
    // caller has its answer already.
    const auto handler = onCalled_;
    listener_->Serve(handler);
  });
}

UserLock::~UserLock() {
  server_.reset();  // the notifier first, then the pipe it waits on
  listener_.reset();
  fileLock_.reset();  // the lock last, as the socket goes before it on Linux
}

bool UserLock::CallHolder(int timeoutMs) const {
  if (held_ || socketPath_.isEmpty())
    return false;
  // A lock named after our executable (the single copy) is held by another
  // process of that name: when the snapshot shows none besides us, the
  // holder has ended and its pipe will not come.
  const std::wstring self = win::FileNameOf(win::OwnExecutablePath());
  const bool namedAfterUs =
      socketPath_.endsWith(QLatin1Char('-') + QString::fromStdWString(self), Qt::CaseInsensitive);
  const auto holderGone = [self, namedAfterUs] {
    return namedAfterUs && win::ProcessIdsNamed(self).size() <= 1;
  };
  return win::CallRunningCopy(socketPath_.toStdWString(), static_cast<unsigned>(timeoutMs),
                              holderGone);
}

QString OwnExecutableName() {
  return QString::fromStdWString(win::FileNameOf(win::OwnExecutablePath()));
}

}  // namespace varnholt
