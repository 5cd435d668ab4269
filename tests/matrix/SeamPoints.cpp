#include "tests/matrix/SeamPoints.h"

#include <map>
#include <regex>
#include <set>
#include <sstream>

namespace varnholt::test {

std::vector<std::string> SeamPoints(const std::vector<std::string>& headerTexts) {
  static const std::regex kClass(R"(^(?:template <[^>]*>\s*)?class (\w+)\s*(?::\s*([^{]*))?\{)");
  static const std::regex kMethod(R"(virtual HResult (\w+)\()");
  static const std::regex kBase(R"(public\s+(?:virtual\s+)?(\w+))");
  std::map<std::string, std::vector<std::string>> methods;  // own methods by class
  std::map<std::string, std::vector<std::string>> bases;
  std::vector<std::string> order;
  for (const std::string& text : headerTexts) {
    std::istringstream lines(text);
    std::string line, current, pendingTemplate;
    while (std::getline(lines, line)) {
      if (line.rfind("template <", 0) == 0 && line.find("class") == std::string::npos) {
        pendingTemplate = line + " ";
        continue;
      }
      std::smatch m;
      const std::string joined = pendingTemplate + line;
      pendingTemplate.clear();
      if (std::regex_search(joined, m, kClass)) {
        current = m[1];
        order.push_back(current);
        const std::string baseList = m[2];
        for (std::sregex_iterator it(baseList.begin(), baseList.end(), kBase), end; it != end; ++it)
          bases[current].push_back((*it)[1]);
        continue;
      }
      if (line.rfind("};", 0) == 0)
        current.clear();
      if (!current.empty() && std::regex_search(line, m, kMethod))
        methods[current].push_back(m[1]);
    }
  }
  // An interface of no methods of its own is its base's shape under its own
  // name (IEnumPins, IAMCameraControl); the shape itself is then no interface.
  std::set<std::string> inherited;
  for (const auto& [name, list] : bases)
    if (methods[name].empty())
      for (const std::string& base : list)
        if (!methods[base].empty())
          inherited.insert(base);
  std::vector<std::string> points;
  for (const std::string& name : order) {
    if (inherited.count(name) || (name.size() > 2 && name.compare(name.size() - 2, 2, "CB") == 0))
      continue;
    std::vector<std::string> all = methods[name];
    if (all.empty())
      for (const std::string& base : bases[name])
        for (const std::string& method : methods[base])
          all.push_back(method);
    for (const std::string& method : all)
      points.push_back(name + "." + method);
  }
  return points;
}

}  // namespace varnholt::test
