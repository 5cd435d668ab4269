#pragma once

// The line from a later start to the running copy on Windows: a named pipe
// of this user, "\\\\.\\pipe\\varnholt-<user SID>-<name>", on which the
// caller writes "raise\n" and the running copy answers "ok\n". The running
// copy serves it without blocking from its own event loop (the event below,
// for QWinEventNotifier), so only a copy that serves events answers. Qt-free.

#include <functional>
#include <string>
#include <string_view>

namespace varnholt::win {

// The pipe's full name for name; empty when this user's SID is unknown.
std::wstring CallPipeName(std::wstring_view name);

// The running copy's end: one caller at a time, the next one waits in the
// system's queue for its turn.
class CallListener {
 public:
  // Creates the pipe; Listening() is false when that failed, for instance
  // because another process has the name already.
  explicit CallListener(const std::wstring& pipeName);
  ~CallListener();
  CallListener(const CallListener&) = delete;
  CallListener& operator=(const CallListener&) = delete;

  bool Listening() const { return pipe_ != nullptr; }
  // Signalled when Serve has something to do; reset by Serve.
  void* Event() const { return event_; }
  // Does what is due without blocking: takes a caller, reads its lines and
  // answers each call, then runs onCalled once per answered call (after the
  // answer, so that a slow handler does not keep the caller waiting).
  // Answers the number of calls answered.
  int Serve(const std::function<void()>& onCalled);

 private:
  enum class State { Connecting, Reading, Broken };
  void Connect();
  void Read();

  void* pipe_ = nullptr;
  void* event_ = nullptr;
  State state_ = State::Broken;
  struct Pending;
  Pending* pending_ = nullptr;
  std::string lines_;
};

// Calls the running copy on pipeName and waits up to timeoutMs for its
// answer; true when it acknowledged. While the pipe is not there yet (the
// holder is starting up), tries again until the deadline unless
// holderGone() says there is nobody left to wait for. Allows the holder to
// take the foreground, which Windows grants only to the program the user
// just started.
bool CallRunningCopy(const std::wstring& pipeName, unsigned timeoutMs,
                     const std::function<bool()>& holderGone = {});

}  // namespace varnholt::win
