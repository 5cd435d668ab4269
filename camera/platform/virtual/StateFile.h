#pragma once

// One camera's shared state: a small text file in the state folder, one
// "key number..." line per entry that differs from the description. Readers
// take the file as it is now; writers hold flock on a lock file beside it and replace
// it atomically, so another process never sees half a file.

#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "camera/platform/HResult.h"

namespace varnholt::platform::virtualcam {

// Entry key → its numbers; an entry that could not be read is absent.
using StateEntries = std::map<std::string, std::vector<std::int64_t>>;

// Settings shared by every camera of a set.
struct StateSettings {
  QString dir;
  // Writers hold the lock for a moment; one that holds it longer is hung,
  // and a window must not freeze on every slider move waiting for it.
  std::atomic<int> lockTimeoutMs{200};
};

class StateFile {
 public:
  StateFile(std::shared_ptr<const StateSettings> settings, const std::string& devicePath);

  // Lines that are not "key integer..." ending in a newline are left out.
  StateEntries Read() const;

  // Reads, lets change edit the entries, writes them back, all under the
  // lock. Answers hr::Ok, hr::Busy when the lock is held too long, or
  // hr::AccessDenied when the folder or file cannot be written.
  HResult Update(const std::function<void(StateEntries&)>& change) const;

  const QString& Path() const { return path_; }

  // Reads and changes of any camera's state in this process since it
  // started. Every platform call that reaches a virtual device makes one,
  // as a driver call would: benchmarks count them.
  static std::uint64_t DeviceCalls();

  // A file name for a device path: its safe characters, cut short, and a
  // hash of the whole path, so that no path can leave the folder.
  static QString FileNameFor(const std::string& devicePath);

 private:
  StateEntries Load() const;

  std::shared_ptr<const StateSettings> settings_;
  QString path_;
};

}  // namespace varnholt::platform::virtualcam
