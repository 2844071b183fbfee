#include "app/flows/PublicKeyFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <regex>

#include "app/flows/EncryptionFlow.h"
#include "app/flows/FlowCommon.h"
#include "app/flows/PublicKeyCheck.h"
#include "app/tests/KeyFixture.h"
#include "bigint/BigIntText.h"
#include "platform/tests/TempFolder.h"

namespace corvane {
namespace {
namespace fs = std::filesystem;
using testing::ReadFile;
using testing::TempFolder;
using testing::WriteFile;

// One small real key for the whole file: generating is quick, but not free.
const testing::TestKeyPair& Key() {
  static const testing::TestKeyPair key = testing::MakeTestKeyPair(256);
  return key;
}

std::string Plus(const std::string& decimal, int64_t add, int64_t times = 1) {
  TBigInt value = BigIntFromDecimalText(decimal);
  TBigInt product = BigIntFromInt64(0);
  for (int64_t i = 0; i < times; ++i) product = BigIntAdd(product, value);
  return BigIntToDecimalText(BigIntAdd(product, BigIntFromInt64(add)));
}

TEST(PublicKeyFile, WritesThreeCrLfLinesAndReadsAnyLineEnds) {
  EXPECT_EQ(PublicKeyFileText({"1573", "65537", "1024"}), "1573\r\n65537\r\n1024\r\n");
  TempFolder folder;
  for (const char* text : {"1573\r\n65537\r\n1024\r\n", "1573\n65537\n1024", "1573\r65537\r1024\r"}) {
    WriteFile(folder / "k.KVK", text);
    const TPublicKeyText key = ReadPublicKeyFile(folder / "k.KVK");
    EXPECT_EQ(key.N, "1573");
    EXPECT_EQ(key.G, "65537");
    EXPECT_EQ(key.KeyStrength, "1024");
  }
}

TEST(PublicKeyFile, FewerThanThreeLinesIsAListError) {
  TempFolder folder;
  for (const char* text : {"", "1573\r\n65537\r\n", "1573\r\n\r\n"}) {
    WriteFile(folder / "k.KVK", text);
    EXPECT_THROW(ReadPublicKeyFile(folder / "k.KVK"), EListError) << text;
  }
  EXPECT_THROW(ReadPublicKeyFile(folder / "missing.KVK"), EFileError);
  // Numbers past any usable key would only make the arithmetic crawl.
  WriteFile(folder / "k.KVK", std::string(4940, '7') + "\r\n65537\r\n16384\r\n");
  EXPECT_EQ(ReadPublicKeyFile(folder / "k.KVK").N.size(), 4940u);
  WriteFile(folder / "k.KVK", std::string(4941, '7') + "\r\n65537\r\n16384\r\n");
  EXPECT_THROW(ReadPublicKeyFile(folder / "k.KVK"), EPublicKeyFile);
  WriteFile(folder / "k.KVK", "1573\r\n" + std::string(5000, '7') + "\r\n256\r\n");
  EXPECT_THROW(ReadPublicKeyFile(folder / "k.KVK"), EPublicKeyFile);
}

// --- the one check: what encryption refuses, installing refuses, with one message per fault

struct KeyFault {
  const char* name;
  std::string text;     // the key file
  const char* message;  // a part of the message that names the fault
};

void PrintTo(const KeyFault& fault, std::ostream* os) {
  *os << fault.name;
}

std::vector<KeyFault> KeyFaults() {
  const testing::TestKeyPair& k = Key();
  const std::string& n = k.N;
  auto file = [](const std::string& a, const std::string& b, const std::string& c) {
    return a + "\r\n" + b + "\r\n" + c + "\r\n";
  };
  return {
      {"ByteOrderMark", "\xEF\xBB\xBF" + k.FileText(), "バイト順マーク"},
      {"PlusSign", file("+" + n, "65537", "256"), "\"+"},
      {"Blank", file(" " + n, "65537", "256"), "10 進数ではありません"},
      {"NulInNumber", file(n.substr(0, 5) + std::string(1, '\0') + n.substr(5), "65537", "256"), "\\x00"},
      {"EmptyG", "\r\n" + n + "\r\n\r\n256\r\n", "空です"},
      {"NegativeN", file("-" + n, "65537", "256"), "10 進数ではありません"},
      {"NZero", file("0", "65537", "256"), "小さすぎます"},
      {"NOne", file("1", "65537", "256"), "小さすぎます"},
      {"NFifteen", file("15", "65537", "256"), "小さすぎます"},
      {"NEven", file(Plus(n, 1), "65537", "256"), "偶数"},
      {"StrengthBeyondTheModulus", file(n, "65537", "1024"), "小さすぎます"},
      {"StrengthTooSmall", file(n, "65537", "40"), "扱えません"},
      {"StrengthTooLarge", file(n, "65537", "99999999999"), "扱えません"},
      {"StrengthWithSign", file(n, "65537", "+256"), "10 進数ではありません"},
      {"GZero", file(n, "0", "256"), "2 以上"},
      {"GOne", file(n, "1", "256"), "2 以上"},
      {"GIsN", file(n, n, "256"), "n 以上"},
      {"GThreeNPlusFive", file(n, Plus(n, 5, 3), "256"), "n 以上"},
      {"GIsNMinusOne", file(n, Plus(n, -1), "256"), "n - 1"},
      {"GSharesAFactor", file(n, k.P, "256"), "互いに素"},
  };
}

class KeyFaultTest : public ::testing::TestWithParam<KeyFault> {};

TEST_P(KeyFaultTest, IsRefusedAlikeByTheCheckByInstallingAndByEncrypting) {
  const KeyFault& fault = GetParam();
  TempFolder folder;
  WriteFile(folder / "bob.KVK", fault.text);
  WriteFile(folder / "notes.txt", "x");
  std::string message;
  try {
    LoadPublicKeyFile(folder / "bob.KVK");
    ADD_FAILURE() << "accepted";
  } catch (const Exception& error) {
    message = error.what();
  }
  EXPECT_NE(message.find(fault.message), std::string::npos) << message;
  EXPECT_NE(message.find("bob.KVK"), std::string::npos) << message;
  // Bad numbers are quoted readably: no raw control bytes reach the user.
  EXPECT_TRUE(std::none_of(message.begin(), message.end(), [](char c) { return c >= 0 && c < 0x20; }))
      << message;

  try {
    InstallPublicKey(folder / "bob.KVK", folder / "Key");
    ADD_FAILURE() << "installed";
  } catch (const Exception& error) {
    EXPECT_EQ(error.what(), message);
  }
  EXPECT_FALSE(fs::exists(folder / "Key" / "bob.KVK"));
  TKOVA kova;
  try {
    EncryptFileForRecipient({folder / "bob.KVK", folder / "notes.txt"}, kova);
    ADD_FAILURE() << "encrypted";
  } catch (const Exception& error) {
    EXPECT_EQ(error.what(), message);
  }
  EXPECT_FALSE(fs::exists(folder / "notes_bob.KVX"));
}

INSTANTIATE_TEST_SUITE_P(Faults, KeyFaultTest, ::testing::ValuesIn(KeyFaults()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PublicKeyCheck, AcceptsAGoodKeyInAnyLineEndsAndCanonicalisesItsNumbers) {
  const testing::TestKeyPair& k = Key();
  TempFolder folder;
  WriteFile(folder / "a.KVK", "00" + k.N + "\n0" + k.G + "\n0256");
  const TPublicKey key = LoadPublicKeyFile(folder / "a.KVK");
  EXPECT_EQ(key, (TPublicKey{k.N, k.G, 256}));
}

TEST(PublicKeyCheck, TheFingerprintIsTheSha1OfTheCanonicalTextInTenGroups) {
  const testing::TestKeyPair& k = Key();
  const std::string expected = testing::OpenSslFingerprint(k.N, k.G, "256");
  EXPECT_TRUE(std::regex_match(expected, std::regex("([0-9A-F]{4} ){9}[0-9A-F]{4}")));
  EXPECT_EQ(KeyFingerprint({k.N, k.G, 256}), expected);
  // The same key written differently has the same fingerprint; another strength makes another key.
  TempFolder folder;
  WriteFile(folder / "a.KVK", "0" + k.N + "\n" + k.G + "\n256");
  EXPECT_EQ(KeyFingerprint(LoadPublicKeyFile(folder / "a.KVK")), expected);
  EXPECT_NE(KeyFingerprint({k.N, k.G, 255}), expected);

  const fs::path alice = testing::VectorFolder() / "alice@example.com.KVK";
  const std::vector<std::string> lines = SplitLines(ReadFile(alice));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(KeyFingerprint(LoadPublicKeyFile(alice)),
            testing::OpenSslFingerprint(lines[0], lines[1], lines[2]));
}

TEST(PublicKeyCheck, ReadableTextEscapesWhatCannotBeShownAndElidesTheMiddle) {
  EXPECT_EQ(ReadableText("12ab"), "12ab");
  EXPECT_EQ(ReadableText(std::string("1\0\r\n\t\x7f\"\\", 8)), "1\\x00\\r\\n\\t\\x7F\\\"\\\\");
  EXPECT_EQ(ReadableText("日本\xff\xc3"), "日本\\xFF\\xC3");
  EXPECT_EQ(ReadableText("\xEF\xBB\xBF"
                         "1"),
            "\\xEF\\xBB\\xBF1");
  EXPECT_EQ(ReadableText("\xC0\xAF"), "\\xC0\\xAF");  // an overlong "/"
  EXPECT_EQ(ReadableText(std::string(30, '1') + std::string(30, '2'), 10), "111111…222");
  EXPECT_EQ(ReadableText("1234", 4), "1234");
  EXPECT_EQ(ReadableText("12345", 4), "12…5");
  EXPECT_EQ(ReadableText(std::string(20, '\x01') + "日本", 4),
            "\\x01\\x01…本");  // whole escapes and characters
  // A whole file's worth of text comes out at the asked length.
  EXPECT_EQ(ReadableText(std::string(8 << 20, '7'), 48), std::string(31, '7') + "…" + std::string(16, '7'));
}

// A pipe, a folder or a missing file given as the key is reported as what it is.
TEST(PublicKeyCheck, AKeyFileThatIsNotAFileIsReportedAsWhatItIs) {
  TempFolder folder;
  fs::create_directory(folder / "folder.KVK");
  ASSERT_EQ(::mkfifo((folder / "pipe.KVK").c_str(), 0600), 0);
  const std::pair<const char*, const char*> cases[] = {
      {"folder.KVK", "フォルダです"}, {"pipe.KVK", "名前付きパイプです"}, {"missing.KVK", "見つかりません"}};
  WriteFile(folder / "notes.txt", "x");
  TKOVA kova;
  for (const auto& kind : cases) {
    // Named copies: lambdas cannot capture structured bindings everywhere yet.
    const char* const name = kind.first;
    const char* const what = kind.second;
    for (const auto& attempt : std::vector<std::function<void()>>{
             [&] { LoadPublicKeyFile(folder / name); },
             [&] { InstallPublicKey(folder / name, folder / "Key"); },
             [&] {
               EncryptFileForRecipient(
                   {ResolveRecipient((folder / name).string(), folder / "Key"), folder / "notes.txt"}, kova);
             }}) {
      try {
        attempt();
        ADD_FAILURE() << name;
      } catch (const Exception& error) {
        const std::string message = error.what();
        EXPECT_NE(message.find(what), std::string::npos) << name << ": " << message;
        // Only a missing file is "not found".
        if (std::string(name) != "missing.KVK") {
          EXPECT_EQ(message.find("見つかりません"), std::string::npos) << message;
        }
      }
    }
  }
}

// --- installing

TEST(InstallPublicKey, CreatesTheKeyFolderAndCopiesTheFileAsItIs) {
  TempFolder folder;
  const std::string text = Key().N + "\n" + Key().G + "\n256\n";
  WriteFile(folder / "bob.KVK", text);
  const TInstalledKey installed = InstallPublicKey(folder / "bob.KVK", folder / "home" / "Key");
  EXPECT_EQ(installed.Path, folder / "home" / "Key" / "bob.KVK");
  EXPECT_EQ(installed.Fingerprint, testing::OpenSslFingerprint(Key().N, Key().G, "256"));
  EXPECT_EQ(ReadFile(installed.Path), text);
  // The same key again, written differently, replaces the file silently.
  WriteFile(folder / "bob.KVK", Key().FileText());
  EXPECT_EQ(InstallPublicKey(folder / "bob.KVK", folder / "home" / "Key").Fingerprint, installed.Fingerprint);
  EXPECT_EQ(ReadFile(installed.Path), Key().FileText());
}

TEST(InstallPublicKey, AnotherKeyUnderTheSameNameIsRefusedWithBothFingerprints) {
  TempFolder folder;
  const testing::TestKeyPair other = testing::MakeTestKeyPair(256);
  WriteFile(folder / "bob.KVK", Key().FileText());
  InstallPublicKey(folder / "bob.KVK", folder / "Key");
  WriteFile(folder / "bob.KVK", other.FileText());
  const std::string oldPrint = testing::OpenSslFingerprint(Key().N, Key().G, "256");
  const std::string newPrint = testing::OpenSslFingerprint(other.N, other.G, "256");
  try {
    InstallPublicKey(folder / "bob.KVK", folder / "Key");
    ADD_FAILURE() << "swapped silently";
  } catch (const EKeyDiffers& error) {
    EXPECT_EQ(error.Installed(), folder / "Key" / "bob.KVK");
    EXPECT_EQ(error.InstalledFingerprint(), oldPrint);
    EXPECT_EQ(error.NewFingerprint(), newPrint);
    const std::string message = error.what();
    EXPECT_NE(message.find(oldPrint), std::string::npos);
    EXPECT_NE(message.find(newPrint), std::string::npos);
  }
  EXPECT_EQ(ReadFile(folder / "Key" / "bob.KVK"), Key().FileText());
  EXPECT_EQ(InstallPublicKey(folder / "bob.KVK", folder / "Key", true).Fingerprint, newPrint);
  EXPECT_EQ(ReadFile(folder / "Key" / "bob.KVK"), other.FileText());

  // An installed file that is no key is not replaced silently either.
  WriteFile(folder / "Key" / "carol.KVK", "junk");
  WriteFile(folder / "carol.KVK", Key().FileText());
  try {
    InstallPublicKey(folder / "carol.KVK", folder / "Key");
    ADD_FAILURE() << "replaced";
  } catch (const EKeyDiffers& error) {
    EXPECT_TRUE(error.InstalledFingerprint().empty());
  }
  EXPECT_EQ(ReadFile(folder / "Key" / "carol.KVK"), "junk");
}

TEST(InstallPublicKey, RefusesWhatIsNotAKeyAndReportsAFailedCopy) {
  TempFolder folder;
  WriteFile(folder / "bob.kvk", Key().FileText());
  EXPECT_THROW(InstallPublicKey(folder / "bob.kvk", folder / "Key"), EPublicKeyFile);
  WriteFile(folder / ".KVK", Key().FileText());  // no name: no recipient
  EXPECT_THROW(InstallPublicKey(folder / ".KVK", folder / "Key"), EPublicKeyFile);
  EXPECT_THROW(InstallPublicKey(folder / "missing.KVK", folder / "Key"), EFileError);
  EXPECT_FALSE(fs::exists(folder / "Key"));

  WriteFile(folder / "bob.KVK", Key().FileText());
  fs::create_directories(folder / "Key" / "bob.KVK");
  EXPECT_THROW(InstallPublicKey(folder / "bob.KVK", folder / "Key"), EFileError);
  fs::remove(folder / "Key" / "bob.KVK");
  {
    testing::ReadOnlyFolder readOnly(folder / "Key");
    if (!readOnly.Ready()) GTEST_SKIP() << "cannot make a folder read-only here";
    EXPECT_THROW(InstallPublicKey(folder / "bob.KVK", folder / "Key"), EFileError);
  }
  EXPECT_TRUE(fs::is_empty(folder / "Key"));
}

// --- the recipients

std::vector<std::string> Names(const std::vector<TRecipient>& recipients) {
  std::vector<std::string> names;
  for (const TRecipient& recipient : recipients) names.push_back(recipient.Name);
  return names;
}

TEST(ListRecipients, ListsWhatTheWizardListsSortedWithoutRegardToCase) {
  TempFolder folder;
  for (const char* name : {"carol.KVK", "Bob.KVK", "alice@example.com.KVK", "dave.kvk", "erin.Kvk",
                           "notes.txt", "frank.KVK", "frank.kvk"}) {
    WriteFile(folder / name, "x");
  }
  fs::create_directory(folder / "folder.KVK");
  const std::vector<TRecipient> listed = ListRecipients(folder.path());
  EXPECT_EQ(Names(listed), (std::vector<std::string>{"alice@example.com", "Bob", "carol", "dave", "erin",
                                                     "frank.KVK", "frank.kvk"}));
  EXPECT_EQ(listed[3].File, folder / "dave.kvk");
  EXPECT_TRUE(ListRecipients(folder / "missing").empty());
  // Every listed name finds its own file.
  for (const TRecipient& recipient : listed)
    EXPECT_EQ(ResolveRecipient(recipient.Name, folder.path()), recipient.File);
}

TEST(ResolveRecipient, FindsNamesInTheKeyFolderOrTakesAPath) {
  TempFolder folder;
  fs::create_directory(folder / "Key");
  WriteFile(folder / "Key" / "bob.KVK", "x");
  WriteFile(folder / "carol.KVK", "x");
  EXPECT_EQ(ResolveRecipient("bob", folder / "Key"), folder / "Key" / "bob.KVK");
  EXPECT_EQ(ResolveRecipient("bob.KVK", folder / "Key"), folder / "Key" / "bob.KVK");
  EXPECT_EQ(ResolveRecipient((folder / "carol.KVK").string(), folder / "Key"), folder / "carol.KVK");
  for (const char* missing : {"carol", "nobody", "", "..", "/nowhere/x.KVK"}) {
    EXPECT_THROW(ResolveRecipient(missing, folder / "Key"), EPublicKeyFile) << missing;
  }
}

}  // namespace
}  // namespace corvane
