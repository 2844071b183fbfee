// SHA-1 blocks through the SHA extensions. Only this function carries the target attribute; it is reached
// only after the CPU said it has the instructions.
//
// Lanes: the state register holds A in its top lane and D in its bottom one, and each message register
// holds four schedule words with the earliest in the top lane; the byte shuffle of a loaded 16-byte
// piece gives exactly that from big-endian input.

#include <immintrin.h>

#include "symmetric/Sha1Impl.h"

#define CORVANE_SHANI __attribute__((target("sha,sse4.1")))

namespace corvane {

namespace {

// sha1rnds4 takes its round function as an immediate: one instantiation per group of 20 rounds.
CORVANE_SHANI inline __m128i FourRounds(__m128i abcd, __m128i e, int group) {
  switch (group / 5) {
    case 0:
      return _mm_sha1rnds4_epu32(abcd, e, 0);
    case 1:
      return _mm_sha1rnds4_epu32(abcd, e, 1);
    case 2:
      return _mm_sha1rnds4_epu32(abcd, e, 2);
    default:
      return _mm_sha1rnds4_epu32(abcd, e, 3);
  }
}

}  // namespace

CORVANE_SHANI void Sha1CompressShaNi(uint32_t state[5], const uint8_t* blocks, std::size_t count) {
  const __m128i reverse = _mm_set_epi64x(0x0001020304050607LL, 0x08090a0b0c0d0e0fLL);
  __m128i abcd = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state)), 0x1B);
  __m128i e0 = _mm_set_epi32(static_cast<int>(state[4]), 0, 0, 0);

  for (; count > 0; --count, blocks += 64) {
    const __m128i abcdSaved = abcd;
    const __m128i eSaved = e0;
    // m[g % 4] holds schedule words 4g .. 4g+3 for the group g of four rounds being run.
    __m128i m[4];
    for (int i = 0; i < 4; ++i)
      m[i] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(blocks + 16 * i)), reverse);

    __m128i previous = abcd;  // the state before the last four rounds: its A becomes the next E
    abcd = FourRounds(abcd, _mm_add_epi32(e0, m[0]), 0);
#pragma GCC unroll 19
    for (int g = 1; g < 20; ++g) {
      if (g >= 4) {
        // W[t] = rotl1(W[t-3] ^ W[t-8] ^ W[t-14] ^ W[t-16]) for the four words of group g.
        const __m128i partial = _mm_xor_si128(_mm_sha1msg1_epu32(m[g & 3], m[(g + 1) & 3]), m[(g + 2) & 3]);
        m[g & 3] = _mm_sha1msg2_epu32(partial, m[(g + 3) & 3]);
      }
      const __m128i e = _mm_sha1nexte_epu32(previous, m[g & 3]);
      previous = abcd;
      abcd = FourRounds(abcd, e, g);
    }
    e0 = _mm_sha1nexte_epu32(previous, eSaved);
    abcd = _mm_add_epi32(abcd, abcdSaved);
  }

  _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_shuffle_epi32(abcd, 0x1B));
  state[4] = static_cast<uint32_t>(_mm_extract_epi32(e0, 3));
}

}  // namespace corvane
