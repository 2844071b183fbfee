#include "symmetric/tests/SymmetricTestSupport.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <stdexcept>

namespace corvane::test {

std::string Hex(const std::string& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

std::string Unhex(const std::string& hex) {
  auto nibble = [](char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; };
  std::string out;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
    out += static_cast<char>(nibble(hex[i]) << 4 | nibble(hex[i + 1]));
  return out;
}

std::string RandomBytes(std::mt19937_64& rng, std::size_t size) {
  std::string out(size, '\0');
  for (auto& c : out) c = static_cast<char>(rng());
  return out;
}

std::string OpenSslCipher(const EVP_CIPHER* cipher, const std::string& key, const std::string& iv,
                          const std::string& data, bool encrypt) {
  std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> ctx(EVP_CIPHER_CTX_new(),
                                                                      EVP_CIPHER_CTX_free);
  const auto* k = reinterpret_cast<const unsigned char*>(key.data());
  const auto* v = iv.empty() ? nullptr : reinterpret_cast<const unsigned char*>(iv.data());
  if (!EVP_CipherInit_ex(ctx.get(), cipher, nullptr, k, v, encrypt ? 1 : 0))
    throw std::runtime_error("EVP init failed");
  EVP_CIPHER_CTX_set_padding(ctx.get(), 0);
  std::string out(data.size() + 32, '\0');
  int n = 0, tail = 0;
  auto* o = reinterpret_cast<unsigned char*>(out.data());
  if (!EVP_CipherUpdate(ctx.get(), o, &n, reinterpret_cast<const unsigned char*>(data.data()),
                        static_cast<int>(data.size())) ||
      !EVP_CipherFinal_ex(ctx.get(), o + n, &tail))
    throw std::runtime_error("EVP update failed");
  out.resize(static_cast<std::size_t>(n + tail));
  return out;
}

std::string OpenSslSha1(const std::string& data) {
  std::string out(20, '\0');
  unsigned int size = 0;
  EVP_Digest(data.data(), data.size(), reinterpret_cast<unsigned char*>(out.data()), &size, EVP_sha1(),
             nullptr);
  return out;
}

const EVP_CIPHER* OpenSslAesCbc(std::size_t keyBytes) {
  return keyBytes == 16 ? EVP_aes_128_cbc() : keyBytes == 24 ? EVP_aes_192_cbc() : EVP_aes_256_cbc();
}

const EVP_CIPHER* OpenSslAesEcb(std::size_t keyBytes) {
  return keyBytes == 16 ? EVP_aes_128_ecb() : keyBytes == 24 ? EVP_aes_192_ecb() : EVP_aes_256_ecb();
}

std::string ReferencePayload(const std::string& keyText, const std::string& plain) {
  const std::string key = OpenSslSha1(keyText) + std::string(4, '\0');
  const std::string iv = OpenSslCipher(EVP_aes_192_ecb(), key, "", std::string(16, '\0'), true);
  const std::size_t full = plain.size() / 16 * 16;
  std::string out = OpenSslCipher(EVP_aes_192_cbc(), key, iv, plain.substr(0, full), true);
  if (full < plain.size()) {
    const std::string last = full ? out.substr(full - 16) : iv;
    const std::string pad = OpenSslCipher(EVP_aes_192_ecb(), key, "", last, true);
    for (std::size_t i = full; i < plain.size(); ++i) out += static_cast<char>(plain[i] ^ pad[i - full]);
  }
  return out;
}

std::vector<TPayloadCase> LoadPayloadVectors() {
  const char* root = std::getenv("CORVANE_VECTORS");
  const std::filesystem::path folder(root ? root : CORVANE_VECTORS_FALLBACK);
  std::ifstream in(folder / "payload.json");
  const std::string json((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  // The file holds flat records of three string fields; each field's value is the next quoted text.
  std::vector<TPayloadCase> cases;
  auto field = [&json](const char* name, std::size_t& at) -> std::optional<std::string> {
    at = json.find(std::string("\"") + name + "\"", at);
    if (at == std::string::npos) return std::nullopt;
    const std::size_t open = json.find('"', json.find(':', at) + 1);
    const std::size_t close = json.find('"', open + 1);
    if (open == std::string::npos || close == std::string::npos) return std::nullopt;
    at = close + 1;
    return json.substr(open + 1, close - open - 1);
  };
  for (std::size_t at = 0;;) {
    const auto key = field("keyText", at), plain = field("plainHex", at), payload = field("payloadHex", at);
    if (!key || !plain || !payload) break;
    cases.push_back({*key, Unhex(*plain), Unhex(*payload)});
  }
  return cases;
}

void BothPaths::SetUp() {
  if (GetParam() == Path::accelerated && !Accelerated()) GTEST_SKIP() << "the CPU lacks the instructions";
  ForcePortableCrypto(GetParam() == Path::portable);
}

std::string PathName(const ::testing::TestParamInfo<Path>& info) {
  return info.param == Path::portable ? "portable" : "accelerated";
}

}  // namespace corvane::test
