// Rijndael block code through the AES-NI instructions. Compiled for the baseline target; only the functions
// marked with the target attribute use the instructions, and they are reached only after the CPU said it
// has them. The round keys come from the shared key expansion: their words are the key bytes in order.

#include <immintrin.h>

#include "symmetric/CryptoPath.h"
#include "symmetric/RijndaelImpl.h"

#define CORVANE_AESNI __attribute__((target("aes,sse4.1")))

namespace corvane {

namespace {

constexpr std::size_t kParallel = 8;  // CBC decryption blocks in flight

CORVANE_AESNI inline __m128i Load(const void* p) {
  return _mm_loadu_si128(static_cast<const __m128i*>(p));
}
CORVANE_AESNI inline void Store(void* p, __m128i v) {
  _mm_storeu_si128(static_cast<__m128i*>(p), v);
}

template <int R>
CORVANE_AESNI inline void LoadKeys(const uint32_t (*keys)[4], __m128i* rk) {
#pragma GCC unroll 15
  for (int i = 0; i <= R; ++i) rk[i] = _mm_load_si128(reinterpret_cast<const __m128i*>(keys[i]));
}

template <int R>
CORVANE_AESNI inline __m128i Encrypt(__m128i b, const __m128i* rk) {
#pragma GCC unroll 14
  for (int i = 1; i < R; ++i) b = _mm_aesenc_si128(b, rk[i]);
  return _mm_aesenclast_si128(b, rk[R]);
}

template <int R>
CORVANE_AESNI void CbcEncryptRounds(const TAesKeys& keys, uint8_t* chain, const uint8_t* in, uint8_t* out,
                                    std::size_t blocks) {
  __m128i rk[R + 1];
  LoadKeys<R>(keys.enc, rk);
  __m128i cv = Load(chain);
  for (std::size_t b = 0; b < blocks; ++b, in += 16, out += 16) {
    // in ^ rk[0] does not wait for the previous block; only the last XOR with cv is on the chain.
    const __m128i whitened = _mm_xor_si128(Load(in), rk[0]);
    cv = Encrypt<R>(_mm_xor_si128(whitened, cv), rk);
    Store(out, cv);
  }
  Store(chain, cv);
}

template <int R>
CORVANE_AESNI void CbcDecryptRounds(const TAesKeys& keys, uint8_t* chain, const uint8_t* in, uint8_t* out,
                                    std::size_t blocks) {
  __m128i rk[R + 1];
  LoadKeys<R>(keys.dec, rk);
  __m128i cv = Load(chain);
  // Every block is loaded before any is stored, so `in` may be `out`.
  for (; blocks >= kParallel; blocks -= kParallel, in += 16 * kParallel, out += 16 * kParallel) {
    // Unrolled completely, so the blocks live in registers and the rounds interleave.
    __m128i c[kParallel], b[kParallel];
#pragma GCC unroll 8
    for (std::size_t i = 0; i < kParallel; ++i) {
      c[i] = Load(in + 16 * i);
      b[i] = _mm_xor_si128(c[i], rk[0]);
    }
#pragma GCC unroll 14
    for (int r = 1; r < R; ++r)
#pragma GCC unroll 8
      for (std::size_t i = 0; i < kParallel; ++i) b[i] = _mm_aesdec_si128(b[i], rk[r]);
#pragma GCC unroll 8
    for (std::size_t i = 0; i < kParallel; ++i) {
      b[i] = _mm_aesdeclast_si128(b[i], rk[R]);
      Store(out + 16 * i, _mm_xor_si128(b[i], i == 0 ? cv : c[i - 1]));
    }
    cv = c[kParallel - 1];
  }
  for (; blocks > 0; --blocks, in += 16, out += 16) {
    const __m128i c = Load(in);
    __m128i b = _mm_xor_si128(c, rk[0]);
#pragma GCC unroll 14
    for (int r = 1; r < R; ++r) b = _mm_aesdec_si128(b, rk[r]);
    Store(out, _mm_xor_si128(_mm_aesdeclast_si128(b, rk[R]), cv));
    cv = c;
  }
  Store(chain, cv);
}

CORVANE_AESNI void EncryptBlock(const TAesKeys& keys, const uint8_t* in, uint8_t* out) {
  const auto* rk = reinterpret_cast<const __m128i*>(keys.enc);
  __m128i b = _mm_xor_si128(Load(in), _mm_load_si128(rk));
  for (int i = 1; i < keys.rounds; ++i) b = _mm_aesenc_si128(b, _mm_load_si128(rk + i));
  Store(out, _mm_aesenclast_si128(b, _mm_load_si128(rk + keys.rounds)));
}

CORVANE_AESNI void DecryptBlock(const TAesKeys& keys, const uint8_t* in, uint8_t* out) {
  const auto* rk = reinterpret_cast<const __m128i*>(keys.dec);
  __m128i b = _mm_xor_si128(Load(in), _mm_load_si128(rk));
  for (int i = 1; i < keys.rounds; ++i) b = _mm_aesdec_si128(b, _mm_load_si128(rk + i));
  Store(out, _mm_aesdeclast_si128(b, _mm_load_si128(rk + keys.rounds)));
}

void CbcEncrypt(const TAesKeys& keys, uint8_t* chain, const uint8_t* in, uint8_t* out, std::size_t blocks) {
  switch (keys.rounds) {
    case 10:
      return CbcEncryptRounds<10>(keys, chain, in, out, blocks);
    case 12:
      return CbcEncryptRounds<12>(keys, chain, in, out, blocks);
    default:
      return CbcEncryptRounds<14>(keys, chain, in, out, blocks);
  }
}

void CbcDecrypt(const TAesKeys& keys, uint8_t* chain, const uint8_t* in, uint8_t* out, std::size_t blocks) {
  switch (keys.rounds) {
    case 10:
      return CbcDecryptRounds<10>(keys, chain, in, out, blocks);
    case 12:
      return CbcDecryptRounds<12>(keys, chain, in, out, blocks);
    default:
      return CbcDecryptRounds<14>(keys, chain, in, out, blocks);
  }
}

constexpr TAesOps kAesNi{"AES-NI", EncryptBlock, DecryptBlock, CbcEncrypt, CbcDecrypt};

}  // namespace

const TAesOps* AesNiOps() {
  return CpuHasAesNi() ? &kAesNi : nullptr;
}

}  // namespace corvane
