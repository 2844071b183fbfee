// corvane-cli run in-process with its output captured; the program and settings folders are temporary.

#include <gtest/gtest.h>

#include <sstream>

#include "app/cli/Command.h"
#include "app/cli/ProgressBar.h"
#include "platform/tests/TempFolder.h"

namespace corvane {
namespace {
namespace fs = std::filesystem;
using testing::ReadFile;
using testing::TempFolder;
using testing::WriteFile;

struct CliRun {
  int status;
  std::string out, err;
};

class CliTest : public ::testing::Test {
 protected:
  CliRun Run(std::vector<std::string> args) {
    args.insert(args.begin(), "corvane-cli");
    std::ostringstream out, err;
    const int status = RunCli(args, out, err);
    return {status, out.str(), err.str()};
  }

  // A key pair for alice, installed as a recipient too.
  void Alice() {
    ASSERT_EQ(Run({"keygen", "--bits", "256", "alice@example.com"}).status, 0);
    ASSERT_EQ(Run({"install", (home / "alice@example.com.KVK").string()}).status, 0);
  }

  TempFolder root;
  fs::path home = root / "home";
  testing::ScopedEnv corvaneHome{"CORVANE_HOME", home};
  testing::ScopedEnv configHome{"XDG_CONFIG_HOME", root / "config"};
};

TEST_F(CliTest, HelpAndVersionSucceedAndUsageErrorsGiveTwo) {
  const CliRun help = Run({"--help"});
  EXPECT_EQ(help.status, 0);
  for (const char* command : {"keygen", "install", "keys", "encrypt", "decrypt", "--quiet", "--version"}) {
    EXPECT_NE(help.out.find(command), std::string::npos) << command;
  }
  for (const char* command : {"keygen", "install", "keys", "encrypt", "decrypt"}) {
    const CliRun run = Run({command, "--help"});
    EXPECT_EQ(run.status, 0) << command;
    EXPECT_NE(run.out.find("Usage"), std::string::npos) << command;
  }
  const CliRun version = Run({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_NE(version.out.find("corvane-cli"), std::string::npos);

  const std::vector<std::vector<std::string>> usageErrors = {
      {},
      {"frobnicate"},
      {"keygen"},
      {"keygen", "--bits", "255", "a"},
      {"keygen", "--bits", "2049", "a"},
      {"keygen", "--bits", "0x400", "a"},
      {"keygen", "--bits", "1e3", "a"},
      {"keygen", "--bits", "abc", "a"},
      {"encrypt", "file"},
      {"encrypt", "--to", "bob"},
      {"decrypt"},
      {"keys", "--bogus"},
  };
  for (const auto& args : usageErrors) {
    const CliRun run = Run(args);
    EXPECT_EQ(run.status, 2) << (args.empty() ? "" : args[0]);
    EXPECT_FALSE(run.err.empty());
  }
  EXPECT_FALSE(fs::exists(home));
}

TEST_F(CliTest, KeygenWritesTheKeyFileAndRefusesToReplaceTheKeyWithoutForce) {
  const CliRun first = Run({"keygen", "--bits", "256", "alice@example.com"});
  EXPECT_EQ(first.status, 0);
  EXPECT_EQ(first.out, (home / "alice@example.com.KVK").string() + "\n");
  EXPECT_TRUE(first.err.empty());
  EXPECT_EQ(SplitLines(ReadFile(home / "alice@example.com.KVK"))[2], "256");
  const std::string settings = ReadFile(root / "config" / "Tessaly" / "Corvane.ini");
  EXPECT_NE(settings.find("KeyStrength=256"), std::string::npos);

  const CliRun again = Run({"keygen", "--bits", "256", "alice@example.com"});
  EXPECT_EQ(again.status, 1);
  EXPECT_TRUE(again.out.empty());
  EXPECT_EQ(again.err, "corvane-cli: 既に鍵が存在します。 置き換えるには --force を付けて下さい。\n");
  EXPECT_EQ(ReadFile(root / "config" / "Tessaly" / "Corvane.ini"), settings);

  EXPECT_EQ(Run({"keygen", "--force", "--bits", "256", "alice@example.com"}).status, 0);
  EXPECT_NE(ReadFile(root / "config" / "Tessaly" / "Corvane.ini"), settings);
  EXPECT_EQ(Run({"--quiet", "keygen", "--force", "bob"}).out, "");  // default strength 1024
  EXPECT_EQ(SplitLines(ReadFile(home / "bob.KVK"))[2], "1024");
}

TEST_F(CliTest, InstallAndKeysManageTheKeyFolder) {
  EXPECT_EQ(Run({"keys"}).out, "");
  WriteFile(root / "carol.KVK", "1573\r\n65537\r\n256\r\n");
  WriteFile(root / "Bob.KVK", "1573\r\n65537\r\n256\r\n");
  const CliRun install = Run({"install", (root / "carol.KVK").string()});
  EXPECT_EQ(install.status, 0);
  EXPECT_EQ(install.out, (home / "Key" / "carol.KVK").string() + "\n");
  Run({"install", (root / "Bob.KVK").string()});
  EXPECT_EQ(Run({"keys"}).out, "Bob\ncarol\n");
  EXPECT_EQ(Run({"--quiet", "keys"}).out, "Bob\ncarol\n");

  const CliRun missing = Run({"install", (root / "nobody.KVK").string()});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("nobody.KVK"), std::string::npos);
  WriteFile(root / "notes.txt", "x");
  EXPECT_EQ(Run({"install", (root / "notes.txt").string()}).status, 1);
}

TEST_F(CliTest, EncryptAndDecryptPrintEachPathAndReportEachFailure) {
  Alice();
  WriteFile(root / "a.txt", "first");
  WriteFile(root / "b.txt", "second");
  const CliRun encrypt = Run({"encrypt", "--to", "alice@example.com", (root / "a.txt").string(),
                              (root / "missing.txt").string(), (root / "b.txt").string()});
  EXPECT_EQ(encrypt.status, 1);
  EXPECT_EQ(encrypt.out, (root / "a_alice@example.com.KVX").string() + "\n" +
                             (root / "b_alice@example.com.KVX").string() + "\n");
  EXPECT_NE(encrypt.err.find("missing.txt"), std::string::npos);
  EXPECT_EQ(std::count(encrypt.err.begin(), encrypt.err.end(), '\n'), 1);

  // The recipient may also be named with ".KVK" or by the path of a key file.
  EXPECT_EQ(Run({"encrypt", "--to", "alice@example.com.KVK", (root / "a.txt").string()}).status, 0);
  EXPECT_EQ(
      Run({"encrypt", "--to", (home / "alice@example.com.KVK").string(), (root / "a.txt").string()}).status,
      0);
  const CliRun nobody = Run({"encrypt", "--to", "nobody", (root / "a.txt").string()});
  EXPECT_EQ(nobody.status, 1);
  EXPECT_EQ(nobody.err, "corvane-cli: 受信者 nobody の公開鍵ファイルが見つかりません。\n");

  fs::create_directory(root / "in");
  fs::rename(root / "a_alice@example.com.KVX", root / "in" / "a_alice@example.com.KVX");
  fs::rename(root / "b_alice@example.com.KVX", root / "in" / "renamed.kvx");
  const CliRun decrypt = Run({"decrypt", (root / "in" / "a_alice@example.com.KVX").string(),
                              (root / "in" / "renamed.kvx").string()});
  EXPECT_EQ(decrypt.status, 0);
  EXPECT_EQ(decrypt.out, (root / "in" / "a.txt").string() + "\n" + (root / "in" / "b.txt").string() + "\n");
  EXPECT_EQ(ReadFile(root / "in" / "a.txt"), "first");
  EXPECT_EQ(ReadFile(root / "in" / "b.txt"), "second");

  WriteFile(root / "in" / "a.txt", "changed");
  const CliRun exists = Run({"decrypt", (root / "in" / "a_alice@example.com.KVX").string()});
  EXPECT_EQ(exists.status, 1);
  EXPECT_NE(exists.err.find("既に存在します"), std::string::npos);
  EXPECT_EQ(ReadFile(root / "in" / "a.txt"), "changed");
  const CliRun forced =
      Run({"--quiet", "decrypt", "--force", (root / "in" / "a_alice@example.com.KVX").string()});
  EXPECT_EQ(forced.status, 0);
  EXPECT_EQ(forced.out, "");
  EXPECT_EQ(ReadFile(root / "in" / "a.txt"), "first");
}

TEST_F(CliTest, ContainersFromJapaneseWindowsDecryptUnderTheirJapaneseNames) {
  const char* vectors = std::getenv("CORVANE_VECTORS");
  const fs::path known = fs::path(vectors ? vectors : CORVANE_VECTORS_FALLBACK);
  fs::create_directories(root / "config" / "Tessaly");
  fs::copy_file(known / "container" / "private-key.ini", root / "config" / "Tessaly" / "Corvane.ini");
  std::vector<std::string> args = {"decrypt"};
  std::string expected;
  const std::pair<const char*, const char*> cases[] = {
      {"level0/表計算ソフト能力_alice@example.com.KVX", "表計算ソフト能力.csv"},
      {"level1/見積書_alice@example.com.KVX", "見積書.txt"},
      {"level2/表計算ソフト能力_alice@example.com.KVX", "表計算ソフト能力.csv"},
  };
  for (const auto& [container, source] : cases) {
    const fs::path copy = root / container;
    fs::create_directories(copy.parent_path());
    fs::copy_file(known / "container-cp932" / container, copy);
    args.push_back(copy.string());
    expected += (copy.parent_path() / source).string() + "\n";
  }
  const CliRun run = Run(args);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, expected);
  for (const auto& [container, source] : cases) {
    EXPECT_EQ(ReadFile((root / container).parent_path() / source),
              ReadFile(known / "container-cp932" / source))
        << container;
  }
}

TEST_F(CliTest, ASourceNameThatIsNotUtf8IsRefusedAndLeavesNothing) {
  Alice();
  fs::create_directory(root / "in");
  WriteFile(root / "in" / "caf\xE9.txt", "latin-1 name");
  const CliRun run = Run({"encrypt", "--to", "alice@example.com", (root / "in" / "caf\xE9.txt").string()});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("UTF-8 ではない"), std::string::npos) << run.err;
  std::vector<std::string> left;
  for (const auto& entry : fs::directory_iterator(root / "in")) left.push_back(entry.path().filename());
  EXPECT_EQ(left, std::vector<std::string>{"caf\xE9.txt"});
}

TEST_F(CliTest, AForeignContainerIsReportedWithTheSystemsText) {
  Alice();
  WriteFile(root / "a.txt", "x");
  ASSERT_EQ(Run({"encrypt", "--to", "alice@example.com", (root / "a.txt").string()}).status, 0);
  ASSERT_EQ(Run({"keygen", "--force", "--bits", "256", "alice@example.com"}).status, 0);
  fs::remove(root / "a.txt");
  const CliRun run = Run({"decrypt", (root / "a_alice@example.com.KVX").string()});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "corvane-cli: これは、今のあなたの鍵用に暗号化されたものではありません。\n");
  EXPECT_FALSE(fs::exists(root / "a.txt"));
}

TEST_F(CliTest, AnInterruptCancelsTheWorkAndLeavesNothing) {
  Alice();
  WriteFile(root / "a.txt", std::string(1 << 20, 'x'));
  RequestInterrupt();
  const CliRun run = Run({"encrypt", "--to", "alice@example.com", (root / "a.txt").string()});
  ClearInterrupt();
  EXPECT_EQ(run.status, 1);
  EXPECT_FALSE(fs::exists(root / "a_alice@example.com.KVX"));
  for (const auto& entry : fs::directory_iterator(root.path())) {
    EXPECT_EQ(entry.path().filename().string().rfind(".corvane-", 0), std::string::npos);
  }
}

TEST(ProgressBar, RendersStageBarAndPercentage) {
  EXPECT_EQ(TProgressBar::Render(TFlowStage::stEncrypting, 50, 100, 10), "encrypting     [#####.....]  50%");
  EXPECT_EQ(TProgressBar::Render(TFlowStage::stDecrypting, 7, 0, 10), "decrypting     ");
  EXPECT_EQ(TProgressBar::Render(TFlowStage::stPacking, 200, 100, 4), "packing        [####] 100%");
  EXPECT_EQ(TProgressBar::Render(TFlowStage::stKeyGeneration, 12, 0), "generating key 12 candidates");
  std::ostringstream out;
  TProgressBar bar(out);
  bar.Update(TFlowStage::stEncrypting, 0, 10);
  bar.Update(TFlowStage::stEncrypting, 10, 10);
  bar.Finish();
  EXPECT_EQ(out.str().back(), '\n');
  EXPECT_NE(out.str().find("100%"), std::string::npos);
}

}  // namespace
}  // namespace corvane
