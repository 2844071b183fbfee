#include "symmetric/BlockCiphers.h"

#include <cstring>

#include "common/SecureWipe.h"

namespace corvane {

namespace {

constexpr std::size_t kBlock = TBlockCipher128::kBlockBytes;

void XorBytes(const uint8_t* a, const uint8_t* b, uint8_t* out, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) out[i] = a[i] ^ b[i];
}

// The chaining value as a 128-bit big-endian counter.
void Increment(uint8_t* counter) {
  for (int i = kBlock - 1; i >= 0; --i)
    if (++counter[i] != 0) break;
}

}  // namespace

void TBlockCipher::EncryptBuffer(const void* in, void* out, std::size_t count) {
  const auto* src = static_cast<const uint8_t*>(in);
  auto* dst = static_cast<uint8_t*>(out);
  switch (fCipherMode) {
    case TCipherMode::cmCBC:
      return EncryptCBC(src, dst, count);
    case TCipherMode::cmCFB8bit:
      return EncryptCFB8bit(src, dst, count);
    case TCipherMode::cmCFBblock:
      return EncryptCFBblock(src, dst, count);
    case TCipherMode::cmOFB:
      return EncryptOFB(src, dst, count);
    case TCipherMode::cmCTR:
      return EncryptCTR(src, dst, count);
  }
}

void TBlockCipher::DecryptBuffer(const void* in, void* out, std::size_t count) {
  const auto* src = static_cast<const uint8_t*>(in);
  auto* dst = static_cast<uint8_t*>(out);
  switch (fCipherMode) {
    case TCipherMode::cmCBC:
      return DecryptCBC(src, dst, count);
    case TCipherMode::cmCFB8bit:
      return DecryptCFB8bit(src, dst, count);
    case TCipherMode::cmCFBblock:
      return DecryptCFBblock(src, dst, count);
    case TCipherMode::cmOFB:
      return DecryptOFB(src, dst, count);
    case TCipherMode::cmCTR:
      return DecryptCTR(src, dst, count);
  }
}

std::string TBlockCipher::EncryptString(std::string_view text) {
  ResetChain();
  return TCipher::EncryptString(text);
}

std::string TBlockCipher::DecryptString(std::string_view base64) {
  ResetChain();
  return TCipher::DecryptString(base64);
}

TBlockCipher128::TBlockCipher128() {
  std::memset(fIV, 0xFF, kBlock);
  std::memset(fChain, 0xFF, kBlock);
}

TBlockCipher128::~TBlockCipher128() {
  SecureFill(fIV, kBlock, 0xFF);
  SecureFill(fChain, kBlock, 0xFF);
}

void TBlockCipher128::LoadKey(const void* key, int sizeBits, const void* iv) {
  TCipher::LoadKey(key, sizeBits, iv);
  if (iv) {
    std::memcpy(fIV, iv, kBlock);
  } else {
    std::memset(fIV, 0, kBlock);
    EncryptBlock(fIV, fIV);
  }
  ResetChain();
}

void TBlockCipher128::Wipe() {
  SecureFill(fIV, kBlock, 0xFF);
  SecureFill(fChain, kBlock, 0xFF);
  TBlockCipher::Wipe();
}

void TBlockCipher128::RequireKey() const {
  if (!fInitialized) throw EBlockCipher("Cipher not initialized");
}

void TBlockCipher128::ResetChain() {
  RequireKey();
  std::memcpy(fChain, fIV, kBlock);
}

void TBlockCipher128::ReplaceIV(const void* iv) {
  RequireKey();
  std::memcpy(fIV, iv, kBlock);
  ResetChain();
}

void TBlockCipher128::GetChain(void* out) const {
  RequireKey();
  std::memcpy(out, fChain, kBlock);
}

void TBlockCipher128::CbcTail(const uint8_t* in, uint8_t* out, std::size_t count) {
  EncryptBlock(fChain, fChain);
  XorBytes(in, fChain, out, count);
}

void TBlockCipher128::EncryptCBC(const uint8_t* in, uint8_t* out, std::size_t count) {
  RequireKey();
  for (; count >= kBlock; count -= kBlock, in += kBlock, out += kBlock) {
    XorBytes(in, fChain, fChain, kBlock);
    EncryptBlock(fChain, fChain);
    std::memcpy(out, fChain, kBlock);
  }
  if (count) CbcTail(in, out, count);
}

void TBlockCipher128::DecryptCBC(const uint8_t* in, uint8_t* out, std::size_t count) {
  RequireKey();
  uint8_t block[kBlock];
  for (; count >= kBlock; count -= kBlock, in += kBlock, out += kBlock) {
    std::memcpy(block, in, kBlock);  // `in` may be `out`
    DecryptBlock(block, out);
    XorBytes(out, fChain, out, kBlock);
    std::memcpy(fChain, block, kBlock);
  }
  if (count) CbcTail(in, out, count);
}

void TBlockCipher128::EncryptCFB8bit(const uint8_t* in, uint8_t* out, std::size_t count) {
  RequireKey();
  uint8_t t[kBlock];
  for (std::size_t i = 0; i < count; ++i) {
    EncryptBlock(fChain, t);
    out[i] = in[i] ^ t[0];
    std::memmove(fChain, fChain + 1, kBlock - 1);
    fChain[kBlock - 1] = out[i];
  }
}

void TBlockCipher128::DecryptCFB8bit(const uint8_t* in, uint8_t* out, std::size_t count) {
  RequireKey();
  uint8_t t[kBlock];
  for (std::size_t i = 0; i < count; ++i) {
    EncryptBlock(fChain, t);
    const uint8_t cipherByte = in[i];
    out[i] = cipherByte ^ t[0];
    std::memmove(fChain, fChain + 1, kBlock - 1);
    fChain[kBlock - 1] = cipherByte;
  }
}

void TBlockCipher128::CfbBlock(const uint8_t* in, uint8_t* out, std::size_t count, bool encrypt) {
  RequireKey();
  uint8_t cipherBlock[kBlock];
  for (; count >= kBlock; count -= kBlock, in += kBlock, out += kBlock) {
    EncryptBlock(fChain, fChain);
    if (!encrypt) std::memcpy(cipherBlock, in, kBlock);
    XorBytes(in, fChain, out, kBlock);
    std::memcpy(fChain, encrypt ? out : cipherBlock, kBlock);
  }
  if (count) {
    EncryptBlock(fChain, fChain);
    XorBytes(in, fChain, out, count);
  }
}

void TBlockCipher128::EncryptCFBblock(const uint8_t* in, uint8_t* out, std::size_t count) {
  CfbBlock(in, out, count, true);
}

void TBlockCipher128::DecryptCFBblock(const uint8_t* in, uint8_t* out, std::size_t count) {
  CfbBlock(in, out, count, false);
}

void TBlockCipher128::XorStream(const uint8_t* in, uint8_t* out, std::size_t count, bool counter) {
  RequireKey();
  uint8_t keystream[kBlock];
  while (count) {
    const std::size_t n = count < kBlock ? count : kBlock;
    if (counter) {
      EncryptBlock(fChain, keystream);
      Increment(fChain);
    } else {
      EncryptBlock(fChain, fChain);
      std::memcpy(keystream, fChain, kBlock);
    }
    XorBytes(in, keystream, out, n);
    in += n;
    out += n;
    count -= n;
  }
  SecureWipe(keystream, kBlock);
}

void TBlockCipher128::EncryptOFB(const uint8_t* in, uint8_t* out, std::size_t count) {
  XorStream(in, out, count, false);
}

void TBlockCipher128::DecryptOFB(const uint8_t* in, uint8_t* out, std::size_t count) {
  XorStream(in, out, count, false);
}

void TBlockCipher128::EncryptCTR(const uint8_t* in, uint8_t* out, std::size_t count) {
  XorStream(in, out, count, true);
}

void TBlockCipher128::DecryptCTR(const uint8_t* in, uint8_t* out, std::size_t count) {
  XorStream(in, out, count, true);
}

}  // namespace corvane
