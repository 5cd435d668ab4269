#include "camera/platform/virtual/DeviceLock.h"

#ifdef _WIN32
#include "platform/win/WinFiles.h"
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif
#include <QDir>
#include <QFileInfo>
#include <cerrno>

namespace varnholt::platform::virtualcam {

HResult DeviceLock::Acquire(const VirtualCamera& camera, std::unique_ptr<DeviceLock>& lock) {
  const QString path = camera.State().Path() + ".stream";
  if (!QDir().mkpath(QFileInfo(path).absolutePath()))
    return hr::AccessDenied;
#ifdef _WIN32
  // A file lock of its own per Acquire refuses a second holder in this
  // process too, as flock does.
  auto fileLock = std::make_unique<win::FileLock>(QDir::toNativeSeparators(path).toStdWString());
  if (!fileLock->Opened())
    return hr::AccessDenied;
  if (!fileLock->Held())
    return hr::Busy;
  lock.reset(new DeviceLock(std::move(fileLock)));
  return hr::Ok;
#else
  // Every Acquire opens the file anew: flock then refuses a second holder in
  // this process too, and close-on-exec keeps child programs from holding it.
  // A link planted in its place is refused, not followed to create or lock
  // a file elsewhere.
  const int fd =
      ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0)
    return hr::AccessDenied;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    ::close(fd);
    return error == EWOULDBLOCK ? hr::Busy : hr::AccessDenied;
  }
  lock.reset(new DeviceLock(fd));
  return hr::Ok;
#endif
}

#ifdef _WIN32
DeviceLock::DeviceLock(std::unique_ptr<win::FileLock> lock) : lock_(std::move(lock)) {}
DeviceLock::~DeviceLock() = default;
#else
DeviceLock::~DeviceLock() {
  ::close(fd_);  // closing the only descriptor releases the lock
}
#endif

}  // namespace varnholt::platform::virtualcam
