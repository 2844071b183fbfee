#include "app/flows/FlowCommon.h"

#include <gtest/gtest.h>

#include "app/flows/EncryptionFlow.h"
#include "platform/tests/TempFolder.h"

namespace corvane {
namespace {

TEST(KeyStrengthFromText, ReadsDecimalIntegersInTheUsableRange) {
  EXPECT_EQ(KeyStrengthFromText("1024"), 1024);
  EXPECT_EQ(KeyStrengthFromText("+256"), 256);
  EXPECT_EQ(KeyStrengthFromText("48"), 48);
  EXPECT_EQ(KeyStrengthFromText("16384"), 16384);
  EXPECT_EQ(KeyStrengthFromText("002048"), 2048);
}

TEST(KeyStrengthFromText, OtherTextIsAConversionErrorAndOtherNumbersAreRefused) {
  for (const char* text : {"", "abc", "10 24", "1024 ", " 1024", "0x400", "-", "+", "1e3", "1024\r",
                           "１０２４", "4294968320", "99999999999999999999999"}) {
    try {
      KeyStrengthFromText(text);
      ADD_FAILURE() << "accepted '" << text << "'";
    } catch (const EConvertError& error) {
      EXPECT_EQ(std::string(error.what()), "'" + std::string(text) + "' は正しい整数値ではありません");
    }
  }
  // 47 would give blocks of no character. Values past 32 bits are not integers at all (above).
  for (const char* text : {"47", "0", "-1024", "16385", "-2147483648", "2147483647"}) {
    EXPECT_THROW(KeyStrengthFromText(text), EKeyStrength) << text;
  }
}

TEST(SplitLines, AcceptsEveryLineEnd) {
  using Lines = std::vector<std::string>;
  EXPECT_EQ(SplitLines("a\r\nb\r\nc\r\n"), (Lines{"a", "b", "c"}));
  EXPECT_EQ(SplitLines("a\nb\nc"), (Lines{"a", "b", "c"}));
  EXPECT_EQ(SplitLines("a\rb\rc\r"), (Lines{"a", "b", "c"}));
  EXPECT_EQ(SplitLines("a\r\rb\n\nc"), (Lines{"a", "", "b", "", "c"}));
  EXPECT_EQ(SplitLines("a\n\r"), (Lines{"a", ""}));  // LF then a lone CR: two ends
  EXPECT_EQ(SplitLines(""), Lines{});
}

TEST(NameRule, CutsFourCharactersWithoutSplittingOne) {
  const std::pair<const char*, const char*> cases[] = {
      {"notes.txt", "notes"},
      {"README", "RE"},
      {"abcd", ""},
      {"a.b", ""},
      {"", ""},
      {"x.tar.gz", "x.ta"},
      {"日本語.txt", "日本語"},
      {"日本語テキスト", "日本語"},
      {"日本", ""},
  };
  for (const auto& [name, cut] : cases) EXPECT_EQ(CutLastFour(name), cut) << name;
}

TEST(NameRule, StemJoinsSourceBaseAndRecipientName) {
  EXPECT_EQ(ContainerStemFor("report.doc", "bob.KVK"), "report_bob");
  EXPECT_EQ(ContainerStemFor("notes.txt", "carol.KVK"), "notes_carol");
  EXPECT_EQ(ContainerStemFor("README", "carol.KVK"), "RE_carol");
  EXPECT_EQ(ContainerStemFor("abc", "alice@example.com.KVK"), "_alice@example.com");
}

TEST(SessionKey, HasThirtyTwoCharactersFromLessThanToCapitalO) {
  const std::string first = NewSessionKey();
  ASSERT_EQ(first.size(), kSessionKeyLength);
  for (char c : first) EXPECT_TRUE(c >= '<' && c <= 'O') << c;
  EXPECT_NE(NewSessionKey(), first);
}

TEST(ReadSmallFile, RefusesFoldersMissingFilesAndOversizedFiles) {
  testing::TempFolder folder;
  testing::WriteFile(folder / "f", std::string(100, 'x'));
  EXPECT_EQ(ReadSmallFile(folder / "f", 100).size(), 100u);
  EXPECT_THROW(ReadSmallFile(folder / "f", 99), EFileError);
  EXPECT_THROW(ReadSmallFile(folder / "missing", 100), EFileError);
  EXPECT_THROW(ReadSmallFile(folder.path(), 100), EFileError);
}

}  // namespace
}  // namespace corvane
