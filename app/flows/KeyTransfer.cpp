#include "app/flows/KeyTransfer.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <optional>
#include <string_view>
#include <system_error>
#include <vector>

#include "app/flows/FlowCommon.h"
#include "app/flows/WorkFolder.h"
#include "bigint/BigIntPrime.h"
#include "bigint/BigIntText.h"
#include "common/SecureWipe.h"
#include "pubkey/Kova.h"

namespace corvane {
namespace fs = std::filesystem;

namespace {

constexpr std::string_view kVersion5Header = "Windows Registry Editor Version 5.00";
constexpr std::string_view kRegedit4Header = "REGEDIT4";
constexpr std::string_view kUtf16LeMark = "\xFF\xFE";
constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
// Miller-Rabin rounds for an imported prime: more than the prime search's 4, since the number was not
// found by this program.
constexpr int32_t kImportPrimeRounds = 16;
// Digits far beyond any key of the strengths offered; reading longer texts as numbers only costs time.
constexpr std::size_t kMaxNumberDigits = 5000;
const char* const kValueNames[] = {"P", "Q", "G", "KeyStrength"};

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// ---- Encodings

// `bytes` from one encoding to another through glibc's iconv, into `out`; the offset of the first byte it
// cannot convert (an invalid or cut-off sequence), or nothing. Every encoding met here takes at most three
// bytes of output per byte of input.
std::optional<std::size_t> Convert(std::string_view bytes, const char* from, const char* to,
                                   std::string& out) {
  const iconv_t converter = ::iconv_open(to, from);
  if (converter == reinterpret_cast<iconv_t>(-1))
    throw EConvertError(std::string("文字コード ") + from + " から " + to + " への変換が使えません。");
  out.assign(bytes.size() * 3 + 4, '\0');
  char* in = const_cast<char*>(bytes.data());
  std::size_t inLeft = bytes.size();
  char* put = out.data();
  std::size_t outLeft = out.size();
  const std::size_t done = ::iconv(converter, &in, &inLeft, &put, &outLeft);
  ::iconv_close(converter);
  out.resize(out.size() - outLeft);
  if (done == static_cast<std::size_t>(-1) || inLeft != 0) return bytes.size() - inLeft;
  return std::nullopt;
}

std::string Utf16LeToUtf8(std::string_view bytes, const std::string& source) {
  if (bytes.size() % 2 != 0) throw ERegistryFile(source + " は UTF-16 のテキストとして長さが合いません。");
  std::string text;
  if (const auto bad = Convert(bytes, "UTF-16LE", "UTF-8", text)) {
    throw ERegistryFile(source + " に UTF-16 として正しくない文字があります（" + std::to_string(*bad + 1) +
                        " バイト目）。");
  }
  if (text.find('\0') != std::string::npos) throw ERegistryFile(source + " に NUL 文字があります。");
  return text;
}

std::string Cp932ToUtf8(std::string_view bytes, const std::string& source) {
  if (bytes.find('\0') != std::string_view::npos) throw ERegistryFile(source + " に NUL 文字があります。");
  std::string text;
  if (const auto bad = Convert(bytes, "CP932", "UTF-8", text)) {
    throw ERegistryFile(source + " にコードページ 932 として正しくない文字があります（" +
                        std::to_string(*bad + 1) + " バイト目）。");
  }
  return text;
}

// The export's text in UTF-8, its header line checked.
std::string DecodeExport(const std::string& bytes, const std::string& source) {
  const std::string notAnExport = source + " はレジストリのエクスポートファイル（\"" +
                                  std::string(kVersion5Header) + "\" または \"" +
                                  std::string(kRegedit4Header) + "\"）ではありません。";
  std::string text;
  std::string_view header = kVersion5Header;
  if (bytes.starts_with(kUtf16LeMark)) {
    text = Utf16LeToUtf8(std::string_view(bytes).substr(kUtf16LeMark.size()), source);
  } else if (bytes.starts_with(kRegedit4Header)) {
    text = Cp932ToUtf8(bytes, source);
    header = kRegedit4Header;
  } else {
    // The version-5 text saved as UTF-8 by an editor.
    text = bytes.starts_with(kUtf8Mark) ? bytes.substr(kUtf8Mark.size()) : bytes;
    if (text.find('\0') != std::string::npos) throw ERegistryFile(notAnExport);
  }
  const std::size_t end = std::min(text.find_first_of("\r\n"), text.size());
  if (Trim(std::string_view(text).substr(0, end)) != header) throw ERegistryFile(notAnExport);
  return text;
}

// ---- Syntax

class TExportParser {
 public:
  TExportParser(const std::string& text, std::string source)
      : fLines(SplitLines(text)), fSource(std::move(source)) {}
  ~TExportParser() {
    for (std::string& line : fLines) SecureWipe(line);
    for (auto& [name, value] : fValues) SecureWipe(value);
  }

  TKeyPairTexts Parse() {
    for (fLine = 1; fLine < fLines.size(); ++fLine) {
      const std::string_view line = Trim(fLines[fLine]);
      if (line.empty() || line.front() == ';') continue;
      if (line.front() == '[') {
        KeyLine(line);
      } else {
        ValueLine(line);
      }
    }
    if (!fSawKova) {
      throw ERegistryFile(fSource + " に " + KovaKey() + " のキーがありません。");
    }
    TKeyPairTexts key;
    std::string* fields[] = {&key.P, &key.Q, &key.G, &key.KeyStrength};
    for (std::size_t i = 0; i < 4; ++i) {
      const auto value = fValues.find(Lower(kValueNames[i]));
      if (value == fValues.end()) {
        throw ERegistryFile(fSource + " の " + KovaKey() + " に値 \"" + kValueNames[i] + "\" がありません。");
      }
      *fields[i] = value->second;
    }
    return key;
  }

 private:
  static std::string KovaKey() { return std::string(kRegistryKeyName) + "\\KOVA"; }

  [[noreturn]] void Fail(const std::string& what) const {
    throw ERegistryFile(fSource + " の " + std::to_string(fLine + 1) + " 行目: " + what);
  }

  void KeyLine(std::string_view line) {
    if (line.back() != ']') Fail("キーの名前が \"]\" で閉じていません。");
    std::string_view name = line.substr(1, line.size() - 2);
    const bool deletion = name.starts_with("-");
    if (deletion) name.remove_prefix(1);
    const std::string lower = Lower(name);
    fInKova = lower == Lower(KovaKey());
    if (deletion && (fInKova || lower == Lower(kRegistryKeyName))) {
      Fail("鍵のキー " + ReadableText(name) + " を削除する指示があります。");
    }
    fInKey = !deletion;
    fSawKova = fSawKova || fInKova;
  }

  // A quoted text from line[at] (the opening quote); at ends past the closing quote.
  std::string Quoted(std::string_view line, std::size_t& at) const {
    std::string text;
    for (++at; at < line.size(); ++at) {
      const char c = line[at];
      if (c == '"') {
        ++at;
        return text;
      }
      if (c == '\\') {
        if (at + 1 >= line.size() || (line[at + 1] != '\\' && line[at + 1] != '"')) {
          Fail("文字列に正しくないエスケープ \"" + ReadableText(line.substr(at, 2)) + "\" があります。");
        }
        ++at;
      }
      text += line[at];
    }
    Fail("文字列の引用符が閉じていません。");
  }

  void ValueLine(std::string_view line) {
    if (!fInKey) Fail("どのキーにも属さない行 \"" + ReadableText(line) + "\" があります。");
    std::size_t at = 0;
    std::string name;
    if (line.front() == '@') {
      at = 1;
    } else if (line.front() == '"') {
      name = Quoted(line, at);
    } else {
      Fail("値の名前がありません（\"" + ReadableText(line) + "\"）。");
    }
    const std::string_view rest = Trim(line.substr(at));
    if (!rest.starts_with("=")) Fail("値の名前の後に \"=\" がありません。");
    const std::string_view data = Trim(rest.substr(1));
    std::optional<std::string> text;
    if (data.starts_with("\"")) {
      std::size_t end = 0;
      text = Quoted(data, end);
      if (!Trim(data.substr(end)).empty()) Fail("文字列の後に余分な文字があります。");
    } else {
      OtherData(data);
    }
    if (!fInKova) return;
    const std::string lower = Lower(name);
    const auto wanted = std::find_if(std::begin(kValueNames), std::end(kValueNames),
                                     [&](const char* known) { return Lower(known) == lower; });
    if (wanted == std::end(kValueNames)) return;
    if (!text) Fail("値 \"" + std::string(*wanted) + "\" が文字列ではありません。");
    if (!fValues.emplace(lower, std::move(*text)).second) {
      Fail("値 \"" + std::string(*wanted) + "\" が 2 回あります。");
    }
  }

  // Data other than a string: a deletion, a dword or hexadecimal bytes (continued over lines ending in "\").
  void OtherData(std::string_view data) {
    if (data == "-") return;
    const std::string lower = Lower(data);
    if (lower.starts_with("dword:")) {
      const std::string_view digits = data.substr(6);
      if (digits.size() != 8 ||
          digits.find_first_not_of("0123456789abcdefABCDEF") != std::string_view::npos) {
        Fail("dword の値 \"" + ReadableText(data) + "\" が正しくありません。");
      }
      return;
    }
    std::size_t colon = std::string::npos;
    if (lower.starts_with("hex:")) {
      colon = 3;
    } else if (lower.starts_with("hex(") && lower.find("):") != std::string::npos) {
      colon = lower.find("):") + 1;
    } else {
      Fail("値 \"" + ReadableText(data) + "\" の形式が正しくありません。");
    }
    std::string_view bytes = data.substr(colon + 1);
    for (;;) {
      const bool continued = bytes.ends_with("\\");
      if (continued) bytes.remove_suffix(1);
      HexBytes(bytes, continued);
      if (!continued) return;
      if (++fLine >= fLines.size()) Fail("16 進数の値が途中で終わっています。");
      bytes = Trim(fLines[fLine]);
    }
  }

  void HexBytes(std::string_view bytes, bool continued) const {
    std::size_t start = 0;
    for (;;) {
      const std::size_t comma = std::min(bytes.find(',', start), bytes.size());
      const std::string_view byte = Trim(bytes.substr(start, comma - start));
      const bool last = comma == bytes.size();
      // "hex:" alone is an empty value; a continued line ends with a comma.
      const bool emptyAllowed = last && (continued || start == 0);
      if (!(byte.empty() && emptyAllowed) &&
          (byte.empty() || byte.size() > 2 ||
           byte.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)) {
        Fail("16 進数の値 \"" + ReadableText(bytes) + "\" が正しくありません。");
      }
      if (last) return;
      start = comma + 1;
    }
  }

  std::vector<std::string> fLines;
  std::string fSource;
  std::size_t fLine = 0;
  bool fInKey = false;
  bool fInKova = false;
  bool fSawKova = false;
  std::map<std::string, std::string> fValues;  // KOVA's values by lower-case name
};

// ---- Checking a key pair

[[noreturn]] void Refuse(const std::string& source, const std::string& what) {
  throw ERegistryFile(source + " の" + what);
}

TBigInt ReadPrime(const std::string& text, const char* name, int32_t strength, const std::string& source) {
  if (!IsDecimal(text))
    Refuse(source, std::string("値 ") + name + " \"" + ReadableText(text) + "\" は 10 進数ではありません。");
  if (text.size() > kMaxNumberDigits) Refuse(source, std::string("値 ") + name + " が大きすぎます。");
  TBigInt value = BigIntFromDecimalText(text);
  // GenerateKeys starts each prime at a random value of S div 3 + 1 bits with the top bit set and climbs
  // to the next prime, which lies past the next power of two only rarely.
  const uint64_t bits = BigIntIsZero(value) ? 0 : BigIntBitLength(value);
  const uint64_t expected = static_cast<uint64_t>(strength / 3) + 1;
  if (bits != expected && bits != expected + 1) {
    Refuse(source, std::string("値 ") + name + "（" + std::to_string(bits) + " ビット）は鍵の強度 " +
                       std::to_string(strength) + " ビットの素数の大きさ（" + std::to_string(expected) +
                       " ビット）ではありません。");
  }
  if (!BigIntIsLikelyPrime(value, kImportPrimeRounds))
    Refuse(source, std::string("値 ") + name + " は素数ではありません。");
  return value;
}

int32_t ReadImportStrength(const std::string& text, const std::string& source) {
  const std::size_t first = std::min(text.find_first_not_of('0'), text.size());
  if (!IsDecimal(text) || text.size() - first > 5) {
    Refuse(source, "鍵の強度 \"" + ReadableText(text) + "\" は " + std::to_string(kMinNewKeyStrength) + "〜" +
                       std::to_string(kMaxNewKeyStrength) + " の 10 進数ではありません。");
  }
  const int32_t strength = static_cast<int32_t>(std::stol("0" + text.substr(first)));
  if (strength < kMinNewKeyStrength || strength > kMaxNewKeyStrength) {
    Refuse(source, "鍵の強度 " + std::to_string(strength) + " ビットは扱えません（" +
                       std::to_string(kMinNewKeyStrength) + "〜" + std::to_string(kMaxNewKeyStrength) +
                       "）。");
  }
  return strength;
}

// Whether the pair decrypts what is encrypted under it: L(G) must have an inverse modulo P.
bool PairDecrypts(const TKeyPairTexts& key, int32_t strength) {
  TKOVA kova;
  if (kova.SetPrivateKey(key.P, key.Q, key.G) != TKOVA::kOk) return false;
  kova.SetKeyStrength(strength);
  const std::string probe = "KOVA";
  std::string cipherText, message;
  return kova.EncryptText(probe, cipherText) == TKOVA::kOk &&
         kova.DecryptText(cipherText, message) == TKOVA::kOk && message == probe;
}

// A decimal number as the program stores it, without leading zeros ("0" stays); any other text as it is.
// A view, not a copy: the texts are private key numbers, which are wiped and never copied around.
std::string_view Canonical(std::string_view text) {
  if (!IsDecimal(text)) return text;
  return text.substr(std::min(text.find_first_not_of('0'), text.size() - 1));
}

std::string EscapedRegistryString(const std::string& value) {
  std::string escaped = "\"";
  for (char c : value) {
    if (c == '"' || c == '\\') escaped += '\\';
    escaped += c;
  }
  return escaped + "\"";
}

// The stored Boolean as the program writes it; nothing for a text that is not one.
std::optional<std::string> SettingValue(SettingsStore& settings, const char* name) {
  settings.OpenKey(kCorvaneKeyPath);
  const std::string text = settings.ReadString("Setting", name, "0");
  settings.CloseKey();
  try {
    return BoolToStr(StrToBool(text));
  } catch (const EConvertError&) {
    return {};
  }
}

// Writes data as a new file of mode 0600 and puts it at path (replacing only with `replace`).
void WritePrivateFile(const fs::path& path, const std::string& data, bool replace) {
  std::error_code error;
  if (fs::is_directory(path, error)) throw EFileError(path.string() + " はフォルダです。");
  const fs::path folder = path.parent_path().empty() ? fs::path(".") : path.parent_path();
  TWorkFolder work(folder);
  const fs::path temporary = work / "export.reg";
  work.Run([&] { WriteWorkFile(temporary, data, true); });
  PlaceFile(temporary, path, replace);
}

}  // namespace

std::string RegistryExportText(const TKeyPairTexts& key, const std::string& kvk, const std::string& kvx) {
  const std::string corvane = kRegistryKeyName;
  std::string text =
      std::string(kVersion5Header) + "\r\n\r\n[" + corvane + "]\r\n\r\n[" + corvane + "\\KOVA]\r\n";
  const std::string* values[] = {&key.P, &key.Q, &key.G, &key.KeyStrength};
  for (std::size_t i = 0; i < 4; ++i) {
    text += EscapedRegistryString(kValueNames[i]) + "=" + EscapedRegistryString(*values[i]) + "\r\n";
  }
  text += "\r\n[" + corvane + "\\Setting]\r\n";
  if (!kvk.empty()) text += "\"KVK\"=" + EscapedRegistryString(kvk) + "\r\n";
  if (!kvx.empty()) text += "\"KVX\"=" + EscapedRegistryString(kvx) + "\r\n";
  return text + "\r\n";
}

std::string Utf16LeWithByteOrderMark(const std::string& text) {
  std::string utf16;
  if (Convert(text, "UTF-8", "UTF-16LE", utf16)) {
    SecureWipe(utf16);
    throw EConvertError("UTF-8 として正しくないテキストです。");
  }
  std::string bytes = std::string(kUtf16LeMark) + utf16;
  SecureWipe(utf16);
  return bytes;
}

TPublicKey ExportKeyPair(SettingsStore& settings, const fs::path& file, bool replace) {
  TKeyPairTexts key = ReadStoredKey(settings);
  if (!PrivateKeyExists(settings) || (key.P.empty() && key.Q.empty())) throw ERegistryFile(kNoStoredKeyText);
  // What leaves must come in again, here or on Windows.
  const TPublicKey publicKey = CheckKeyPair(key, "保存されている鍵");
  const std::string kvk = SettingValue(settings, "KVK").value_or("");
  const std::string kvx = SettingValue(settings, "KVX").value_or("");
  std::string text = RegistryExportText(key, kvk, kvx);
  std::string bytes = Utf16LeWithByteOrderMark(text);
  SecureWipe(text);
  try {
    WritePrivateFile(file, bytes, replace);
  } catch (...) {
    SecureWipe(bytes);
    throw;
  }
  SecureWipe(bytes);
  return publicKey;
}

TKeyPairTexts ParseRegistryExport(const std::string& bytes, const std::string& source) {
  if (bytes.size() > kMaxRegistryFileSize) {
    throw ERegistryFile(source + " は鍵のエクスポートファイルとしては大きすぎます。");
  }
  std::string text = DecodeExport(bytes, source);
  TExportParser parser(text, source);
  SecureWipe(text);
  return parser.Parse();
}

TPublicKey CheckKeyPair(TKeyPairTexts& key, const std::string& source) {
  const int32_t strength = ReadImportStrength(key.KeyStrength, source);
  TBigInt p = ReadPrime(key.P, "P", strength, source);
  TBigInt q = ReadPrime(key.Q, "Q", strength, source);
  const bool same = BigIntCompareMagnitude(p, q) == MagnitudeOrder::Equal;
  const TBigInt n = BigIntMultiply(BigIntSquare(p), q);
  BigIntRelease(p);
  BigIntRelease(q);
  if (same) Refuse(source, "値 P と Q が同じです。");
  if (!IsDecimal(key.G) || key.G.size() > kMaxNumberDigits) {
    Refuse(source, "値 G \"" + ReadableText(key.G) + "\" は 10 進数ではありません。");
  }
  for (std::string* number : {&key.P, &key.Q, &key.G})
    number->erase(0, number->size() - Canonical(*number).size());  // in place
  key.KeyStrength = std::to_string(strength);
  const TPublicKey publicKey = CheckPublicKey({BigIntToDecimalText(n), key.G, key.KeyStrength}, source);
  if (!PairDecrypts(key, strength)) Refuse(source, "値 G ではこの鍵で暗号化したものを復号化できません。");
  return publicKey;
}

TImportedKey ReadKeyExport(const fs::path& file) {
  const std::string source = "レジストリのエクスポートファイル " + file.string();
  CheckKeyFileKind(file, "レジストリのエクスポートファイル");
  std::error_code error;
  if (fs::file_size(file, error) > kMaxRegistryFileSize && !error) {
    throw ERegistryFile(source + " は鍵のエクスポートファイルとしては大きすぎます。");
  }
  std::string bytes = ReadSmallFile(file, kMaxRegistryFileSize);
  TImportedKey imported{ParseRegistryExport(bytes, source), {}};
  SecureWipe(bytes);
  imported.Public = CheckKeyPair(imported.Key, source);
  return imported;
}

bool OtherKeyStored(SettingsStore& settings, const TKeyPairTexts& key) {
  if (!PrivateKeyExists(settings)) return false;
  const TKeyPairTexts stored = ReadStoredKey(settings);
  return Canonical(stored.P) != key.P || Canonical(stored.Q) != key.Q || Canonical(stored.G) != key.G ||
         Canonical(stored.KeyStrength) != key.KeyStrength;
}

TKeyPairResult ImportKeyPair(const TImportedKey& imported, const std::string& name, SettingsStore& settings,
                             const fs::path& programFolder, bool replaceKey, bool replaceFile) {
  CheckFileName(name);
  if (!replaceKey && OtherKeyStored(settings, imported.Key)) throw EKeyExists();
  if (const auto foreign = ForeignPublicKeyFile(name, settings, programFolder, &imported.Public);
      foreign && !replaceFile) {
    throw EOutputExists(*foreign);
  }
  const bool exists = NameTaken(programFolder / (name + kPublicKeyExtension));
  return StoreKeyPair(imported.Key, name, settings, programFolder, exists);
}

}  // namespace corvane
