#pragma once
// The cable crosses the data lines: bit 7 of every value the PC sends leaves on D0, bit 6 on D1, and
// so on. Every data write of the link goes through this table.

#include <array>
#include <cstdint>

namespace sondesk {

constexpr std::array<std::uint8_t, 256> MakeBitReverseTable() {
  std::array<std::uint8_t, 256> t{};
  for (int v = 0; v < 256; ++v) {
    int r = 0;
    for (int bit = 0; bit < 8; ++bit) {
      if (v & (1 << bit)) r |= 0x80 >> bit;
    }
    t[v] = static_cast<std::uint8_t>(r);
  }
  return t;
}
inline constexpr std::array<std::uint8_t, 256> kBitReverse = MakeBitReverseTable();

// The nibble the player shows on the status lines: bits 3, 4, 5 carry nibble bits 3, 2, 1, and
// nibble bit 0 is 1 when status bit 7 reads 0.
constexpr std::uint8_t DecodeNibble(std::uint8_t status) {
  return static_cast<std::uint8_t>(((status >> 3) & 1) << 3 | ((status >> 4) & 1) << 2 |
                                   ((status >> 5) & 1) << 1 | ((status & 0x80) ? 0 : 1));
}

}  // namespace sondesk
