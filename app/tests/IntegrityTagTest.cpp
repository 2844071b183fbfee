#include "app/flows/IntegrityTag.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "app/tests/ReferenceTag.h"

namespace corvane {
namespace {

std::string Random(std::mt19937& rng, std::size_t size) {
  std::string s(size, '\0');
  for (char& c : s) c = static_cast<char>(rng());
  return s;
}

// The tag as defined, computed independently with OpenSSL, against ours with the payload fed in pieces
// through the pipeline hook.
TEST(IntegrityTag, IsTheDefinedHmacOfNameLineAndPayload) {
  std::mt19937 rng(14);
  for (const std::size_t payloadSize : {0u, 1u, 63u, 64u, 100000u}) {
    std::string sessionKey(kTaggedSessionKeyLength, '\0');
    for (char& c : sessionKey) c = static_cast<char>(0x3C + rng() % 20);
    const std::string name = "報告書 " + std::to_string(payloadSize) + ".doc";
    const std::string line1 = Random(rng, 170);
    const std::string payload = Random(rng, payloadSize);
    const std::string expected = test::ReferenceTag(sessionKey, name, line1, payload);

    TIntegrityTag tag(sessionKey, name, line1);
    const TPayloadHook hook = tag.Hook();
    for (std::size_t at = 0; at < payload.size();) {
      const std::size_t piece = std::min<std::size_t>(payload.size() - at, 1 + rng() % 5000);
      hook(reinterpret_cast<const uint8_t*>(payload.data()) + at, piece);
      at += piece;
    }
    const std::string hex = tag.FinalHex();
    EXPECT_EQ(hex, expected) << payloadSize;
    EXPECT_EQ(hex.size(), 40u);
  }
}

TEST(IntegrityTag, SameTagComparesWholeTags) {
  const std::string tag(40, 'A');
  EXPECT_TRUE(SameTag(tag, tag));
  EXPECT_FALSE(SameTag(tag, tag.substr(0, 39)));
  EXPECT_FALSE(SameTag(tag, std::string(39, 'A') + 'B'));
  EXPECT_FALSE(SameTag(tag, 'B' + std::string(39, 'A')));
  EXPECT_FALSE(SameTag(tag, ""));
}

}  // namespace
}  // namespace corvane
