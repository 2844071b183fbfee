#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "symmetric/CryptoPath.h"
#include "symmetric/RijndaelCipher.h"
#include "symmetric/Sha1Hash.h"
#include "symmetric/tests/SymmetricTestSupport.h"

namespace corvane::test {
namespace {

class RijndaelTest : public BothPaths {
  bool Accelerated() const override { return CpuHasAesNi(); }
};

std::string Encrypt(TRijndael& cipher, const std::string& in) {
  std::string out(in.size(), '\0');
  cipher.EncryptBuffer(in.data(), out.data(), in.size());
  return out;
}

std::string Decrypt(TRijndael& cipher, const std::string& in) {
  std::string out(in.size(), '\0');
  cipher.DecryptBuffer(in.data(), out.data(), in.size());
  return out;
}

std::string Block(const TRijndael& cipher, const std::string& in, bool encrypt = true) {
  std::string out(16, '\0');
  if (encrypt)
    cipher.EncryptBlock(in.data(), out.data());
  else
    cipher.DecryptBlock(in.data(), out.data());
  return out;
}

std::string Chain(const TRijndael& cipher) {
  std::string out(16, '\0');
  cipher.GetChain(out.data());
  return out;
}

TEST_P(RijndaelTest, Fips197Examples) {
  struct Case {
    int bits;
    const char* key;
    const char* cipher;
  };
  const Case cases[] = {
      {128, "000102030405060708090a0b0c0d0e0f", "69c4e0d86a7b0430d8cdb78070b4c55a"},
      {192, "000102030405060708090a0b0c0d0e0f1011121314151617", "dda97ca4864cdfe06eaf70a0ec0d7191"},
      {256, "000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f",
       "8ea2b7ca516745bfeafc49904b496089"},
      // Appendix B: the cipher example with its own key and input.
      {128, "2b7e151628aed2a6abf7158809cf4f3c", "3925841d02dc09fbdc118597196a0b32"},
  };
  const std::string plainC = Unhex("00112233445566778899aabbccddeeff");
  const std::string plainB = Unhex("3243f6a8885a308d313198a2e0370734");
  TRijndael cipher;
  EXPECT_EQ(cipher.Implementation(), std::string(GetParam() == Path::portable ? "portable" : "AES-NI"));
  for (const Case& c : cases) {
    const std::string key = Unhex(c.key);
    const std::string& plain = c.key[0] == '2' ? plainB : plainC;
    cipher.LoadKey(key.data(), c.bits);
    EXPECT_EQ(cipher.Rounds(), c.bits / 32 + 6);
    EXPECT_EQ(Hex(Block(cipher, plain)), c.cipher) << c.bits;
    EXPECT_EQ(Block(cipher, Unhex(c.cipher), false), plain) << c.bits;
  }
  EXPECT_TRUE(TRijndael::SelfTest());
}

// Key sizes between the standard ones are zero-extended to the next standard size.
TEST_P(RijndaelTest, BlocksMatchOpenSslForEveryKeySize) {
  std::mt19937_64 rng(1);
  for (int bits = 4; bits <= 256; bits += 4) {
    const std::string key = RandomBytes(rng, static_cast<std::size_t>(bits) / 8);
    const std::size_t standard = key.size() <= 16 ? 16 : key.size() <= 24 ? 24 : 32;
    std::string padded = key;
    padded.resize(standard, '\0');
    TRijndael cipher;
    cipher.LoadKey(key.data(), bits);
    EXPECT_EQ(cipher.Rounds(), static_cast<int>(standard / 4 + 6));
    const std::string plain = RandomBytes(rng, 64);
    std::string ours;
    for (int i = 0; i < 4; ++i) ours += Block(cipher, plain.substr(16 * i, 16));
    ASSERT_EQ(Hex(ours), Hex(OpenSslCipher(OpenSslAesEcb(standard), padded, "", plain, true))) << bits;
    for (int i = 0; i < 4; ++i)
      ASSERT_EQ(Block(cipher, ours.substr(16 * i, 16), false), plain.substr(16 * i, 16));
  }
}

// CBC over whole blocks is standard CBC; a final partial block is XORed with E_K of the last ciphertext
// block (or of the IV when there is no whole block). Several blocks at once, split calls and in-place
// operation must all give the same bytes.
TEST_P(RijndaelTest, CbcMatchesOpenSslAndTheTailDefinition) {
  std::mt19937_64 rng(2);
  const std::size_t sizes[] = {
      0, 1, 5, 15, 16, 17, 31, 32, 33, 127, 128, 129, 143, 8191, 8192, 8193, (3u << 20) + 7};
  for (std::size_t keyBytes : {16u, 24u, 32u}) {
    for (std::size_t size : sizes) {
      const std::string key = RandomBytes(rng, keyBytes), iv = RandomBytes(rng, 16);
      const std::string plain = RandomBytes(rng, size);
      const std::size_t full = size / 16 * 16;
      std::string expected = OpenSslCipher(OpenSslAesCbc(keyBytes), key, iv, plain.substr(0, full), true);
      if (full < size) {
        const std::string pad =
            OpenSslCipher(OpenSslAesEcb(keyBytes), key, "", full ? expected.substr(full - 16) : iv, true);
        for (std::size_t i = full; i < size; ++i) expected += static_cast<char>(plain[i] ^ pad[i - full]);
      }
      TRijndael cipher;
      cipher.LoadKey(key.data(), static_cast<int>(keyBytes * 8), iv.data());
      ASSERT_EQ(Chain(cipher), iv);
      const std::string payload = Encrypt(cipher, plain);
      ASSERT_EQ(Hex(payload), Hex(expected)) << keyBytes << " " << size;

      cipher.ResetChain();
      std::string inPlace = payload;
      cipher.DecryptBuffer(inPlace.data(), inPlace.data(), inPlace.size());
      ASSERT_TRUE(inPlace == plain) << keyBytes << " " << size;

      // Pieces of whole blocks (here 48 bytes, off the 8-block grid) continue one chain.
      cipher.ResetChain();
      std::string pieces;
      for (std::size_t at = 0; at < size; at += 48) pieces += Encrypt(cipher, plain.substr(at, 48));
      ASSERT_TRUE(pieces == payload) << keyBytes << " " << size;
    }
  }
}

TEST_P(RijndaelTest, OtherModesMatchOpenSsl) {
  struct Mode {
    TCipherMode mode;
    const EVP_CIPHER* (*evp[3])();
  };
  const Mode modes[] = {
      {TCipherMode::cmCFB8bit, {EVP_aes_128_cfb8, EVP_aes_192_cfb8, EVP_aes_256_cfb8}},
      {TCipherMode::cmCFBblock, {EVP_aes_128_cfb128, EVP_aes_192_cfb128, EVP_aes_256_cfb128}},
      {TCipherMode::cmOFB, {EVP_aes_128_ofb, EVP_aes_192_ofb, EVP_aes_256_ofb}},
      {TCipherMode::cmCTR, {EVP_aes_128_ctr, EVP_aes_192_ctr, EVP_aes_256_ctr}},
  };
  std::mt19937_64 rng(3);
  for (const Mode& m : modes) {
    for (int k = 0; k < 3; ++k) {
      for (std::size_t size : {0u, 1u, 15u, 16u, 17u, 100u, 8193u}) {
        const std::string key = RandomBytes(rng, 16 + 8 * k), plain = RandomBytes(rng, size);
        // A counter about to carry into its upper bytes.
        std::string iv = RandomBytes(rng, 8) + std::string(7, '\xff') + "\xfe";
        const std::string expected = OpenSslCipher(m.evp[k](), key, iv, plain, true);
        TRijndael cipher;
        cipher.SetCipherMode(m.mode);
        cipher.LoadKey(key.data(), 128 + 64 * k, iv.data());
        ASSERT_EQ(Hex(Encrypt(cipher, plain)), Hex(expected)) << static_cast<int>(m.mode) << " " << size;
        cipher.ResetChain();
        ASSERT_TRUE(Decrypt(cipher, expected) == plain) << static_cast<int>(m.mode) << " " << size;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Rijndael, RijndaelTest, ::testing::Values(Path::portable, Path::accelerated),
                         PathName);

// The key from a text is SHA-1(text) followed by four zero bytes, an AES-192 key; the IV is E_K(0^128).
TEST(Rijndael, KeyFromTextDerivesKeyAndIv) {
  for (const std::string text : {"", "KLMN", "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345"}) {
    const std::string key = OpenSslSha1(text) + std::string(4, '\0');
    TRijndael cipher;
    cipher.KeyFromText(text, HashClass<TSha1>);
    EXPECT_EQ(cipher.Rounds(), 12);
    const std::string zero(16, '\0');
    const std::string iv = OpenSslCipher(EVP_aes_192_ecb(), key, "", zero, true);
    EXPECT_EQ(Hex(Chain(cipher)), Hex(iv));
    EXPECT_EQ(Hex(Block(cipher, zero)), Hex(iv));

    // Shorter than a block: input XOR E_K(E_K(0)).
    const std::string pad = OpenSslCipher(EVP_aes_192_ecb(), key, "", iv, true);
    std::string expected = "hello";
    for (int i = 0; i < 5; ++i) expected[i] ^= pad[i];
    EXPECT_EQ(Hex(Encrypt(cipher, "hello")), Hex(expected));

    // 17 bytes: one CBC block, then the last byte XOR the first byte of E_K(that ciphertext block).
    cipher.ResetChain();
    const std::string plain = "0123456789abcdefX";
    const std::string out = Encrypt(cipher, plain);
    const std::string first = OpenSslCipher(EVP_aes_192_cbc(), key, iv, plain.substr(0, 16), true);
    EXPECT_EQ(out.substr(0, 16), first);
    EXPECT_EQ(out[16], static_cast<char>('X' ^ OpenSslCipher(EVP_aes_192_ecb(), key, "", first, true)[0]));

    // A second cipher from the same text gives the same bytes.
    TRijndael again;
    again.KeyFromText(text, HashClass<TSha1>);
    EXPECT_EQ(Encrypt(again, plain), out);
  }
}

TEST(Rijndael, PropertiesAndChainOperations) {
  TRijndael cipher;
  EXPECT_EQ(cipher.Id(), 9);
  EXPECT_EQ(cipher.Algorithm(), "Rijndael");
  EXPECT_EQ(cipher.MaxKeySize(), 256);
  EXPECT_EQ(cipher.BlockSize(), 128);
  EXPECT_EQ(cipher.CipherMode(), TCipherMode::cmCBC);
  EXPECT_FALSE(cipher.Initialized());

  cipher.KeyFromText("key", HashClass<TSha1>);
  const std::string iv = Chain(cipher);
  const std::string first = Encrypt(cipher, std::string(32, 'a'));
  EXPECT_NE(Chain(cipher), iv);
  EXPECT_EQ(Chain(cipher), first.substr(16));
  cipher.ResetChain();
  EXPECT_EQ(Encrypt(cipher, std::string(32, 'a')), first);

  const std::string other(16, '\x42');
  cipher.ReplaceIV(other.data());
  EXPECT_EQ(Chain(cipher), other);
  EXPECT_NE(Encrypt(cipher, std::string(32, 'a')), first);
  cipher.ResetChain();
  EXPECT_EQ(Chain(cipher), other);
}

TEST(Rijndael, OperationsWithoutKeyRaiseCipherNotInitialized) {
  TRijndael cipher;
  uint8_t block[16] = {};
  auto expectRefused = [&](const char* what) {
    const std::function<void()> operations[] = {
        [&] { cipher.EncryptBlock(block, block); },
        [&] { cipher.DecryptBlock(block, block); },
        [&] { cipher.EncryptBuffer(block, block, 16); },
        [&] { cipher.DecryptBuffer(block, block, 3); },
        [&] { cipher.ResetChain(); },
        [&] { cipher.ReplaceIV(block); },
        [&] { cipher.GetChain(block); },
    };
    for (const auto& operation : operations) {
      try {
        operation();
        ADD_FAILURE() << what << ": an operation ran without a key";
      } catch (const EBlockCipher& e) {
        EXPECT_STREQ(e.what(), "Cipher not initialized") << what;
      }
    }
  };
  expectRefused("new cipher");
  for (TCipherMode mode :
       {TCipherMode::cmCFB8bit, TCipherMode::cmCFBblock, TCipherMode::cmOFB, TCipherMode::cmCTR}) {
    cipher.SetCipherMode(mode);
    EXPECT_THROW(cipher.EncryptBuffer(block, block, 1), EBlockCipher);
    EXPECT_THROW(cipher.DecryptBuffer(block, block, 1), EBlockCipher);
  }
  cipher.SetCipherMode(TCipherMode::cmCBC);
  cipher.KeyFromText("k", HashClass<TSha1>);
  cipher.Wipe();
  EXPECT_FALSE(cipher.Initialized());
  EXPECT_EQ(cipher.Rounds(), 0);
  expectRefused("after Wipe");
}

TEST(Rijndael, LoadKeyChecksTheSize) {
  TRijndael cipher;
  const std::string key(40, 'k');
  for (int bits : {0, -8, 2, 127, 130, 260, 512}) {
    try {
      cipher.LoadKey(key.data(), bits);
      ADD_FAILURE() << bits << " bits accepted";
    } catch (const ECipher& e) {
      EXPECT_STREQ(e.what(), "Invalid key size") << bits;
    }
    EXPECT_FALSE(cipher.Initialized()) << bits;
  }
  // A failed load also drops the key loaded before it.
  cipher.LoadKey(key.data(), 128);
  EXPECT_THROW(cipher.LoadKey(key.data(), 7), ECipher);
  EXPECT_THROW(cipher.ResetChain(), EBlockCipher);
}

// A hash that fails inside key derivation surfaces as the cipher's single key-setup message.
class TFailingHash : public THash {
 public:
  int Id() const override { return 99; }
  std::string Algorithm() const override { return "failing"; }
  int HashSize() const override { return 160; }
  void HashInit() override { fInitialized = true; }
  void HashFinal(void*) override { throw EHash("boom"); }
  void Wipe() override {}
  void HashUpdate(const void*, std::size_t) override {}
};

TEST(Rijndael, KeyFromTextReportsAnyFailureAsOneMessage) {
  TRijndael cipher;
  cipher.KeyFromText("old", HashClass<TSha1>);
  try {
    cipher.KeyFromText("new", HashClass<TFailingHash>);
    FAIL() << "no exception";
  } catch (const ECipher& e) {
    EXPECT_STREQ(e.what(), "Unable to allocate sufficient memory for hash digest");
  }
  EXPECT_FALSE(cipher.Initialized());
}

}  // namespace
}  // namespace corvane::test
