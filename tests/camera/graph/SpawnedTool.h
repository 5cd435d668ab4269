#pragma once

// A helper program run as another process would run it, started with
// posix_spawn: QProcess starts its children in a way ThreadSanitizer cannot
// follow, which makes it report races in this process that are not there.

#include <sys/types.h>
#include <chrono>
#include <string>
#include <utility>
#include <vector>

namespace varnholt::test {

class SpawnedTool {
 public:
  SpawnedTool() = default;
  ~SpawnedTool();  // kills and reaps a tool that still runs
  SpawnedTool(const SpawnedTool&) = delete;
  SpawnedTool& operator=(const SpawnedTool&) = delete;

  // The program with args, this process's environment plus extra.
  bool Start(const std::string& program, const std::vector<std::string>& args,
             const std::vector<std::pair<std::string, std::string>>& extra);
  // The next line it prints, without the newline; empty after the timeout.
  std::string ReadLine(std::chrono::milliseconds timeout);
  // Its exit code once it ends; -1 after the timeout or for a killed tool.
  int Wait(std::chrono::milliseconds timeout);
  void Kill();
  // What it wrote to its error output, read once it has ended.
  std::string Errors();

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  int err_ = -1;
};

}  // namespace varnholt::test
