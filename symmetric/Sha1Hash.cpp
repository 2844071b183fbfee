#include "symmetric/Sha1Hash.h"

#include <cstring>

#include "common/SecureWipe.h"
#include "symmetric/CryptoPath.h"
#include "symmetric/Sha1Impl.h"

namespace corvane {

namespace {

decltype(&Sha1CompressPortable) ChooseCompress() {
  if (!PortableCryptoForced() && CpuHasShaNi()) return Sha1CompressShaNi;
  return Sha1CompressPortable;
}

}  // namespace

TSha1::TSha1() : fCompress(ChooseCompress()) {}

TSha1::~TSha1() {
  if (fInitialized) Wipe();
}

void TSha1::Wipe() {
  fBitCount = 0;
  fIndex = 0;
  SecureWipe(fBuffer, sizeof fBuffer);
  SecureWipe(fState, sizeof fState);
  fInitialized = false;
}

void TSha1::HashInit() {
  Wipe();
  fState[0] = 0x67452301;
  fState[1] = 0xEFCDAB89;
  fState[2] = 0x98BADCFE;
  fState[3] = 0x10325476;
  fState[4] = 0xC3D2E1F0;
  fInitialized = true;
}

void TSha1::HashUpdate(const void* data, std::size_t count) {
  if (!fInitialized) throw EHash("Hash not initialized");
  if (count == 0) return;
  const auto* p = static_cast<const uint8_t*>(data);
  fBitCount += static_cast<uint64_t>(count) << 3;
  if (fIndex > 0) {
    const std::size_t take = count < 64 - fIndex ? count : 64 - fIndex;
    std::memcpy(fBuffer + fIndex, p, take);
    fIndex += static_cast<uint32_t>(take);
    p += take;
    count -= take;
    if (fIndex < 64) return;
    fCompress(fState, fBuffer, 1);
    fIndex = 0;
  }
  if (count >= 64) {
    fCompress(fState, p, count / 64);
    p += count / 64 * 64;
    count %= 64;
  }
  std::memcpy(fBuffer, p, count);
  fIndex = static_cast<uint32_t>(count);
}

void TSha1::HashFinal(void* digest) {
  if (!fInitialized) throw EHash("Hash not initialized");
  const uint64_t bits = fBitCount;
  fBuffer[fIndex++] = 0x80;
  if (fIndex > 56) {
    std::memset(fBuffer + fIndex, 0, 64 - fIndex);
    fCompress(fState, fBuffer, 1);
    fIndex = 0;
  }
  std::memset(fBuffer + fIndex, 0, 56 - fIndex);
  for (int i = 0; i < 8; ++i) fBuffer[56 + i] = static_cast<uint8_t>(bits >> (56 - 8 * i));
  fCompress(fState, fBuffer, 1);
  auto* out = static_cast<uint8_t*>(digest);
  for (int i = 0; i < 5; ++i)
    for (int j = 0; j < 4; ++j) out[4 * i + j] = static_cast<uint8_t>(fState[i] >> (24 - 8 * j));
  Wipe();
}

std::string TSha1::Digest(std::string_view data) {
  TSha1 hash;
  hash.HashInit();
  hash.HashUpdate(data.data(), data.size());
  return hash.HashFinalBytes();
}

bool TSha1::SelfTest() {
  static const char* const kCases[][2] = {
      {"abc", "\xa9\x99\x3e\x36\x47\x06\x81\x6a\xba\x3e\x25\x71\x78\x50\xc2\x6c\x9c\xd0\xd8\x9d"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "\x84\x98\x3e\x44\x1c\x3b\xd2\x6e\xba\xae\x4a\xa1\xf9\x51\x29\xe5\xe5\x46\x70\xf1"}};
  for (const auto& c : kCases)
    if (Digest(c[0]) != std::string_view(c[1], kDigestBytes)) return false;
  return true;
}

std::string UpperHex(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  hex.reserve(2 * bytes.size());
  for (unsigned char c : bytes) {
    hex += kDigits[c >> 4];
    hex += kDigits[c & 15];
  }
  return hex;
}

}  // namespace corvane
