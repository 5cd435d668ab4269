#pragma once

// Watches one directory for entries that come, go or change their access
// (inotify; ReadDirectoryChangesW on Windows, DirectoryWatchWin.cpp), and
// calls back on a thread of its own. The device watches are built on it:
// /dev for V4L2 nodes, the state folder for the virtual cameras.
//
// What callers may rely on: `changed` runs on the watch's thread, never two
// at once; the destructor stops the thread and waits for a running call, so
// nothing is called once it has returned. A burst of events (a camera's
// node, its links and its permissions all arrive within milliseconds) is
// reported as one call.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "camera/platform/Interfaces.h"

namespace varnholt::platform {

class DirectoryWatch final : public DeviceWatch {
 public:
  // Whether a file closed after writing counts: it does for files whose
  // contents are the state, not for device nodes, which every user of a
  // device opens for writing (the watch's own listing among them).
  enum class Writes { Count, Ignore };

  // Entries whose name passes `relevant` count; nullptr when the directory
  // cannot be watched. Every entry of `nested` (a relative folder path such
  // as "v4l/by-id") counts too, and so does the coming of the folder or of
  // its parents: the watch follows it as it is made and removed.
  static std::unique_ptr<DirectoryWatch> Start(const std::string& directory,
                                               std::function<bool(const std::string&)> relevant,
                                               std::function<void()> changed,
                                               const std::string& nested = {},
                                               Writes writes = Writes::Count);
  ~DirectoryWatch() override;

 private:
#ifdef _WIN32
  DirectoryWatch(void* directory, void* stop, void* arrived, std::uint32_t filter,
                 std::function<bool(const std::string&)> relevant, std::function<void()> changed);
  void Run();
  // Asks the system for the next changes; false when the folder can no
  // longer be read (removed).
  bool Ask();
  // Whether a change of the entry at relative (with '/', from the watched
  // folder down) counts.
  bool Counts(const std::string& relative) const;

  // The request that is out, with the buffer the system fills.
  struct Request;
  std::unique_ptr<Request> request_;
  void* directory_;
  void* stop_;
  void* arrived_;
  std::uint32_t filter_;
  std::string nested_;
#else
  DirectoryWatch(int inotifyFd, int stopFd, std::function<bool(const std::string&)> relevant,
                 std::function<void()> changed);
  void Run();
  // Adds a watch on every folder of the nested chain that exists and has
  // none yet, from the top down.
  void FollowNested();
  // Whether an event on watch descriptor wd about entry name counts.
  bool Counts(int wd, const std::string& name) const;

  int inotifyFd_;
  std::uint32_t events_ = 0;
  // The watched folder, then each folder of the nested path, with their
  // watch descriptors (-1: not there now).
  std::vector<std::string> chain_;
  std::vector<int> watches_;
  int stopFd_;
#endif
  std::function<bool(const std::string&)> relevant_;
  std::function<void()> changed_;
  std::thread thread_;
};

}  // namespace varnholt::platform
