// Finds and loads varnholt-media.so (MediaModule.h).

#include <dlfcn.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <variant>

#include "media/MediaModule.h"

namespace varnholt::media {
namespace {

// Where the program runs from, so that an installed copy finds its own module.
std::string ProgramFolder() {
  std::array<char, 4096> target{};
  const ssize_t n = ::readlink("/proc/self/exe", target.data(), target.size() - 1);
  if (n <= 0)
    return {};
  const std::string path(target.data(), static_cast<std::size_t>(n));
  return path.substr(0, path.rfind('/'));
}

// The module or why there is none: loaded once, as the program's lists and
// recordings all need the same one.
std::variant<const MediaModule*, std::string> LoadOnce() {
  // The one VARNHOLT_MEDIA_MODULE names (a program copied elsewhere, as
  // into the test VM), else the one installed beside the program
  // (media/CMakeLists.txt), else the build's.
  const char* named = std::getenv("VARNHOLT_MEDIA_MODULE");
  const std::string candidates[] = {
      named ? named : "",
      ProgramFolder() + "/" VARNHOLT_MEDIA_MODULE_FROM_PROGRAM "/varnholt-media.so",
      VARNHOLT_MEDIA_MODULE_BUILT};
  std::string reasons;
  for (const auto& path : candidates) {
    if (path.empty() || ::access(path.c_str(), F_OK) != 0)
      continue;
    try {
      return &LoadMediaModule(path);
    } catch (const MediaError& error) {
      reasons += std::string(reasons.empty() ? "" : "; ") + error.what();
    }
  }
  if (reasons.empty())
    reasons = "varnholt-media.so is not installed (looked for " +
              (named ? candidates[0] + " and " : std::string()) + candidates[1] + ")";
  std::string text = "Recording is not available: " + reasons;
  // The program says only that the recording failed: the reason goes here.
  std::fprintf(stderr, "%s: %s\n", program_invocation_short_name, text.c_str());
  return text;
}

}  // namespace

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

const MediaModule& Media() {
  static const auto loaded = LoadOnce();
  if (const auto* error = std::get_if<std::string>(&loaded))
    throw MediaError(*error);
  return *std::get<const MediaModule*>(loaded);
}

}  // namespace varnholt::media
