#pragma once

// A lock that at most one process of this user holds under a given name,
// and a line to its holder.
//
// Both live in a folder only that user can open (UserPrivateFolder):
// an flock'ed file decides who holds the lock, and the holder listens on a
// local socket beside it so that later starts can call it forward. The
// kernel drops the flock when the holder's process ends however it ends,
// so a killed holder leaves nothing that keeps the next start out; the
// socket file it leaves is replaced by the next holder. When there is no
// private folder to use, the lock counts as held: better two copies than
// none.
//
// On Windows (UserLockWin.cpp) the same roles: LockFileEx on
// %LOCALAPPDATA%\Varnholt\<name>.lock decides, and the holder listens on a
// named pipe of this user (platform/win/WinCallPipe.h), served from the
// event loop.

#include <QString>
#include <functional>
#include <memory>

class QObject;

namespace varnholt {
#ifdef _WIN32
namespace win {
class FileLock;
class CallListener;
}  // namespace win
#endif

class UserLock {
 public:
  explicit UserLock(const QString& name);
  ~UserLock();
  UserLock(const UserLock&) = delete;
  UserLock& operator=(const UserLock&) = delete;

  bool Held() const { return held_; }

  // Asks the holder to come forward; answers whether it acknowledged within
  // timeoutMs. The holder answers from its event loop, so a stopped or hung
  // holder does not; one that has just taken the lock may not be listening
  // yet, or still be starting up, hence the generous wait.
  bool CallHolder(int timeoutMs = 5000) const;

  // Runs in the holder, from its event loop, for each delivered request.
  void SetOnCalled(std::function<void()> handler) { onCalled_ = std::move(handler); }

 private:
  void Listen();

  QString socketPath_;
  int fd_ = -1;
  bool held_ = false;
  // The listening socket and its connections, served from the event loop.
  // Plain Unix sockets: Qt's network library and its own would otherwise
  // be loaded at every start for this one line.
  int listenFd_ = -1;
  std::unique_ptr<QObject> server_;
  std::function<void()> onCalled_;
#ifdef _WIN32
  std::unique_ptr<win::FileLock> fileLock_;
  std::unique_ptr<win::CallListener> listener_;
#endif
};

// A folder only this user can open: $XDG_RUNTIME_DIR when it is this
// user's and closed to others, else $TMPDIR/varnholt-UID, made with mode 0700
// and checked the same way; empty when neither can be trusted. On Windows
// %LOCALAPPDATA%\Varnholt, closed to other users by the profile's own access list.
QString UserPrivateFolder();

// The file name of this process's executable, as the kernel recorded it.
QString OwnExecutableName();

}  // namespace varnholt
