#include "symmetric/CryptBase.h"

#include <vector>

#include "common/SecureWipe.h"
#include "symmetric/Base64.h"

namespace corvane {

std::string THash::HashFinalBytes() {
  std::string digest(static_cast<std::size_t>(HashSize() / 8), '\0');
  HashFinal(digest.data());
  return digest;
}

void TCipher::LoadKey(const void* key, int sizeBits, const void* /*iv*/) {
  if (fInitialized) Wipe();
  if (sizeBits <= 0 || sizeBits % 4 != 0 || sizeBits > MaxKeySize()) throw ECipher("Invalid key size");
  fInitialized = true;
  ExpandKey(key, sizeBits);
}

void TCipher::Wipe() {
  fInitialized = false;
}

std::string TCipher::EncryptString(std::string_view text) {
  std::string bytes(text);
  EncryptBuffer(bytes.data(), bytes.data(), bytes.size());
  return Base64Encode(bytes);
}

std::string TCipher::DecryptString(std::string_view base64) {
  std::optional<std::string> bytes = Base64Decode(base64);
  if (!bytes) throw ECipher("Invalid Base64 text");
  DecryptBuffer(bytes->data(), bytes->data(), bytes->size());
  return std::move(*bytes);
}

void TCipher::KeyFromText(std::string_view keyText, THashClass hashClass) {
  if (fInitialized) Wipe();
  std::vector<uint8_t> digest;
  try {
    std::unique_ptr<THash> hash = hashClass();
    digest.resize(static_cast<std::size_t>(hash->HashSize() / 8));
    hash->HashInit();
    hash->HashUpdateText(keyText);
    hash->HashFinal(digest.data());
    const int hashSize = hash->HashSize();
    hash.reset();
    LoadKey(digest.data(), MaxKeySize() < hashSize ? MaxKeySize() : hashSize);
    SecureFill(digest.data(), digest.size(), 0xFF);
  } catch (...) {
    SecureFill(digest.data(), digest.size(), 0xFF);
    throw ECipher("Unable to allocate sufficient memory for hash digest");
  }
}

uint64_t TCipher::EncryptStreamPart(TStream& source, TStream& destination, uint64_t count,
                                    const TStreamProgress& progress) {
  return TransformStreamPart(source, destination, count, true, progress);
}

uint64_t TCipher::DecryptStreamPart(TStream& source, TStream& destination, uint64_t count,
                                    const TStreamProgress& progress) {
  return TransformStreamPart(source, destination, count, false, progress);
}

uint64_t TCipher::TransformStreamPart(TStream& source, TStream& destination, uint64_t count, bool encrypt,
                                      const TStreamProgress& progress) {
  std::vector<uint8_t> buffer(kStreamBufferSize);
  uint64_t total = 0;
  try {
    // A piece shorter than asked means the source ended: a later piece would otherwise start off the
    // 16-byte grid and break the chain, so reading stops there.
    while (total < count) {
      const uint64_t left = count - total;
      const std::size_t want = left < kStreamBufferSize ? static_cast<std::size_t>(left) : kStreamBufferSize;
      const std::size_t got = source.Read(buffer.data(), want);
      if (encrypt)
        EncryptBuffer(buffer.data(), buffer.data(), got);
      else
        DecryptBuffer(buffer.data(), buffer.data(), got);
      destination.Write(buffer.data(), got);
      total += got;
      if (progress && !progress(total, count)) throw ECancelled();
      if (got < want) break;
    }
  } catch (...) {
    SecureWipe(buffer);
    throw;
  }
  SecureWipe(buffer);
  return total;
}

}  // namespace corvane
