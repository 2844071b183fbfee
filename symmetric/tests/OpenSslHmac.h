#pragma once
// HMAC-SHA-1 computed by OpenSSL: the independent reference for our HMAC, and for what is built on it.

#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <string>

namespace corvane::test {

inline std::string OpenSslHmacSha1(const std::string& key, const std::string& data) {
  unsigned char mac[20];
  unsigned int size = 0;
  HMAC(EVP_sha1(), key.data(), static_cast<int>(key.size()),
       reinterpret_cast<const unsigned char*>(data.data()), data.size(), mac, &size);
  return std::string(reinterpret_cast<const char*>(mac), size);
}

}  // namespace corvane::test
