// Containers carry an integrity tag as line 2 of their session-key member: made right, checked on reading,
// and absent from older containers, which still decrypt.

#include <gtest/gtest.h>

#include <sstream>

#include "app/cli/Command.h"
#include "app/tests/FlowFixture.h"
#include "app/tests/ReferenceTag.h"
#include "symmetric/Rijndael.h"

namespace corvane {
namespace {
using namespace flowtest;

class IntegrityTest : public FlowTest {
 protected:
  void SetUp() override {
    FlowTest::SetUp();
    MakeKeyPair();
    container = Encrypt("notes.txt", RandomBytes(70000, 3));
    std::tie(rjn, payload) = MembersOf(container, {"notes_alice@example.com.RJN", "notes.txt.Enc"});
    lines = SplitLines(rjn);
  }

  // A container packed by hand from the given members.
  fs::path Packed(const std::vector<std::pair<std::string, std::string>>& members) {
    WriteFile(dst / "notes_alice@example.com.KVX", testing::StoredLhaArchive(members));
    return dst / "notes_alice@example.com.KVX";
  }

  fs::path container;
  std::string rjn, payload;
  std::vector<std::string> lines;
};

TEST_F(IntegrityTest, OurContainersCarryTheTagComputedOverNameLineAndPayload) {
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(rjn, lines[0] + "\r\n" + lines[1] + "\r\n");
  std::string sessionKey;
  ASSERT_EQ(kova.DecryptText(lines[0], sessionKey), 0);
  ASSERT_EQ(sessionKey.size(), 40u);
  for (char c : sessionKey) EXPECT_TRUE(c >= '<' && c <= 'O');
  EXPECT_EQ(lines[1], test::ReferenceTag(sessionKey, "notes.txt", lines[0], payload));

  const TDecryptResult result = Decrypt(Received(container));
  EXPECT_TRUE(result.Tagged);
  EXPECT_EQ(ReadFile(result.OutputFile), ReadFile(src / "notes.txt"));
}

// Each change a third party could make to a container is refused as damage, with nothing written.
TEST_F(IntegrityTest, AnyChangeToATaggedContainerIsRefusedWithNothingWritten) {
  std::string flipped = payload;
  flipped[flipped.size() / 2] ^= 0x01;
  std::string otherTag = lines[1];
  otherTag[7] = otherTag[7] == 'A' ? 'B' : 'A';
  const fs::path other = Encrypt("other.txt", "another file for the same key");
  const std::string otherLine =
      SplitLines(MembersOf(other, {"other_alice@example.com.RJN", "other.txt.Enc"}).first)[0];
  const std::string rjnName = "notes_alice@example.com.RJN";

  const struct {
    const char* what;
    std::vector<std::pair<std::string, std::string>> members;
  } cases[] = {
      {"a payload bit flipped, the CRC fixed up", {{rjnName, rjn}, {"notes.txt.Enc", flipped}}},
      {"the payload member renamed", {{rjnName, rjn}, {"notes.doc.Enc", payload}}},
      {"line 1 of another container",
       {{rjnName, otherLine + "\r\n" + lines[1] + "\r\n"}, {"notes.txt.Enc", payload}}},
      {"line 2 removed", {{rjnName, lines[0] + "\r\n"}, {"notes.txt.Enc", payload}}},
      {"line 2 altered", {{rjnName, lines[0] + "\r\n" + otherTag + "\r\n"}, {"notes.txt.Enc", payload}}},
      {"line 2 cut short",
       {{rjnName, lines[0] + "\r\n" + lines[1].substr(0, 39) + "\r\n"}, {"notes.txt.Enc", payload}}},
  };
  for (const auto& c : cases) {
    const fs::path changed = Packed(c.members);
    try {
      Decrypt(changed);
      ADD_FAILURE() << c.what << ": decrypted";
    } catch (const EContainerError& error) {
      EXPECT_STREQ(error.what(), kDamagedContainerText) << c.what;
    }
    EXPECT_EQ(Entries(dst), Names{"notes_alice@example.com.KVX"}) << c.what;
  }
}

// A container of an earlier version: a 32-character session key and one line, no tag.
TEST_F(IntegrityTest, ContainersWithoutATagStillDecryptAndTheCliSaysSo) {
  const std::string sessionKey(32, 'K');
  std::string line;  // kova holds the user's key, as the last encryption's recipient
  ASSERT_EQ(kova.EncryptText(sessionKey, line), 0);
  TMemoryStream in(std::string("an older container")), out;
  EncryptFileStream(in, out, sessionKey);
  const fs::path old = Packed({{"notes_alice@example.com.RJN", line + "\r\n"}, {"old.txt.Enc", out.Data()}});

  const TDecryptResult result = Decrypt(old);
  EXPECT_FALSE(result.Tagged);
  EXPECT_EQ(ReadFile(dst / "old.txt"), "an older container");

  fs::remove(dst / "old.txt");
  const testing::ScopedEnv configHome{"XDG_CONFIG_HOME", root / "config"};
  for (const bool quiet : {false, true}) {
    std::ostringstream cliOut, cliErr;
    std::vector<std::string> args{"corvane-cli"};
    if (quiet) args.push_back("--quiet");
    args.insert(args.end(), {"decrypt", "--force", old.string()});
    EXPECT_EQ(RunCli(args, cliOut, cliErr), 0) << cliErr.str();
    EXPECT_EQ(cliErr.str().find("検査値がありません") != std::string::npos, !quiet) << cliErr.str();
  }
  std::ostringstream cliOut, cliErr;
  EXPECT_EQ(RunCli({"corvane-cli", "decrypt", "--force", Received(container).string()}, cliOut, cliErr), 0);
  EXPECT_EQ(cliErr.str(), "");
}

}  // namespace
}  // namespace corvane
