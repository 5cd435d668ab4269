// Finds and loads varnholt-media.so (MediaModule.h); on Windows
// varnholt-media.dll beside the program.

#ifdef _WIN32
#include <windows.h>

#include "platform/win/WinProcesses.h"
#else
#include <dlfcn.h>
#include <unistd.h>
#endif

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <variant>

#include "media/MediaModule.h"

namespace varnholt::media {
namespace {

#ifdef _WIN32
constexpr char kModuleFile[] = "varnholt-media.dll";
const char* ProgramName() {
  return "varnholt";
}

std::wstring Wide(const std::string& utf8) {
  const int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
  std::wstring wide(std::size_t(n > 0 ? n : 0), L'\0');
  if (n > 0)
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), wide.data(), n);
  return wide;
}

std::string Utf8(const std::wstring& wide) {
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), nullptr, 0,
                                      nullptr, nullptr);
  std::string utf8(std::size_t(n > 0 ? n : 0), '\0');
  if (n > 0)
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), utf8.data(), n, nullptr,
                          nullptr);
  return utf8;
}

bool Exists(const std::string& path) {
  return ::GetFileAttributesW(Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Installed beside the program: Windows finds a program's DLLs there.
std::string ProgramFolder() {
  const std::string path = Utf8(win::OwnExecutablePath());
  const auto cut = path.find_last_of("\\/");
  return cut == std::string::npos ? std::string() : path.substr(0, cut);
}
#else
constexpr char kModuleFile[] = "varnholt-media.so";
const char* ProgramName() {
  return program_invocation_short_name;
}

bool Exists(const std::string& path) {
  return ::access(path.c_str(), F_OK) == 0;
}

// Where the program runs from, so that an installed copy finds its own module.
std::string ProgramFolder() {
  std::array<char, 4096> target{};
  const ssize_t n = ::readlink("/proc/self/exe", target.data(), target.size() - 1);
  if (n <= 0)
    return {};
  const std::string path(target.data(), static_cast<std::size_t>(n));
  return path.substr(0, path.rfind('/'));
}
#endif

// The module or why there is none: loaded once, as the program's lists and
// recordings all need the same one.
std::variant<const MediaModule*, std::string> LoadOnce() {
  // The one VARNHOLT_MEDIA_MODULE names (a program copied elsewhere, as
  // into the test VM), else the one installed beside the program
  // (media/CMakeLists.txt), else the build's.
  const char* named = std::getenv("VARNHOLT_MEDIA_MODULE");
  const std::string candidates[] = {
      named ? named : "",
      ProgramFolder() + "/" VARNHOLT_MEDIA_MODULE_FROM_PROGRAM "/" + kModuleFile,
      VARNHOLT_MEDIA_MODULE_BUILT};
  std::string reasons;
  for (const auto& path : candidates) {
    if (path.empty() || !Exists(path))
      continue;
    try {
      return &LoadMediaModule(path);
    } catch (const MediaError& error) {
      reasons += std::string(reasons.empty() ? "" : "; ") + error.what();
    }
  }
  if (reasons.empty())
    reasons = std::string(kModuleFile) + " is not installed (looked for " +
              (named ? candidates[0] + " and " : std::string()) + candidates[1] + ")";
  std::string text = "Recording is not available: " + reasons;
  // The program says only that the recording failed: the reason goes here.
  std::fprintf(stderr, "%s: %s\n", ProgramName(), text.c_str());
  return text;
}

}  // namespace

#ifdef _WIN32
const MediaModule& LoadMediaModule(const std::string& path) {
  const HMODULE handle = ::LoadLibraryW(Wide(path).c_str());
  if (!handle)
    throw MediaError("cannot load " + path + ": Windows error " + std::to_string(::GetLastError()));
  using Entry = const MediaModule* (*)(int);
  const auto entry = reinterpret_cast<Entry>(
      reinterpret_cast<void*>(::GetProcAddress(handle, "varnholt_media_module")));
  const MediaModule* module = entry ? entry(kMediaModuleVersion) : nullptr;
  if (!module) {
    ::FreeLibrary(handle);
    throw MediaError(path + " is not a media module of this build of Varnholt");
  }
  return *module;  // never unloaded: its writers may live until the end
}
#else
const MediaModule& LoadMediaModule(const std::string& path) {
  // Local: the module's FFmpeg symbols are its own business.
  void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char* why = ::dlerror();
    throw MediaError("cannot load " + path + ": " + (why ? why : "unknown reason"));
  }
  using Entry = const MediaModule* (*)(int);
  const auto entry = reinterpret_cast<Entry>(::dlsym(handle, "varnholt_media_module"));
  const MediaModule* module = entry ? entry(kMediaModuleVersion) : nullptr;
  if (!module) {
    ::dlclose(handle);
    throw MediaError(path + " is not a media module of this build of Varnholt");
  }
  return *module;  // never unloaded: its writers may live until the end
}
#endif

const MediaModule& Media() {
  static const auto loaded = LoadOnce();
  if (const auto* error = std::get_if<std::string>(&loaded))
    throw MediaError(*error);
  return *std::get<const MediaModule*>(loaded);
}

}  // namespace varnholt::media
