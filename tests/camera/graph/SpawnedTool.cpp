#include "tests/camera/graph/SpawnedTool.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <algorithm>
#include <cstring>
#include <thread>

extern char** environ;

namespace varnholt::test {

SpawnedTool::~SpawnedTool() {
  if (pid_ > 0) {
    Kill();
    Wait(std::chrono::seconds(10));
  }
  for (const int fd : {out_, err_})
    if (fd >= 0)
      ::close(fd);
}

bool SpawnedTool::Start(const std::string& program, const std::vector<std::string>& args,
                        const std::vector<std::pair<std::string, std::string>>& extra) {
  int out[2], err[2];
  if (::pipe2(out, O_CLOEXEC) != 0)
    return false;
  if (::pipe2(err, O_CLOEXEC) != 0) {
    ::close(out[0]);
    ::close(out[1]);
    return false;
  }
  std::vector<std::string> environment;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    const bool replaced = std::any_of(extra.begin(), extra.end(), [&](const auto& v) {
      return entry.compare(0, v.first.size() + 1, v.first + "=") == 0;
    });
    if (!replaced)
      environment.push_back(entry);
  }
  for (const auto& [name, value] : extra)
    environment.push_back(name + "=" + value);
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const auto& arg : args)
    argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (auto& entry : environment)
    envp.push_back(entry.data());
  envp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
  const int failed =
      ::posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);
  ::close(err[1]);
  out_ = out[0];
  err_ = err[0];
  if (failed)
    pid_ = -1;
  return !failed;
}

std::string SpawnedTool::ReadLine(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  std::string line;
  char c = 0;
  while (std::chrono::steady_clock::now() < deadline) {
    pollfd ready{out_, POLLIN, 0};
    if (::poll(&ready, 1, 10) <= 0)
      continue;
    if (::read(out_, &c, 1) != 1)
      break;  // the tool ended
    if (c == '\n')
      return line;
    line += c;
  }
  return {};
}

int SpawnedTool::Wait(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (pid_ > 0 && std::chrono::steady_clock::now() < deadline) {
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return -1;
}

void SpawnedTool::Kill() {
  if (pid_ > 0)
    ::kill(pid_, SIGKILL);
}

std::string SpawnedTool::Errors() {
  std::string text;
  char buffer[256];
  for (ssize_t n; (n = ::read(err_, buffer, sizeof buffer)) > 0;)
    text.append(buffer, static_cast<std::size_t>(n));
  return text;
}

}  // namespace varnholt::test
