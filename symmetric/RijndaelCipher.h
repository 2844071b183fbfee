#pragma once
// Rijndael on 128-bit blocks (AES, FIPS 197). Blocks run through AES-NI when the CPU has it, else through
// the portable table-driven code; both give the same bytes.

#include <cstddef>
#include <cstdint>
#include <string>

#include "symmetric/BlockCiphers.h"
#include "symmetric/RijndaelImpl.h"

namespace corvane {

class TRijndael : public TBlockCipher128 {
 public:
  static constexpr int kId = 9;
  static constexpr int kMaxKeySize = 256;

  TRijndael();
  ~TRijndael() override;

  int Id() const override { return kId; }
  std::string Algorithm() const override { return "Rijndael"; }
  int MaxKeySize() const override { return kMaxKeySize; }

  void Wipe() override;
  void EncryptBlock(const void* in, void* out) const override;
  void DecryptBlock(const void* in, void* out) const override;

  int Rounds() const { return fKeys.rounds; }
  // Which block code this instance uses ("AES-NI" or "portable").
  const char* Implementation() const { return fOps->name; }
  // Checks the FIPS 197 examples through the block code this process uses.
  static bool SelfTest();

 protected:
  void ExpandKey(const void* key, int sizeBits) override;
  void EncryptCBC(const uint8_t* in, uint8_t* out, std::size_t count) override;
  void DecryptCBC(const uint8_t* in, uint8_t* out, std::size_t count) override;

 private:
  const TAesOps* fOps;
  TAesKeys fKeys;
};

}  // namespace corvane
