#pragma once

#include <QString>

namespace varnholt {

// Text that a device chose (a camera's name or path) on its way to a
// terminal or a line-based listing: a tab, line break or terminal escape in
// it would forge other lines or drive the terminal. Control characters,
// line and paragraph separators and lone surrogates become escapes, and
// backslashes double so that every escape reads back one way.
QString TerminalField(const QString& text);

// A whole message for a terminal: its own line breaks and tabs stay, every
// other control character becomes an escape.
QString TerminalLines(const QString& text);

}  // namespace varnholt
