#include "app/flows/PublicKeyFile.h"

#include <gtest/gtest.h>

#include "app/flows/FlowCommon.h"
#include "platform/tests/TempFolder.h"

namespace corvane {
namespace {
namespace fs = std::filesystem;
using testing::ReadFile;
using testing::TempFolder;
using testing::WriteFile;

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

TEST(InstallPublicKey, CreatesTheKeyFolderAndCopiesTheFileAsItIs) {
  TempFolder folder;
  const std::string text = "1573\n65537\n1024\n";
  WriteFile(folder / "bob.KVK", text);
  const fs::path installed = InstallPublicKey(folder / "bob.KVK", folder / "home" / "Key");
  EXPECT_EQ(installed, folder / "home" / "Key" / "bob.KVK");
  EXPECT_EQ(ReadFile(installed), text);
  // Installing again replaces the file.
  WriteFile(folder / "bob.KVK", "1573\r\n65537\r\n512\r\n");
  InstallPublicKey(folder / "bob.KVK", folder / "home" / "Key");
  EXPECT_EQ(ReadFile(installed), "1573\r\n65537\r\n512\r\n");
}

TEST(InstallPublicKey, RefusesWhatIsNotAKeyAndReportsAFailedCopy) {
  TempFolder folder;
  WriteFile(folder / "bob.kvk", "1573\r\n65537\r\n1024\r\n");
  EXPECT_THROW(InstallPublicKey(folder / "bob.kvk", folder / "Key"), EPublicKeyFile);
  WriteFile(folder / "bad.KVK", "1573\r\nabc\r\n1024\r\n");
  EXPECT_THROW(InstallPublicKey(folder / "bad.KVK", folder / "Key"), EPublicKeyFile);
  WriteFile(folder / "weak.KVK", "1573\r\n65537\r\n40\r\n");
  EXPECT_THROW(InstallPublicKey(folder / "weak.KVK", folder / "Key"), EKeyStrength);
  EXPECT_THROW(InstallPublicKey(folder / "missing.KVK", folder / "Key"), EFileError);
  EXPECT_FALSE(fs::exists(folder / "Key"));

  WriteFile(folder / "bob.KVK", "1573\r\n65537\r\n1024\r\n");
  fs::create_directory(folder / "Key");
  {
    testing::ReadOnlyFolder readOnly(folder / "Key");
    if (!readOnly.Ready()) GTEST_SKIP() << "cannot make a folder read-only here";
    EXPECT_THROW(InstallPublicKey(folder / "bob.KVK", folder / "Key"), EFileError);
  }
  EXPECT_TRUE(fs::is_empty(folder / "Key"));
}

TEST(ListRecipients, ListsKvkFilesWithoutExtensionSortedWithoutRegardToCase) {
  TempFolder folder;
  for (const char* name : {"carol.KVK", "Bob.KVK", "alice@example.com.KVK", "dave.kvk", "notes.txt"}) {
    WriteFile(folder / name, "x");
  }
  fs::create_directory(folder / "folder.KVK");
  EXPECT_EQ(ListRecipients(folder.path()), (std::vector<std::string>{"alice@example.com", "Bob", "carol"}));
  EXPECT_TRUE(ListRecipients(folder / "missing").empty());
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
