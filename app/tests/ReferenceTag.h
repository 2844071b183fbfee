#pragma once
// A container's integrity tag as defined, computed independently with OpenSSL: HMAC-SHA-1 under the key
// HMAC-SHA-1(session key, "Corvane integrity tag"), over the payload member's name, line 1 of the
// session-key member and the payload, separated by NUL bytes; in upper-case hex, as line 2 holds it.

#include <string>

#include "symmetric/Sha1Hash.h"
#include "symmetric/tests/OpenSslHmac.h"

namespace corvane::test {

inline std::string ReferenceTag(const std::string& sessionKey, const std::string& name,
                                const std::string& line1, const std::string& payload) {
  const std::string key = OpenSslHmacSha1(sessionKey, "Corvane integrity tag");
  return UpperHex(OpenSslHmacSha1(key, name + '\0' + line1 + '\0' + payload));
}

}  // namespace corvane::test
