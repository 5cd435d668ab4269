#pragma once

// The debugger channel of the trace. On Linux it is standard error: each
// text becomes one line, written whole so that lines from different threads
// never interleave. On Windows it is the system's debugger channel
// (OutputDebugStringW), one message per text.

#include <QString>

namespace varnholt {

// Writes text unchanged plus "\n", as UTF-8, in one write (on Windows: the
// text as one debugger message). Thread-safe.
void OutputDebugString(const QString& text);

}  // namespace varnholt
