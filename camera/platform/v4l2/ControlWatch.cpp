#include "camera/platform/v4l2/ControlWatch.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

namespace varnholt::platform::v4l2 {

class ControlWatch::Running final : public DeviceWatch {
 public:
  Running(std::shared_ptr<ControlWatch> owner, int wakeFd, std::function<void()> changed)
      : owner_(std::move(owner)), wakeFd_(wakeFd), changed_(std::move(changed)) {}

  void Start() {
    thread_ = std::thread([this] { Run(); });
  }

  ~Running() override {
    owner_->Forget(this);
    stopping_ = true;
    Wake();
    if (thread_.joinable())
      thread_.join();
    ::close(wakeFd_);
  }

  void Wake() {
    {
      std::lock_guard lock(servedMutex_);
      ++asked_;
    }
    const std::uint64_t one = 1;
    (void)!::write(wakeFd_, &one, sizeof one);
  }

  // Waits (at most a second) until the thread is out of the poll that was
  // running when Wake was called: until then the poll keeps a released
  // camera's node open, and the driver cannot be unloaded.
  void AwaitWake() {
    if (std::this_thread::get_id() == thread_.get_id())
      return;
    std::unique_lock lock(servedMutex_);
    const std::uint64_t asked = asked_;
    servedChanged_.wait_for(lock, std::chrono::seconds(1),
                            [&] { return !inPoll_ || served_ >= asked || stopping_; });
  }

 private:
  void Run() {
    while (!stopping_) {
      // Descriptors only while waiting: a released camera closes its node,
      // and the poll then reports it invalid and the list is taken anew.
      std::vector<pollfd> fds{{wakeFd_, POLLIN, 0}};
      std::vector<std::weak_ptr<ControlProperties>> cameras;
      for (auto& [camera, signal] : owner_->Live()) {
        fds.push_back({signal.fd, signal.events, 0});
        cameras.push_back(camera);
      }
      {
        std::lock_guard lock(servedMutex_);
        inPoll_ = true;
      }
      const int polled = ::poll(fds.data(), fds.size(), -1);
      {
        // Out of the poll: every wake asked so far is served, as the files
        // the poll held are let go.
        std::lock_guard lock(servedMutex_);
        served_ = asked_;
        inPoll_ = false;
      }
      servedChanged_.notify_all();
      if (polled < 0 && errno != EINTR)
        return;
      if (fds[0].revents & POLLIN) {
        std::uint64_t drained = 0;
        (void)!::read(wakeFd_, &drained, sizeof drained);
      }
      bool any = false;
      for (std::size_t i = 1; i < fds.size(); ++i)
        if (fds[i].revents & fds[i].events)
          if (auto camera = cameras[i - 1].lock())
            any = camera->TakeEvents() || any;
      if (any && !stopping_)
        changed_();
    }
  }

  std::shared_ptr<ControlWatch> owner_;
  int wakeFd_;
  std::function<void()> changed_;
  std::atomic<bool> stopping_{false};
  std::mutex servedMutex_;
  std::condition_variable servedChanged_;
  std::uint64_t asked_ = 0;
  std::uint64_t served_ = 0;
  bool inPoll_ = false;
  std::thread thread_;
};

void ControlWatch::Add(std::weak_ptr<ControlProperties> properties) {
  if (auto camera = properties.lock())
    camera->SetOnRelease([watch = weak_from_this()] {
      if (auto alive = watch.lock())
        alive->WakeAll(nullptr, true);
    });
  WakeAll([&] { cameras_.push_back(std::move(properties)); });
}

void ControlWatch::WakeAll(const std::function<void()>& change, bool await) {
  std::lock_guard lock(mutex_);
  if (change)
    change();
  for (Running* running : running_)
    running->Wake();
  // Under the lock, so that no watch ends meanwhile; the watches' threads
  // take it only between polls.
  if (await)
    for (Running* running : running_)
      running->AwaitWake();
}

std::vector<std::pair<std::shared_ptr<ControlProperties>, EventPoll>> ControlWatch::Live() {
  std::lock_guard lock(mutex_);
  std::erase_if(cameras_, [](const auto& camera) { return camera.expired(); });
  std::vector<std::pair<std::shared_ptr<ControlProperties>, EventPoll>> live;
  for (const auto& weak : cameras_)
    if (auto camera = weak.lock())
      if (const EventPoll signal = camera->EventSignal(); signal.fd >= 0)
        live.emplace_back(std::move(camera), signal);
  return live;
}

void ControlWatch::Forget(Running* running) {
  std::lock_guard lock(mutex_);
  std::erase(running_, running);
}

std::unique_ptr<DeviceWatch> ControlWatch::Watch(std::function<void()> changed) {
  const int wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wakeFd < 0)
    return nullptr;
  auto running = std::make_unique<Running>(shared_from_this(), wakeFd, std::move(changed));
  {
    std::lock_guard lock(mutex_);
    running_.push_back(running.get());
  }
  running->Start();
  return running;
}

}  // namespace varnholt::platform::v4l2
