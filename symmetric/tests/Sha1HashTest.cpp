#include <gtest/gtest.h>

#include <random>
#include <string>

#include "symmetric/CryptoPath.h"
#include "symmetric/Sha1Hash.h"
#include "symmetric/tests/SymmetricTestSupport.h"

namespace corvane::test {
namespace {

class Sha1Test : public BothPaths {
  bool Accelerated() const override { return CpuHasShaNi(); }
};

std::string HashHex(const std::string& data) {
  return Hex(TSha1::Digest(data));
}

TEST_P(Sha1Test, Fips180Examples) {
  EXPECT_EQ(HashHex(""), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
  EXPECT_EQ(HashHex("abc"), "a9993e364706816aba3e25717850c26c9cd0d89d");
  EXPECT_EQ(HashHex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
            "84983e441c3bd26ebaae4aa1f95129e5e54670f1");
  TSha1 hash;
  hash.HashInit();
  const std::string thousand(1000, 'a');
  for (int i = 0; i < 1000; ++i) hash.HashUpdateText(thousand);
  EXPECT_EQ(Hex(hash.HashFinalBytes()), "34aa973cd4c4daa4f61eeb2bdbad27316534016f");
  EXPECT_TRUE(TSha1::SelfTest());
}

// Every length around the padding boundaries (55, 56, 63, 64 ...) and random ones, fed in uneven pieces so
// the block buffer is entered and left at every offset.
TEST_P(Sha1Test, MatchesOpenSslForAnyLengthAndSplit) {
  std::mt19937_64 rng(7);
  std::vector<std::size_t> sizes;
  for (std::size_t n = 0; n <= 200; ++n) sizes.push_back(n);
  for (int i = 0; i < 20; ++i) sizes.push_back(rng() % 100000);
  sizes.push_back(3 << 20);
  for (std::size_t size : sizes) {
    const std::string data = RandomBytes(rng, size);
    TSha1 hash;
    hash.HashInit();
    for (std::size_t at = 0; at < size;) {
      const std::size_t piece = std::min<std::size_t>(size - at, rng() % 150);
      hash.HashUpdate(data.data() + at, piece);
      at += piece;
    }
    ASSERT_EQ(Hex(hash.HashFinalBytes()), Hex(OpenSslSha1(data))) << "size " << size;
  }
}

INSTANTIATE_TEST_SUITE_P(Sha1, Sha1Test, ::testing::Values(Path::portable, Path::accelerated), PathName);

TEST(Sha1, PropertiesAndErrors) {
  TSha1 hash;
  EXPECT_EQ(hash.Id(), 2);
  EXPECT_EQ(hash.Algorithm(), "SHA1");
  EXPECT_EQ(hash.HashSize(), 160);
  uint8_t digest[20];
  // Before HashInit and again after HashFinal (which wipes): both operations refuse.
  for (int round = 0; round < 2; ++round) {
    EXPECT_FALSE(hash.Initialized());
    try {
      hash.HashUpdate("x", 1);
      ADD_FAILURE() << "HashUpdate accepted an uninitialized hash";
    } catch (const EHash& e) {
      EXPECT_STREQ(e.what(), "Hash not initialized");
    }
    EXPECT_THROW(hash.HashFinal(digest), EHash);
    hash.HashInit();
    hash.HashUpdateText("abc");
    hash.HashFinal(digest);
  }
  // HashInit after a partial update starts over.
  hash.HashInit();
  hash.HashUpdateText("garbage");
  hash.HashInit();
  hash.HashUpdateText("abc");
  EXPECT_EQ(Hex(hash.HashFinalBytes()), "a9993e364706816aba3e25717850c26c9cd0d89d");
}

}  // namespace
}  // namespace corvane::test
