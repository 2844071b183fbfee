// A key pair through a registry export: written by ours, read by ours, hand-written in the older format,
// and hostile files, which must be refused without a change anywhere.

#include "app/flows/KeyTransfer.h"

#include <gtest/gtest.h>
#include <iconv.h>
#include <sys/stat.h>

#include <random>

#include "app/tests/KeyFixture.h"
#include "bigint/BigIntText.h"
#include "platform/tests/TempFolder.h"

namespace corvane {
namespace {
namespace fs = std::filesystem;
using testing::ReadFile;
using testing::TempFolder;
using testing::WriteFile;

// Converts with glibc's iconv, independently of the code under test.
std::string Convert(const std::string& text, const char* from, const char* to) {
  iconv_t converter = ::iconv_open(to, from);
  std::string out(text.size() * 4 + 8, '\0');
  char* in = const_cast<char*>(text.data());
  char* put = out.data();
  std::size_t inLeft = text.size(), outLeft = out.size();
  const std::size_t done = ::iconv(converter, &in, &inLeft, &put, &outLeft);
  ::iconv_close(converter);
  EXPECT_NE(done, static_cast<std::size_t>(-1)) << text;
  out.resize(out.size() - outLeft);
  return out;
}

std::string Utf16File(const std::string& utf8) {
  return "\xFF\xFE" + Convert(utf8, "UTF-8", "UTF-16LE");
}

// Alice's key pair from the known-answer vectors.
struct Alice {
  std::string P, Q, G, KeyStrength, PublicKeyFile;
  Alice() {
    for (const std::string& line : SplitLines(ReadFile(testing::VectorFolder() / "private-key.ini"))) {
      const std::size_t equals = line.find('=');
      if (equals == std::string::npos) continue;
      const std::string name = line.substr(0, equals), value = line.substr(equals + 1);
      if (name == "P") P = value;
      if (name == "Q") Q = value;
      if (name == "G") G = value;
      if (name == "KeyStrength") KeyStrength = value;
    }
    PublicKeyFile = ReadFile(testing::VectorFolder() / "alice@example.com.KVK");
  }
  // The KOVA key of an export, with line ends `end`.
  std::string Kova(const std::string& end = "\r\n") const {
    return "[HKEY_CURRENT_USER\\Software\\Tessaly\\Corvane\\KOVA]" + end + "\"P\"=\"" + P + "\"" + end +
           "\"Q\"=\"" + Q + "\"" + end + "\"G\"=\"" + G + "\"" + end + "\"KeyStrength\"=\"" + KeyStrength +
           "\"" + end;
  }
};

std::string Plus(const std::string& decimal, int64_t add) {
  return BigIntToDecimalText(BigIntAdd(BigIntFromDecimalText(decimal), BigIntFromInt64(add)));
}

class KeyTransferTest : public ::testing::Test {
 protected:
  // Reads and imports an export's bytes as corvane-cli import-key does, with consent to replace.
  TKeyPairResult Import(const std::string& bytes, SettingsStore& store, const fs::path& folder) {
    WriteFile(root / "in.reg", bytes);
    const TImportedKey imported = ReadKeyExport(root / "in.reg");
    return ImportKeyPair(imported, "alice@example.com", store, folder, true, true);
  }

  TempFolder root;
  Alice alice;
};

TEST_F(KeyTransferTest, AnExportImportsOnAFreshStoreAsTheSameKeyPair) {
  IniSettingsStore here(root / "here");
  const TKeyPairResult made = [&] {
    TKOVA kova;
    return CreateKeyPair({512, "alice@example.com"}, kova, here, root / "home");
  }();
  here.OpenKey(kCorvaneKeyPath);
  here.WriteString("Setting", "KVK", "-1");
  const TKeyPairTexts stored = ReadStoredKey(here);

  const TPublicKey exported = ExportKeyPair(here, root / "k.reg", false);
  EXPECT_EQ(KeyFingerprint(exported), made.Fingerprint);
  struct stat info {};
  ASSERT_EQ(::stat((root / "k.reg").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0600u);
  const std::string bytes = ReadFile(root / "k.reg");
  ASSERT_TRUE(bytes.starts_with("\xFF\xFE"));
  const std::string corvane = "[HKEY_CURRENT_USER\\Software\\Tessaly\\Corvane";
  EXPECT_EQ(Convert(bytes.substr(2), "UTF-16LE", "UTF-8"),
            "Windows Registry Editor Version 5.00\r\n\r\n" + corvane + "]\r\n\r\n" + corvane +
                "\\KOVA]\r\n\"P\"=\"" + stored.P + "\"\r\n\"Q\"=\"" + stored.Q +
                "\"\r\n\"G\"=\"65537\"\r\n\"KeyStrength\"=\"512\"\r\n\r\n" + corvane +
                "\\Setting]\r\n\"KVK\"=\"-1\"\r\n\"KVX\"=\"0\"\r\n\r\n");

  // An existing file is replaced only when asked.
  EXPECT_THROW(ExportKeyPair(here, root / "k.reg", false), EOutputExists);
  EXPECT_EQ(ReadFile(root / "k.reg"), bytes);
  ExportKeyPair(here, root / "k.reg", true);
  EXPECT_EQ(ReadFile(root / "k.reg"), bytes);

  IniSettingsStore there(root / "there");
  const TKeyPairResult imported = Import(bytes, there, root / "other");
  const TKeyPairTexts moved = ReadStoredKey(there);
  EXPECT_EQ(moved.P, stored.P);
  EXPECT_EQ(moved.Q, stored.Q);
  EXPECT_EQ(moved.G, stored.G);
  EXPECT_EQ(moved.KeyStrength, stored.KeyStrength);
  EXPECT_EQ(ReadFile(imported.PublicKeyFile), ReadFile(made.PublicKeyFile));
  EXPECT_EQ(imported.Fingerprint, made.Fingerprint);

  MemorySettingsStore empty;
  try {
    ExportKeyPair(empty, root / "none.reg", false);
    ADD_FAILURE() << "exported nothing";
  } catch (const ERegistryFile& error) {
    EXPECT_STREQ(error.what(), kNoStoredKeyText);
  }
  EXPECT_FALSE(fs::exists(root / "none.reg"));
}

// The export's encoding: every character, a pair of surrogates beyond the basic plane included; text that
// is not well-formed UTF-8 (an overlong form, an encoded surrogate, beyond U+10FFFF, cut off) is refused.
TEST(KeyTransferEncoding, Utf16WithByteOrderMark) {
  EXPECT_EQ(Utf16LeWithByteOrderMark("a表😀"), "\xFF\xFE" + Convert("a表😀", "UTF-8", "UTF-16LE"));
  EXPECT_EQ(Utf16LeWithByteOrderMark(""), "\xFF\xFE");
  for (const char* bad : {"\xC0\xAF", "\xED\xA0\x80", "\xF5\x80\x80\x80", "\xE8\xA1", "\x80"})
    EXPECT_THROW(Utf16LeWithByteOrderMark(bad), EConvertError) << bad;
}

TEST_F(KeyTransferTest, AHandWrittenRegedit4FileInCodePage932Imports) {
  // 表 is 0x95 0x5C in code page 932: its second byte is a backslash, which must not read as an escape.
  // ① (0x87 0x40) exists in code page 932 only, not in plain Shift_JIS.
  const std::string text =
      "REGEDIT4\r\n\r\n; \x8C\xAE\x82\xF0\x88\xDA\x82\xB7\r\n"  // ; 鍵を移す
      "[HKEY_CURRENT_USER\\Software\\Tessaly\\Corvane\\Setting]\r\n\"KVK\"=\"-1\"\r\n\r\n"
      "[HKEY_CURRENT_USER\\Software\\Other\\\x95\x5C]\r\n\"\x96\xBC\x91\x4F\"="
      "\"\x95\x5C\x8E\xA6\x87\x40\"\r\n\r\n" +
      alice.Kova() + "\r\n";
  MemorySettingsStore store;
  const TKeyPairResult result = Import(text, store, root / "home");
  const TKeyPairTexts key = ReadStoredKey(store);
  EXPECT_EQ(key.P, alice.P);
  EXPECT_EQ(key.Q, alice.Q);
  EXPECT_EQ(key.G, alice.G);
  EXPECT_EQ(key.KeyStrength, alice.KeyStrength);
  EXPECT_EQ(ReadFile(result.PublicKeyFile), alice.PublicKeyFile);
  const std::vector<std::string> lines = SplitLines(alice.PublicKeyFile);
  EXPECT_EQ(result.Fingerprint, testing::OpenSslFingerprint(lines[0], lines[1], lines[2]));
}

TEST_F(KeyTransferTest, AVersion5FileWithOtherKeysAndValuesImports) {
  const std::string text =
      "Windows Registry Editor Version 5.00\r\n\r\n"
      "; exported from a machine with more in it\r\n"
      "[HKEY_CURRENT_USER\\Software\\Tessaly\\Corvane]\r\n@=\"\"\r\n"
      "\"Path\"=hex(2):25,00,55,00,53,00,45,00,52,00,50,00,52,00,4f,00,46,00,49,00,4c,00,\\\r\n"
      "  45,00,25,00,00,00\r\n"
      "\"Count\"=dword:0000002a\r\n\r\n"
      "[hkey_current_user\\software\\tessaly\\corvane\\kova]\r\n"
      "\"Comment\"=\"メモ \\\"引用\\\" \\\\ 終わり\"\r\n"
      "\"Blob\"=hex:\r\n"
      "\"KeyStrength\"=\"" +
      alice.KeyStrength + "\"\r\n\"g\"=\"0" + alice.G + "\"\r\n\"Q\"=\"" + alice.Q + "\"\r\n\"P\"=\"00" +
      alice.P +
      "\"\r\n\"Extra\"=dword:00000001\r\n\r\n"
      "[HKEY_CURRENT_USER\\Software\\Tessaly\\Corvane\\Setting]\r\n\"KVK\"=\"0\"\r\n\r\n"
      "[-HKEY_CURRENT_USER\\Software\\Obsolete]\r\n\r\n";
  for (const std::string& bytes : {Utf16File(text), "\xEF\xBB\xBF" + text, text}) {
    MemorySettingsStore store;
    const TKeyPairResult result = Import(bytes, store, root / "home");
    // Numbers are stored as the program writes them: without leading zeros.
    EXPECT_EQ(ReadStoredKey(store).P, alice.P);
    EXPECT_EQ(ReadStoredKey(store).G, alice.G);
    EXPECT_EQ(ReadFile(result.PublicKeyFile), alice.PublicKeyFile);
  }
}

struct HostileExport {
  const char* name;
  std::string bytes;
  const char* message;
};

void PrintTo(const HostileExport& c, std::ostream* os) {
  *os << c.name;
}

std::vector<HostileExport> HostileExports() {
  const Alice a;
  const std::string v5 = "Windows Registry Editor Version 5.00\r\n\r\n";
  const std::string kova = "[HKEY_CURRENT_USER\\Software\\Tessaly\\Corvane\\KOVA]\r\n";
  const auto values = [](const std::string& p, const std::string& q, const std::string& g,
                         const std::string& s) {
    return "\"P\"=\"" + p + "\"\r\n\"Q\"=\"" + q + "\"\r\n\"G\"=\"" + g + "\"\r\n\"KeyStrength\"=\"" + s +
           "\"\r\n";
  };
  const std::string good = values(a.P, a.Q, a.G, a.KeyStrength);
  std::mt19937 engine(3);
  std::string noise(4000, '\0');
  for (char& c : noise) c = static_cast<char>(engine() & 0xFF);
  std::string huge = v5 + kova + good;
  huge.resize(kMaxRegistryFileSize + 1, ' ');
  return {
      {"Empty", "", "ではありません"},
      {"Noise", noise, "ではありません"},
      {"OtherHeader", Utf16File("Windows Registry Editor Version 4.00\r\n" + kova + good), "ではありません"},
      {"Utf16BigEndian", "\xFE\xFF" + Convert(v5 + kova + good, "UTF-8", "UTF-16BE"), "ではありません"},
      {"Utf16OddLength", Utf16File(v5 + kova + good) + "A", "長さが合いません"},
      {"Utf16LoneSurrogate", Utf16File(v5) + std::string("\x00\xD8", 2) + Utf16File(kova + good).substr(2),
       "正しくない文字"},
      {"Utf16Nul", Utf16File(v5 + kova + good + std::string(1, '\0')), "NUL"},
      {"Regedit4Nul", "REGEDIT4\r\n" + kova + good + std::string(1, '\0'), "NUL"},
      {"Regedit4NotCp932", "REGEDIT4\r\n; \xFF\r\n" + kova + good, "コードページ 932"},
      {"Huge", huge, "大きすぎます"},
      {"OnlyOtherKeys", v5 + "[HKEY_CURRENT_USER\\Software\\Other\\KOVA]\r\n" + good, "のキーがありません"},
      {"MissingQ", v5 + kova + "\"P\"=\"" + a.P + "\"\r\n\"G\"=\"65537\"\r\n\"KeyStrength\"=\"1024\"\r\n",
       "\"Q\" がありません"},
      {"DuplicateP", v5 + kova + good + "\"P\"=\"" + a.P + "\"\r\n", "2 回あります"},
      {"UnterminatedQuote", v5 + kova + "\"P\"=\"" + a.P + "\r\n" + good, "引用符が閉じていません"},
      {"UnterminatedQuoteElsewhere",
       v5 + "[HKEY_CURRENT_USER\\Software\\Other]\r\n\"x\"=\"y\r\n" + kova + good, "引用符が閉じていません"},
      {"DwordP", v5 + kova + "\"P\"=dword:00000001\r\n" + good, "文字列ではありません"},
      {"BinaryG", v5 + kova + "\"G\"=hex:01,00,01\r\n" + good, "文字列ではありません"},
      {"ExpandableStrength", v5 + kova + "\"KeyStrength\"=hex(2):31,00,00,00\r\n", "文字列ではありません"},
      {"DeletedP", v5 + kova + "\"P\"=-\r\n", "文字列ではありません"},
      {"UnknownEscape", v5 + kova + values("12\\n34", a.Q, a.G, "1024"), "エスケープ"},
      {"EscapedQuotesAroundP", v5 + kova + values("\\\"" + a.P + "\\\"", a.Q, a.G, "1024"),
       "10 進数ではありません"},
      {"ControlByteInP", v5 + kova + values(a.P + "\x01", a.Q, a.G, "1024"), "\\x01"},
      {"TextAfterTheString", v5 + kova + "\"P\"=\"" + a.P + "\"x\r\n" + good, "余分な文字"},
      {"DeletesTheKey", v5 + "[-HKEY_CURRENT_USER\\Software\\Tessaly\\Corvane\\KOVA]\r\n" + kova + good,
       "削除"},
      {"ValueBeforeAnyKey", v5 + "\"P\"=\"1\"\r\n" + kova + good, "どのキーにも属さない"},
      {"UnclosedKeyName", v5 + "[HKEY_CURRENT_USER\\Software\\Tessaly\\Corvane\\KOVA\r\n" + good,
       "閉じていません"},
      {"HexRunsOffTheEnd", v5 + kova + good + "\"x\"=hex:01,02,\\\r\n", "途中で終わって"},
      {"BadDword", v5 + kova + good + "\"x\"=dword:123\r\n", "dword"},
      {"PNotPrime", v5 + kova + values(Plus(a.P, 1), a.Q, a.G, "1024"), "素数ではありません"},
      {"PEqualsQ", v5 + kova + values(a.P, a.P, a.G, "1024"), "同じです"},
      {"PrimesTooLargeForTheStrength", v5 + kova + values(a.P, a.Q, a.G, "512"), "素数の大きさ"},
      {"StrengthOutOfRange", v5 + kova + values(a.P, a.Q, a.G, "4096"), "扱えません"},
      {"StrengthNotANumber", v5 + kova + values(a.P, a.Q, a.G, "1024bits"), "10 進数ではありません"},
      {"GOne", v5 + kova + values(a.P, a.Q, "1", "1024"), "2 以上"},
      {"GIsP", v5 + kova + values(a.P, a.Q, a.P, "1024"), "互いに素"},
      {"GNotANumber", v5 + kova + values(a.P, a.Q, "", "1024"), "10 進数ではありません"},
  };
}

class HostileExportTest : public KeyTransferTest, public ::testing::WithParamInterface<HostileExport> {};

TEST_P(HostileExportTest, IsRefusedWithAClearMessageAndChangesNothing) {
  const HostileExport& c = GetParam();
  IniSettingsStore store(root / "config");
  std::string message;
  try {
    Import(c.bytes, store, root / "home");
    ADD_FAILURE() << "imported";
  } catch (const Exception& error) {
    message = error.what();
  }
  EXPECT_NE(message.find(c.message), std::string::npos) << message;
  EXPECT_NE(message.find("in.reg"), std::string::npos) << message;
  EXPECT_TRUE(std::none_of(message.begin(), message.end(), [](char ch) { return ch >= 0 && ch < 0x20; }));
  EXPECT_LT(message.size(), 600u);
  EXPECT_FALSE(fs::exists(root / "config"));
  EXPECT_FALSE(fs::exists(root / "home"));
}

INSTANTIATE_TEST_SUITE_P(Files, HostileExportTest, ::testing::ValuesIn(HostileExports()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(KeyTransferTest, ImportingOverAnotherKeyOrAForeignFileNeedsConsent) {
  IniSettingsStore store(root / "config");
  const fs::path home = root / "home";
  {
    TKOVA kova;
    CreateKeyPair({256, "me"}, kova, store, home);
  }
  const std::string before = ReadFile(root / "config" / "Tessaly" / "Corvane.ini");
  WriteFile(root / "in.reg", Utf16File("Windows Registry Editor Version 5.00\r\n\r\n" + alice.Kova()));
  const TImportedKey imported = ReadKeyExport(root / "in.reg");
  EXPECT_TRUE(OtherKeyStored(store, imported.Key));
  EXPECT_THROW(ImportKeyPair(imported, "alice", store, home, false, false), EKeyExists);
  EXPECT_EQ(ReadFile(root / "config" / "Tessaly" / "Corvane.ini"), before);
  EXPECT_FALSE(fs::exists(home / "alice.KVK"));

  // me.KVK is the stored key's own file: replacing the key replaces it. A file of someone else is foreign.
  WriteFile(home / "alice.KVK", testing::MakeTestKeyPair(256).FileText());
  EXPECT_THROW(ImportKeyPair(imported, "alice", store, home, true, false), EOutputExists);
  EXPECT_EQ(ReadFile(root / "config" / "Tessaly" / "Corvane.ini"), before);
  ImportKeyPair(imported, "me", store, home, true, false);
  EXPECT_EQ(ReadFile(home / "me.KVK"), alice.PublicKeyFile);
  // The same key again needs no consent, and its own file is not foreign.
  EXPECT_FALSE(OtherKeyStored(store, imported.Key));
  EXPECT_NO_THROW(ImportKeyPair(imported, "me", store, home, false, false));
}

}  // namespace
}  // namespace corvane
