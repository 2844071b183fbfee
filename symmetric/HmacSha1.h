#pragma once
// HMAC-SHA-1 (RFC 2104) over TSha1: a keyed digest of a message fed in any number of pieces.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "symmetric/Sha1Hash.h"

namespace corvane {

class THmacSha1 {
 public:
  static constexpr std::size_t kDigestBytes = TSha1::kDigestBytes;
  static constexpr std::size_t kBlockBytes = 64;

  THmacSha1() = default;
  explicit THmacSha1(std::string_view key) { Init(key); }
  ~THmacSha1() = default;  // the two hash states wipe themselves
  THmacSha1(const THmacSha1&) = delete;
  THmacSha1& operator=(const THmacSha1&) = delete;

  // Starts a message under `key` (any length; a key longer than one block is hashed first). The padded
  // key exists only while it is absorbed into the two hash states and is wiped right after.
  void Init(const void* key, std::size_t size);
  void Init(std::string_view key) { Init(key.data(), key.size()); }
  // Adds message bytes; throws EHash "Hash not initialized" before Init or after Final.
  void Update(const void* data, std::size_t size);
  void Update(std::string_view data) { Update(data.data(), data.size()); }
  // Writes the 20-byte MAC and wipes the state; Init starts the next message.
  void Final(void* mac);
  std::string FinalBytes();
  // The MAC as 40 upper-case hexadecimal digits.
  std::string FinalHex();
  void Wipe();
  bool Initialized() const { return fInner.Initialized(); }

  static std::string Mac(std::string_view key, std::string_view message);

 private:
  TSha1 fInner, fOuter;
};

}  // namespace corvane
