#pragma once

// Names that tell identical cameras apart. Two webcams of one model report
// the same name, and a name is how the user, the settings files and the
// component pick a camera, so the second and further ones get "Name #2",
// "Name #3", ... numbered by where they sit (their bus position), not by
// the order the system happened to find them in: the numbers then stay the
// same from one start to the next.

#include <string>
#include <vector>

namespace varnholt::platform {

struct NamedDevice {
  std::string name;
  std::string position;  // sorts the devices of one name; compared naturally
};

// The devices' names in the same order, with duplicates numbered.
std::vector<std::string> DistinctNames(const std::vector<NamedDevice>& devices);

// "usb-3-2" before "usb-3-10": runs of digits compare as numbers.
bool NaturalLess(const std::string& a, const std::string& b);

}  // namespace varnholt::platform
