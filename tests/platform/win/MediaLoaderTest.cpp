// The media module loader's Windows side (LoadLibraryW, GetProcAddress,
// the program's folder) under Wine.

#include <windows.h>

#include <gtest/gtest.h>

#include "media/MediaModule.h"
#include "platform/win/WinProcesses.h"

namespace varnholt::media {
namespace {

std::string Beside(const char* file) {
  const std::wstring self = win::OwnExecutablePath();
  std::string folder(self.begin(), self.begin() + long(self.find_last_of(L'\\')));
  return folder + "\\" + file;
}

std::string FailureOf(const std::string& path) {
  try {
    LoadMediaModule(path);
  } catch (const MediaError& error) {
    return error.what();
  }
  return "loaded";
}

TEST(WinMediaLoader, LoadsAModuleAndRefusesWhatIsNone) {
  const MediaModule& module = LoadMediaModule(Beside("fake_media_module.dll"));
  EXPECT_EQ(module.VideoEncoders(Container::Avi), std::vector<std::string>{"fake-video"});
  EXPECT_EQ(FailureOf("C:\\windows\\system32\\kernel32.dll"),
            "C:\\windows\\system32\\kernel32.dll is not a media module of this build of Varnholt");
  EXPECT_EQ(FailureOf(Beside("none.dll")).rfind("cannot load ", 0), 0u);
}

TEST(WinMediaLoader, WithoutTheModuleRecordingSaysWhy) {
  // Nothing called varnholt-media.dll beside this program.
  try {
    Media();
    FAIL() << "a module was found";
  } catch (const MediaError& error) {
    const std::string text = error.what();
    EXPECT_EQ(text.rfind("Recording is not available: varnholt-media.dll is not installed", 0), 0u)
        << text;
    // Asked again, the same answer without a second search.
    EXPECT_THROW(Media(), MediaError);
  }
}

}  // namespace
}  // namespace varnholt::media
