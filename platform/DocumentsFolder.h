#pragma once

// Where the program keeps user files: the documents folder and our folder
// in it. Both follow the environment at the time of the call.

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
