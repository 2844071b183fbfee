#pragma once
// Keys for the key tests: a small real key pair made on the spot, Alice's key from the known-answer
// vectors, and fingerprints computed with OpenSSL's SHA-1 straight from the canonical text.

#include <openssl/sha.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "pubkey/Kova.h"

namespace corvane::testing {

struct TestKeyPair {
  std::string P, Q, G, N, KeyStrength;
  std::string FileText() const { return N + "\r\n" + G + "\r\n" + KeyStrength + "\r\n"; }
};

inline TestKeyPair MakeTestKeyPair(int32_t strength = 256) {
  TKOVA kova;
  kova.SetKeyStrength(strength);
  kova.GenerateKeys();
  TestKeyPair key;
  kova.GetPrivateKey(key.P, key.Q, key.G);
  kova.GetPublicKey(key.N, key.G);
  key.KeyStrength = std::to_string(strength);
  return key;
}

inline std::filesystem::path VectorFolder() {
  const char* vectors = std::getenv("CORVANE_VECTORS");
  return std::filesystem::path(vectors ? vectors : CORVANE_VECTORS_FALLBACK) / "container";
}

// The fingerprint of "n\r\ng\r\nS\r\n", grouped by four.
inline std::string OpenSslFingerprint(const std::string& n, const std::string& g,
                                      const std::string& strength) {
  const std::string text = n + "\r\n" + g + "\r\n" + strength + "\r\n";
  unsigned char digest[SHA_DIGEST_LENGTH];
  SHA1(reinterpret_cast<const unsigned char*>(text.data()), text.size(), digest);
  std::string grouped;
  for (int i = 0; i < SHA_DIGEST_LENGTH; ++i) {
    char hex[3];
    std::snprintf(hex, sizeof hex, "%02X", digest[i]);
    if (i > 0 && i % 2 == 0) grouped += ' ';
    grouped += hex;
  }
  return grouped;
}

}  // namespace corvane::testing
