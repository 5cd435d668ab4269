#pragma once

// Which pins of a filter serve a category: the exact ones, else for preview
// the capture pins, as the framework's tee splits a capture stream.

#include <memory>
#include <vector>

#include "camera/platform/Interfaces.h"
#include "camera/platform/graph/StreamInterfaces.h"

namespace varnholt::platform::graph {

struct PinChoice {
  std::vector<SourcePin> pins;  // in the filter's order
  bool throughTee = false;      // preview served by capture pins
};

// A null category takes every output pin.
PinChoice ChoosePins(const std::vector<SourcePin>& pins, const Guid* category);

// The output pins of any filter with the category each reports through the
// pin property set; a pin that reports none is left out.
std::vector<SourcePin> OutputPinsOf(IBaseFilter& filter);

// Whether the pin offers a media type of this major type (null: any).
bool OffersMajorType(IPin& pin, const Guid* majorType);

}  // namespace varnholt::platform::graph
