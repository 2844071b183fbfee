#pragma once
// CRC-16 of LHA archives (reflected polynomial 0xA001, initial value 0, no final xor).

#include <cstddef>
#include <cstdint>

namespace corvane::lha {

// One byte at a time: the reference the fast path is tested against.
uint16_t Crc16Portable(uint16_t crc, const uint8_t* data, size_t size);
// Sixteen bytes per step with sixteen tables; gives exactly the same values as Crc16Portable.
uint16_t Crc16(uint16_t crc, const uint8_t* data, size_t size);

}  // namespace corvane::lha
