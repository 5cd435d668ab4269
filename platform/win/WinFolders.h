#pragma once

// The shell's per-user folders, as Windows names them. Qt-free, so that it
// cross-builds and runs under Wine with the rest of platform/win/.

#include <string>

namespace varnholt::win {

// The user's Documents folder (FOLDERID_Documents, which may have been moved
// to another drive or to a redirected share) without a trailing backslash;
// empty when the shell names none.
std::wstring DocumentsFolder();

// %LOCALAPPDATA%\Varnholt, made when missing: per user, not roamed, and
// closed to other users by the profile's own access list. Empty when it
// cannot be made.
std::wstring PrivateFolder();

}  // namespace varnholt::win
