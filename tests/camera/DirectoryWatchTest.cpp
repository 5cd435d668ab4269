// The directory watch the device lists are built on: built and run on Linux
// (inotify) and, cross-built, under Wine (ReadDirectoryChangesW).
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>

#include "camera/platform/DirectoryWatch.h"

namespace fs = std::filesystem;
using varnholt::platform::DirectoryWatch;

namespace {

class Calls {
 public:
  void Add() {
    std::lock_guard lock(mutex_);
    ++count_;
    arrived_.notify_all();
  }
  // Whether more than n calls have come within a few seconds.
  bool Above(int n) {
    std::unique_lock lock(mutex_);
    return arrived_.wait_for(lock, std::chrono::seconds(5), [&] { return count_ > n; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable arrived_;
  int count_ = 0;
};

class DirectoryWatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("varnholt-watch-" + std::to_string(std::random_device{}()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::unique_ptr<DirectoryWatch> Watch(const std::string& nested = {}) {
    return DirectoryWatch::Start(
        dir_.string(), [](const std::string& name) { return name.ends_with(".cam"); },
        [this] { calls_.Add(); }, nested);
  }
  static void Write(const fs::path& file, const char* text) { std::ofstream(file) << text; }

  fs::path dir_;
  Calls calls_;
};

TEST_F(DirectoryWatchTest, ReportsEntriesThatComeChangeAndGoThenStops) {
  auto watch = Watch();
  ASSERT_NE(watch, nullptr);
  Write(dir_ / "front.cam", "1");
  ASSERT_TRUE(calls_.Above(0)) << "a new entry was not reported";
  Write(dir_ / "front.cam", "2");
  ASSERT_TRUE(calls_.Above(1)) << "a rewritten entry was not reported";
  fs::remove(dir_ / "front.cam");
  ASSERT_TRUE(calls_.Above(2)) << "a removed entry was not reported";

  // Stopping in the middle of a burst waits for nothing but the thread.
  Write(dir_ / "back.cam", "1");
  watch.reset();
}

TEST_F(DirectoryWatchTest, FollowsANestedFolderAsItIsMadeAndItsEntries) {
  auto watch = Watch("links/by-id");
  ASSERT_NE(watch, nullptr);
  fs::create_directory(dir_ / "links");
  ASSERT_TRUE(calls_.Above(0)) << "the nested path's first folder was not reported";
  fs::create_directory(dir_ / "links" / "by-id");
  ASSERT_TRUE(calls_.Above(1)) << "the nested folder was not reported";
  Write(dir_ / "links" / "by-id" / "usb-camera", "x");
  ASSERT_TRUE(calls_.Above(2)) << "an entry of the nested folder was not reported";
}

TEST_F(DirectoryWatchTest, AFolderThatIsNotThereCannotBeWatched) {
  EXPECT_EQ(DirectoryWatch::Start((dir_ / "missing").string(), nullptr, nullptr), nullptr);
}

}  // namespace
