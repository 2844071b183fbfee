#pragma once
// SHA-1 (FIPS 180). Blocks run through the SHA extensions when the CPU has them, else portable code.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "symmetric/CryptBase.h"

namespace corvane {

class TSha1 : public THash {
 public:
  static constexpr int kId = 2;
  static constexpr int kHashSize = 160;
  static constexpr std::size_t kDigestBytes = kHashSize / 8;

  TSha1();
  ~TSha1() override;

  int Id() const override { return kId; }
  std::string Algorithm() const override { return "SHA1"; }
  int HashSize() const override { return kHashSize; }

  void HashInit() override;
  void HashFinal(void* digest) override;
  void Wipe() override;
  void HashUpdate(const void* data, std::size_t count) override;

  // The 20-byte digest of `data`.
  static std::string Digest(std::string_view data);
  // Checks the FIPS 180 examples through the block function this process uses.
  static bool SelfTest();

 private:
  using TBlockFunction = void (*)(uint32_t state[5], const uint8_t* blocks, std::size_t count);

  TBlockFunction fCompress;
  uint64_t fBitCount = 0;  // modulo 2^64
  uint32_t fIndex = 0;     // bytes waiting in fBuffer
  uint32_t fState[5] = {};
  uint8_t fBuffer[64] = {};
};

// A digest (or any byte string) as upper-case hexadecimal digits, first byte first.
std::string UpperHex(std::string_view bytes);

}  // namespace corvane
