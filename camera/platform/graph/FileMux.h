#pragma once

// The file writer SetOutputFileName puts into a graph: one filter that takes
// a picture stream and a sound stream, writes them into an ASF or AVI file
// through media/, and is the graph's file sink as well.
//
// What callers may rely on:
// - the media subtype, never the file's extension, picks the container;
// - the picture input takes YUY2 or MJPG video, the sound input 16-bit PCM;
//   a compressor in front of an input names its encoder (IEncodingInput);
// - nothing is written before the graph first runs, so a graph built and
//   released without running leaves a file of that name as it was; the
//   first run replaces it;
// - a run after a pause or a stop continues the same file, on one time line;
//   every stop finishes the file (trailer, index), so that it plays between
//   runs, and so does releasing the graph;
// - a write that fails (a full disk) ends the recording with what was
//   written finished, posts EC_ERRORABORT, and every later stop or run
//   answers the failure (hr::DiskFull for a full disk).

#include <memory>
#include <string>

#include "camera/platform/Interfaces.h"

namespace varnholt::platform::graph {

// hr::InvalidArg for an empty name or a type other than the ASF and AVI
// subtypes; the system's code when the file's folder is missing or cannot
// take the file.
HResult MakeFileMux(const Guid& subtype, const std::string& fileName,
                    std::shared_ptr<IBaseFilter>& mux);

}  // namespace varnholt::platform::graph
