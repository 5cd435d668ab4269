#pragma once

// This process's executable and the running processes of one executable
// name, from a Toolhelp snapshot. Qt-free.

#include <string>
#include <string_view>
#include <vector>

namespace varnholt::win {

// The full path of this process's executable; empty when the system does
// not say.
std::wstring OwnExecutablePath();

// The last component of a path ("C:\\bin\\varnholt.exe" -> "varnholt.exe").
std::wstring FileNameOf(std::wstring_view path);

// Ids of the running processes whose executable file is called name (the
// case of letters ignored, as the file system does), of every user that
// the snapshot shows. The snapshot is a moment's picture: a process may end
// or start right after it.
std::vector<unsigned long> ProcessIdsNamed(std::wstring_view name);

}  // namespace varnholt::win
