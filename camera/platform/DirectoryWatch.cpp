#include "camera/platform/DirectoryWatch.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace varnholt::platform {
namespace {

// How long a burst may keep arriving before it is reported as one change.
constexpr int kSettleMs = 150;

}  // namespace

std::unique_ptr<DirectoryWatch> DirectoryWatch::Start(
    const std::string& directory, std::function<bool(const std::string&)> relevant,
    std::function<void()> changed) {
  const int inotifyFd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (inotifyFd < 0)
    return nullptr;
  if (::inotify_add_watch(
          inotifyFd, directory.c_str(),
          IN_CREATE | IN_DELETE | IN_MOVED_TO | IN_MOVED_FROM | IN_ATTRIB | IN_CLOSE_WRITE) < 0) {
    ::close(inotifyFd);
    return nullptr;
  }
  const int stopFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (stopFd < 0) {
    ::close(inotifyFd);
    return nullptr;
  }
  std::unique_ptr<DirectoryWatch> watch(
      new DirectoryWatch(inotifyFd, stopFd, std::move(relevant), std::move(changed)));
  watch->thread_ = std::thread([w = watch.get()] { w->Run(); });
  return watch;
}

DirectoryWatch::DirectoryWatch(int inotifyFd, int stopFd,
                               std::function<bool(const std::string&)> relevant,
                               std::function<void()> changed)
    : inotifyFd_(inotifyFd),
      stopFd_(stopFd),
      relevant_(std::move(relevant)),
      changed_(std::move(changed)) {}

DirectoryWatch::~DirectoryWatch() {
  const std::uint64_t one = 1;
  [[maybe_unused]] const ssize_t n = ::write(stopFd_, &one, sizeof one);
  if (thread_.joinable())
    thread_.join();
  ::close(stopFd_);
  ::close(inotifyFd_);
}

void DirectoryWatch::Run() {
  alignas(inotify_event) char buffer[4096];
  bool pending = false;
  for (;;) {
    pollfd fds[2] = {{stopFd_, POLLIN, 0}, {inotifyFd_, POLLIN, 0}};
    const int ready = ::poll(fds, 2, pending ? kSettleMs : -1);
    if (ready < 0 && errno == EINTR)
      continue;
    if (ready < 0 || (fds[0].revents & POLLIN))
      return;
    if (ready == 0) {
      // The burst has settled.
      pending = false;
      changed_();
      continue;
    }
    for (;;) {
      const ssize_t length = ::read(inotifyFd_, buffer, sizeof buffer);
      if (length <= 0)
        break;
      for (ssize_t at = 0; at < length;) {
        const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
        // An overflowed queue lost events: count it as a change.
        if ((event->mask & IN_Q_OVERFLOW) || (event->len > 0 && relevant_(event->name)))
          pending = true;
        at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      }
    }
  }
}

}  // namespace varnholt::platform
