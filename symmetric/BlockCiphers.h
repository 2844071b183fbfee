#pragma once
// Block ciphers and the five chaining modes over 128-bit blocks.

#include <cstddef>
#include <cstdint>

#include "symmetric/CryptBase.h"

namespace corvane {

enum class TCipherMode : uint8_t { cmCBC = 0, cmCFB8bit = 1, cmCFBblock = 2, cmOFB = 3, cmCTR = 4 };

class TBlockCipher : public TCipher {
 public:
  virtual int BlockSize() const = 0;  // bits
  TCipherMode CipherMode() const { return fCipherMode; }
  void SetCipherMode(TCipherMode mode) { fCipherMode = mode; }

  void EncryptBuffer(const void* in, void* out, std::size_t count) override;
  void DecryptBuffer(const void* in, void* out, std::size_t count) override;
  // Each text starts at the IV, so a text decrypts on its own whatever ran before it.
  std::string EncryptString(std::string_view text) override;
  std::string DecryptString(std::string_view base64) override;

 protected:
  virtual void EncryptCBC(const uint8_t* in, uint8_t* out, std::size_t count) = 0;
  virtual void DecryptCBC(const uint8_t* in, uint8_t* out, std::size_t count) = 0;
  virtual void EncryptCFB8bit(const uint8_t* in, uint8_t* out, std::size_t count) = 0;
  virtual void DecryptCFB8bit(const uint8_t* in, uint8_t* out, std::size_t count) = 0;
  virtual void EncryptCFBblock(const uint8_t* in, uint8_t* out, std::size_t count) = 0;
  virtual void DecryptCFBblock(const uint8_t* in, uint8_t* out, std::size_t count) = 0;
  virtual void EncryptOFB(const uint8_t* in, uint8_t* out, std::size_t count) = 0;
  virtual void DecryptOFB(const uint8_t* in, uint8_t* out, std::size_t count) = 0;
  virtual void EncryptCTR(const uint8_t* in, uint8_t* out, std::size_t count) = 0;
  virtual void DecryptCTR(const uint8_t* in, uint8_t* out, std::size_t count) = 0;

 private:
  TCipherMode fCipherMode = TCipherMode::cmCBC;
};

// A block cipher with 16-byte blocks, an IV and a chaining value (CV). In CBC a final partial block of r
// bytes is XORed with the first r bytes of E_K(CV), CV becoming E_K(CV), in both directions; output is
// always as long as input, and consecutive calls continue one chain.
class TBlockCipher128 : public TBlockCipher {
 public:
  static constexpr std::size_t kBlockBytes = 16;

  TBlockCipher128();
  ~TBlockCipher128() override;

  int BlockSize() const override { return 128; }

  void LoadKey(const void* key, int sizeBits, const void* iv = nullptr) override;
  void Wipe() override;
  void ResetChain() override;
  void ReplaceIV(const void* iv);  // 16 bytes; resets the chain
  void GetChain(void* out) const;  // 16 bytes

  // Throw EBlockCipher "Cipher not initialized" without a key.
  virtual void EncryptBlock(const void* in, void* out) const = 0;
  virtual void DecryptBlock(const void* in, void* out) const = 0;

 protected:
  void EncryptCBC(const uint8_t* in, uint8_t* out, std::size_t count) override;
  void DecryptCBC(const uint8_t* in, uint8_t* out, std::size_t count) override;
  void EncryptCFB8bit(const uint8_t* in, uint8_t* out, std::size_t count) override;
  void DecryptCFB8bit(const uint8_t* in, uint8_t* out, std::size_t count) override;
  void EncryptCFBblock(const uint8_t* in, uint8_t* out, std::size_t count) override;
  void DecryptCFBblock(const uint8_t* in, uint8_t* out, std::size_t count) override;
  void EncryptOFB(const uint8_t* in, uint8_t* out, std::size_t count) override;
  void DecryptOFB(const uint8_t* in, uint8_t* out, std::size_t count) override;
  void EncryptCTR(const uint8_t* in, uint8_t* out, std::size_t count) override;
  void DecryptCTR(const uint8_t* in, uint8_t* out, std::size_t count) override;

  void RequireKey() const;
  // The CBC tail: CV := E_K(CV); out = in XOR CV for `count` (< 16) bytes.
  void CbcTail(const uint8_t* in, uint8_t* out, std::size_t count);

  uint8_t fIV[kBlockBytes];
  uint8_t fChain[kBlockBytes];

 private:
  void XorStream(const uint8_t* in, uint8_t* out, std::size_t count, bool counter);
  void CfbBlock(const uint8_t* in, uint8_t* out, std::size_t count, bool encrypt);
};

}  // namespace corvane
