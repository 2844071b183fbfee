#pragma once
// CRC-16 of LHA archives (reflected polynomial 0xA001, initial value 0, no final xor).

#include <cstddef>
#include <cstdint>

namespace corvane::lha {

// One byte at a time: the reference the fast paths are tested against.
uint16_t Crc16Portable(uint16_t crc, const uint8_t* data, size_t size);
// Sixteen bytes per step with sixteen tables.
uint16_t Crc16Slicing(uint16_t crc, const uint8_t* data, size_t size);
// Carry-less multiplication (PCLMULQDQ); only to be called when the processor has it.
uint16_t Crc16Clmul(uint16_t crc, const uint8_t* data, size_t size);
bool HaveClmul();
// The fastest of the above that the processor runs; all give the same values.
uint16_t Crc16(uint16_t crc, const uint8_t* data, size_t size);

}  // namespace corvane::lha
