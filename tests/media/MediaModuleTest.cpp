// The module the program records through (MediaModule.h): the built one
// loads and writes what the linked writer writes, and a file that is not it
// is refused with its name and the reason.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "media/MediaModule.h"
#include "tests/support/MediaProbe.h"

namespace varnholt::media {
namespace {

namespace fs = std::filesystem;

TEST(MediaModuleTest, TheBuiltModuleRecordsAndOthersAreRefusedByName) {
  const MediaModule& module = Media();
  EXPECT_EQ(module.VideoEncoders(Container::Avi), VideoEncoders(Container::Avi));
  EXPECT_EQ(module.AudioEncoders(Container::Asf), AudioEncoders(Container::Asf));

  const fs::path file =
      fs::temp_directory_path() / ("varnholt-module-" + std::to_string(::getpid()) + ".avi");
  {
    const auto writer = module.NewWriter();
    writer->Open(file, Container::Avi, {32, 16, VideoFormat::YUY2, 1.0 / 30, {}}, std::nullopt);
    const std::vector<std::uint8_t> frame(32 * 16 * 2, 128);
    EXPECT_TRUE(writer->WriteVideo(frame, 0.0));
    writer->Finish();
    EXPECT_FALSE(writer->IsOpen());
  }
  const auto info = test::Probe(file);
  EXPECT_EQ(info.Stream(AVMEDIA_TYPE_VIDEO).width, 32);
  EXPECT_EQ(info.Stream(AVMEDIA_TYPE_VIDEO).packets.size(), 1u);
  fs::remove(file);

  for (const std::string path : {"/nonexistent/varnholt-media.so", "libm.so.6"}) {
    try {
      LoadMediaModule(path);
      ADD_FAILURE() << path << " was taken for the module";
    } catch (const MediaError& error) {
      EXPECT_NE(std::string(error.what()).find(path), std::string::npos) << error.what();
    }
  }
}

}  // namespace
}  // namespace varnholt::media
