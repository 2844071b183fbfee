#include "symmetric/RijndaelCipher.h"

#include <cstring>

#include "common/SecureWipe.h"
#include "symmetric/CryptoPath.h"

namespace corvane {

namespace {

const TAesOps& ChooseOps() {
  if (!PortableCryptoForced())
    if (const TAesOps* accelerated = AesNiOps()) return *accelerated;
  return AesPortableOps();
}

}  // namespace

TRijndael::TRijndael() : fOps(&ChooseOps()) {
  Wipe();
}

TRijndael::~TRijndael() {
  Wipe();
}

void TRijndael::Wipe() {
  fKeys.rounds = 0;
  SecureWipe(fKeys.enc, sizeof fKeys.enc);
  SecureWipe(fKeys.dec, sizeof fKeys.dec);
  TBlockCipher128::Wipe();
}

void TRijndael::ExpandKey(const void* key, int sizeBits) {
  uint8_t buffer[32] = {};
  const std::size_t k = static_cast<std::size_t>(sizeBits) / 8;
  std::memcpy(buffer, key, k);
  AesExpandKey(fKeys, buffer, k <= 16 ? 16 : k <= 24 ? 24 : 32);
  SecureWipe(buffer, sizeof buffer);
}

void TRijndael::EncryptBlock(const void* in, void* out) const {
  RequireKey();
  fOps->encryptBlock(fKeys, static_cast<const uint8_t*>(in), static_cast<uint8_t*>(out));
}

void TRijndael::DecryptBlock(const void* in, void* out) const {
  RequireKey();
  fOps->decryptBlock(fKeys, static_cast<const uint8_t*>(in), static_cast<uint8_t*>(out));
}

void TRijndael::EncryptCBC(const uint8_t* in, uint8_t* out, std::size_t count) {
  RequireKey();
  const std::size_t blocks = count / kBlockBytes;
  fOps->cbcEncrypt(fKeys, fChain, in, out, blocks);
  if (const std::size_t tail = count % kBlockBytes)
    CbcTail(in + blocks * kBlockBytes, out + blocks * kBlockBytes, tail);
}

void TRijndael::DecryptCBC(const uint8_t* in, uint8_t* out, std::size_t count) {
  RequireKey();
  const std::size_t blocks = count / kBlockBytes;
  fOps->cbcDecrypt(fKeys, fChain, in, out, blocks);
  if (const std::size_t tail = count % kBlockBytes)
    CbcTail(in + blocks * kBlockBytes, out + blocks * kBlockBytes, tail);
}

bool TRijndael::SelfTest() {
  // FIPS 197 appendix C: key 00 01 .. , plaintext 00 11 22 .. ff, for 128, 192 and 256 bits.
  static const uint8_t kExpected[3][16] = {
      {0x69, 0xc4, 0xe0, 0xd8, 0x6a, 0x7b, 0x04, 0x30, 0xd8, 0xcd, 0xb7, 0x80, 0x70, 0xb4, 0xc5, 0x5a},
      {0xdd, 0xa9, 0x7c, 0xa4, 0x86, 0x4c, 0xdf, 0xe0, 0x6e, 0xaf, 0x70, 0xa0, 0xec, 0x0d, 0x71, 0x91},
      {0x8e, 0xa2, 0xb7, 0xca, 0x51, 0x67, 0x45, 0xbf, 0xea, 0xfc, 0x49, 0x90, 0x4b, 0x49, 0x60, 0x89}};
  uint8_t key[32], plain[16], block[16];
  for (int i = 0; i < 32; ++i) key[i] = static_cast<uint8_t>(i);
  for (int i = 0; i < 16; ++i) plain[i] = static_cast<uint8_t>(0x11 * i);
  TRijndael cipher;
  for (int n = 0; n < 3; ++n) {
    cipher.LoadKey(key, 128 + 64 * n);
    cipher.EncryptBlock(plain, block);
    if (std::memcmp(block, kExpected[n], 16) != 0) return false;
    cipher.DecryptBlock(block, block);
    if (std::memcmp(block, plain, 16) != 0) return false;
  }
  return true;
}

}  // namespace corvane
