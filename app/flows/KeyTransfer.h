#pragma once
// Moving a key pair between this program and its Windows counterpart, which keeps the private key in the
// registry under HKEY_CURRENT_USER\Software\Tessaly\Corvane (subkey "KOVA": "P", "Q", "G",
// "KeyStrength", all strings). A key pair leaves as a registry export that the Windows registry editor
// imports, and comes in from such an export.
//
// Export: "Windows Registry Editor Version 5.00", UTF-16LE with a byte-order mark, CR LF lines, the keys
// ...\Corvane, ...\Corvane\KOVA and ...\Corvane\Setting ("KVK", "KVX"), string values.
// Import: that format, the same text in UTF-8, or the older "REGEDIT4" one in code page 932. Only the
// KOVA values are taken; other keys and values are passed over, but must be well formed.

#include <cstddef>
#include <filesystem>
#include <string>

#include "app/flows/KeyPairFlow.h"
#include "app/flows/PublicKeyCheck.h"
#include "common/Exception.h"
#include "platform/SettingsStore.h"

namespace corvane {

inline constexpr const char* kRegistryKeyName = "HKEY_CURRENT_USER\\Software\\Tessaly\\Corvane";
// A key export is a few kilobytes; a whole exported branch of the registry may be larger, but not this.
inline constexpr std::size_t kMaxRegistryFileSize = 8 << 20;

inline constexpr const char* kReplaceKeyByImportQuestionText =
    "既に鍵が存在します。別の鍵を読み込むと、以前の公開鍵で暗号化したファイルは復号化出来なくなります。"
    "鍵を読み込みますか？";
inline constexpr const char* kNoStoredKeyText = "保存されている鍵がありません。先に鍵を作成して下さい。";

// A registry export that cannot be read, or holds no usable key pair.
class ERegistryFile : public Exception {
  using Exception::Exception;
};

// The key pair of an export: the four values and the public half they give.
struct TImportedKey {
  TKeyPairTexts Key;
  TPublicKey Public;
};

// The export's text (UTF-8, CR LF lines) for a key pair and the two "Setting" values.
std::string RegistryExportText(const TKeyPairTexts& key, const std::string& kvk, const std::string& kvx);
// UTF-8 text as UTF-16LE with a byte-order mark. Raises EConvertError for invalid UTF-8.
std::string Utf16LeWithByteOrderMark(const std::string& text);

// Writes the stored key pair and the two "Setting" values to `file` (mode 0600, never replaced without
// `replace`: EOutputExists) and returns its public half. Raises ERegistryFile kNoStoredKeyText when no key
// is stored, and the refusals of CheckKeyPair for a stored key that would not import again.
TPublicKey ExportKeyPair(SettingsStore& settings, const std::filesystem::path& file, bool replace);

// The KOVA values of an export's bytes; `source` names the file in refusals. Raises ERegistryFile for an
// unknown format or encoding, a syntax error (with its line), a missing, duplicated or non-string value.
TKeyPairTexts ParseRegistryExport(const std::string& bytes, const std::string& source);

// Refuses values that are not a key pair this program could have made: the strength outside 256 .. 2048,
// P or Q not decimal, not of the size the strength gives (S div 3 + 1 bits, one more when the prime
// search climbed past a power of two), not probable primes, or equal; a G with which the pair cannot
// decrypt; a public half that CheckPublicKey refuses. Returns the public half with canonical texts.
TPublicKey CheckKeyPair(TKeyPairTexts& key, const std::string& source);

// Reads (at most kMaxRegistryFileSize bytes), parses and checks an export.
TImportedKey ReadKeyExport(const std::filesystem::path& file);

// Whether a key pair other than `key` is stored (importing would replace it).
bool OtherKeyStored(SettingsStore& settings, const TKeyPairTexts& key);

// Stores an imported key pair as key-pair creation does, its public half as programFolder / (name +
// ".KVK"). Raises EKeyExists when another key is stored and replaceKey is false, EOutputExists for a
// foreign file of that name (ForeignPublicKeyFile) without replaceFile.
TKeyPairResult ImportKeyPair(const TImportedKey& imported, const std::string& name, SettingsStore& settings,
                             const std::filesystem::path& programFolder, bool replaceKey, bool replaceFile);

}  // namespace corvane
