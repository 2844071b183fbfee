// Verified encryption and decryption of session strings by TKOVA.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>

#include "bigint/BigIntText.h"
#include "pubkey/Kova.h"
#include "pubkey/tests/KovaTestSupport.h"

namespace corvane {
namespace {

using testing::BitFeed;
using testing::FromHex;
using testing::Json;
using testing::KeyOf;

// Each case fixes the key and the randomizer: decryption must give the message, and encryption with the
// same randomizer bits (after its leading "1") must give exactly the text.
void CheckKnownAnswers(const Json& cases) {
  ASSERT_FALSE(cases.items.empty());
  for (const auto& c : cases.items) {
    const std::string message = FromHex(c["messageHex"].scalar);
    SCOPED_TRACE("strength " + c["keyStrength"].scalar + ", message of " + std::to_string(message.size()));
    auto kova = KeyOf(c);
    std::string decrypted = "junk";
    EXPECT_EQ(kova->DecryptText(c["cipherText"].scalar, decrypted), 0);
    EXPECT_EQ(decrypted, message);

    const std::string& randomizer = c["randomizerBits"].scalar;
    ASSERT_EQ(randomizer[0], '1');
    BitFeed feed;
    feed.Add(randomizer.substr(1));
    kova->SetRandomBitSource(feed.Source());
    std::string cipherText;
    EXPECT_EQ(kova->EncryptText(message, cipherText), 0);
    EXPECT_EQ(cipherText, c["cipherText"].scalar);
    EXPECT_EQ(feed.Left(), 0u);
  }
}

TEST(KovaCipher, SharedKnownAnswers) {
  CheckKnownAnswers(testing::SharedSchemeCases());
}

// Our own reference: key strengths 256 to 2048, block edges, zero bytes at the front of inner blocks.
TEST(KovaCipher, ReferenceKnownAnswers) {
  CheckKnownAnswers(testing::OwnKnownAnswers()["encryption"]);
}

// One key per strength from the reference file, shared by the tests below.
const Json& KeyCase(int strength) {
  for (const auto& c : testing::OwnKnownAnswers()["encryption"].items)
    if (c["keyStrength"].Int() == strength) return c;
  throw std::runtime_error("no key of strength " + std::to_string(strength));
}

TEST(KovaCipher, RoundTripsAtEveryStrength) {
  const std::string printable = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz<=>?";
  for (const int strength : {256, 512, 1024, 2048}) {
    auto kova = KeyOf(KeyCase(strength));
    for (const std::size_t length : {0, 1, 4, 32, 41, 42, 200}) {
      std::string message;
      for (std::size_t i = 0; i < length; ++i) message += printable[(i * 7 + length) % printable.size()];
      SCOPED_TRACE("strength " + std::to_string(strength) + ", length " + std::to_string(length));
      std::string first, second, decrypted;
      ASSERT_EQ(kova->EncryptText(message, first), 0);
      ASSERT_EQ(kova->EncryptText(message, second), 0);
      EXPECT_NE(first, second);  // a fresh randomizer each time
      const std::size_t blockBytes = static_cast<std::size_t>(kova->BlockBits() / 8);
      EXPECT_EQ(std::count(first.begin(), first.end(), ';'),
                static_cast<std::ptrdiff_t>((length + 40 + blockBytes - 1) / blockBytes));
      EXPECT_EQ(first.back(), ';');
      for (const std::string* text : {&first, &second}) {
        decrypted = "junk";
        EXPECT_EQ(kova->DecryptText(*text, decrypted), 0);
        EXPECT_EQ(decrypted, message);
      }
    }
  }
}

TEST(KovaCipher, FourCharactersMakeTwoBlocksAt1024) {
  auto kova = KeyOf(KeyCase(1024));
  std::string cipherText;
  ASSERT_EQ(kova->EncryptText("<=>?", cipherText), 0);
  EXPECT_EQ(std::count(cipherText.begin(), cipherText.end(), ';'), 2);
}

// Any bytes, zero bytes included, survive wherever they fall but at the very front of the last block.
TEST(KovaCipher, BinaryMessagesRoundTrip) {
  auto kova = KeyOf(KeyCase(1024));  // 41-byte blocks: the 40-byte digest always ends the last block
  std::string message;
  for (int i = 0; i < 123; ++i) message += static_cast<char>(i % 5 == 0 ? 0 : i * 37);
  message.insert(0, 5, '\0');
  std::string cipherText, decrypted;
  ASSERT_EQ(kova->EncryptText(message, cipherText), 0);
  ASSERT_EQ(kova->DecryptText(cipherText, decrypted), 0);
  EXPECT_EQ(decrypted, message);
}

TEST(KovaCipher, AlteredOrForeignTextsAreRefused) {
  const Json& c = KeyCase(256);
  auto kova = KeyOf(c);
  std::string valid;
  ASSERT_EQ(kova->EncryptText("<=>?", valid), 0);
  const std::size_t firstEnd = valid.find(';');

  std::string changed = valid;
  changed[3] = changed[3] == 'b' ? 'c' : 'b';
  std::string swapped = valid.substr(firstEnd + 1) + valid.substr(0, firstEnd + 1);
  std::string padded = valid;
  padded.insert(0, "a");  // a leading zero digit: the same number, but not the text encryption writes
  std::string outside = valid;
  outside.insert(2, "-");  // skipped by the radix-64 reader, so the block still reads the same

  const std::map<std::string, std::string> texts = {
      {"final ; removed", valid.substr(0, valid.size() - 1)},
      {"space appended", valid + " "},
      {"line break appended", valid + "\r\n"},
      {"block character changed", changed},
      {"blocks swapped", swapped},
      {"block dropped", valid.substr(firstEnd + 1)},
      {"leading zero digit", padded},
      {"character outside the alphabet", outside},
      {"empty text", ""},
      {"no ; at all", "aAbBcC"},
      {"only ;", ";"},
      {"empty block", valid.substr(0, firstEnd + 1) + ";" + valid.substr(firstEnd + 1)},
      {"single character block", "a;"},
      {"block above n", std::string(60, '=') + ";"},
      {"zero block", "aa;"},
      {"short text", valid.substr(0, firstEnd + 1)},
  };
  for (const auto& [what, text] : texts) {
    std::string message = "junk";
    EXPECT_EQ(kova->DecryptText(text, message), 2) << what;
    EXPECT_EQ(message, "") << what;
  }

  // Another key pair of the same strength.
  const Json* other = nullptr;
  for (const auto& k : testing::SharedSchemeCases().items)
    if (k["keyStrength"].Int() == 256) other = &k;
  ASSERT_NE(other, nullptr);
  auto foreign = KeyOf(*other);
  std::string message = "junk";
  EXPECT_EQ(foreign->DecryptText(valid, message), 2);
  EXPECT_EQ(message, "");

  // The right key with a different block size.
  kova->SetBlockBits(kova->BlockBits() - 8);
  message = "junk";
  EXPECT_EQ(kova->DecryptText(valid, message), 2);
  EXPECT_EQ(message, "");
}

TEST(KovaCipher, SizesThatCannotServeTheKeyAreRefused) {
  const Json& c = KeyCase(256);
  auto kova = KeyOf(c);
  std::string valid;
  ASSERT_EQ(kova->EncryptText("<=>?", valid), 0);

  // Blocks of no bytes: encryption refuses with its output untouched, decryption with 2.
  kova->SetBlockBits(7);
  std::string out = "untouched";
  EXPECT_EQ(kova->EncryptText("<=>?", out), 1);
  EXPECT_EQ(out, "untouched");
  EXPECT_EQ(kova->DecryptText(valid, out), 2);
  EXPECT_EQ(out, "");

  // A key strength larger than the key's: its blocks could exceed p.
  kova->SetKeyStrength(1024);
  out = "untouched";
  EXPECT_EQ(kova->EncryptText("<=>?", out), 1);
  // Blocks wider than PrimeBits.
  kova->SetKeyStrength(256);
  kova->SetBlockBits(kova->PrimeBits() + 8);
  EXPECT_EQ(kova->EncryptText("<=>?", out), 1);
  EXPECT_EQ(out, "untouched");

  // A public key that no key generation makes: even n, n too small for the strength, g = 1 mod n.
  TKOVA sender;
  sender.SetKeyStrength(256);
  const std::string n = c["n"].scalar;
  for (const auto& [nText, gText] : std::map<std::string, std::string>{
           {"1573", "65537"}, {n.substr(0, n.size() - 1) + "8", "65537"}, {n, "1"}, {n, "0"}}) {
    ASSERT_EQ(sender.SetPublicKey(nText, gText), 0);
    EXPECT_EQ(sender.EncryptText("<=>?", out), 1) << nText << " " << gText;
  }
  EXPECT_EQ(out, "untouched");
}

TEST(KovaCipher, PrivateKeysThatCannotDecryptGiveTwo) {
  const Json& c = KeyCase(256);
  auto kova = KeyOf(c);
  std::string valid;
  ASSERT_EQ(kova->EncryptText("<=>?", valid), 0);

  struct Bad {
    std::string p, q, g;
  };
  const std::string p = c["p"].scalar, q = c["q"].scalar;
  // Even primes, a prime 1, and g a multiple of p or with L(g) = 0 (g = 1).
  for (const Bad& bad : {Bad{"10", q, "65537"}, Bad{p, "10", "65537"}, Bad{"1", q, "65537"},
                         Bad{p, "1", "65537"}, Bad{p, q, p}, Bad{p, q, "1"}, Bad{"0", q, "65537"}}) {
    TKOVA wrong;
    wrong.SetKeyStrength(256);
    ASSERT_EQ(wrong.SetPrivateKey(bad.p, bad.q, bad.g), 0);
    std::string message = "junk";
    EXPECT_EQ(wrong.DecryptText(valid, message), 2) << bad.p << " " << bad.q << " " << bad.g;
    EXPECT_EQ(message, "");
  }

  // A base for which L(g) has no inverse modulo p, from the reference's key generation cases.
  for (const auto& k : testing::OwnKnownAnswers()["keygen"].items) {
    if (k["g"].scalar == "65537") continue;
    TKOVA wrong;
    wrong.SetKeyStrength(256);
    ASSERT_EQ(wrong.SetPublicKey("", k["g"].scalar), 1);
    // The first start value of that case leads to the prime p0 with g^(p0-1) = 1 mod p0^2.
    const TBigInt p0 = wrong.FindPrimeAbove(BigIntFromBitText("1" + k["bits"].items[0].scalar));
    ASSERT_EQ(wrong.SetPrivateKey(BigIntToDecimalText(p0), k["q"].scalar, ""), 0);
    std::string message = "junk";
    EXPECT_EQ(wrong.DecryptText(valid, message), 2);
  }
}

// Decryption works from p and q alone: a recipient's public key loaded in between does not matter.
TEST(KovaCipher, DecryptionIgnoresALaterPublicKey) {
  auto own = KeyOf(KeyCase(512));
  std::string cipherText, message;
  ASSERT_EQ(own->EncryptText("session", cipherText), 0);
  const Json& other = KeyCase(1024);
  ASSERT_EQ(own->SetPublicKey(other["n"].scalar, ""), 0);
  EXPECT_EQ(own->DecryptText(cipherText, message), 0);
  EXPECT_EQ(message, "session");
}

}  // namespace
}  // namespace corvane
