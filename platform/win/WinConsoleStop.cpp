#include "platform/win/WinConsoleStop.h"

#include <windows.h>

#include <atomic>

namespace varnholt::win {
namespace {

std::atomic<HANDLE> gStop{nullptr};

// Runs on a thread the system starts for the purpose; setting an event is
// all it needs to do.
BOOL WINAPI NoteStop(DWORD kind) {
  const HANDLE stop = gStop.load();
  if (!stop)
    return FALSE;
  ::SetEvent(stop);
  // The close button ends the process once this returns: the recording
  // gets the few seconds Windows allows, on the event loop's thread.
  if (kind == CTRL_CLOSE_EVENT)
    ::Sleep(INFINITE);
  return TRUE;
}

}  // namespace

ConsoleStop::ConsoleStop() {
  event_ = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (!event_)
    return;
  gStop.store(event_);
  if (!::SetConsoleCtrlHandler(NoteStop, TRUE)) {
    gStop.store(nullptr);
    ::CloseHandle(event_);
    event_ = nullptr;
  }
}

ConsoleStop::~ConsoleStop() {
  if (!event_)
    return;
  ::SetConsoleCtrlHandler(NoteStop, FALSE);
  gStop.store(nullptr);
  ::CloseHandle(event_);
}

}  // namespace varnholt::win
