#pragma once

// The capture graph builder: connects a source's pin of a category through
// an optional in-between filter into a sink of the graph it was given, and
// finds interfaces on a filter's pins.
//
// What callers may rely on:
// - SetFiltergraph once, with a graph made by this platform (hr::NoInterface
//   for another); every other call before it answers hr::Unexpected;
// - RenderStream needs every named filter in the graph (VFW_E_NOT_IN_GRAPH)
//   and answers hr::Fail when the source has no free pin of the category
//   and media type; asked for preview on a source with only a capture pin,
//   it uses that pin as the framework's tee would and answers
//   VFW_S_NOPREVIEWPIN; once every pin of the category is connected, a
//   capture pin feeds the new stream as one more branch, so preview and
//   capture may come from one pin in either order (a preview or still pin
//   takes one stream); a missing sink answers hr::NotImpl;
// - SetOutputFileName adds the file writer of FileMux.h to the graph and
//   answers it as both multiplexer and sink; a stream rendered into it goes
//   to its input for the stream's major type.

#include <memory>

#include "camera/platform/Interfaces.h"

namespace varnholt::platform::graph {

std::shared_ptr<ICaptureGraphBuilder2> MakeCaptureGraphBuilder();

}  // namespace varnholt::platform::graph
