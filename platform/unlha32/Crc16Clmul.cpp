// CRC-16 by folding: the data is reduced 64 bytes at a time with carry-less multiplications by constants
// x^n mod P, which keeps a 128-bit block congruent (modulo P) to everything read so far; the last block
// and the tail then go through the table-driven code. Reflected bit order: bit i of a 64-bit lane is the
// coefficient of x^(63-i), and a carry-less product of two such lanes comes out multiplied by x once,
// which the constants absorb (they are x^(n-1) for a shift by n).
#include <immintrin.h>

#include "platform/unlha32/Crc16.h"

namespace corvane::lha {
namespace {

// x^n mod P for P = x^16 + x^15 + x^2 + 1, as a reflected 64-bit lane.
constexpr uint64_t PowerLane(unsigned n) {
  uint32_t r = 1;
  for (unsigned i = 0; i < n; ++i) {
    r <<= 1;
    if (r & 0x10000) r ^= 0x18005;
  }
  uint64_t lane = 0;
  for (int d = 0; d < 16; ++d)
    if ((r >> d) & 1) lane |= uint64_t{1} << (63 - d);
  return lane;
}

// Constants that move a block forward by `bits`: the low lane holds the higher-degree half of the block.
struct TFoldConstants {
  uint64_t low, high;
};
constexpr TFoldConstants Shift(unsigned bits) {
  return {PowerLane(bits + 63), PowerLane(bits - 1)};
}
constexpr TFoldConstants kBy512 = Shift(512);
constexpr TFoldConstants kBy128 = Shift(128);

__attribute__((target("pclmul,sse4.1"))) inline __m128i Fold(__m128i block, __m128i k) {
  return _mm_xor_si128(_mm_clmulepi64_si128(block, k, 0x00), _mm_clmulepi64_si128(block, k, 0x11));
}

__attribute__((target("pclmul,sse4.1"))) inline __m128i Load(const uint8_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

}  // namespace

__attribute__((target("pclmul,sse4.1"))) uint16_t Crc16Clmul(uint16_t crc, const uint8_t* data, size_t size) {
  if (size < 128) return Crc16Slicing(crc, data, size);
  const __m128i k512 =
      _mm_set_epi64x(static_cast<long long>(kBy512.high), static_cast<long long>(kBy512.low));
  const __m128i k128 =
      _mm_set_epi64x(static_cast<long long>(kBy128.high), static_cast<long long>(kBy128.low));
  // The running CRC enters as an xor into the first two message bytes.
  __m128i x0 = _mm_xor_si128(Load(data), _mm_cvtsi32_si128(crc));
  __m128i x1 = Load(data + 16), x2 = Load(data + 32), x3 = Load(data + 48);
  data += 64;
  size -= 64;
  while (size >= 64) {
    x0 = _mm_xor_si128(Fold(x0, k512), Load(data));
    x1 = _mm_xor_si128(Fold(x1, k512), Load(data + 16));
    x2 = _mm_xor_si128(Fold(x2, k512), Load(data + 32));
    x3 = _mm_xor_si128(Fold(x3, k512), Load(data + 48));
    data += 64;
    size -= 64;
  }
  __m128i x = _mm_xor_si128(Fold(x0, k128), x1);
  x = _mm_xor_si128(Fold(x, k128), x2);
  x = _mm_xor_si128(Fold(x, k128), x3);
  while (size >= 16) {
    x = _mm_xor_si128(Fold(x, k128), Load(data));
    data += 16;
    size -= 16;
  }
  alignas(16) uint8_t last[16];
  _mm_store_si128(reinterpret_cast<__m128i*>(last), x);
  return Crc16Slicing(Crc16Slicing(0, last, 16), data, size);
}

}  // namespace corvane::lha
