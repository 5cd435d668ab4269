#pragma once

// A request that the application end once its event loop serves events:
// what posting a quit message does elsewhere. The application object says
// how it wants to be asked; without one, a quit is posted to the loop.

#include <functional>

namespace varnholt {

void RequestQuit();

using QuitHandler = std::function<void()>;
// Installs handler (nullptr: the posted quit); answers the previous one.
QuitHandler SetQuitHandler(QuitHandler handler);

}  // namespace varnholt
