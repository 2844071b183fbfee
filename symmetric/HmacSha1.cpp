#include "symmetric/HmacSha1.h"

#include <cstring>

#include "common/SecureWipe.h"

namespace corvane {

void THmacSha1::Init(const void* key, std::size_t size) {
  uint8_t block[kBlockBytes] = {};
  if (size > kBlockBytes) {
    fInner.HashInit();
    fInner.HashUpdate(key, size);
    fInner.HashFinal(block);
  } else if (size > 0) {
    std::memcpy(block, key, size);
  }
  // Inner state: H(K0 ^ ipad || ...); outer state: H(K0 ^ opad || ...). The outer one waits for the
  // inner digest; both hold the key only as hash state from here on.
  for (uint8_t& b : block) b ^= 0x36;
  fInner.HashInit();
  fInner.HashUpdate(block, kBlockBytes);
  for (uint8_t& b : block) b ^= 0x36 ^ 0x5C;
  fOuter.HashInit();
  fOuter.HashUpdate(block, kBlockBytes);
  SecureWipe(block, sizeof block);
}

void THmacSha1::Update(const void* data, std::size_t size) {
  fInner.HashUpdate(data, size);
}

void THmacSha1::Final(void* mac) {
  if (!fInner.Initialized() || !fOuter.Initialized()) throw EHash("Hash not initialized");
  uint8_t inner[kDigestBytes];
  fInner.HashFinal(inner);
  fOuter.HashUpdate(inner, sizeof inner);
  fOuter.HashFinal(mac);
  SecureWipe(inner, sizeof inner);
}

std::string THmacSha1::FinalBytes() {
  std::string mac(kDigestBytes, '\0');
  Final(mac.data());
  return mac;
}

std::string THmacSha1::FinalHex() {
  std::string mac = FinalBytes();
  std::string hex = UpperHex(mac);
  SecureWipe(mac);
  return hex;
}

void THmacSha1::Wipe() {
  fInner.Wipe();
  fOuter.Wipe();
}

std::string THmacSha1::Mac(std::string_view key, std::string_view message) {
  THmacSha1 hmac(key);
  hmac.Update(message);
  return hmac.FinalBytes();
}

}  // namespace corvane
