#pragma once

// A model of a UVC webcam behind the ioctl door: controls with ranges, menus
// with holes, automatic companions that lock their value (EACCES, or EBUSY
// like some drivers) and mark it inactive, and a record of every write.

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "camera/platform/v4l2/IoctlDevice.h"

namespace varnholt::test {

struct FakeControl {
  std::uint32_t id = 0;
  std::uint32_t type = 1;  // V4L2_CTRL_TYPE_INTEGER
  std::string name;
  std::int64_t minimum = 0, maximum = 0, step = 1, defaultValue = 0, value = 0;
  std::uint32_t flags = 0;
  std::map<std::uint32_t, std::string> menu;  // index → label; holes are missing
  std::uint32_t master = 0;                   // the automatic companion
  std::int64_t masterManual = 0;              // the companion's manual value
};

class FakeUvcCamera : public platform::v4l2::IoctlDevice {
 public:
  using Write = std::vector<std::pair<std::uint32_t, std::int64_t>>;

  // A webcam with every control the mapping knows, as UVC exposes them.
  static std::vector<FakeControl> FullWebcam();

  explicit FakeUvcCamera(std::vector<FakeControl> controls) : controls_(std::move(controls)) {}

  int Ioctl(unsigned long request, void* arg) override;

  FakeControl* Find(std::uint32_t id);
  void Remove(std::uint32_t id);

  std::uint32_t deviceCaps = 0x04200001;  // video capture, streaming
  int lockedErrno = 13;                   // EACCES; some drivers answer EBUSY
  int failNext = 0;                       // an errno the next call answers with
  std::function<void()> beforeWrite;      // another program acting in between
  std::vector<Write> writes;

 private:
  int QueryExt(void* arg);
  int QueryMenu(void* arg);
  int GetExt(void* arg);
  int SetExt(void* arg);
  bool Locked(const FakeControl& control, const Write& request);

  std::vector<FakeControl> controls_;
};

}  // namespace varnholt::test
