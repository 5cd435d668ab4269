#pragma once

// What the libFuzzer targets share: a check that aborts (so libFuzzer keeps
// the input), the offscreen application some targets need, and a walk of a
// component over every property and format a camera answers.

#include <QString>
#include <cstdio>
#include <cstdlib>

class TFCamera;

namespace varnholt::fuzz {

inline void Require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "violated: %s\n", what);
    std::abort();
  }
}

// A QApplication on the offscreen platform, made once.
void StartApplication();

// A folder of this process (in memory where possible), removed when the
// process ends.
QString ScratchFolder();

// Every component call a camera's rows make: support, value, automatic
// mode and range of the seventeen properties, power frequency, formats.
// Errors the component throws are the camera's answer, not a finding.
void ReadEverything(TFCamera& camera);

}  // namespace varnholt::fuzz
