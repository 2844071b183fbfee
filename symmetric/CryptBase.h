#pragma once
// The roots of the two crypto families: ciphers (TCipher) and hashes (THash), and their exceptions.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "common/Exception.h"
#include "symmetric/Streams.h"

namespace corvane {

class ECipher : public Exception {
 public:
  explicit ECipher(const std::string& message) : Exception(message) {}
};
class EBlockCipher : public ECipher {
 public:
  explicit EBlockCipher(const std::string& message) : ECipher(message) {}
};
class EHash : public Exception {
 public:
  explicit EHash(const std::string& message) : Exception(message) {}
};

class THash {
 public:
  THash() = default;
  virtual ~THash() = default;
  THash(const THash&) = delete;
  THash& operator=(const THash&) = delete;

  virtual int Id() const = 0;
  virtual std::string Algorithm() const = 0;
  virtual int HashSize() const = 0;  // bits

  virtual void HashInit() = 0;
  // Writes HashSize() / 8 bytes to `digest`, then wipes the state. Throws EHash before HashInit.
  virtual void HashFinal(void* digest) = 0;
  virtual void Wipe() = 0;
  // Throws EHash "Hash not initialized" before HashInit.
  virtual void HashUpdate(const void* data, std::size_t count) = 0;

  void HashUpdateText(std::string_view text) { HashUpdate(text.data(), text.size()); }
  // HashFinal into a fresh byte string of HashSize() / 8 bytes.
  std::string HashFinalBytes();
  bool Initialized() const { return fInitialized; }

 protected:
  bool fInitialized = false;
};

// A hash "class reference": makes a fresh instance of one hash algorithm (e.g. HashClass<TSha1>).
using THashClass = std::unique_ptr<THash> (*)();
template <typename H>
std::unique_ptr<THash> HashClass() {
  return std::make_unique<H>();
}

class TCipher {
 public:
  TCipher() = default;
  virtual ~TCipher() = default;
  TCipher(const TCipher&) = delete;
  TCipher& operator=(const TCipher&) = delete;

  virtual int Id() const = 0;
  virtual std::string Algorithm() const = 0;
  virtual int MaxKeySize() const = 0;  // bits

  // Wipes any previous key, checks the size (bits: positive, a multiple of 4, at most MaxKeySize; else
  // ECipher "Invalid key size"), expands `key` (sizeBits / 8 bytes). Block ciphers then take `iv` (one
  // block) or, without one, derive it by encrypting a zero block.
  virtual void LoadKey(const void* key, int sizeBits, const void* iv = nullptr);
  virtual void Wipe();
  virtual void ResetChain() = 0;
  // Dispatch on the chaining mode; `in` and `out` may be the same buffer (not otherwise overlapping).
  virtual void EncryptBuffer(const void* in, void* out, std::size_t count) = 0;
  virtual void DecryptBuffer(const void* in, void* out, std::size_t count) = 0;

  // Text forms: the text's bytes encrypted and written as Base64, and back. Decrypting text that is not
  // Base64 raises ECipher "Invalid Base64 text". Block ciphers start each text at the IV.
  virtual std::string EncryptString(std::string_view text);
  virtual std::string DecryptString(std::string_view base64);

  // Hashes the key text with `hashClass` and loads the digest (truncated to MaxKeySize) as the key
  // without an IV. Any failure becomes ECipher "Unable to allocate sufficient memory for hash digest".
  void KeyFromText(std::string_view keyText, THashClass hashClass);

  // Reads `count` bytes from the source's position through one 8192-byte buffer, transforms them and
  // writes them at the destination's position; returns the bytes read (fewer when the source ends).
  // The chain runs on across pieces, so the result equals one buffer call over all the bytes. `progress`
  // hears of every piece (bytes done, `count`) and may cancel (ECancelled).
  uint64_t EncryptStreamPart(TStream& source, TStream& destination, uint64_t count,
                             const TStreamProgress& progress = {});
  uint64_t DecryptStreamPart(TStream& source, TStream& destination, uint64_t count,
                             const TStreamProgress& progress = {});

  bool Initialized() const { return fInitialized; }

  static constexpr std::size_t kStreamBufferSize = 8192;

 protected:
  virtual void ExpandKey(const void* key, int sizeBits) = 0;

  bool fInitialized = false;

 private:
  uint64_t TransformStreamPart(TStream& source, TStream& destination, uint64_t count, bool encrypt,
                               const TStreamProgress& progress);
};

}  // namespace corvane
