#pragma once
// Public-key files (".KVK"): three decimal lines n, g and the key strength, each ended by CR LF; read with
// any line ends. The key folder holds the recipients' files; installing copies one there.

#include <filesystem>
#include <string>
#include <vector>

namespace corvane {

struct TPublicKeyText {
  std::string N;
  std::string G;
  std::string KeyStrength;
};

inline constexpr const char* kPublicKeyExtension = ".KVK";

// The file's text: "N\r\nG\r\nS\r\n".
std::string PublicKeyFileText(const TPublicKeyText& key);
// Reads the first three lines. Raises EFileError when the file cannot be read (or is far too large to be a
// key file), EListError when it has fewer than three lines, EPublicKeyFile when n or g is longer than any
// usable key's modulus.
TPublicKeyText ReadPublicKeyFile(const std::filesystem::path& path);

// Copies a public-key file whose name ends in ".KVK" into the key folder (created when missing), replacing
// a file of the same name; returns the installed path. Raises EPublicKeyFile for a name without ".KVK" or
// a file that is not a readable key, EFileError when the copy fails; a failed copy leaves no partial file.
std::filesystem::path InstallPublicKey(const std::filesystem::path& file,
                                       const std::filesystem::path& keyFolder);

// The recipients of the key folder: the names of its ".KVK" files without the extension, sorted without
// regard to case. A missing folder has none.
std::vector<std::string> ListRecipients(const std::filesystem::path& keyFolder);

// The public-key file a recipient text names: a text with a "/" is a path; otherwise the key folder's file
// of that name (".KVK" added when missing), or failing that a ".KVK" file of that name in the current
// folder. Raises EPublicKeyFile "受信者 <text> の公開鍵ファイルが見つかりません。" when there is none.
std::filesystem::path ResolveRecipient(const std::string& recipient, const std::filesystem::path& keyFolder);

}  // namespace corvane
