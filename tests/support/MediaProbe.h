#pragma once

// A recorded file read back through libavformat and libavcodec, as a player
// would read it: its streams, every packet's time, when the sound first gets
// loud, and when the picture first shows the virtual camera's second mark.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/avutil.h>
}

namespace varnholt::test {

struct StreamInfo {
  AVMediaType type = AVMEDIA_TYPE_UNKNOWN;
  std::string codec;
  std::uint32_t tag = 0;
  int width = 0, height = 0;
  int sampleRate = 0, channels = 0;
  std::vector<std::vector<std::uint8_t>> packets;  // the non-empty ones
  std::vector<double> times;                       // their times in seconds
  double beep = -1;                                // sound: when the decoded sound first gets loud
  double seconds = 0;                              // sound: how long the decoded sound lasts
  double mark = -1;  // picture: the first frame with a bright top-right corner
  int decoded = 0;   // picture: frames that decoded, when marks were looked for
};

struct FileInfo {
  std::string format;
  double duration = 0;
  std::vector<StreamInfo> streams;

  // The first stream of the type; throws when there is none.
  const StreamInfo& Stream(AVMediaType type) const;
  bool Has(AVMediaType type) const;
};

// markSide > 0 decodes the pictures too and looks for a bright square of
// that side in the top-right corner. Throws std::runtime_error when the file
// cannot be read.
FileInfo Probe(const std::filesystem::path& path, int markSide = 0);

}  // namespace varnholt::test
