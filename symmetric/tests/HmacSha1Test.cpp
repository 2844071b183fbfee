#include "symmetric/HmacSha1.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "symmetric/tests/OpenSslHmac.h"
#include "symmetric/tests/SymmetricTestSupport.h"

namespace corvane::test {
namespace {

class HmacSha1Test : public BothPaths {
  bool Accelerated() const override { return CpuHasShaNi(); }
};

// RFC 2202, section 3: all seven HMAC-SHA-1 test cases (case 5's full 160-bit MAC).
TEST_P(HmacSha1Test, Rfc2202Vectors) {
  struct Case {
    std::string key, data, mac;
  };
  const Case cases[] = {
      {std::string(20, '\x0b'), "Hi There", "b617318655057264e28bc0b6fb378c8ef146be00"},
      {"Jefe", "what do ya want for nothing?", "effcdf6ae5eb2fa2d27416d5f184df9c259a7c79"},
      {std::string(20, '\xaa'), std::string(50, '\xdd'), "125d7342b9ac11cd91a39af48aa17b4f63f175d3"},
      {Unhex("0102030405060708090a0b0c0d0e0f10111213141516171819"), std::string(50, '\xcd'),
       "4c9007f4026250c6bc8414f9bf50c86c2d7235da"},
      {std::string(20, '\x0c'), "Test With Truncation", "4c1a03424b55e07fe7f27be1d58bb9324a9a5a04"},
      {std::string(80, '\xaa'), "Test Using Larger Than Block-Size Key - Hash Key First",
       "aa4ae5e15272d00e95705637ce8a3b55ed402112"},
      {std::string(80, '\xaa'), "Test Using Larger Than Block-Size Key and Larger Than One Block-Size Data",
       "e8e99d0f45237d786d6bbaa7965c7808bbff1a91"},
  };
  for (const Case& c : cases) EXPECT_EQ(Hex(THmacSha1::Mac(c.key, c.data)), c.mac) << c.data;
}

// Random keys (empty, up to and beyond one block) and messages fed in random pieces give OpenSSL's MAC.
TEST_P(HmacSha1Test, MatchesOpenSslOnRandomInputsFedInPieces) {
  std::mt19937_64 rng(2104);
  for (std::size_t keySize : {0u, 1u, 20u, 63u, 64u, 65u, 200u}) {
    for (std::size_t size : {0u, 1u, 55u, 56u, 64u, 1000u, 70000u}) {
      const std::string key = RandomBytes(rng, keySize), data = RandomBytes(rng, size);
      THmacSha1 hmac(key);
      for (std::size_t at = 0; at < data.size();) {
        const std::size_t piece = std::min<std::size_t>(data.size() - at, rng() % 300);
        hmac.Update(data.data() + at, piece);
        at += piece;
      }
      ASSERT_EQ(Hex(hmac.FinalBytes()), Hex(OpenSslHmacSha1(key, data))) << keySize << " " << size;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Hmac, HmacSha1Test, ::testing::Values(Path::portable, Path::accelerated), PathName);

TEST(HmacSha1, FinalEndsTheMessageUntilTheNextInit) {
  THmacSha1 hmac("key");
  hmac.Update("message");
  const std::string hex = hmac.FinalHex();
  EXPECT_EQ(hex, UpperHex(OpenSslHmacSha1("key", "message")));
  EXPECT_EQ(hex.find_first_not_of("0123456789ABCDEF"), std::string::npos);
  EXPECT_FALSE(hmac.Initialized());
  EXPECT_THROW(hmac.Update("more"), EHash);
  EXPECT_THROW(hmac.FinalBytes(), EHash);
  THmacSha1 unkeyed;
  EXPECT_THROW(unkeyed.Update("x"), EHash);
  hmac.Init("key");  // the same key again gives the same MAC
  hmac.Update("message");
  EXPECT_EQ(hmac.FinalHex(), hex);
}

}  // namespace
}  // namespace corvane::test
