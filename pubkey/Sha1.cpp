#include "pubkey/Sha1.h"

#include <cstdint>

#include "common/SecureWipe.h"
#include "symmetric/Sha1Hash.h"

namespace corvane {

void DigestText(std::string_view text, std::string& digest) {
  if (text.empty()) return;
  static constexpr char kHex[] = "0123456789ABCDEF";
  TSha1 hash;
  hash.HashInit();
  hash.HashUpdate(text.data(), text.size());
  uint8_t bytes[TSha1::kDigestBytes];
  hash.HashFinal(bytes);
  std::string out;
  out.reserve(2 * sizeof bytes);
  for (uint8_t b : bytes) {
    out += kHex[b >> 4];
    out += kHex[b & 0x0F];
  }
  SecureWipe(bytes, sizeof bytes);
  digest.swap(out);
  SecureWipe(out);
}

}  // namespace corvane
