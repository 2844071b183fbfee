// Storing a key pair: the public-key file and the stored private key are both new, or both as they were,
// whatever fails on the way; a public-key file that is not the stored key's is replaced only with consent.

#include <gtest/gtest.h>

#include <fstream>

#include "app/flows/KeyPairFlow.h"
#include "app/tests/KeyFixture.h"
#include "platform/tests/TempFolder.h"

namespace corvane {
namespace {
namespace fs = std::filesystem;
using testing::ReadFile;
using testing::TempFolder;
using testing::WriteFile;

std::vector<std::string> Entries(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// A store whose writes fail once armed, as a full disk would make them.
class TFailingStore : public MemorySettingsStore {
 public:
  void WriteString(const std::string& subKey, const std::string& name, const std::string& value) override {
    if (Fail) throw EFileError("設定ファイルに書き込めません。");
    MemorySettingsStore::WriteString(subKey, name, value);
  }
  bool Fail = false;
};

class KeyPairStoreTest : public ::testing::Test {
 protected:
  TKeyPairResult Create(SettingsStore& store, const std::string& name, bool replaceKey = true,
                        bool replaceFile = false, const TFlowProgress& progress = {}) {
    return CreateKeyPair({256, name, replaceKey, replaceFile}, kova, store, home, progress);
  }
  std::string StoredP(SettingsStore& store) { return ReadStoredKey(store).P; }

  TempFolder root;
  fs::path home = root / "home";
  TKOVA kova;
};

TEST_F(KeyPairStoreTest, AFailedSettingsWriteBringsTheOldPublicKeyFileBack) {
  TFailingStore store;
  Create(store, "alice");
  const std::string oldFile = ReadFile(home / "alice.KVK");
  const std::string oldP = StoredP(store);
  store.Fail = true;
  EXPECT_THROW(Create(store, "alice"), EFileError);
  EXPECT_EQ(ReadFile(home / "alice.KVK"), oldFile);
  EXPECT_EQ(StoredP(store), oldP);
  // A file that did not exist before does not stay either.
  EXPECT_THROW(Create(store, "bob"), EFileError);
  EXPECT_EQ(Entries(home), std::vector<std::string>{"alice.KVK"});
}

TEST_F(KeyPairStoreTest, AnUnwritableSettingsFolderLeavesBothHalvesOld) {
  IniSettingsStore store(root / "config");
  Create(store, "alice");
  const std::string oldFile = ReadFile(home / "alice.KVK");
  const std::string oldP = StoredP(store);
  {
    testing::ReadOnlyFolder readOnly(root / "config" / "Tessaly");
    if (!readOnly.Ready()) GTEST_SKIP() << "cannot make a folder read-only here";
    EXPECT_THROW(Create(store, "alice"), EFileError);
  }
  EXPECT_EQ(ReadFile(home / "alice.KVK"), oldFile);
  EXPECT_EQ(Entries(home), std::vector<std::string>{"alice.KVK"});
  EXPECT_EQ(StoredP(store), oldP);
  IniSettingsStore fresh(root / "config");
  EXPECT_EQ(StoredP(fresh), oldP);
}

TEST_F(KeyPairStoreTest, AFolderOfThePublicKeyFilesNameIsRefusedBeforeTheKeyIsMade) {
  IniSettingsStore store(root / "config");
  Create(store, "alice");
  const std::string oldP = StoredP(store);
  fs::create_directories(home / "bob.KVK");
  bool generated = false;
  EXPECT_THROW(Create(store, "bob", true, true,
                      [&](TFlowStage, uint64_t, uint64_t) {
                        generated = true;
                        return true;
                      }),
               EFileError);
  EXPECT_FALSE(generated);
  EXPECT_EQ(StoredP(store), oldP);
  EXPECT_TRUE(fs::is_directory(home / "bob.KVK"));
}

// QSettings reads "[Setting" with a format error and kept reporting it after the write that did succeed.
TEST_F(KeyPairStoreTest, ASettingsFileWithAFormatErrorTakesTheNewKey) {
  fs::create_directories(root / "config" / "Tessaly");
  std::ofstream(root / "config" / "Tessaly" / "Corvane.ini") << "[Setting\nKVK=-1\n";
  IniSettingsStore store(root / "config");
  const TKeyPairResult result = Create(store, "alice");
  IniSettingsStore fresh(root / "config");
  const std::optional<TPublicKey> stored = StoredPublicKey(fresh);
  ASSERT_TRUE(stored);
  EXPECT_EQ(ReadFile(result.PublicKeyFile), PublicKeyFileText({stored->N, stored->G, "256"}));
  EXPECT_EQ(result.Fingerprint, KeyFingerprint(*stored));
}

TEST_F(KeyPairStoreTest, AForeignPublicKeyFileIsReplacedOnlyWithConsent) {
  IniSettingsStore store(root / "config");
  fs::create_directories(home);
  const std::string foreign = testing::MakeTestKeyPair(256).FileText();
  WriteFile(home / "bob.KVK", foreign);
  EXPECT_EQ(ForeignPublicKeyFile("bob", store, home), home / "bob.KVK");
  try {
    Create(store, "bob", false, false);
    ADD_FAILURE() << "replaced without consent";
  } catch (const EOutputExists& error) {
    EXPECT_EQ(error.Path(), home / "bob.KVK");
  }
  EXPECT_EQ(ReadFile(home / "bob.KVK"), foreign);
  EXPECT_FALSE(PrivateKeyExists(store));

  Create(store, "bob", false, true);
  EXPECT_NE(ReadFile(home / "bob.KVK"), foreign);
  // The stored key's own file is not foreign: replacing the key replaces it.
  EXPECT_EQ(ForeignPublicKeyFile("bob", store, home), std::nullopt);
  EXPECT_NO_THROW(Create(store, "bob", true, false));
  for (const char* name : {"", "..", "a/b"})
    EXPECT_THROW(ForeignPublicKeyFile(name, store, home), EFileError);
}

}  // namespace
}  // namespace corvane
