#include "platform/unlha32/Crc16.h"

#include <array>

namespace corvane::lha {
namespace {

constexpr int kSlices = 16;
using Tables = std::array<std::array<uint16_t, 256>, kSlices>;

constexpr Tables MakeTables() {
  Tables t{};
  for (unsigned i = 0; i < 256; ++i) {
    uint16_t c = static_cast<uint16_t>(i);
    for (int k = 0; k < 8; ++k)
      c = (c & 1) ? static_cast<uint16_t>((c >> 1) ^ 0xA001) : static_cast<uint16_t>(c >> 1);
    t[0][i] = c;
  }
  // t[k][i] is the CRC of byte i followed by k zero bytes, which lets sixteen bytes be folded at once.
  for (unsigned i = 0; i < 256; ++i)
    for (int k = 1; k < kSlices; ++k)
      t[k][i] = static_cast<uint16_t>((t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF]);
  return t;
}

constexpr Tables kTables = MakeTables();

}  // namespace

uint16_t Crc16Portable(uint16_t crc, const uint8_t* data, size_t size) {
  for (size_t i = 0; i < size; ++i)
    crc = static_cast<uint16_t>((crc >> 8) ^ kTables[0][(crc ^ data[i]) & 0xFF]);
  return crc;
}

uint16_t Crc16Slicing(uint16_t crc, const uint8_t* data, size_t size) {
  const auto& t = kTables;
  // The sixteen lookups of one step are independent of each other except for the first two, so the
  // processor overlaps them; this runs several times faster than one byte at a time.
  while (size >= 16) {
    const unsigned b0 = (data[0] ^ crc) & 0xFF, b1 = (data[1] ^ (crc >> 8)) & 0xFF;
    crc = static_cast<uint16_t>(t[15][b0] ^ t[14][b1] ^ t[13][data[2]] ^ t[12][data[3]] ^ t[11][data[4]] ^
                                t[10][data[5]] ^ t[9][data[6]] ^ t[8][data[7]] ^ t[7][data[8]] ^
                                t[6][data[9]] ^ t[5][data[10]] ^ t[4][data[11]] ^ t[3][data[12]] ^
                                t[2][data[13]] ^ t[1][data[14]] ^ t[0][data[15]]);
    data += 16;
    size -= 16;
  }
  return Crc16Portable(crc, data, size);
}

bool HaveClmul() {
  static const bool have = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
  return have;
}

uint16_t Crc16(uint16_t crc, const uint8_t* data, size_t size) {
  return HaveClmul() ? Crc16Clmul(crc, data, size) : Crc16Slicing(crc, data, size);
}

}  // namespace corvane::lha
