// Key state, import and export, and key generation of TKOVA.

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "bigint/BigIntText.h"
#include "common/Exception.h"
#include "pubkey/Kova.h"
#include "pubkey/tests/KovaTestSupport.h"

namespace corvane {
namespace {

using testing::BitFeed;
using testing::OwnKnownAnswers;

struct PublicTexts {
  std::string n, g;
};
PublicTexts PublicOf(const TKOVA& kova) {
  PublicTexts t;
  EXPECT_EQ(kova.GetPublicKey(t.n, t.g), 0);
  return t;
}

struct PrivateTexts {
  std::string p, q, g;
};
PrivateTexts PrivateOf(const TKOVA& kova) {
  PrivateTexts t;
  EXPECT_EQ(kova.GetPrivateKey(t.p, t.q, t.g), 0);
  return t;
}

TEST(KovaKeys, NewObjectHasOnlyTheDefaultBase) {
  TKOVA kova;
  EXPECT_EQ(kova.PrimeBits(), 360);
  EXPECT_EQ(kova.BlockBits(), 352);
  EXPECT_FALSE(kova.HasPublicKey());
  EXPECT_FALSE(kova.HasPrivateKey());
  EXPECT_EQ(PublicOf(kova).n, "");
  EXPECT_EQ(PublicOf(kova).g, "65537");
  const PrivateTexts priv = PrivateOf(kova);
  EXPECT_EQ(priv.p + "|" + priv.q + "|" + priv.g, "||65537");

  std::string out = "untouched";
  EXPECT_EQ(kova.EncryptText("<=>?", out), 1);
  EXPECT_EQ(kova.DecryptText("aa;", out), 1);
  EXPECT_EQ(out, "untouched");
}

TEST(KovaKeys, SizesFollowTheKeyStrength) {
  struct Case {
    int strength, primeBits, blockBits;
  };
  for (const Case c : {Case{256, 85, 77}, Case{512, 170, 162}, Case{1024, 341, 333}, Case{1080, 360, 352},
                       Case{2048, 682, 674}, Case{0, 0, -8}, Case{7, 2, -5}}) {
    TKOVA kova;
    kova.SetKeyStrength(c.strength);
    EXPECT_EQ(kova.PrimeBits(), c.primeBits) << c.strength;
    EXPECT_EQ(kova.BlockBits(), c.blockBits) << c.strength;
  }
}

// Walks the state table: which loader sets and clears which flag, and what an empty text keeps.
TEST(KovaKeys, LoadersFollowTheFlagTable) {
  TKOVA kova;
  EXPECT_EQ(kova.SetPublicKey("", ""), 1);  // n absent
  EXPECT_FALSE(kova.HasPublicKey());
  EXPECT_EQ(PublicOf(kova).g, "65537");

  // An empty g keeps the one held.
  EXPECT_EQ(kova.SetPrivateKey("11", "13", ""), 0);
  EXPECT_TRUE(kova.HasPublicKey());
  EXPECT_TRUE(kova.HasPrivateKey());
  const PrivateTexts priv = PrivateOf(kova);
  EXPECT_EQ(priv.p + "|" + priv.q + "|" + priv.g, "11|13|65537");
  EXPECT_EQ(PublicOf(kova).n, "1573");

  EXPECT_EQ(kova.SetPublicKey("", ""), 0);  // keeps n and g
  EXPECT_EQ(PublicOf(kova).n, "1573");

  // A negative value counts as absent; a failed public load leaves the private half alone.
  EXPECT_EQ(kova.SetPublicKey("-5", ""), 1);
  EXPECT_FALSE(kova.HasPublicKey());
  EXPECT_TRUE(kova.HasPrivateKey());
  EXPECT_EQ(PublicOf(kova).n, "");

  EXPECT_EQ(kova.SetPublicKey("35", "3"), 0);
  EXPECT_TRUE(kova.HasPublicKey());
  EXPECT_EQ(PrivateOf(kova).p, "11");  // p and q stay

  // A failed private load clears both flags.
  EXPECT_EQ(kova.SetPrivateKey("", "-13", ""), 1);
  EXPECT_FALSE(kova.HasPublicKey());
  EXPECT_FALSE(kova.HasPrivateKey());

  // A new object refuses a private key without q.
  TKOVA fresh;
  EXPECT_EQ(fresh.SetPrivateKey("11", "", ""), 1);
}

TEST(KovaKeys, UnreadableTextRaisesAndKeepsTheFlags) {
  TKOVA kova;
  ASSERT_EQ(kova.SetPrivateKey("11", "13", "65537"), 0);
  EXPECT_THROW(kova.SetPublicKey("1573", "65x37"), EConvertError);
  EXPECT_TRUE(kova.HasPublicKey());
  EXPECT_TRUE(kova.HasPrivateKey());
  EXPECT_THROW(kova.SetPrivateKey("17", "1 3", ""), EConvertError);
  EXPECT_TRUE(kova.HasPrivateKey());
  EXPECT_EQ(PrivateOf(kova).p, "17");  // read before the failing value
}

TEST(KovaKeys, FindPrimeAboveNeverTestsTheStart) {
  struct Case {
    int64_t start, prime;
  };
  // 10007, 10009 and 10037 are consecutive primes.
  for (const Case c :
       {Case{10005, 10007}, Case{10006, 10009}, Case{10007, 10009}, Case{10008, 10037}, Case{10009, 10037}}) {
    TKOVA kova;
    EXPECT_EQ(BigIntToDecimalText(kova.FindPrimeAbove(BigIntFromInt64(c.start))), std::to_string(c.prime))
        << c.start;
  }
}

// The primes an independent search finds for given start bits: odd and even starts, a prime start
// passed over, q = p drawn again, and a p for which L(g) has no inverse drawn again.
TEST(KovaKeys, GenerationFromFixedBitsFindsTheKnownPrimes) {
  for (const auto& c : OwnKnownAnswers()["keygen"].items) {
    SCOPED_TRACE(c["about"].scalar);
    TKOVA kova;
    kova.SetPublicKey("", c["g"].scalar);
    kova.SetKeyStrength(c["keyStrength"].Int());
    BitFeed feed;
    for (const auto& bits : c["bits"].items) feed.Add(bits.scalar);
    kova.SetRandomBitSource(feed.Source());

    EXPECT_EQ(kova.GenerateKeys(), 0);
    EXPECT_EQ(feed.Left(), 0u);
    EXPECT_TRUE(kova.HasPublicKey());
    EXPECT_TRUE(kova.HasPrivateKey());
    const PrivateTexts priv = PrivateOf(kova);
    EXPECT_EQ(priv.p, c["p"].scalar);
    EXPECT_EQ(priv.q, c["q"].scalar);
    EXPECT_EQ(priv.g, c["g"].scalar);
    const TBigInt p = BigIntFromDecimalText(priv.p);
    EXPECT_EQ(PublicOf(kova).n,
              BigIntToDecimalText(BigIntMultiply(BigIntMultiply(p, p), BigIntFromDecimalText(priv.q))));
  }
}

TEST(KovaKeys, GeneratedKeysHaveTheSizesOfTheirStrength) {
  for (const int strength : {256, 1024, 2048}) {
    TKOVA kova;
    kova.SetKeyStrength(strength);
    std::vector<int> searched;
    kova.SetProgress([&](int prime, int) {
      if (searched.empty() || searched.back() != prime) searched.push_back(prime);
    });
    ASSERT_EQ(kova.GenerateKeys(), 0);
    EXPECT_EQ(PublicOf(kova).g, "65537");
    const PrivateTexts priv = PrivateOf(kova);
    const uint64_t start = static_cast<uint64_t>(kova.PrimeBits()) + 1;
    for (const std::string& prime : {priv.p, priv.q}) {
      // Above a start of PrimeBits + 1 bits, and below the next power of two but for a prime gap.
      EXPECT_EQ(BigIntBitLength(BigIntFromDecimalText(prime)), start) << strength;
    }
    EXPECT_NE(priv.p, priv.q);
    const uint64_t nBits = BigIntBitLength(BigIntFromDecimalText(PublicOf(kova).n));
    EXPECT_GE(nBits, 3 * start - 2);
    EXPECT_LE(nBits, 3 * start);
    // Progress reports come from the search for p, then from the search for q.
    EXPECT_EQ(searched, (std::vector<int>{1, 2}));
  }
}

TEST(KovaKeys, ExportedTextsLoadBackToTheSameKey) {
  TKOVA maker;
  maker.SetKeyStrength(512);
  ASSERT_EQ(maker.GenerateKeys(), 0);
  const PrivateTexts priv = PrivateOf(maker);
  const PublicTexts pub = PublicOf(maker);

  TKOVA sender;
  sender.SetKeyStrength(512);
  ASSERT_EQ(sender.SetPublicKey(pub.n, pub.g), 0);
  EXPECT_EQ(PublicOf(sender).n, pub.n);
  TKOVA receiver;
  receiver.SetKeyStrength(512);
  ASSERT_EQ(receiver.SetPrivateKey(priv.p, priv.q, priv.g), 0);
  EXPECT_EQ(PublicOf(receiver).n, pub.n);
  const PrivateTexts again = PrivateOf(receiver);
  EXPECT_EQ(again.p + again.q + again.g, priv.p + priv.q + priv.g);

  std::string cipherText, message;
  ASSERT_EQ(sender.EncryptText("session", cipherText), 0);
  EXPECT_EQ(receiver.DecryptText(cipherText, message), 0);
  EXPECT_EQ(message, "session");
}

TEST(KovaKeys, GenerationRefusesWhatCannotMakeAKey) {
  {
    TKOVA kova;
    kova.SetKeyStrength(47);  // PrimeBits 15
    EXPECT_THROW(kova.GenerateKeys(), Exception);
    EXPECT_FALSE(kova.HasPrivateKey());
  }
  for (const char* g : {"1", "0", "-1"}) {
    TKOVA kova;
    kova.SetPublicKey("", g);
    kova.SetKeyStrength(256);
    EXPECT_THROW(kova.GenerateKeys(), Exception) << g;
  }
  // A bit source stuck on one value gives q = p over and over: an error, not an endless search.
  for (const int bit : {0, 1}) {
    TKOVA kova;
    kova.SetKeyStrength(TKOVA::kMinKeyStrength);
    kova.SetRandomBitSource([bit] { return bit; });
    EXPECT_THROW(kova.GenerateKeys(), Exception) << bit;
    EXPECT_FALSE(kova.HasPrivateKey());
  }
}

// A generation that fails or is abandoned leaves the key held before whole.
TEST(KovaKeys, FailedGenerationKeepsThePreviousKey) {
  TKOVA kova;
  ASSERT_EQ(kova.SetPrivateKey("73636294043870815387781503", "70007233214428659849381013", "65537"), 0);
  const PrivateTexts before = PrivateOf(kova);
  const std::string modulus = PublicOf(kova).n;

  kova.SetKeyStrength(TKOVA::kMinKeyStrength);
  kova.SetRandomBitSource([] { return 1; });
  EXPECT_THROW(kova.GenerateKeys(), Exception);
  kova.SetRandomBitSource(nullptr);
  kova.SetKeyStrength(1024);
  kova.SetProgress([](int prime, int) {
    if (prime == 2) throw std::runtime_error("cancelled");
  });
  EXPECT_THROW(kova.GenerateKeys(), std::runtime_error);

  EXPECT_TRUE(kova.HasPrivateKey());
  const PrivateTexts after = PrivateOf(kova);
  EXPECT_EQ(after.p + after.q + after.g, before.p + before.q + before.g);
  EXPECT_EQ(PublicOf(kova).n, modulus);
}

}  // namespace
}  // namespace corvane
