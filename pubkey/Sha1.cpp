#include "pubkey/Sha1.h"

#include <cstdint>

#include "common/SecureWipe.h"
#include "symmetric/Sha1Hash.h"

namespace corvane {

void DigestText(std::string_view text, std::string& digest) {
  if (text.empty()) return;
  TSha1 hash;
  hash.HashInit();
  hash.HashUpdate(text.data(), text.size());
  uint8_t bytes[TSha1::kDigestBytes];
  hash.HashFinal(bytes);
  std::string out = UpperHex({reinterpret_cast<const char*>(bytes), sizeof bytes});
  SecureWipe(bytes, sizeof bytes);
  digest.swap(out);
  SecureWipe(out);
}

}  // namespace corvane
