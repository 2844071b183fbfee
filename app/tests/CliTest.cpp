// corvane-cli run in-process with its output captured; the program and settings folders are temporary.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <random>
#include <sstream>

#include "app/cli/Command.h"
#include "app/cli/ProgressBar.h"
#include "app/flows/KeyTransfer.h"
#include "app/tests/KeyFixture.h"
#include "platform/tests/TempFolder.h"
#include "platform/unlha32/unlha32.h"

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

  // corvane-cli as a process of its own, with the variables added to its environment.
  CliRun RunProgram(const std::vector<std::string>& args, const std::vector<std::string>& variables) {
    std::vector<std::string> argv{CORVANE_CLI_PROGRAM};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<std::string> env = variables;
    for (char** e = environ; *e != nullptr; ++e) env.emplace_back(*e);
    const auto pointers = [](std::vector<std::string>& texts) {
      std::vector<char*> p;
      for (std::string& text : texts) p.push_back(text.data());
      p.push_back(nullptr);
      return p;
    };
    std::vector<char*> argp = pointers(argv), envp = pointers(env);
    const fs::path out = root / "stdout.txt", err = root / "stderr.txt";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, argp[0], &actions, nullptr, argp.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return {-1, "", "cannot start corvane-cli"};
    int status = 0;
    ::waitpid(pid, &status, 0);
    CliRun run{WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(out), ReadFile(err)};
    fs::remove(out);
    fs::remove(err);
    return run;
  }

  // As run on a terminal where the user types `answers`.
  CliRun RunOnTerminal(std::vector<std::string> args, const std::string& answers) {
    args.insert(args.begin(), "corvane-cli");
    std::ostringstream out, err;
    std::istringstream terminal(answers);
    const int status = RunCli(args, out, err, false, &terminal);
    return {status, out.str(), err.str()};
  }

  // A new key file of someone else, in a folder of its own outside the program's folders.
  fs::path ForeignKey(const std::string& name) {
    const testing::TestKeyPair key = testing::MakeTestKeyPair(256);
    const fs::path folder = root / ("mail" + std::to_string(++mails));
    fs::create_directories(folder);
    WriteFile(folder / name, key.FileText());
    return folder / name;
  }
  int mails = 0;

  static std::string Fingerprint(const fs::path& keyFile) {
    const std::vector<std::string> lines = SplitLines(ReadFile(keyFile));
    return testing::OpenSslFingerprint(lines.at(0), lines.at(1), lines.at(2));
  }

  std::string Settings() { return ReadFile(root / "config" / "Tessaly" / "Corvane.ini"); }

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
  for (const char* command : {"keygen", "install", "keys", "encrypt", "decrypt", "fingerprint", "export-key",
                              "import-key", "--quiet", "--version"}) {
    EXPECT_NE(help.out.find(command), std::string::npos) << command;
  }
  for (const char* command :
       {"keygen", "install", "keys", "encrypt", "decrypt", "fingerprint", "export-key", "import-key"}) {
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
      {"fingerprint"},
      {"export-key"},
      {"import-key", "k.reg"},
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
  EXPECT_EQ(first.out, (home / "alice@example.com.KVK").string() +
                           "\n指紋: " + Fingerprint(home / "alice@example.com.KVK") + "\n");
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

TEST_F(CliTest, KeygenAsksOnATerminalAndRefusesWithoutOne) {
  // No key is stored, but bob.KVK in the program folder is someone else's key.
  fs::create_directories(home);
  fs::copy_file(ForeignKey("bob.KVK"), home / "bob.KVK");
  const std::string foreign = ReadFile(home / "bob.KVK");
  const CliRun refused = Run({"keygen", "--bits", "256", "bob"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.err, "corvane-cli: ファイル " + (home / "bob.KVK").string() +
                             " は既に存在します。 置き換えるには --force を付けて下さい。\n");
  const CliRun declined = RunOnTerminal({"keygen", "--bits", "256", "bob"}, "n\n");
  EXPECT_EQ(declined.status, 1);
  EXPECT_NE(declined.err.find("置き換えますか？ [y/N]"), std::string::npos);
  EXPECT_NE(declined.err.find("中止しました。"), std::string::npos);
  EXPECT_EQ(ReadFile(home / "bob.KVK"), foreign);
  EXPECT_FALSE(fs::exists(root / "config" / "Tessaly" / "Corvane.ini"));

  ASSERT_EQ(RunOnTerminal({"keygen", "--bits", "256", "bob"}, "y\n").status, 0);
  EXPECT_NE(ReadFile(home / "bob.KVK"), foreign);
  // Now a key is stored: the replacement question comes first, and "no" (or no answer) keeps it.
  const std::string settings = Settings();
  const std::string own = ReadFile(home / "bob.KVK");
  for (const char* answers : {"n\n", ""}) {
    const CliRun kept = RunOnTerminal({"keygen", "--bits", "256", "bob"}, answers);
    EXPECT_EQ(kept.status, 1);
    EXPECT_NE(kept.err.find(kReplaceKeyQuestionText), std::string::npos);
    EXPECT_EQ(Settings(), settings);
    EXPECT_EQ(ReadFile(home / "bob.KVK"), own);
  }
  // Its own public-key file is replaced with the key, without a second question.
  const CliRun replaced = RunOnTerminal({"keygen", "--bits", "256", "bob"}, "y\n");
  EXPECT_EQ(replaced.status, 0);
  EXPECT_NE(Settings(), settings);
  EXPECT_NE(ReadFile(home / "bob.KVK"), own);
}

TEST_F(CliTest, InstallShowsBothFingerprintsBeforeAnotherKeyReplacesOne) {
  const fs::path carol = ForeignKey("carol.KVK");
  const std::string first = ReadFile(carol);
  const CliRun install = Run({"install", carol.string()});
  EXPECT_EQ(install.status, 0);
  EXPECT_EQ(install.out, (home / "Key" / "carol.KVK").string() + "\n指紋: " + Fingerprint(carol) + "\n");
  EXPECT_TRUE(install.err.empty());
  // The same key again is silent.
  const CliRun again = Run({"install", carol.string()});
  EXPECT_EQ(again.status, 0);
  EXPECT_TRUE(again.err.empty());

  const std::string oldPrint = Fingerprint(carol);
  const fs::path other = ForeignKey("carol.KVK");
  const std::string newPrint = Fingerprint(other);
  const CliRun refused = Run({"install", other.string()});
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find(oldPrint), std::string::npos) << refused.err;
  EXPECT_NE(refused.err.find(newPrint), std::string::npos) << refused.err;
  EXPECT_NE(refused.err.find("--force"), std::string::npos) << refused.err;
  EXPECT_EQ(ReadFile(home / "Key" / "carol.KVK"), first);
  EXPECT_EQ(RunOnTerminal({"install", other.string()}, "n\n").status, 1);
  EXPECT_EQ(ReadFile(home / "Key" / "carol.KVK"), first);
  EXPECT_EQ(RunOnTerminal({"install", other.string()}, "y\n").status, 0);
  EXPECT_EQ(Fingerprint(home / "Key" / "carol.KVK"), newPrint);
  ASSERT_EQ(Run({"install", carol.string()}).status, 1);
  EXPECT_EQ(Run({"install", "--force", carol.string()}).status, 0);
  EXPECT_EQ(Fingerprint(home / "Key" / "carol.KVK"), oldPrint);

  const CliRun missing = Run({"install", (root / "nobody.KVK").string()});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("nobody.KVK"), std::string::npos);
  WriteFile(root / "notes.txt", "x");
  EXPECT_EQ(Run({"install", (root / "notes.txt").string()}).status, 1);
}

TEST_F(CliTest, KeysAndFingerprintShowWhatTheWizardLists) {
  EXPECT_EQ(Run({"keys"}).out, "");
  const fs::path carol = ForeignKey("carol.KVK"), bob = ForeignKey("Bob.KVK"), dave = ForeignKey("dave.kvk");
  Run({"install", carol.string()});
  Run({"install", bob.string()});
  // Keys put into the folder by hand, in any case of ".KVK", are recipients too, as in the wizard.
  fs::copy_file(dave, home / "Key" / "dave.kvk");
  EXPECT_EQ(Run({"keys"}).status, 0);
  // An unusable file is listed, reported and makes the status 1, as a failed file does everywhere.
  WriteFile(home / "Key" / "erin.KVK", "not a key");
  const CliRun keys = Run({"keys"});
  EXPECT_EQ(keys.status, 1);
  EXPECT_EQ(keys.out, "Bob\t" + Fingerprint(bob) + "\ncarol\t" + Fingerprint(carol) + "\ndave\t" +
                          Fingerprint(dave) + "\nerin\t-\n");
  EXPECT_NE(keys.err.find("erin.KVK"), std::string::npos);
  EXPECT_EQ(Run({"--quiet", "keys"}).out, keys.out);

  const CliRun print = Run({"fingerprint", dave.string()});
  EXPECT_EQ(print.status, 0);
  EXPECT_EQ(print.out, Fingerprint(dave) + "\n");
  EXPECT_EQ(Run({"fingerprint", (home / "Key" / "erin.KVK").string()}).status, 1);

  WriteFile(root / "a.txt", "x");
  const CliRun encrypt = Run({"encrypt", "--to", "dave", (root / "a.txt").string()});
  EXPECT_EQ(encrypt.status, 0) << encrypt.err;
  EXPECT_EQ(encrypt.out, (root / "a_dave.KVX").string() + "\n");
}

TEST_F(CliTest, AKeyPairMovesThroughARegistryExport) {
  Alice();
  const std::string settings = Settings();
  const std::string publicKey = ReadFile(home / "alice@example.com.KVK");
  const CliRun exported = Run({"export-key", (root / "k.reg").string()});
  EXPECT_EQ(exported.status, 0) << exported.err;
  EXPECT_NE(exported.out.find(Fingerprint(home / "alice@example.com.KVK")), std::string::npos);
  EXPECT_NE(exported.out.find("秘密鍵が含まれています"), std::string::npos);
  struct stat info {};
  ASSERT_EQ(::stat((root / "k.reg").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0600u);
  const std::string bytes = ReadFile(root / "k.reg");
  const CliRun again = Run({"export-key", (root / "k.reg").string()});
  EXPECT_EQ(again.status, 1);
  EXPECT_NE(again.err.find("--force"), std::string::npos);
  EXPECT_EQ(ReadFile(root / "k.reg"), bytes);
  EXPECT_EQ(Run({"export-key", "--force", (root / "k.reg").string()}).status, 0);

  // On the other side: a fresh settings store and program folder.
  {
    testing::ScopedEnv otherHome{"CORVANE_HOME", root / "other"};
    testing::ScopedEnv otherConfig{"XDG_CONFIG_HOME", root / "other-config"};
    const CliRun imported = Run({"import-key", (root / "k.reg").string(), "--name", "alice@example.com"});
    EXPECT_EQ(imported.status, 0) << imported.err;
    EXPECT_EQ(imported.out, (root / "other" / "alice@example.com.KVK").string() +
                                "\n指紋: " + Fingerprint(home / "alice@example.com.KVK") + "\n");
    EXPECT_EQ(ReadFile(root / "other" / "alice@example.com.KVK"), publicKey);
  }
  // Importing another key over a stored one asks, or needs --force.
  ASSERT_EQ(Run({"keygen", "--force", "--bits", "256", "alice@example.com"}).status, 0);
  const std::string newer = Settings();
  const CliRun refused = Run({"import-key", (root / "k.reg").string(), "--name", "alice@example.com"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.err, "corvane-cli: 既に鍵が存在します。 置き換えるには --force を付けて下さい。\n");
  EXPECT_EQ(Settings(), newer);
  const CliRun asked =
      RunOnTerminal({"import-key", (root / "k.reg").string(), "--name", "alice@example.com"}, "y\n");
  EXPECT_EQ(asked.status, 0) << asked.err;
  EXPECT_NE(asked.err.find(kReplaceKeyByImportQuestionText), std::string::npos);
  EXPECT_EQ(ReadFile(home / "alice@example.com.KVK"), publicKey);
  EXPECT_NE(Settings(), newer);
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
  EXPECT_EQ(Run({"encrypt", "--force", "--to", "alice@example.com.KVK", (root / "a.txt").string()}).status,
            0);
  EXPECT_EQ(Run({"encrypt", "--force", "--to", (home / "alice@example.com.KVK").string(),
                 (root / "a.txt").string()})
                .status,
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

// The names of a folder's entries, hidden ones included, sorted.
std::vector<std::string> Entries(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST_F(CliTest, OneCallNeverWritesOneContainerTwiceAndNoneIsReplacedUnasked) {
  Alice();
  fs::create_directory(root / "in");
  WriteFile(root / "r.txt", "text");
  WriteFile(root / "r.doc", "document");
  const fs::path container = root / "r_alice@example.com.KVX";
  // The source whose payload a container holds names the file it decrypts to.
  const auto decryptsTo = [&]() {
    fs::copy_file(container, root / "in" / "c.KVX", fs::copy_options::overwrite_existing);
    const CliRun run = Run({"decrypt", "--force", (root / "in" / "c.KVX").string()});
    return run.out;
  };
  struct Step {
    std::vector<std::string> args;
    const char* refused;  // the file each step refuses
    const char* decrypted;
  };
  const Step steps[] = {
      {{"r.txt", "r.doc"}, "r.doc", "r.txt"},
      {{"r.doc"}, "r_alice@example.com.KVX", "r.txt"},  // exists: --force is needed
      {{"--force", "r.doc", "r.txt"}, "r.txt", "r.doc"},
  };
  for (const Step& step : steps) {
    std::vector<std::string> args{"encrypt", "--to", "alice@example.com"};
    for (const std::string& arg : step.args)
      args.push_back(arg.starts_with("-") ? arg : (root / arg).string());
    const CliRun run = Run(args);
    EXPECT_EQ(run.status, 1) << step.refused;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_NE(run.err.find(step.refused), std::string::npos) << run.err;
    EXPECT_EQ(run.out, step.args.size() == 1 ? "" : container.string() + "\n");
    EXPECT_EQ(decryptsTo(), (root / "in" / step.decrypted).string() + "\n");
  }
  EXPECT_NE(Run({"encrypt", "--to", "alice@example.com", (root / "r.doc").string()}).err.find("--force"),
            std::string::npos);
}

TEST_F(CliTest, ADecryptedNameStartingWithADotNeedsForceAndIsShownFirst) {
  Alice();
  WriteFile(root / ".bashrc", "echo hi");
  ASSERT_EQ(Run({"encrypt", "--to", "alice@example.com", (root / ".bashrc").string()}).status, 0);
  for (const char* folder : {"in", "twice"}) {
    fs::create_directory(root / folder);
    fs::copy_file(root / ".ba_alice@example.com.KVX", root / folder / "holiday_photos_me@x.KVX");
  }
  const fs::path container = root / "in" / "holiday_photos_me@x.KVX";
  const CliRun refused = Run({"decrypt", container.string()});
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find(".bashrc"), std::string::npos);
  EXPECT_NE(refused.err.find("--force"), std::string::npos);
  EXPECT_EQ(Entries(root / "in"), std::vector<std::string>{"holiday_photos_me@x.KVX"});

  const CliRun forced = Run({"--quiet", "decrypt", "--force", container.string()});
  EXPECT_EQ(forced.status, 0);
  EXPECT_NE(forced.err.find(".bashrc"), std::string::npos);  // said before it is written, even when quiet
  EXPECT_EQ(ReadFile(root / "in" / ".bashrc"), "echo hi");

  // Two containers of one call that decrypt to one name: the second is refused, --force or not.
  fs::copy_file(root / "twice" / "holiday_photos_me@x.KVX", root / "twice" / "again.KVX");
  const CliRun twice = Run({"decrypt", "--force", (root / "twice" / "holiday_photos_me@x.KVX").string(),
                            (root / "twice" / "again.KVX").string()});
  EXPECT_EQ(twice.status, 1);
  EXPECT_EQ(twice.out, (root / "twice" / ".bashrc").string() + "\n");
  EXPECT_NE(twice.err.find("again.KVX"), std::string::npos);
}

TEST_F(CliTest, AFullDiskIsReportedAsSuchNamingTheFolderAndLosesNothing) {
  Alice();
  const fs::path docs = root / "docs", in = root / "in";
  fs::create_directory(docs);
  fs::create_directory(in);
  std::mt19937 engine(3);
  std::string payload(3 << 20, '\0');  // does not compress, so it is stored as it is
  for (char& c : payload) c = static_cast<char>(engine() & 0xFF);
  WriteFile(docs / "big.bin", payload);
  ASSERT_EQ(Run({"encrypt", "--to", "alice@example.com", (docs / "big.bin").string()}).status, 0);
  const fs::path container = docs / "big_alice@example.com.KVX";
  const std::string good = ReadFile(container);
  fs::copy_file(container, in / container.filename());
#ifdef UNLHA_ERROR_DISK_FULL
  const bool libraryKnowsFullDisks = true;
#else
  const bool libraryKnowsFullDisks = false;  // it reports a write failure, named as such
#endif
  struct Case {
    const char* what;
    bool encrypt;
    std::size_t allowed;  // bytes written in the folder before the disk is full
    bool ownWrite;        // the flow's own write, not the library's
  };
  const Case cases[] = {
      {"the payload", true, 0, true},
      {"the session-key file", true, 3 << 20, true},
      {"the container, as the library packs it", true, (3 << 20) + 65536, false},
      {"the session-key member, as the library extracts it", false, 0, false},
      {"the decrypted file", false, 65536, true},
  };
  for (const Case& c : cases) {
    const fs::path folder = c.encrypt ? docs : in;
    const std::vector<std::string> before = Entries(folder);
    // Encrypting replaces the good container, so the full disk must not cost it.
    const std::vector<std::string> args =
        c.encrypt ? std::vector<std::string>{"encrypt", "--force", "--to", "alice@example.com",
                                             (docs / "big.bin").string()}
                  : std::vector<std::string>{"decrypt", (in / container.filename()).string()};
    const CliRun run =
        RunProgram(args, {"LD_PRELOAD=" CORVANE_FULL_DISK_SHIM, "CORVANE_FULL_DISK_DIR=" + folder.string(),
                          "CORVANE_FULL_DISK_ALLOW=" + std::to_string(c.allowed)});
    EXPECT_EQ(run.status, 1) << c.what;
    EXPECT_NE(run.err.find("\"" + folder.string() + "\""), std::string::npos) << c.what << ": " << run.err;
    EXPECT_EQ(run.err.find(".corvane-"), std::string::npos) << c.what << ": " << run.err;
    if (c.ownWrite || libraryKnowsFullDisks) {
      EXPECT_NE(run.err.find("ディスクの空き容量が足りない"), std::string::npos) << c.what << ": " << run.err;
    }
    EXPECT_EQ(run.err.find("壊れています"), std::string::npos) << c.what << ": " << run.err;
    EXPECT_EQ(Entries(folder), before) << c.what;
    EXPECT_TRUE(ReadFile(folder / container.filename()) == good) << c.what;
  }
  // Without the full disk the same runs succeed.
  EXPECT_EQ(RunProgram({"decrypt", (in / container.filename()).string()}, {}).status, 0);
  EXPECT_TRUE(ReadFile(in / "big.bin") == payload);
}

TEST_F(CliTest, EveryMessageIsJapaneseAndShowsNoWorkPath) {
  Alice();
  WriteFile(root / "a.txt", "x");
  ASSERT_EQ(Run({"encrypt", "--to", "alice@example.com", (root / "a.txt").string()}).status, 0);
  fs::create_directory(root / "locked");
  fs::copy_file(root / "a_alice@example.com.KVX", root / "locked" / "a_alice@example.com.KVX");
  WriteFile(root / "locked" / "b.txt", "x");
  WriteFile(root / "junk.KVX", "not an archive");
  testing::ReadOnlyFolder locked(root / "locked");
  const std::vector<std::vector<std::string>> failures = {
      {"encrypt", "--to", "alice@example.com", (root / "missing.txt").string()},
      {"encrypt", "--to", "alice@example.com", (root / "locked").string()},
      {"encrypt", "--to", "alice@example.com", (root / "locked" / "b.txt").string()},
      {"decrypt", (root / "missing.KVX").string()},
      {"decrypt", (root / "junk.KVX").string()},
      {"decrypt", (root / "locked" / "a_alice@example.com.KVX").string()},
      {"keygen", "--bits", "100", "someone"},
  };
  for (const auto& args : failures) {
    if (!locked.Ready() && args.back().find("locked") != std::string::npos) continue;
    const CliRun run = Run(args);
    EXPECT_NE(run.status, 0) << args.back();
    // Each line is ours and in Japanese (CLI11's own framing of a usage error aside).
    EXPECT_TRUE(std::any_of(run.err.begin(), run.err.end(), [](char c) { return c & 0x80; }))
        << args.back() << ": " << run.err;
    EXPECT_EQ(run.err.find("Cannot"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find(".corvane-"), std::string::npos) << run.err;
  }
}

TEST(ProgressBar, RendersStageBarAndPercentage) {
  // Labels fill 20 terminal columns, a Japanese character taking two, so the bars line up.
  EXPECT_EQ(TProgressBar::Render(TFlowStage::stEncrypting, 50, 100, 10),
            "暗号化中" + std::string(12, ' ') + "[#####.....]  50%");
  EXPECT_EQ(TProgressBar::Render(TFlowStage::stDecrypting, 7, 0, 10), "復号化中" + std::string(12, ' '));
  EXPECT_EQ(TProgressBar::Render(TFlowStage::stPacking, 200, 100, 4), "暗号ファイル作成中  [####] 100%");
  EXPECT_EQ(TProgressBar::Render(TFlowStage::stKeyGeneration, 12, 0),
            "鍵を作成中" + std::string(10, ' ') + "候補 12 個");
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
