// Linked into every Windows test program: a crash ends the program at once
// with a line saying what and where, instead of starting Wine's debugger,
// which would wait, hold the test until its timeout and print pages of
// registers.

#include <windows.h>

#include <cstdio>

namespace {

LONG WINAPI ReportAndExit(EXCEPTION_POINTERS* info) {
  const EXCEPTION_RECORD* record = info->ExceptionRecord;
  HMODULE module = nullptr;
  wchar_t name[MAX_PATH] = L"?";
  if (GetModuleHandleExW(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          static_cast<LPCWSTR>(record->ExceptionAddress), &module))
    GetModuleFileNameW(module, name, MAX_PATH);
  std::fprintf(stderr, "crashed: exception %08lx at %p in %ls (+%#llx)\n",
               static_cast<unsigned long>(record->ExceptionCode), record->ExceptionAddress, name,
               static_cast<unsigned long long>(static_cast<const char*>(record->ExceptionAddress) -
                                               reinterpret_cast<const char*>(module)));
  std::fflush(stderr);
  TerminateProcess(GetCurrentProcess(), 3);
  return EXCEPTION_EXECUTE_HANDLER;
}

const bool installed = [] {
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
  SetUnhandledExceptionFilter(ReportAndExit);
  return true;
}();

}  // namespace
