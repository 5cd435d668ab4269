// libFuzzer target for a virtual camera's state file, which any process of
// the user may write: reading any bytes gives entries whose keys and
// numbers are well formed, and a change written back reads back as it was
// written, the rest of the file's entries unchanged.

#include <QDir>
#include <QFile>
#include <cstdint>

#include "camera/platform/virtual/StateFile.h"
#include "fuzz/FuzzSupport.h"

using namespace varnholt::platform::virtualcam;
using varnholt::fuzz::Require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const auto settings = [] {
    auto s = std::make_shared<StateSettings>();
    s->dir = varnholt::fuzz::ScratchFolder();
    return s;
  }();
  const StateFile state(settings, "/dev/fuzz0");
  {
    QFile file(state.Path());
    Require(file.open(QIODevice::WriteOnly | QIODevice::Truncate), "the state file is writable");
    file.write(reinterpret_cast<const char*>(data), qsizetype(size));
  }
  const StateEntries read = state.Read();
  for (const auto& [key, numbers] : read) {
    Require(!key.empty() && key.find_first_of(" \n#") == std::string::npos, "keys are words");
    Require(!numbers.empty(), "an entry has numbers");
  }
  Require(state.Update([](StateEntries& entries) {
    entries["fuzz.key"] = {-1, 0, 1};
  }) == varnholt::platform::hr::Ok,
          "an update of a readable folder succeeds");
  StateEntries expected = read;
  expected["fuzz.key"] = {-1, 0, 1};
  Require(state.Read() == expected, "an update keeps the other entries and reads back");
  return 0;
}
