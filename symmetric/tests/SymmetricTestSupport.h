#pragma once
// Shared pieces of the symmetric tests: hex texts, random bytes, the OpenSSL reference, and a fixture
// parameter that runs a test once over the portable code and once over the accelerated code.

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "symmetric/CryptoPath.h"

namespace corvane::test {

std::string Hex(const std::string& bytes);
std::string Unhex(const std::string& hex);
std::string RandomBytes(std::mt19937_64& rng, std::size_t size);

// One EVP pass over `data` (no padding), as one call.
std::string OpenSslCipher(const EVP_CIPHER* cipher, const std::string& key, const std::string& iv,
                          const std::string& data, bool encrypt);
std::string OpenSslSha1(const std::string& data);
const EVP_CIPHER* OpenSslAesCbc(std::size_t keyBytes);
const EVP_CIPHER* OpenSslAesEcb(std::size_t keyBytes);

// The payload of a whole stream computed from the definition: AES-192-CBC under SHA-1(key text) || 0^32
// with IV = E_K(0), the final r bytes XORed with E_K(last ciphertext block or IV).
std::string ReferencePayload(const std::string& keyText, const std::string& plain);

// The file-stream known answers of testdata/vectors/payload.json.
struct TPayloadCase {
  std::string keyText, plain, payload;
};
std::vector<TPayloadCase> LoadPayloadVectors();

enum class Path { portable, accelerated };
inline void PrintTo(Path path, std::ostream* os) {
  *os << (path == Path::portable ? "portable" : "accelerated");
}

// Runs each test on both paths; the accelerated one is skipped where the CPU lacks the instructions.
class BothPaths : public ::testing::TestWithParam<Path> {
 protected:
  void SetUp() override;
  void TearDown() override { ForcePortableCrypto(false); }
  virtual bool Accelerated() const = 0;
};

std::string PathName(const ::testing::TestParamInfo<Path>& info);

}  // namespace corvane::test
