// Member names between header bytes and UTF-8: code page 932 as Japanese Windows writes it, UTF-8, UTF-16,
// the '\' of MS-DOS names, and names that decode in no way.
#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/unlha32/Crc16.h"
#include "platform/unlha32/LhaHeader.h"
#include "platform/unlha32/MemberName.h"
#include "platform/unlha32/tests/TestSupport.h"
#include "platform/unlha32/unlha32.h"

namespace corvane::lha::test {
namespace {

// Code page 932 bytes of names used below; 表, ソ and 能 end in 0x5C.
const std::string kSheetCp932 = "\x95\x5c\x8c\x76\x8e\x5a\x83\x5c\x83\x74\x83\x67\x94\x5c\x97\xcd.csv";
const std::string kSheet = "表計算ソフト能力.csv";
const std::string kFolderCp932 = "\x83\x74\x83\x48\x83\x8b\x83\x5f";  // フォルダ
const std::string kHyoCp932 = "\x95\x5c";                             // 表

uint16_t Get16(const std::string& s, size_t at) {
  return static_cast<uint16_t>(static_cast<uint8_t>(s[at]) | (static_cast<uint8_t>(s[at + 1]) << 8));
}
uint32_t Get32(const std::string& s, size_t at) {
  return Get16(s, at) | (static_cast<uint32_t>(Get16(s, at + 2)) << 16);
}
void Put16(std::string& s, size_t v) {
  s.push_back(static_cast<char>(v & 0xFF));
  s.push_back(static_cast<char>((v >> 8) & 0xFF));
}
void Put32(std::string& s, uint32_t v) {
  Put16(s, v & 0xFFFF);
  Put16(s, v >> 16);
}

std::string Record(char type, const std::string& data) {
  return std::string(1, type) + data;
}
std::string CodePage(uint32_t codePage) {
  std::string r(1, '\x46');
  Put32(r, codePage);
  return r;
}
std::string Utf16(const std::u16string& text) {
  std::string out;
  for (char16_t c : text) Put16(out, c);
  return out;
}

// A stored member under a hand-made header: `name` is the base header's name field (levels 0 and 1),
// `records` the extension records (levels 1 and 2), each its type byte followed by its data.
struct TRawMember {
  int level = 0;
  std::string name;
  std::vector<std::string> records;
  std::string data = "data";
};

// The extension chain: each record followed by the size of the next one, the last by 0.
std::string Chain(const std::vector<std::string>& records) {
  std::string chain;
  for (size_t i = 0; i < records.size(); ++i) {
    chain += records[i];
    Put16(chain, i + 1 < records.size() ? records[i + 1].size() + 2 : 0);
  }
  return chain;
}

std::string RawMember(const TRawMember& m) {
  const uint16_t crc = Crc16(0, reinterpret_cast<const uint8_t*>(m.data.data()), m.data.size());
  const size_t firstRecord = m.records.empty() ? 0 : m.records[0].size() + 2;
  const std::string chain = Chain(m.records);
  std::string h = "-lh0-";
  if (m.level == 2) {
    Put32(h, static_cast<uint32_t>(m.data.size()));
    Put32(h, static_cast<uint32_t>(m.data.size()));
    Put32(h, 1700000000u);
    h += std::string("\x20\x02", 2);
    Put16(h, crc);
    h += "M";
    Put16(h, firstRecord);
    h += chain;
    std::string total;
    Put16(total, h.size() + 2);
    return total + h + m.data;
  }
  Put32(h, static_cast<uint32_t>(m.data.size() + chain.size()));
  Put32(h, static_cast<uint32_t>(m.data.size()));
  Put32(h, (45u << 25) | (1u << 21) | (1u << 16));
  h += std::string(1, '\x20') + std::string(1, static_cast<char>(m.level));
  h += std::string(1, static_cast<char>(m.name.size())) + m.name;
  Put16(h, crc);
  if (m.level == 1) {
    h += "M";
    Put16(h, firstRecord);
  }
  uint8_t sum = 0;
  for (unsigned char c : h) sum = static_cast<uint8_t>(sum + c);
  return std::string(1, static_cast<char>(h.size())) + std::string(1, static_cast<char>(sum)) + h + chain +
         m.data;
}

TRawMember Level0(const std::string& name) {
  return {0, name, {}, "data"};
}
TRawMember Level1(const std::string& name, const std::vector<std::string>& records) {
  return {1, name, records, "data"};
}
TRawMember Level2(const std::vector<std::string>& records) {
  return {2, "", records, "data"};
}

std::string RawArchive(const std::vector<TRawMember>& members) {
  std::string out;
  for (const auto& m : members) out += RawMember(m);
  return out + std::string(1, '\0');
}

struct TDecodeCase {
  const char* what;
  TRawMember member;
  std::string name;  // as read, in UTF-8
  bool decoded;
};

void PrintTo(const TDecodeCase& c, std::ostream* os) {
  *os << c.what;
}

class LhaNameDecoding : public ::testing::TestWithParam<TDecodeCase> {};

TEST_P(LhaNameDecoding, ReadsTheNameAsItsHeaderSays) {
  const TDecodeCase& c = GetParam();
  const std::string archive = RawArchive({c.member});
  const TMemorySource src(reinterpret_cast<const uint8_t*>(archive.data()), archive.size());
  TMember m;
  ASSERT_EQ(ReadHeader(src, 0, m), THeaderResult::kMember);
  EXPECT_EQ(m.name, c.name);
  EXPECT_EQ(m.nameDecoded, c.decoded);
  EXPECT_EQ(archive.substr(m.dataOffset, 4), "data");
}

const std::string kReplacement = "\xEF\xBF\xBD";
// UTF-8 bytes that are also valid code page 932 (譌･譛ｬ).
const std::string kNihonUtf8 = "\xE6\x97\xA5\xE6\x9C\xAC.txt";

INSTANTIATE_TEST_SUITE_P(
    Headers, LhaNameDecoding,
    ::testing::Values(
        TDecodeCase{"level 0 in code page 932 with 0x5C second bytes", Level0(kSheetCp932), kSheet, true},
        TDecodeCase{"level 0, a '\\' of its own separates", Level0(kFolderCp932 + "\\" + kHyoCp932 + ".txt"),
                    "フォルダ/表.txt", true},
        TDecodeCase{"level 0, '\\' separators around a traversal", Level0("a\\..\\..\\x"), "a/../../x", true},
        TDecodeCase{"level 1 folder record ended by 0xFF",
                    Level1(kHyoCp932 + ".txt", {Record(2, kFolderCp932 + "\xFF")}), "フォルダ/表.txt", true},
        TDecodeCase{"level 0 half-width katakana", Level0("\xB6\xC0\xB6\xC5.txt"), "ｶﾀｶﾅ.txt", true},
        TDecodeCase{"NEC and IBM rows read as their characters", Level0("\x87\x90\xEE\xEF.txt"), "≒ⅰ.txt",
                    true},
        TDecodeCase{"level 0 UTF-8", Level0("표와 한글.txt"), "표와 한글.txt", true},
        TDecodeCase{"valid UTF-8 and code page 932, no record: UTF-8", Level0(kNihonUtf8), "日本.txt", true},
        TDecodeCase{"the same bytes with code page 932 declared",
                    Level2({Record(1, kNihonUtf8), CodePage(932)}), "譌･譛ｬ.txt", true},
        TDecodeCase{"code page 65001 declared", Level2({CodePage(65001), Record(1, "日本.txt")}), "日本.txt",
                    true},
        TDecodeCase{"code page 65001 over bytes that are not UTF-8",
                    Level2({Record(1, kHyoCp932 + ".txt"), CodePage(65001)}), kReplacement + "\\.txt", false},
        TDecodeCase{"code page 932 over bytes that are not code page 932",
                    Level2({Record(1, "\x81\x20.txt"), CodePage(932)}), kReplacement + " .txt", false},
        TDecodeCase{"valid in neither, no record", Level0("\x81\x20.txt"), kReplacement + " .txt", false},
        TDecodeCase{"an unknown code page counts as none",
                    Level2({Record(1, kHyoCp932 + ".txt"), CodePage(12345)}), "表.txt", true},
        TDecodeCase{
            "UTF-16 records instead of the bytes",
            Level2({Record(1, "?.txt"), Record(0x44, Utf16(u"表.txt")), Record(0x45, Utf16(u"フォルダ\\"))}),
            "フォルダ/表.txt", true},
        TDecodeCase{"a code page decides before UTF-16",
                    Level2({Record(1, kHyoCp932 + ".txt"), Record(0x44, Utf16(u"x.txt")), CodePage(932)}),
                    "表.txt", true},
        TDecodeCase{"a UTF-16 record with a lone surrogate",
                    Level2({Record(1, "x.txt"), Record(0x44, std::string("\x00\xD8", 2))}), kReplacement,
                    false},
        TDecodeCase{"level 2: '\\' is a character, 0xFF separates",
                    Level2({Record(1, "a\\b.txt"), Record(2, kHyoCp932 + "\xFF" + "\x94\x5c\xFF")}),
                    "表/能/a\\b.txt", true}));

struct TEncodeCase {
  const char* name;
  std::string bytes;
  uint32_t codePage;
};

void PrintTo(const TEncodeCase& c, std::ostream* os) {
  *os << c.name;
}

class LhaNameEncoding : public ::testing::TestWithParam<TEncodeCase> {};

// The file-name record and code page of a level-2 header we wrote.
void StoredName(const std::string& header, std::string& fileBytes, uint32_t& codePage) {
  codePage = 0;
  for (size_t at = 24, size = Get16(header, 24); size != 0;) {
    at += 2;
    const char type = header[at];
    const std::string data = header.substr(at + 1, size - 3);
    if (type == 0x01) fileBytes = data;
    if (type == 0x02) fileBytes = data + fileBytes;
    if (type == 0x46) codePage = Get32(data, 0);
    at += size - 2;
    size = Get16(header, at);
  }
}

TEST_P(LhaNameEncoding, StoresCodePage932OnlyWhereItReadsBackTheSame) {
  const TEncodeCase& c = GetParam();
  const TEncodedName encoded = EncodeName(c.name);
  EXPECT_EQ(encoded.bytes, c.bytes);
  EXPECT_EQ(encoded.codePage, c.codePage);

  TMember in;
  in.name = c.name;
  in.method = "-lh0-";
  const std::string archive = BuildLevel2Header(in) + std::string(1, '\0');
  std::string fileBytes;
  uint32_t codePage = 0;
  StoredName(archive, fileBytes, codePage);
  std::string expected = c.bytes;
  std::replace(expected.begin(), expected.end(), '/', '\xFF');
  EXPECT_EQ(fileBytes, expected);
  EXPECT_EQ(codePage, c.codePage);
  const TMemorySource src(reinterpret_cast<const uint8_t*>(archive.data()), archive.size());
  TMember out;
  ASSERT_EQ(ReadHeader(src, 0, out), THeaderResult::kMember);
  EXPECT_EQ(out.name, c.name);
  EXPECT_TRUE(out.nameDecoded);
}

INSTANTIATE_TEST_SUITE_P(
    Names, LhaNameEncoding,
    ::testing::Values(TEncodeCase{"表計算ソフト能力.csv", kSheetCp932, 932},
                      TEncodeCase{"ｶﾀｶﾅ.txt", "\xB6\xC0\xB6\xC5.txt", 932},
                      TEncodeCase{"a\\b.txt", "a\\b.txt", 932},
                      TEncodeCase{"dir/表.txt", "dir/" + kHyoCp932 + ".txt", 932},
                      // The NEC and IBM rows hold these too; the code written is the one Windows writes.
                      TEncodeCase{"≒ⅰ.txt", "\x81\xE0\xFA\x40.txt", 932},
                      TEncodeCase{"\xEF\xBD\x9E.txt", "\x81\x60.txt", 932},  // U+FF5E FULLWIDTH TILDE
                      // U+301C WAVE DASH has the code of U+FF5E, U+00A5 that of '\', U+2212 that of U+FF0D.
                      TEncodeCase{"\xE3\x80\x9C.txt", "\xE3\x80\x9C.txt", 65001},
                      TEncodeCase{"¥100.txt", "¥100.txt", 65001}, TEncodeCase{"−1.txt", "−1.txt", 65001},
                      TEncodeCase{"표와 한글.txt", "표와 한글.txt", 65001},
                      TEncodeCase{"😀.txt", "😀.txt", 65001}));

TEST(LhaName, Utf8Validity) {
  for (const char* good : {"", "a", "表", "😀", "\xF4\x8F\xBF\xBF"}) EXPECT_TRUE(IsValidUtf8(good)) << good;
  for (const char* bad :
       {"\x80", "\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE8\xA1", "\xFF"})
    EXPECT_FALSE(IsValidUtf8(bad)) << bad;
  EXPECT_EQ(ReplaceInvalidUtf8("a\x81表\xFF"), "a" + kReplacement + "表" + kReplacement);
  // A name cut to fit a field or a file system keeps whole characters.
  EXPECT_EQ(Utf8Prefix("a表b", 2), "a");
  EXPECT_EQ(Utf8Prefix("a表b", 4), "a表");
  EXPECT_EQ(Utf8Prefix("😀", 3), "");
  EXPECT_EQ(Utf8Prefix("abc", 5), "abc");
  // A name that is not UTF-8 is stored as given, without a code page.
  EXPECT_EQ(EncodeName("caf\xE9").codePage, 0u);
}

class LhaMemberNames : public TScratch {};

struct TListedName {
  int status;
  std::string name;
};

std::vector<TListedName> Listing(const std::string& archive) {
  std::vector<TListedName> out;
  void* h = UnlhaOpenArchive(nullptr, archive.c_str(), 0);
  if (!h) return out;
  TArchiveEntry e{};
  for (int s = UnlhaFindFirst(h, "*", &e); s != UNLHA_NO_MORE_ENTRIES && out.size() < 10;
       s = UnlhaFindNext(h, &e))
    out.push_back({s, e.szFileName});
  UnlhaCloseArchive(h);
  return out;
}

std::vector<std::string> ProgressNames;

int RecordName(void*, uint32_t state, TUnlhaProgress* record) {
  if (state == UNLHA_STATE_BEGIN) ProgressNames.push_back(record->szSourceFileName);
  return 0;
}

TEST_F(LhaMemberNames, NamesWePackAreStoredForWindowsAndShownAsUtf8) {
  const std::vector<std::string> names = {kSheet, "見積書.txt", "표와 한글.txt", "a\\b.txt", "ｶﾀｶﾅ.txt"};
  fs::create_directories("in");
  for (const auto& n : names) WriteFile("in/" + n, "content of " + n);
  std::string command = "a \"t.lzh\" in/";
  for (const auto& n : names) command += " \"" + n + "\"";
  ProgressNames.clear();
  TUnlhaOwnerWindow owner{RecordName, nullptr};
  ASSERT_NE(UnlhaSetOwnerWindowEx(&owner, nullptr), 0);
  std::string report;
  ASSERT_EQ(Lha(command, &report), 0) << report;
  EXPECT_EQ(ProgressNames, names);

  // The header bytes: code page 932 where it holds the name, UTF-8 otherwise.
  const std::string archive = ReadFile("t.lzh");
  const std::vector<std::pair<std::string, uint32_t>> stored = {{kSheetCp932, 932},
                                                                {"\x8c\xa9\x90\xcf\x8f\x91.txt", 932},
                                                                {"표와 한글.txt", 65001},
                                                                {"a\\b.txt", 932},
                                                                {"\xB6\xC0\xB6\xC5.txt", 932}};
  size_t at = 0;
  for (const auto& [bytes, codePage] : stored) {
    std::string fileBytes;
    uint32_t page = 0;
    StoredName(archive.substr(at), fileBytes, page);
    EXPECT_EQ(fileBytes, bytes);
    EXPECT_EQ(page, codePage);
    at += Get16(archive, at) + Get32(archive, at + 7);
  }

  // Listing records, l reports and extraction give the UTF-8 names.
  std::vector<std::string> listed;
  for (const auto& e : Listing("t.lzh")) {
    EXPECT_EQ(e.status, 0);
    listed.push_back(e.name);
  }
  EXPECT_EQ(listed, names);
  ASSERT_EQ(Lha("l \"t.lzh\"", &report), 0);
  for (const auto& n : names) EXPECT_NE(report.find(n), std::string::npos) << n;
  ProgressNames.clear();
  ASSERT_EQ(Lha("x \"t.lzh\" out/", &report), 0) << report;
  EXPECT_EQ(ProgressNames, names);
  EXPECT_NE(UnlhaKillOwnerWindowEx(&owner), 0);
  for (const auto& n : names) {
    EXPECT_TRUE(fs::is_regular_file("out/" + n)) << n;
    EXPECT_EQ(ReadFile("out/" + n), "content of " + n);
  }
  EXPECT_EQ(std::distance(fs::directory_iterator("out"), fs::directory_iterator()), 5);

  // A file whose name is not UTF-8 has no name to store that reads back.
  WriteFile("caf\xE9.txt", "x");
  EXPECT_EQ(Lha("a \"latin1.lzh\" \"caf\xE9.txt\"", &report), UNLHA_ERROR_BAD_NAME);
  EXPECT_NE(report.find("caf" + kReplacement + ".txt"), std::string::npos) << report;
  EXPECT_FALSE(fs::exists("latin1.lzh"));
}

TEST_F(LhaMemberNames, ANameThatDecodesInNoWayIsListedButNeverWritten) {
  WriteFile("mixed.lzh", RawArchive({Level0("\x81\x20.txt"), Level0("..\\escape.txt"), Level0("good.txt")}));
  const std::vector<TListedName> listed = Listing("mixed.lzh");
  ASSERT_EQ(listed.size(), 3u);
  EXPECT_EQ(listed[0].status, UNLHA_ERROR_BAD_NAME);
  EXPECT_EQ(listed[0].name, kReplacement + " .txt");
  EXPECT_EQ(listed[1].status, 0);
  EXPECT_EQ(listed[1].name, "../escape.txt");
  EXPECT_EQ(listed[2].status, 0);
  std::string report;
  EXPECT_EQ(Lha("x \"mixed.lzh\" out/", &report), UNLHA_ERROR_BAD_NAME);
  EXPECT_NE(report.find("unknown encoding"), std::string::npos) << report;
  EXPECT_NE(report.find("unsafe name refused: ../escape.txt"), std::string::npos) << report;
  EXPECT_EQ(ReadFile("out/good.txt"), "data");
  EXPECT_EQ(std::distance(fs::directory_iterator("out"), fs::directory_iterator()), 1);
  EXPECT_FALSE(fs::exists("escape.txt"));
  // Bare names: the same refusal, and the name shown is not one to pick it by.
  EXPECT_EQ(Lha("e \"mixed.lzh\" bare/ \"" + kReplacement + " .txt\""), UNLHA_ERROR_BAD_NAME);
  EXPECT_FALSE(fs::exists("bare/" + kReplacement + " .txt"));
  // The archive still updates, keeping that member as it was.
  WriteFile(kReplacement + " .txt", "a file that happens to have the shown name");
  ASSERT_EQ(Lha("a \"mixed.lzh\" \"" + kReplacement + " .txt\"", &report), 0) << report;
  EXPECT_NE(report.find("1 added"), std::string::npos) << report;
  EXPECT_EQ(ReadFile("mixed.lzh").substr(0, RawMember(Level0("\x81\x20.txt")).size()),
            RawMember(Level0("\x81\x20.txt")));
}

TEST_F(LhaMemberNames, ContainersFromJapaneseWindowsReadInUtf8) {
  const std::string stem = "表計算ソフト能力_alice@example.com";
  const struct {
    const char* archive;
    std::vector<std::string> members;
  } cases[] = {
      {"container-cp932/level0/表計算ソフト能力_alice@example.com.KVX", {stem + ".RJN", kSheet + ".Enc"}},
      {"container-cp932/level1/見積書_alice@example.com.KVX",
       {"見積書.txt.Enc", "見積書_alice@example.com.RJN"}},
      {"container-cp932/level2/表計算ソフト能力_alice@example.com.KVX", {stem + ".RJN", kSheet + ".Enc"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.archive);
    const std::string archive = VectorPath(c.archive).string();
    std::vector<std::string> listed;
    for (const auto& e : Listing(archive)) {
      EXPECT_EQ(e.status, 0);
      listed.push_back(e.name);
    }
    EXPECT_EQ(listed, c.members);
    fs::remove_all("out");
    std::string report;
    ASSERT_EQ(Lha("x -x0 \"" + archive + "\" out/", &report), 0) << report;
    for (const auto& m : c.members) EXPECT_TRUE(fs::is_regular_file("out/" + m)) << m;
    EXPECT_EQ(std::distance(fs::directory_iterator("out"), fs::directory_iterator()), 2);
  }
  // Packing a file of the same name into a container from Windows replaces its member.
  fs::copy_file(VectorPath(cases[0].archive), "w.lzh");
  WriteFile(kSheet + ".Enc", "new");
  std::string report;
  ASSERT_EQ(Lha("a \"w.lzh\" \"" + kSheet + ".Enc\"", &report), 0) << report;
  EXPECT_NE(report.find("0 added, 1 replaced"), std::string::npos) << report;
}

}  // namespace
}  // namespace corvane::lha::test
