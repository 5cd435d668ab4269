#pragma once

// The compressors every backend lists: the encoders FFmpeg has here whose
// output an ASF or an AVI file can hold, each by its encoder name. A
// compressor filter sits between a source and the file writer: it names its
// encoder to the writer's input, which does the encoding, and passes the
// stream on unchanged. Its output connects only to such an input
// (VFW_E_CANNOT_CONNECT otherwise), and it takes only its own kind of stream.

#include <memory>
#include <string>
#include <vector>

#include "camera/platform/Interfaces.h"

namespace varnholt::platform::graph {

// The monikers of the video or audio compressor category; empty for the
// other categories.
std::vector<std::shared_ptr<IMoniker>> CompressorMonikers(DeviceCategory category);

std::shared_ptr<IBaseFilter> MakeCompressorFilter(bool audio, std::string encoder);

}  // namespace varnholt::platform::graph
