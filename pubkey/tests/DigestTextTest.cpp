// DigestText: SHA-1 as upper-case hexadecimal text.

#include <gtest/gtest.h>

#include <string>

#include "pubkey/Sha1.h"

namespace corvane {
namespace {

TEST(DigestText, WritesTheStandardDigestsInUpperCase) {
  struct Case {
    std::string text, digest;
  };
  // FIPS 180 examples (one block, two blocks, a million bytes) and bytes that are not text.
  for (const Case& c : {Case{"abc", "A9993E364706816ABA3E25717850C26C9CD0D89D"},
                        Case{"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
                             "84983E441C3BD26EBAAE4AA1F95129E5E54670F1"},
                        Case{std::string(1000000, 'a'), "34AA973CD4C4DAA4F61EEB2BDBAD27316534016F"},
                        Case{std::string("\0\xff", 2), "AA3E5DCDD77B153F2E59BD0D8794FDE33CB4E486"}}) {
    std::string digest = "previous";
    DigestText(c.text, digest);
    EXPECT_EQ(digest, c.digest) << c.text.size();
  }
}

TEST(DigestText, EmptyTextLeavesTheOutputAlone) {
  std::string digest = "previous";
  DigestText("", digest);
  EXPECT_EQ(digest, "previous");
}

}  // namespace
}  // namespace corvane
