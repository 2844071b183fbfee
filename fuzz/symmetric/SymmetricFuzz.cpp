// Input layout: [mode] [key bits selector] [piece size] [32 key bytes] [16 IV bytes] [data...]; shorter
// inputs are padded with zeros. Any disagreement aborts.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "symmetric/Base64.h"
#include "symmetric/CryptoPath.h"
#include "symmetric/Rijndael.h"
#include "symmetric/RijndaelCipher.h"
#include "symmetric/Sha1Hash.h"

namespace {

using namespace corvane;

void Check(bool condition) {
  if (!condition) std::abort();
}

std::string Run(bool portable, TCipherMode mode, const uint8_t* key, int bits, const uint8_t* iv,
                const std::string& data, std::size_t piece, bool encrypt) {
  ForcePortableCrypto(portable);
  TRijndael cipher;
  ForcePortableCrypto(false);
  cipher.SetCipherMode(mode);
  cipher.LoadKey(key, bits, iv);
  std::string out = data;
  for (std::size_t at = 0; at < out.size(); at += piece) {
    const std::size_t n = std::min(piece, out.size() - at);
    if (encrypt)
      cipher.EncryptBuffer(out.data() + at, out.data() + at, n);
    else
      cipher.DecryptBuffer(out.data() + at, out.data() + at, n);
  }
  return out;
}

std::string Sha1(bool portable, const std::string& data, std::size_t piece) {
  ForcePortableCrypto(portable);
  TSha1 hash;
  ForcePortableCrypto(false);
  hash.HashInit();
  for (std::size_t at = 0; at < data.size(); at += piece)
    hash.HashUpdate(data.data() + at, std::min(piece, data.size() - at));
  return hash.HashFinalBytes();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
  uint8_t header[51] = {};
  std::memcpy(header, input, std::min(size, sizeof header));
  const std::string data(reinterpret_cast<const char*>(input) + std::min(size, sizeof header),
                         size - std::min(size, sizeof header));
  const auto mode = static_cast<TCipherMode>(header[0] % 5);
  const int bits = (header[1] % 64 + 1) * 4;
  const uint8_t* key = header + 3;
  const uint8_t* iv = header + 35;
  // Calls may be split anywhere in CFB-8; elsewhere a split must fall on a block boundary to continue the
  // chain unchanged.
  std::size_t piece = mode == TCipherMode::cmCFB8bit ? header[2] % 40 + 1 : (header[2] % 8 + 1) * 16;

  const std::string whole = Run(true, mode, key, bits, iv, data, data.size() + 1, true);
  Check(whole.size() == data.size());
  Check(Run(true, mode, key, bits, iv, data, piece, true) == whole);
  Check(Run(true, mode, key, bits, iv, whole, piece, false) == data);
  if (CpuHasAesNi()) {
    Check(Run(false, mode, key, bits, iv, data, piece, true) == whole);
    Check(Run(false, mode, key, bits, iv, whole, data.size() + 1, false) == data);
  }

  const std::string digest = Sha1(true, data, data.size() + 1);
  Check(Sha1(true, data, header[2] % 70 + 1) == digest);
  if (CpuHasShaNi()) Check(Sha1(false, data, header[2] % 70 + 1) == digest);

  // Any text either decodes to bytes that encode back to it, or is refused.
  if (const auto bytes = Base64Decode(data)) Check(Base64Encode(*bytes) == data);
  Check(Base64Decode(Base64Encode(data)) == data);

  // The stream form over the key text made of the key bytes equals one CBC buffer call.
  const std::string keyText(reinterpret_cast<const char*>(key), header[1] % 33);
  TMemoryStream source(data), destination;
  EncryptFileStream(source, destination, keyText);
  TRijndael cipher;
  cipher.KeyFromText(keyText, HashClass<TSha1>);
  std::string expected = data;
  cipher.EncryptBuffer(expected.data(), expected.data(), expected.size());
  Check(destination.Data() == expected);
  return 0;
}
