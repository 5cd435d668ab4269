#include "platform/ProfileNumber.h"

#include <cstdint>
#include <limits>

namespace varnholt::profile {
namespace {

int HexDigit(QChar c) {
  const char16_t u = c.unicode();
  if (u >= '0' && u <= '9')
    return u - '0';
  if (u >= 'a' && u <= 'f')
    return u - 'a' + 10;
  if (u >= 'A' && u <= 'F')
    return u - 'A' + 10;
  return -1;
}

std::optional<int> ParseHex(QStringView digits) {
  if (digits.isEmpty())
    return std::nullopt;
  std::uint64_t value = 0;
  for (const QChar c : digits) {
    const int digit = HexDigit(c);
    if (digit < 0)
      return std::nullopt;
    value = value * 16 + digit;
    if (value > std::numeric_limits<std::uint32_t>::max())
      return std::nullopt;
  }
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
}

std::optional<int> ParseDecimal(QStringView text) {
  bool negative = false;
  if (!text.isEmpty() && (text.front() == u'-' || text.front() == u'+')) {
    negative = text.front() == u'-';
    text = text.mid(1);
  }
  if (text.isEmpty())
    return std::nullopt;
  const std::int64_t limit = std::int64_t(std::numeric_limits<int>::max()) + (negative ? 1 : 0);
  std::int64_t value = 0;
  for (const QChar c : text) {
    const char16_t u = c.unicode();
    if (u < '0' || u > '9')
      return std::nullopt;
    value = value * 10 + (u - '0');
    if (value > limit)
      return std::nullopt;
  }
  return static_cast<int>(negative ? -value : value);
}

}  // namespace

std::optional<int> ParseProfileInteger(const QString& text) {
  const QString trimmed = text.trimmed();
  const QStringView view(trimmed);
  if (view.startsWith(u"0x") || view.startsWith(u"0X"))
    return ParseHex(view.mid(2));
  if (view.startsWith(u'$'))
    return ParseHex(view.mid(1));
  return ParseDecimal(view);
}

}  // namespace varnholt::profile
