#pragma once

// The video-processing and camera-control properties of one camera, answered
// from its V4L2 controls through the mapping table. Values stay in the
// driver's own units; ranges come from the driver's control query.
//
// What callers may rely on:
// - a property without a mapped control on this device answers
//   PropIdUnsupported, whatever the call; so does one whose control the
//   driver failed to describe when the list was read;
// - capability flags: automatic when the device has the automatic companion,
//   manual when the value control is writable;
// - Set with manual flags writes the value, and switches the companion off in
//   the same request when it is on, so the driver accepts both together; Set
//   with automatic flags only switches the companion on (the value is the
//   mode's to choose);
// - a write refused because the automatic mode holds the value answers
//   hr_v4l2::UnderAutomaticControl;
// - ranges and capability flags come from the one enumeration Create made
//   (no driver call per read) and follow the driver's control events; a
//   control whose flags may have changed (a write or read refused with
//   EACCES or EBUSY, as when another program grabbed it) is queried again,
//   that control alone;
// - values come from a snapshot of the mapped controls of a control class,
//   read in one request when a property of the class is first asked for,
//   that answers for kSnapshotLifetime: long enough for a reload of all
//   rows, far shorter than the window's re-read. A write of ours and a
//   refused read end it early; control events (another program's changes)
//   update it in place. A class the driver fails to read in one request is
//   read property by property, each with its own answer, as without a
//   snapshot; a device that is gone answers so at once;
// - all calls may come from any thread (the control watch takes events on
//   its own).

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <vector>

#include "camera/platform/HResult.h"
#include "camera/platform/kit/PropertyFamilyObject.h"
#include "camera/platform/v4l2/device/ControlMap.h"
#include "camera/platform/v4l2/device/V4l2Device.h"

namespace varnholt::platform::v4l2 {

using PropertyRange = kit::PropertyRange;

class ControlProperties {
 public:
  // Reads the device's control list once; 0 or the query's negative errno.
  static int Create(std::shared_ptr<V4l2Device> device,
                    std::shared_ptr<ControlProperties>& properties);

  HResult GetRange(PropertyFamilyKind family, std::int32_t property, PropertyRange& range);
  HResult Get(PropertyFamilyKind family, std::int32_t property, std::int32_t& value,
              std::int32_t& flags);
  HResult Set(PropertyFamilyKind family, std::int32_t property, std::int32_t value,
              std::int32_t flags);

  // Applies the control events that wait; true when one of them changed a
  // value, range or flags of a mapped control.
  bool TakeEvents();
  // Where the events show; fd -1 when the driver sends none.
  EventPoll EventSignal() const;
  // Called as the camera is released, so that whoever waits on its
  // descriptor lets it go: a poll holds the node open.
  void SetOnRelease(std::function<void()> released) { released_ = std::move(released); }
  ~ControlProperties();

  using Clock = std::function<std::chrono::steady_clock::time_point()>;
  static constexpr std::chrono::milliseconds kSnapshotLifetime{250};
  // Benchmarks move time on instead of waiting; nullptr: the steady clock.
  static void SetClockForTesting(Clock clock);

 private:
  struct Resolved {
    const ControlMapping* mapping = nullptr;
    const V4l2ControlInfo* value = nullptr;
    const V4l2ControlInfo* companion = nullptr;  // only when the device has it
  };

  ControlProperties(std::shared_ptr<V4l2Device> device, std::vector<V4l2ControlInfo> controls)
      : device_(std::move(device)), controls_(std::move(controls)) {}

  // The mapped controls a snapshot reads, by control class; subscribes to
  // their events.
  void PrepareSnapshot();
  struct ClassSnapshot {
    std::vector<V4l2ControlValue> values;
    bool valid = false;
    bool refused = false;  // the driver never reads this class at once
    std::chrono::steady_clock::time_point taken;
  };
  // The current values of the class of id, read when expired; nullptr when
  // the class cannot be read at once (ret says why; 0: not in a class).
  const ClassSnapshot* Fresh(std::uint32_t id, int& ret);
  // 1 with the pair's values from the snapshot, 0 when it has not got them,
  // or the negative errno of a device that is gone.
  int FromSnapshot(const Resolved& resolved, std::int64_t& value, std::int64_t& companion);
  void InvalidateSnapshot();
  bool TakeEventsLocked();
  void ApplyEvent(const V4l2ControlEvent& event);

  const V4l2ControlInfo* FindControl(std::uint32_t id) const;
  HResult Resolve(PropertyFamilyKind family, std::int32_t property, Resolved& resolved) const;
  // The companion's current value (0 without a companion); a negative errno
  // on a failed read.
  int ReadCompanion(const Resolved& resolved, std::int64_t& value);
  // Re-reads one cached control after the driver refused it.
  void Refresh(const V4l2ControlInfo& control);

  std::shared_ptr<V4l2Device> device_;
  std::mutex mutex_;
  std::vector<V4l2ControlInfo> controls_;
  std::map<std::uint32_t, ClassSnapshot> classes_;  // by V4L2_CTRL_ID2CLASS
  std::atomic<bool> events_{false};                 // cleared when the device is gone
  std::function<void()> released_;
};

}  // namespace varnholt::platform::v4l2
