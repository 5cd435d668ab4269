#pragma once

// "Factory default" for a whole camera, as the window's button and the
// command line both do it.

#include <QString>
#include <cstddef>
#include <cstdint>
#include <vector>

class TFCamera;

struct TDefaultRefusal {
  std::size_t Key;  // place in the camera's property key order
  QString Message;
  std::int32_t Code = 0;  // the platform's result code; 0 for the component's own refusal
};

// Each supported property to its driver default, on its own: one that
// refuses keeps its value, the others are reset. Writing a value keeps the
// property's automatic mode. Returns the refusals, in key order.
std::vector<TDefaultRefusal> ResetToFactoryDefaults(TFCamera& camera);
