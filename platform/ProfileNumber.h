#pragma once

// Integer values of profile files: trimmed decimal with an optional sign, or
// hexadecimal after "0x", "0X" or "$", taken as a 32-bit two's-complement
// value so that "$FFFFFFFF" is -1. Anything else, or anything out of range,
// is no number.

#include <QString>
#include <optional>

namespace varnholt::profile {

std::optional<int> ParseProfileInteger(const QString& text);

}  // namespace varnholt::profile
