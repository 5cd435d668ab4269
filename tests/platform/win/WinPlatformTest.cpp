// The Windows services of platform/win under Wine: folders, the debugger
// channel, the process snapshot and the line to a running copy, with a
// second process (this program started again with --hold) as that copy.

#include <windows.h>

#include <shellapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/win/WinCallPipe.h"
#include "platform/win/WinConsoleStop.h"
#include "platform/win/WinDebugOutput.h"
#include "platform/win/WinFiles.h"
#include "platform/win/WinFolders.h"
#include "platform/win/WinProcesses.h"

namespace varnholt::win {
namespace {

bool IsFolder(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

template <typename Condition>
bool WaitFor(Condition condition, ULONGLONG timeoutMs = 10000) {
  const ULONGLONG until = ::GetTickCount64() + timeoutMs;
  while (!condition()) {
    if (::GetTickCount64() > until)
      return false;
    ::Sleep(10);
  }
  return true;
}

TEST(WinFolders, DocumentsAndPrivateFolderAreRealFolders) {
  const std::wstring documents = DocumentsFolder();
  ASSERT_FALSE(documents.empty());
  EXPECT_TRUE(IsFolder(documents));
  EXPECT_NE(documents.back(), L'\\');
  const std::wstring own = PrivateFolder();
  ASSERT_FALSE(own.empty());
  EXPECT_TRUE(IsFolder(own));
  EXPECT_EQ(FileNameOf(own), L"Varnholt");
}

// Listens as DebugView does (the DBWIN buffer a debugger-less process writes
// its messages into) and checks that ours arrives whole.
TEST(WinDebugOutput, MessageReachesAListener) {
  const HANDLE bufferReady = ::CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_BUFFER_READY");
  const HANDLE dataReady = ::CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_DATA_READY");
  const HANDLE mapping =
      ::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, L"DBWIN_BUFFER");
  ASSERT_TRUE(bufferReady && dataReady && mapping);
  const auto* view = static_cast<const char*>(::MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 4096));
  ASSERT_TRUE(view);
  ::SetEvent(bufferReady);
  DebugOutput(std::wstring(L"varnholt trace: ") + L'\0' + L"after a NUL");
  ASSERT_EQ(::WaitForSingleObject(dataReady, 10000), WAIT_OBJECT_0);
  DWORD pid = 0;
  std::memcpy(&pid, view, sizeof pid);
  EXPECT_EQ(pid, ::GetCurrentProcessId());
  const std::string text(view + sizeof pid);
  EXPECT_NE(text.find("varnholt trace: "), std::string::npos) << text;
  EXPECT_NE(text.find("after a NUL"), std::string::npos) << text;
  ::UnmapViewOfFile(view);
  ::CloseHandle(mapping);
  ::CloseHandle(dataReady);
  ::CloseHandle(bufferReady);
}

// Ctrl+C in the console reaches the event that varnholtctl record waits on.
TEST(WinConsoleStop, CtrlCSetsTheEvent) {
  // A console of this process's own, to which the event is sent.
  ::FreeConsole();
  ASSERT_TRUE(::AllocConsole()) << ::GetLastError();
  ConsoleStop stop;
  ASSERT_TRUE(stop.Watching());
  EXPECT_EQ(::WaitForSingleObject(stop.Event(), 0), WAIT_TIMEOUT);
  ASSERT_TRUE(::GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0)) << ::GetLastError();
  EXPECT_EQ(::WaitForSingleObject(stop.Event(), 10000), WAIT_OBJECT_0);
}

// This program again, as the running copy: it holds the lock and serves
// the pipe until it has been called once.
struct Child {
  PROCESS_INFORMATION info{};
  explicit Child(const std::wstring& lockPath, const std::wstring& pipeName) {
    std::wstring line =
        L"\"" + OwnExecutablePath() + L"\" --hold \"" + lockPath + L"\" \"" + pipeName + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &info))
      info = {};
  }
  ~Child() {
    if (!info.hProcess)
      return;
    ::TerminateProcess(info.hProcess, 3);
    ::CloseHandle(info.hThread);
    ::CloseHandle(info.hProcess);
  }
};

std::wstring TestLockPath() {
  return PrivateFolder() + L"\\test-" + std::to_wstring(::GetCurrentProcessId()) + L".lock";
}

TEST(WinSingleCopy, SecondProcessSeesTheFirstAndCallsIt) {
  const std::wstring self = FileNameOf(OwnExecutablePath());
  EXPECT_EQ(self, L"platform_win_tests.exe");
  const auto ids = ProcessIdsNamed(L"PLATFORM_WIN_TESTS.EXE");
  EXPECT_NE(std::find(ids.begin(), ids.end(), ::GetCurrentProcessId()), ids.end());

  const std::wstring lockPath = TestLockPath();
  const std::wstring pipeName = CallPipeName(L"test-" + std::to_wstring(::GetCurrentProcessId()));
  ASSERT_NE(pipeName.find(L"-S-1-5-"), std::wstring::npos) << pipeName;
  Child child(lockPath, pipeName);
  ASSERT_TRUE(child.info.hProcess);
  const DWORD childId = child.info.dwProcessId;
  EXPECT_TRUE(WaitFor([&] {
    const auto now = ProcessIdsNamed(self);
    return std::find(now.begin(), now.end(), childId) != now.end();
  }));
  // The child takes the lock: ours cannot have it while it runs.
  EXPECT_TRUE(WaitFor([&] { return !FileLock(lockPath).Held(); }));
  EXPECT_TRUE(CallRunningCopy(pipeName, 10000));
  // Called once, the child ends; the system drops its lock with it.
  ASSERT_EQ(::WaitForSingleObject(child.info.hProcess, 10000), WAIT_OBJECT_0);
  DWORD code = 1;
  ::GetExitCodeProcess(child.info.hProcess, &code);
  EXPECT_EQ(code, 0u);
  EXPECT_TRUE(WaitFor([&] { return FileLock(lockPath).Held(); }));
  EXPECT_TRUE(WaitFor([&] {
    const auto now = ProcessIdsNamed(self);
    return std::find(now.begin(), now.end(), childId) == now.end();
  }));
  // Nobody listens any more: an answer never comes, and the caller need
  // not wait out its time when told that the holder is gone.
  const ULONGLONG before = ::GetTickCount64();
  EXPECT_FALSE(CallRunningCopy(pipeName, 60000, [] { return true; }));
  EXPECT_LT(::GetTickCount64() - before, 10000u);
  ::DeleteFileW(lockPath.c_str());
}

TEST(WinSingleCopy, OnlyOneListenerPerNameAndOthersLinesAreIgnored) {
  const std::wstring pipeName = CallPipeName(L"listen-" + std::to_wstring(::GetCurrentProcessId()));
  CallListener first(pipeName);
  ASSERT_TRUE(first.Listening());
  EXPECT_FALSE(CallListener(pipeName).Listening());
  // A caller that says something else gets no answer and calls nothing.
  const HANDLE other = ::CreateFileW(pipeName.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                     OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(other, INVALID_HANDLE_VALUE);
  DWORD sent = 0;
  ASSERT_TRUE(::WriteFile(other, "hello\n", 6, &sent, nullptr));
  int calls = 0;
  EXPECT_TRUE(WaitFor([&] {
    first.Serve([&] { ++calls; });
    DWORD waiting = 0;
    return ::PeekNamedPipe(other, nullptr, 0, nullptr, &waiting, nullptr) && waiting == 0 &&
           ::WaitForSingleObject(first.Event(), 0) == WAIT_TIMEOUT;
  }));
  EXPECT_EQ(calls, 0);
  ::CloseHandle(other);
}

}  // namespace
}  // namespace varnholt::win

namespace {

// --hold LOCK PIPE: the running copy for the test above.
int Hold(const std::wstring& lockPath, const std::wstring& pipeName) {
  using namespace varnholt::win;
  // The test probes the lock while this copy starts, holding it for a
  // moment each time: wait those out.
  FileLock lock(lockPath, 10000);
  if (!lock.Held())
    return 10;
  CallListener listener(pipeName);
  if (!listener.Listening())
    return 11;
  for (int served = 0; served == 0;) {
    if (::WaitForSingleObject(listener.Event(), 30000) != WAIT_OBJECT_0)
      return 12;
    served = listener.Serve({});
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  int count = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (wide && count == 4 && std::wstring(wide[1]) == L"--hold")
    return Hold(wide[2], wide[3]);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
