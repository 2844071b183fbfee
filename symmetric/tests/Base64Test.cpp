#include <gtest/gtest.h>

#include <random>
#include <string>

#include "symmetric/Base64.h"
#include "symmetric/RijndaelCipher.h"
#include "symmetric/Sha1Hash.h"
#include "symmetric/tests/SymmetricTestSupport.h"

namespace corvane::test {
namespace {

TEST(Base64, Rfc4648Examples) {
  const std::pair<const char*, const char*> cases[] = {{"", ""},
                                                       {"f", "Zg=="},
                                                       {"fo", "Zm8="},
                                                       {"foo", "Zm9v"},
                                                       {"foob", "Zm9vYg=="},
                                                       {"fooba", "Zm9vYmE="},
                                                       {"foobar", "Zm9vYmFy"}};
  for (const auto& [plain, text] : cases) {
    EXPECT_EQ(Base64Encode(plain), text);
    EXPECT_EQ(Base64Decode(text), std::optional<std::string>(plain));
  }
  std::mt19937_64 rng(6);
  for (std::size_t size = 0; size < 300; ++size) {
    const std::string bytes = RandomBytes(rng, size);
    ASSERT_EQ(Base64Decode(Base64Encode(bytes)), std::optional<std::string>(bytes));
  }
}

TEST(Base64, RejectsAnythingNotCanonical) {
  for (const char* text : {"Zg=", "Zg", "Z", "Zm9v!A==", "Zm9v\nYg==", "Zg==Zg==", "Z===", "====", "Zh==",
                           "Zm9=", "Zm=v", "Zm9vYg=\xff", " Zm9v"})
    EXPECT_EQ(Base64Decode(text), std::nullopt) << text;
  EXPECT_EQ(Base64Decode(std::string("Zm9\0", 4)), std::nullopt);
}

TEST(CipherText, EncryptsToBase64AndBackFromTheIv) {
  TRijndael cipher;
  cipher.KeyFromText("KLMN", HashClass<TSha1>);
  const std::string text = "a text longer than one block, with a tail";
  std::string expected = text;
  cipher.EncryptBuffer(expected.data(), expected.data(), expected.size());
  // Whatever ran before, each text starts at the IV.
  EXPECT_EQ(cipher.EncryptString(text), Base64Encode(expected));
  EXPECT_EQ(cipher.DecryptString(Base64Encode(expected)), text);
  EXPECT_EQ(cipher.DecryptString(""), "");
  try {
    cipher.DecryptString("not base64!");
    FAIL() << "accepted";
  } catch (const ECipher& e) {
    EXPECT_STREQ(e.what(), "Invalid Base64 text");
  }
  cipher.Wipe();
  EXPECT_THROW(cipher.EncryptString(text), EBlockCipher);
}

}  // namespace
}  // namespace corvane::test
