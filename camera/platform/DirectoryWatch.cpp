#include "camera/platform/DirectoryWatch.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <string>

namespace varnholt::platform {
namespace {

// How long a burst may keep arriving before it is reported as one change.
constexpr int kSettleMs = 150;
constexpr std::uint32_t kEvents = IN_CREATE | IN_DELETE | IN_MOVED_TO | IN_MOVED_FROM | IN_ATTRIB;

}  // namespace

std::unique_ptr<DirectoryWatch> DirectoryWatch::Start(
    const std::string& directory, std::function<bool(const std::string&)> relevant,
    std::function<void()> changed, const std::string& nested, Writes writes) {
  const std::uint32_t events = writes == Writes::Count ? kEvents | IN_CLOSE_WRITE : kEvents;
  const int inotifyFd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (inotifyFd < 0)
    return nullptr;
  const int wd = ::inotify_add_watch(inotifyFd, directory.c_str(), events);
  if (wd < 0) {
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
  watch->events_ = events;
  watch->chain_.push_back(directory);
  watch->watches_.push_back(wd);
  std::string path = directory;
  for (std::size_t from = 0; from < nested.size();) {
    std::size_t to = nested.find('/', from);
    if (to == std::string::npos)
      to = nested.size();
    if (to > from) {
      path += '/' + nested.substr(from, to - from);
      watch->chain_.push_back(path);
      watch->watches_.push_back(-1);
    }
    from = to + 1;
  }
  watch->FollowNested();
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
      bool follow = false;
      for (ssize_t at = 0; at < length;) {
        const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
        // An overflowed queue lost events: count it as a change.
        if ((event->mask & IN_Q_OVERFLOW) || (event->len > 0 && Counts(event->wd, event->name)))
          pending = true;
        // A nested folder removed: its watch is gone, and a new folder of
        // that name needs one of its own.
        if (event->mask & IN_IGNORED)
          for (int& wd : watches_)
            if (wd == event->wd)
              wd = -1;
        if (event->mask & (IN_CREATE | IN_MOVED_TO | IN_Q_OVERFLOW))
          follow = true;
        at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      }
      if (follow && chain_.size() > 1)
        FollowNested();
    }
  }
}

void DirectoryWatch::FollowNested() {
  for (std::size_t i = 1; i < chain_.size(); ++i) {
    if (watches_[i] < 0)
      watches_[i] =
          ::inotify_add_watch(inotifyFd_, chain_[i].c_str(), kEvents | IN_ONLYDIR | IN_DONT_FOLLOW);
    if (watches_[i] < 0)
      return;  // its parent's watch reports it when it comes
  }
}

bool DirectoryWatch::Counts(int wd, const std::string& name) const {
  const std::size_t last = chain_.size() - 1;
  for (std::size_t i = 0; i <= last; ++i) {
    if (watches_[i] != wd)
      continue;
    if (i == last && i > 0)
      return true;
    if (i < last && name == chain_[i + 1].substr(chain_[i].size() + 1))
      return true;
    return i == 0 && relevant_(name);
  }
  return false;
}

}  // namespace varnholt::platform
