// Portable Rijndael: the key expansion shared by every implementation and the table-driven block code
// (four 256-entry tables per direction, derived at compile time from the S-box).
//
// Words hold four state bytes little-endian: byte r of a column (row r) sits at bits 8r..8r+7, so a
// column is a plain little-endian load of its 4 bytes, and the AES-NI code reads the same round keys.

#include <array>
#include <cstring>

#include "symmetric/RijndaelImpl.h"

namespace corvane {

namespace {

constexpr uint8_t Times2(uint8_t x) {
  return static_cast<uint8_t>((x << 1) ^ ((x & 0x80) ? 0x1B : 0));
}

constexpr uint8_t Multiply(uint8_t a, uint8_t b) {
  uint8_t product = 0;
  for (; b; b >>= 1, a = Times2(a))
    if (b & 1) product ^= a;
  return product;
}

constexpr uint8_t Rotl8(uint8_t x, int n) {
  return static_cast<uint8_t>((x << n) | (x >> (8 - n)));
}

constexpr std::array<uint8_t, 256> MakeSbox() {
  // Multiplicative inverses through powers of the generator 3: if x = 3^k then x^-1 = 3^(255-k).
  std::array<uint8_t, 256> power{}, log{};
  uint8_t x = 1;
  for (int k = 0; k < 255; ++k) {
    power[k] = x;
    log[x] = static_cast<uint8_t>(k);
    x = static_cast<uint8_t>(x ^ Times2(x));
  }
  std::array<uint8_t, 256> box{};
  for (int i = 0; i < 256; ++i) {
    const uint8_t b = i == 0 ? 0 : power[(255 - log[i]) % 255];
    box[i] = b ^ Rotl8(b, 1) ^ Rotl8(b, 2) ^ Rotl8(b, 3) ^ Rotl8(b, 4) ^ 0x63;
  }
  return box;
}

constexpr std::array<uint8_t, 256> kSbox = MakeSbox();

constexpr std::array<uint8_t, 256> MakeInverseSbox() {
  std::array<uint8_t, 256> box{};
  for (int i = 0; i < 256; ++i) box[kSbox[i]] = static_cast<uint8_t>(i);
  return box;
}

constexpr std::array<uint8_t, 256> kInverseSbox = MakeInverseSbox();

constexpr uint32_t Rotl32(uint32_t x, int n) {
  return n == 0 ? x : (x << n) | (x >> (32 - n));
}

constexpr uint32_t Word(uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3) {
  return b0 | (uint32_t{b1} << 8) | (uint32_t{b2} << 16) | (uint32_t{b3} << 24);
}

using TTables = std::array<std::array<uint32_t, 256>, 4>;

// Table t maps a byte of row t to its column's contribution after SubBytes and MixColumns.
constexpr TTables MakeEncryptTables() {
  TTables t{};
  for (int i = 0; i < 256; ++i) {
    const uint8_t s = kSbox[i];
    const uint32_t w = Word(Multiply(s, 2), s, s, Multiply(s, 3));
    for (int r = 0; r < 4; ++r) t[r][i] = Rotl32(w, 8 * r);
  }
  return t;
}

constexpr TTables MakeDecryptTables() {
  TTables t{};
  for (int i = 0; i < 256; ++i) {
    const uint8_t s = kInverseSbox[i];
    const uint32_t w = Word(Multiply(s, 14), Multiply(s, 9), Multiply(s, 13), Multiply(s, 11));
    for (int r = 0; r < 4; ++r) t[r][i] = Rotl32(w, 8 * r);
  }
  return t;
}

constexpr TTables kEncrypt = MakeEncryptTables();
constexpr TTables kDecrypt = MakeDecryptTables();

inline uint32_t Load32(const uint8_t* p) {
  return Word(p[0], p[1], p[2], p[3]);
}

inline void Store32(uint8_t* p, uint32_t w) {
  p[0] = static_cast<uint8_t>(w);
  p[1] = static_cast<uint8_t>(w >> 8);
  p[2] = static_cast<uint8_t>(w >> 16);
  p[3] = static_cast<uint8_t>(w >> 24);
}

inline uint8_t Byte(uint32_t w, int r) {
  return static_cast<uint8_t>(w >> (8 * r));
}

uint32_t SubWord(uint32_t w) {
  return Word(kSbox[Byte(w, 0)], kSbox[Byte(w, 1)], kSbox[Byte(w, 2)], kSbox[Byte(w, 3)]);
}

uint32_t InvMixColumn(uint32_t w) {
  const uint8_t a = Byte(w, 0), b = Byte(w, 1), c = Byte(w, 2), d = Byte(w, 3);
  return Word(Multiply(a, 14) ^ Multiply(b, 11) ^ Multiply(c, 13) ^ Multiply(d, 9),
              Multiply(a, 9) ^ Multiply(b, 14) ^ Multiply(c, 11) ^ Multiply(d, 13),
              Multiply(a, 13) ^ Multiply(b, 9) ^ Multiply(c, 14) ^ Multiply(d, 11),
              Multiply(a, 11) ^ Multiply(b, 13) ^ Multiply(c, 9) ^ Multiply(d, 14));
}

// One table round: column j draws row r from column j + r (encryption, ShiftRows) or j - r (decryption).
template <int Direction>
inline void Round(const TTables& t, const uint32_t* s, uint32_t* out, const uint32_t* key) {
#pragma GCC unroll 4
  for (int j = 0; j < 4; ++j) {
    out[j] = t[0][Byte(s[j], 0)] ^ t[1][Byte(s[(j + Direction * 1 + 4) & 3], 1)] ^
             t[2][Byte(s[(j + Direction * 2 + 4) & 3], 2)] ^ t[3][Byte(s[(j + Direction * 3 + 4) & 3], 3)] ^
             key[j];
  }
}

template <int Direction>
inline void LastRound(const std::array<uint8_t, 256>& box, const uint32_t* s, uint8_t* out,
                      const uint32_t* key) {
#pragma GCC unroll 4
  for (int j = 0; j < 4; ++j) {
    const uint32_t w =
        Word(box[Byte(s[j], 0)], box[Byte(s[(j + Direction * 1 + 4) & 3], 1)],
             box[Byte(s[(j + Direction * 2 + 4) & 3], 2)], box[Byte(s[(j + Direction * 3 + 4) & 3], 3)]);
    Store32(out + 4 * j, w ^ key[j]);
  }
}

template <int Direction>
void Block(const TTables& tables, const std::array<uint8_t, 256>& box, const uint32_t (*keys)[4], int rounds,
           const uint8_t* in, uint8_t* out) {
  // Fully unrolled over the columns, so the state stays in registers.
  uint32_t s[4], t[4];
#pragma GCC unroll 4
  for (int j = 0; j < 4; ++j) s[j] = Load32(in + 4 * j) ^ keys[0][j];
  for (int r = 1; r < rounds; ++r) {
    Round<Direction>(tables, s, t, keys[r]);
#pragma GCC unroll 4
    for (int j = 0; j < 4; ++j) s[j] = t[j];
  }
  LastRound<Direction>(box, s, out, keys[rounds]);
}

void EncryptBlock(const TAesKeys& keys, const uint8_t* in, uint8_t* out) {
  Block<1>(kEncrypt, kSbox, keys.enc, keys.rounds, in, out);
}

void DecryptBlock(const TAesKeys& keys, const uint8_t* in, uint8_t* out) {
  Block<-1>(kDecrypt, kInverseSbox, keys.dec, keys.rounds, in, out);
}

void CbcEncrypt(const TAesKeys& keys, uint8_t* chain, const uint8_t* in, uint8_t* out, std::size_t blocks) {
  for (std::size_t b = 0; b < blocks; ++b, in += 16, out += 16) {
    for (int i = 0; i < 16; ++i) chain[i] ^= in[i];
    EncryptBlock(keys, chain, chain);
    std::memcpy(out, chain, 16);
  }
}

void CbcDecrypt(const TAesKeys& keys, uint8_t* chain, const uint8_t* in, uint8_t* out, std::size_t blocks) {
  uint8_t cipher[16];
  for (std::size_t b = 0; b < blocks; ++b, in += 16, out += 16) {
    std::memcpy(cipher, in, 16);  // `in` may be `out`
    DecryptBlock(keys, cipher, out);
    for (int i = 0; i < 16; ++i) out[i] ^= chain[i];
    std::memcpy(chain, cipher, 16);
  }
}

constexpr TAesOps kPortable{"portable", EncryptBlock, DecryptBlock, CbcEncrypt, CbcDecrypt};

}  // namespace

void AesExpandKey(TAesKeys& keys, const uint8_t* key, std::size_t bytes) {
  const int nk = static_cast<int>(bytes / 4);
  keys.rounds = nk + 6;
  const int total = 4 * (keys.rounds + 1);
  uint32_t* w = &keys.enc[0][0];
  for (int i = 0; i < nk; ++i) w[i] = Load32(key + 4 * i);
  uint8_t rcon = 1;
  for (int i = nk; i < total; ++i) {
    uint32_t temp = w[i - 1];
    if (i % nk == 0) {
      // RotWord moves byte 1 into byte 0: a right rotation of the little-endian word.
      temp = SubWord((temp >> 8) | (temp << 24)) ^ rcon;
      rcon = Times2(rcon);
    } else if (nk > 6 && i % nk == 4) {
      temp = SubWord(temp);
    }
    w[i] = w[i - nk] ^ temp;
  }
  const int rounds = keys.rounds;
  for (int j = 0; j < 4; ++j) {
    keys.dec[0][j] = keys.enc[rounds][j];
    keys.dec[rounds][j] = keys.enc[0][j];
  }
  for (int r = 1; r < rounds; ++r)
    for (int j = 0; j < 4; ++j) keys.dec[r][j] = InvMixColumn(keys.enc[rounds - r][j]);
}

const TAesOps& AesPortableOps() {
  return kPortable;
}

}  // namespace corvane
