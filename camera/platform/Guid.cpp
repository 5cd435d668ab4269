#include "camera/platform/Guid.h"

#include <cstdio>

namespace varnholt::platform {

std::array<std::uint8_t, 16> Guid::ToBytes() const {
  std::array<std::uint8_t, 16> out{};
  for (int i = 0; i < 4; ++i)
    out[i] = static_cast<std::uint8_t>(data1 >> (8 * i));
  for (int i = 0; i < 2; ++i)
    out[4 + i] = static_cast<std::uint8_t>(data2 >> (8 * i));
  for (int i = 0; i < 2; ++i)
    out[6 + i] = static_cast<std::uint8_t>(data3 >> (8 * i));
  std::memcpy(out.data() + 8, data4.data(), 8);
  return out;
}

Guid Guid::FromBytes(const std::uint8_t* b) {
  Guid g;
  g.data1 = static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
            (static_cast<std::uint32_t>(b[2]) << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
  g.data2 = static_cast<std::uint16_t>(b[4] | (b[5] << 8));
  g.data3 = static_cast<std::uint16_t>(b[6] | (b[7] << 8));
  std::memcpy(g.data4.data(), b + 8, 8);
  return g;
}

std::string Guid::ToString() const {
  char buf[40];
  std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                static_cast<unsigned>(data1), data2, data3, data4[0], data4[1], data4[2], data4[3],
                data4[4], data4[5], data4[6], data4[7]);
  return buf;
}

namespace {
int HexDigit(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}
}  // namespace

std::optional<Guid> Guid::Parse(std::string_view text) {
  // Accepts the braced and the bare form.
  if (text.size() == 38 && text.front() == '{' && text.back() == '}')
    text = text.substr(1, 36);
  if (text.size() != 36)
    return std::nullopt;
  std::uint8_t raw[16];
  int n = 0;
  for (std::size_t i = 0; i < text.size();) {
    if (i == 8 || i == 13 || i == 18 || i == 23) {
      if (text[i] != '-')
        return std::nullopt;
      ++i;
      continue;
    }
    const int hi = HexDigit(text[i]), lo = HexDigit(text[i + 1]);
    if (hi < 0 || lo < 0)
      return std::nullopt;
    raw[n++] = static_cast<std::uint8_t>(hi * 16 + lo);
    i += 2;
  }
  // raw holds the big-endian text order; the first three fields are little-endian in memory.
  Guid g;
  g.data1 = (static_cast<std::uint32_t>(raw[0]) << 24) |
            (static_cast<std::uint32_t>(raw[1]) << 16) | (static_cast<std::uint32_t>(raw[2]) << 8) |
            raw[3];
  g.data2 = static_cast<std::uint16_t>((raw[4] << 8) | raw[5]);
  g.data3 = static_cast<std::uint16_t>((raw[6] << 8) | raw[7]);
  std::memcpy(g.data4.data(), raw + 8, 8);
  return g;
}

}  // namespace varnholt::platform
