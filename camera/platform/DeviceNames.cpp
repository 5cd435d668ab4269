#include "camera/platform/DeviceNames.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <string_view>

namespace varnholt::platform {
namespace {

bool IsDigit(char c) {
  return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

}  // namespace

bool NaturalLess(const std::string& a, const std::string& b) {
  std::size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (IsDigit(a[i]) && IsDigit(b[j])) {
      const std::size_t si = i, sj = j;
      while (i < a.size() && IsDigit(a[i]))
        ++i;
      while (j < b.size() && IsDigit(b[j]))
        ++j;
      // Without leading zeros, the longer run is the larger number.
      std::string_view x(a.data() + si, i - si), y(b.data() + sj, j - sj);
      x.remove_prefix(std::min(x.find_first_not_of('0'), x.size()));
      y.remove_prefix(std::min(y.find_first_not_of('0'), y.size()));
      if (x.size() != y.size())
        return x.size() < y.size();
      if (x != y)
        return x < y;
      continue;
    }
    if (a[i] != b[j])
      return a[i] < b[j];
    ++i;
    ++j;
  }
  return a.size() - i < b.size() - j;
}

std::vector<std::string> DistinctNames(const std::vector<NamedDevice>& devices) {
  std::map<std::string, std::vector<std::size_t>> byName;
  for (std::size_t i = 0; i < devices.size(); ++i)
    byName[devices[i].name].push_back(i);
  std::vector<std::string> names(devices.size());
  for (auto& [name, indices] : byName) {
    std::stable_sort(indices.begin(), indices.end(), [&](std::size_t x, std::size_t y) {
      return NaturalLess(devices[x].position, devices[y].position);
    });
    for (std::size_t k = 0; k < indices.size(); ++k)
      names[indices[k]] = k == 0 ? name : name + " #" + std::to_string(k + 1);
  }
  return names;
}

}  // namespace varnholt::platform
