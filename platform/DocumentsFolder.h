#pragma once

// Where the program keeps user files: the documents folder and our folder
// in it. Both follow the environment at the time of the call: on Linux the
// desktop's documents folder (XDG), on Windows the shell's Documents folder
// (platform/win/WinFolders.h), with "/" as the separator on both.

#include <QString>

namespace varnholt {

// The user's documents folder without trailing separator; empty when the
// system names none.
QString DocumentsFolder();
// DocumentsFolder() + "/Varnholt"; empty when there is no documents folder,
// so that nothing ends up in the file system root.
QString SettingsFolder();
// Creates SettingsFolder() with any missing parents; true when it exists.
bool CreateSettingsFolder();

}  // namespace varnholt
