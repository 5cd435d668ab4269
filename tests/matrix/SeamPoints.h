#pragma once

// The methods of the platform seam that answer an HResult, read from the
// interface headers themselves, so that a method added there joins the
// fault matrix (and fails the coverage check until it has a fault point).

#include <string>
#include <vector>

namespace varnholt::test {

// "Interface.Method" of every HResult method of the classes in the headers:
// a method of a base shared by several interfaces (IEnum, IPropertyFamily)
// is listed under each interface that has it. Interfaces the caller
// implements (callbacks, named ...CB) are not the platform's to fail.
std::vector<std::string> SeamPoints(const std::vector<std::string>& headerTexts);

}  // namespace varnholt::test
