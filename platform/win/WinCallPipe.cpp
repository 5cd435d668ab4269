#include "platform/win/WinCallPipe.h"

#include <windows.h>

#include <sddl.h>

namespace varnholt::win {
namespace {

constexpr char kCall[] = "raise\n";
constexpr char kAnswer[] = "ok\n";

std::wstring UserSid() {
  HANDLE token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token))
    return {};
  std::wstring sid;
  DWORD size = 0;
  ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  std::string buffer(size, '\0');
  if (size && ::GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) {
    LPWSTR text = nullptr;
    if (::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text)) {
      sid = text;
      ::LocalFree(text);
    }
  }
  ::CloseHandle(token);
  return sid;
}

}  // namespace

struct CallListener::Pending {
  OVERLAPPED overlapped{};
  char chunk[64];
};

std::wstring CallPipeName(std::wstring_view name) {
  const std::wstring sid = UserSid();
  if (sid.empty())
    return {};
  return L"\\\\.\\pipe\\varnholt-" + sid + L"-" + std::wstring(name);
}

CallListener::CallListener(const std::wstring& pipeName) {
  event_ = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (!event_)
    return;
  // The first instance only: a pipe someone else made under our name first
  // is refused rather than joined. Remote callers are refused too; the
  // default access list lets only this user and the system write to it.
  const HANDLE pipe = ::CreateNamedPipeW(
      pipeName.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
      PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1, 64, 64, 0,
      nullptr);
  if (pipe == INVALID_HANDLE_VALUE)
    return;
  pipe_ = pipe;
  pending_ = new Pending;
  pending_->overlapped.hEvent = event_;
  Connect();
}

CallListener::~CallListener() {
  if (pipe_) {
    ::CancelIo(pipe_);
    if (state_ != State::Broken) {
      DWORD ignored = 0;
      ::GetOverlappedResult(pipe_, &pending_->overlapped, &ignored, TRUE);
    }
    ::CloseHandle(pipe_);
  }
  delete pending_;
  if (event_)
    ::CloseHandle(event_);
}

void CallListener::Connect() {
  lines_.clear();
  pending_->overlapped = OVERLAPPED{};
  pending_->overlapped.hEvent = event_;
  state_ = State::Connecting;
  if (::ConnectNamedPipe(pipe_, &pending_->overlapped))
    return;  // done already; the event is set
  const DWORD error = ::GetLastError();
  if (error == ERROR_IO_PENDING)
    return;
  if (error == ERROR_PIPE_CONNECTED) {
    // A caller came between create and connect. No transfer was started,
    // so there is no result to ask for (Wine leaves it pending for ever, and
    // the set event then woke Serve in a loop that never read): read at once.
    Read();
    return;
  }
  state_ = State::Broken;
  ::ResetEvent(event_);
}

void CallListener::Read() {
  pending_->overlapped = OVERLAPPED{};
  pending_->overlapped.hEvent = event_;
  state_ = State::Reading;
  if (!::ReadFile(pipe_, pending_->chunk, sizeof pending_->chunk, nullptr, &pending_->overlapped) &&
      ::GetLastError() != ERROR_IO_PENDING) {
    // The caller went away: ready for the next one.
    ::DisconnectNamedPipe(pipe_);
    Connect();
  }
}

int CallListener::Serve(const std::function<void()>& onCalled) {
  int answered = 0;
  while (pipe_ && state_ != State::Broken) {
    DWORD got = 0;
    if (!::GetOverlappedResult(pipe_, &pending_->overlapped, &got, FALSE)) {
      const DWORD error = ::GetLastError();
      if (error == ERROR_IO_INCOMPLETE)
        break;  // nothing more yet; the event is reset until it comes
      if (state_ == State::Reading) {
        ::DisconnectNamedPipe(pipe_);
        Connect();
        continue;
      }
      state_ = State::Broken;
      ::ResetEvent(event_);
      break;
    }
    if (state_ == State::Reading) {
      lines_.append(pending_->chunk, got);
      for (std::size_t end; (end = lines_.find('\n')) != std::string::npos;) {
        const bool call = lines_.compare(0, end + 1, kCall) == 0;
        lines_.erase(0, end + 1);
        if (!call)
          continue;
        // A few bytes into an empty pipe buffer: complete at once.
        OVERLAPPED write{};
        write.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
        DWORD sent = 0;
        if (write.hEvent) {
          if (::WriteFile(pipe_, kAnswer, sizeof kAnswer - 1, nullptr, &write) ||
              ::GetLastError() == ERROR_IO_PENDING)
            ::GetOverlappedResult(pipe_, &write, &sent, TRUE);
          ::CloseHandle(write.hEvent);
        }
        ++answered;
      }
    }
    Read();
  }
  for (int i = 0; i < answered; ++i)
    if (onCalled)
      onCalled();
  return answered;
}

bool CallRunningCopy(const std::wstring& pipeName, unsigned timeoutMs,
                     const std::function<bool()>& holderGone) {
  if (pipeName.empty())
    return false;
  const ULONGLONG until = ::GetTickCount64() + timeoutMs;
  const auto left = [until]() -> DWORD {
    const ULONGLONG now = ::GetTickCount64();
    return now >= until ? 0 : static_cast<DWORD>(until - now);
  };
  HANDLE pipe = INVALID_HANDLE_VALUE;
  for (;;) {
    pipe = ::CreateFileW(pipeName.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                         FILE_FLAG_OVERLAPPED, nullptr);
    if (pipe != INVALID_HANDLE_VALUE)
      break;
    const DWORD error = ::GetLastError();
    if (left() == 0)
      return false;
    if (error == ERROR_PIPE_BUSY) {  // another caller's turn: queue up
      ::WaitNamedPipeW(pipeName.c_str(), left());
      continue;
    }
    if (error != ERROR_FILE_NOT_FOUND || (holderGone && holderGone()))
      return false;
    // The holder took the lock but does not listen yet; the gap is short.
    ::Sleep(20);
  }
  ULONG holder = 0;
  if (::GetNamedPipeServerProcessId(pipe, &holder))
    ::AllowSetForegroundWindow(holder);
  OVERLAPPED io{};
  io.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  bool answered = false;
  // Waits for one overlapped transfer until the deadline; false on timeout.
  const auto finish = [&](BOOL started, DWORD& count) {
    if (!started && ::GetLastError() != ERROR_IO_PENDING)
      return false;
    if (::WaitForSingleObject(io.hEvent, left()) != WAIT_OBJECT_0) {
      ::CancelIo(pipe);
      ::GetOverlappedResult(pipe, &io, &count, TRUE);
      return false;
    }
    return ::GetOverlappedResult(pipe, &io, &count, FALSE) != FALSE;
  };
  DWORD count = 0;
  if (io.hEvent && finish(::WriteFile(pipe, kCall, sizeof kCall - 1, nullptr, &io), count) &&
      count == sizeof kCall - 1) {
    std::string reply;
    char chunk[16];
    while (reply.find('\n') == std::string::npos) {
      ::ResetEvent(io.hEvent);
      io.Offset = io.OffsetHigh = 0;
      if (!finish(::ReadFile(pipe, chunk, sizeof chunk, nullptr, &io), count) || count == 0)
        break;
      reply.append(chunk, count);
    }
    answered = reply == kAnswer;
  }
  if (io.hEvent)
    ::CloseHandle(io.hEvent);
  ::CloseHandle(pipe);
  return answered;
}

}  // namespace varnholt::win
