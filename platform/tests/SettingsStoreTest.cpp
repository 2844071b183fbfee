#include "platform/SettingsStore.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/Exception.h"
#include "platform/tests/TempFolder.h"

namespace corvane {
namespace {
namespace fs = std::filesystem;

using testing::ReadFile;
using testing::ReadOnlyFolder;
using testing::TempFolder;

unsigned Mode(const fs::path& path) {
  struct stat st {};
  ::stat(path.c_str(), &st);
  return st.st_mode & 07777;
}

TEST(SettingsFileForKey, MapsTheKeyPathBelowTheConfigurationFolder) {
  EXPECT_EQ(SettingsFileForKey("/c", kCorvaneKeyPath), fs::path("/c/Tessaly/Corvane.ini"));
  EXPECT_EQ(SettingsFileForKey("/c", "Software/Tessaly/Corvane"), fs::path("/c/Tessaly/Corvane.ini"));
  // Parts that would lead out of the folder are dropped.
  EXPECT_EQ(SettingsFileForKey("/c", "\\Software\\..\\..\\x"), fs::path("/c/x.ini"));
  EXPECT_EQ(SettingsFileForKey("/c", ""), fs::path("/c/Corvane.ini"));
}

TEST(IniSettingsStore, WritesGroupsPerSubKeyInAPrivateFileAndReadsThemBack) {
  TempFolder config;
  {
    IniSettingsStore store(config.path());
    store.OpenKey(kCorvaneKeyPath);
    EXPECT_FALSE(store.HasSubKey("KOVA"));
    EXPECT_EQ(store.ReadString("KOVA", "G", "65537"), "65537");
    store.WriteStrings("KOVA", {{"P", "11"}, {"Q", "13"}, {"G", "65537"}, {"KeyStrength", "1024"}});
    store.WriteString("Setting", "KVK", "-1");
    EXPECT_TRUE(store.HasSubKey("KOVA"));
    EXPECT_FALSE(store.HasSubKey("Other"));
    store.CloseKey();
  }
  const fs::path file = config.path() / "Tessaly" / "Corvane.ini";
  EXPECT_EQ(Mode(file), 0600u);
  EXPECT_EQ(Mode(file.parent_path()), 0700u);
  const std::string text = ReadFile(file);
  EXPECT_NE(text.find("[KOVA]"), std::string::npos);
  EXPECT_NE(text.find("KeyStrength=1024"), std::string::npos);
  EXPECT_NE(text.find("[Setting]"), std::string::npos);

  IniSettingsStore again(config.path());
  again.OpenKey(kCorvaneKeyPath);
  EXPECT_EQ(again.ReadString("KOVA", "P", ""), "11");
  EXPECT_EQ(again.ReadString("KOVA", "Q", ""), "13");
  EXPECT_EQ(again.ReadString("Setting", "KVK", "0"), "-1");
  EXPECT_EQ(again.ReadString("Setting", "KVX", "0"), "0");
}

TEST(IniSettingsStore, RepairsTheModeOfAnExistingFileAndReplacesItWhole) {
  TempFolder config;
  const fs::path file = config.path() / "Tessaly" / "Corvane.ini";
  fs::create_directories(file.parent_path());
  std::ofstream(file) << "[Setting]\nKVX=True\nList=a,b\n";
  ::chmod(file.c_str(), 0644);
  struct stat before {};
  ::stat(file.c_str(), &before);

  IniSettingsStore store(config.path());
  store.OpenKey(kCorvaneKeyPath);
  EXPECT_EQ(store.ReadString("Setting", "KVX", "0"), "True");
  EXPECT_EQ(store.ReadString("Setting", "List", ""), "a,b");  // not split into a list
  store.WriteString("KOVA", "P", "7");
  struct stat after {};
  ::stat(file.c_str(), &after);
  EXPECT_EQ(after.st_mode & 07777, 0600u);
  EXPECT_NE(before.st_ino, after.st_ino);  // a new file renamed into place, not rewritten in place
  EXPECT_EQ(store.ReadString("Setting", "KVX", "0"), "True");
}

TEST(IniSettingsStore, ValuesWithAnyCharactersSurviveTheRoundTrip) {
  TempFolder config;
  const std::string odd = "a=b;c,d \"q\" [x] 日本語 \\ end";
  {
    IniSettingsStore store(config.path());
    store.OpenKey(kCorvaneKeyPath);
    store.WriteString("Setting", "Odd", odd);
  }
  IniSettingsStore store(config.path());
  store.OpenKey(kCorvaneKeyPath);
  EXPECT_EQ(store.ReadString("Setting", "Odd", ""), odd);
}

TEST(IniSettingsStore, AFolderThatCannotBeWrittenRaisesAFileError) {
  TempFolder config;
  ReadOnlyFolder readOnly(config.path());
  if (!readOnly.Ready()) GTEST_SKIP() << "cannot make a folder read-only here";
  IniSettingsStore store(config.path());
  store.OpenKey(kCorvaneKeyPath);
  EXPECT_THROW(store.WriteString("KOVA", "P", "1"), EFileError);
  EXPECT_FALSE(store.HasSubKey("KOVA"));
}

TEST(IniSettingsStore, AFileInThePlaceOfTheFolderRaisesAFileError) {
  TempFolder config;
  std::ofstream(config.path() / "Tessaly") << "not a folder";
  IniSettingsStore store(config.path());
  store.OpenKey(kCorvaneKeyPath);
  EXPECT_THROW(store.WriteString("KOVA", "P", "1"), EFileError);
}

// QSettings reports a format error it met while reading after every later write: the write must count
// as what it was.
TEST(IniSettingsStore, AFileWithAFormatErrorIsWrittenAndTheWriteReportedAsDone) {
  TempFolder config;
  const fs::path file = config.path() / "Tessaly" / "Corvane.ini";
  fs::create_directories(file.parent_path());
  for (const char* broken : {"[Setting\nKVK=1\n", "KVK\n", "\xff\xfe\n"}) {
    std::ofstream(file, std::ios::trunc) << broken;
    IniSettingsStore store(config.path());
    store.OpenKey(kCorvaneKeyPath);
    EXPECT_NO_THROW(store.WriteStrings("KOVA", {{"P", "11"}, {"Q", "13"}})) << broken;
    store.CloseKey();
    IniSettingsStore again(config.path());
    again.OpenKey(kCorvaneKeyPath);
    EXPECT_EQ(again.ReadString("KOVA", "P", ""), "11") << broken;
    EXPECT_NE(ReadFile(file).find("Q=13"), std::string::npos) << broken;
  }
}

// The file stays writable but its folder does not take the new file QSettings renames into place.
TEST(IniSettingsStore, AFailedWriteLeavesTheStoredValuesForEveryReader) {
  for (const char* content : {"[KOVA]\nP=7\n", "[KOVA\nP=7\n"}) {
    TempFolder config;
    const fs::path file = config.path() / "Tessaly" / "Corvane.ini";
    fs::create_directories(file.parent_path());
    std::ofstream(file) << content;
    IniSettingsStore store(config.path());
    store.OpenKey(kCorvaneKeyPath);
    const std::string before = store.ReadString("KOVA", "P", "");
    {
      ReadOnlyFolder readOnly(file.parent_path());
      if (!readOnly.Ready()) GTEST_SKIP() << "cannot make a folder read-only here";
      EXPECT_THROW(store.WriteStrings("KOVA", {{"P", "11"}, {"Q", "13"}}), EFileError) << content;
      EXPECT_EQ(store.ReadString("KOVA", "P", ""), before) << content;
      EXPECT_EQ(store.ReadString("KOVA", "Q", "none"), "none") << content;
      IniSettingsStore other(config.path());
      other.OpenKey(kCorvaneKeyPath);
      EXPECT_EQ(other.ReadString("KOVA", "P", ""), before) << content;
    }
    EXPECT_EQ(ReadFile(file), content);
  }
}

TEST(MemorySettingsStore, RecordsWritesInOrderPerKeyPath) {
  MemorySettingsStore store;
  store.OpenKey(kCorvaneKeyPath);
  store.WriteStrings("KOVA", {{"P", "1"}, {"Q", "2"}});
  EXPECT_TRUE(store.HasSubKey("KOVA"));
  EXPECT_EQ(store.ReadString("KOVA", "Q", ""), "2");
  EXPECT_EQ(store.ReadString("KOVA", "G", "65537"), "65537");
  ASSERT_EQ(store.writes.size(), 2u);
  EXPECT_EQ(store.writes[0], (MemorySettingsStore::Write{kCorvaneKeyPath, "KOVA", "P", "1"}));
  store.OpenKey("\\Software\\Other");
  EXPECT_FALSE(store.HasSubKey("KOVA"));
}

TEST(StrToBool, ReadsNumbersAndTheTrueAndFalseWords) {
  struct Case {
    const char* text;
    bool value;
  };
  const Case cases[] = {{"-1", true},   {"0", false},    {"1", true},    {"2", true},      {"0.0", false},
                        {"0.5", true},  {"+0", false},   {" 1 ", true},  {"1e3", true},    {"0e5", false},
                        {"True", true}, {"TRUE", true},  {"true", true}, {"False", false}, {"fAlSe", false},
                        {".5", true},   {"-0.00", false}};
  for (const Case& c : cases) EXPECT_EQ(StrToBool(c.text), c.value) << c.text;
}

TEST(StrToBool, AnyOtherTextRaisesTheConversionErrorNamingIt) {
  for (const char* text : {"", "yes", "1x", "e5", "1e", "--1", "1.2.3", "True ", "tru", ".", "\x01\xff"}) {
    try {
      StrToBool(text);
      ADD_FAILURE() << "accepted '" << text << "'";
    } catch (const EConvertError& error) {
      EXPECT_EQ(std::string(error.what()), "'" + std::string(text) + "' は正しい論理型ではありません");
    }
  }
  EXPECT_EQ(BoolToStr(true), "-1");
  EXPECT_EQ(BoolToStr(false), "0");
}

}  // namespace
}  // namespace corvane
