// Starts a program and reports when its first window is mapped on the X
// display, with the program's resident memory at that moment: the start-up
// figure bench/startup.sh compares between programs. It watches the root
// window's children, so the display must hold only the program under test
// (and a window manager, whose frame mapping then stands for the window).
//
// Usage: bench_show_waiter [--settle-ms N] [--timeout-ms N] -- program [args...]
// Prints "map_ms=... cpu_ms=... rss_kb=... settled_rss_kb=..." on success; the program
// is ended with SIGTERM after the settle time. STARTUP_T0_NS in the
// program's environment holds the CLOCK_MONOTONIC start instant, so that a
// program can report its own first paint on the same clock.

#include <dirent.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <string>

namespace {

long long NowNs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec * 1000000000LL + ts.tv_nsec;
}

long ResidentKb(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0)
      return std::strtol(line.c_str() + 6, nullptr, 10);
  return -1;
}

// CPU time of all the program's threads so far: on a busy machine a steadier
// figure than the wall clock.
double CpuMs(pid_t pid) {
  long long total = 0;
  const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
  if (DIR* dir = opendir(tasks.c_str())) {
    while (dirent* task = readdir(dir)) {
      if (task->d_name[0] == '.')
        continue;
      std::ifstream stat(tasks + "/" + task->d_name + "/schedstat");
      long long ns = 0;
      if (stat >> ns)
        total += ns;
    }
    closedir(dir);
  }
  return total / 1e6;
}

// A mapped child of the root that is a real window: not override-redirect
// (menus, tooltips) and larger than the 1x1 helper windows toolkits keep.
bool IsShownWindow(xcb_connection_t* conn, const xcb_map_notify_event_t* map) {
  if (map->override_redirect)
    return false;
  xcb_get_geometry_reply_t* geometry =
      xcb_get_geometry_reply(conn, xcb_get_geometry(conn, map->window), nullptr);
  const bool real = geometry && geometry->width > 1 && geometry->height > 1;
  std::free(geometry);
  return real;
}

// What a program that shows no window is doing: each thread's state and
// kernel wait, and its stacks when gdb is at hand, so that a hang in a
// test run says where it hung.
void DescribeThreads(pid_t pid) {
  const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
  if (DIR* dir = opendir(tasks.c_str())) {
    while (dirent* task = readdir(dir)) {
      if (task->d_name[0] == '.')
        continue;
      const std::string at = tasks + "/" + task->d_name;
      std::string stat, wchan;
      std::getline(std::ifstream(at + "/stat"), stat);
      std::getline(std::ifstream(at + "/wchan"), wchan);
      std::fprintf(stderr, "  thread %s: %s wchan=%s\n", task->d_name, stat.substr(0, 60).c_str(),
                   wchan.c_str());
    }
    closedir(dir);
  }
  if (std::system("command -v gdb >/dev/null 2>&1") == 0) {
    const std::string gdb = "timeout 30 gdb -batch -nx -p " + std::to_string(pid) +
                            " -ex 'thread apply all bt 25' 2>/dev/null | grep '^#\\|^Thread' >&2";
    std::system(gdb.c_str());
  }
}

}  // namespace

int main(int argc, char** argv) {
  int settleMs = 0;
  int timeoutMs = 30000;
  int first = 1;
  for (; first < argc; ++first) {
    if (std::strcmp(argv[first], "--") == 0) {
      ++first;
      break;
    }
    if (std::strcmp(argv[first], "--settle-ms") == 0 && first + 1 < argc)
      settleMs = std::atoi(argv[++first]);
    else if (std::strcmp(argv[first], "--timeout-ms") == 0 && first + 1 < argc)
      timeoutMs = std::atoi(argv[++first]);
  }
  if (first >= argc) {
    std::fprintf(stderr, "usage: %s [--settle-ms N] [--timeout-ms N] -- program [args...]\n",
                 argv[0]);
    return 2;
  }

  xcb_connection_t* conn = xcb_connect(nullptr, nullptr);
  if (xcb_connection_has_error(conn)) {
    std::fprintf(stderr, "bench_show_waiter: cannot open the display\n");
    return 2;
  }
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(conn)).data->root;
  const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
  // Checked, so that the watch is in place before the program starts.
  if (xcb_generic_error_t* error = xcb_request_check(
          conn, xcb_change_window_attributes_checked(conn, root, XCB_CW_EVENT_MASK, &mask))) {
    std::fprintf(stderr, "bench_show_waiter: cannot watch the root window\n");
    std::free(error);
    return 2;
  }

  const long long t0 = NowNs();
  setenv("STARTUP_T0_NS", std::to_string(t0).c_str(), 1);
  const pid_t pid = fork();
  if (pid == 0) {
    execvp(argv[first], argv + first);
    std::perror(argv[first]);
    _exit(127);
  }

  long long mapped = -1;
  long rss = -1;
  double cpu = -1;
  pollfd fd{xcb_get_file_descriptor(conn), POLLIN, 0};
  while (mapped < 0) {
    while (xcb_generic_event_t* event = xcb_poll_for_event(conn)) {
      const bool map = (event->response_type & 0x7f) == XCB_MAP_NOTIFY;
      if (map && mapped < 0 &&
          IsShownWindow(conn, reinterpret_cast<xcb_map_notify_event_t*>(event))) {
        mapped = NowNs();
        rss = ResidentKb(pid);
        cpu = CpuMs(pid);
      }
      std::free(event);
    }
    if (mapped >= 0)
      break;
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) {
      std::fprintf(stderr, "bench_show_waiter: %s ended before showing a window\n", argv[first]);
      return 1;
    }
    const long long left = timeoutMs - (NowNs() - t0) / 1000000;
    if (left <= 0) {
      std::fprintf(stderr, "bench_show_waiter: no window from %s within %d ms\n", argv[first],
                   timeoutMs);
      DescribeThreads(pid);
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
      return 1;
    }
    // Short slices: the program's exit is noticed without a signal handler.
    poll(&fd, 1, static_cast<int>(left < 50 ? left : 50));
    if (xcb_connection_has_error(conn))
      return 2;
  }

  // Memory once the program has done what it leaves until after showing.
  long settled = rss;
  if (settleMs > 0) {
    usleep(static_cast<useconds_t>(settleMs) * 1000);
    settled = ResidentKb(pid);
  }
  kill(pid, SIGTERM);
  waitpid(pid, nullptr, 0);
  std::printf("map_ms=%.1f cpu_ms=%.1f rss_kb=%ld settled_rss_kb=%ld\n", (mapped - t0) / 1e6, cpu,
              rss, settled);
  std::fflush(stdout);
  xcb_disconnect(conn);
  return 0;
}
