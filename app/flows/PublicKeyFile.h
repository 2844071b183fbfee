#pragma once
// Public-key files (".KVK"): three decimal lines n, g and the key strength, each ended by CR LF; read with
// any line ends. The key folder holds the recipients' files; installing copies one there.

#include <filesystem>
#include <string>
#include <vector>

#include "common/Exception.h"

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

// A recipient's key already installed under the name of the one being installed, and not the same key.
class EKeyDiffers : public Exception {
 public:
  // installedFingerprint is empty when the installed file is not a usable key.
  EKeyDiffers(std::filesystem::path installed, std::string installedFingerprint, std::string newFingerprint);
  const std::filesystem::path& Installed() const { return fInstalled; }
  const std::string& InstalledFingerprint() const { return fInstalledFingerprint; }
  const std::string& NewFingerprint() const { return fNewFingerprint; }

 private:
  std::filesystem::path fInstalled;
  std::string fInstalledFingerprint, fNewFingerprint;
};

struct TInstalledKey {
  std::filesystem::path Path;
  std::string Fingerprint;
};

// Copies a public-key file whose name ends in ".KVK" (and is more than that) into the key folder (created
// when missing), after the check encryption makes (CheckPublicKey). The same key installed again replaces
// its file silently; another key of the same name raises EKeyDiffers unless replaceDifferent. Raises
// EPublicKeyFile for a name without ".KVK" or a key that fails the check, EFileError when the file or the
// installed name is not a regular file or the copy fails; a failed copy leaves no partial file.
TInstalledKey InstallPublicKey(const std::filesystem::path& file, const std::filesystem::path& keyFolder,
                               bool replaceDifferent = false);

// A recipient of the key folder: a file (not a folder) whose name ends in ".KVK" in any case, as the
// wizard's list shows them. Name is the file name less its extension, or the whole file name when two
// files differ only in the extension's case.
struct TRecipient {
  std::string Name;
  std::filesystem::path File;
};

// The recipients sorted by name without regard to case. A missing folder has none.
std::vector<TRecipient> ListRecipients(const std::filesystem::path& keyFolder);

// The public-key file a recipient text names: a text with a "/" is a path; otherwise the key folder's file
// of that name, of that name with ".KVK" added, or the recipient ListRecipients names so; failing that a
// ".KVK" file of that name in the current folder. What is found may still be a folder or a pipe: loading
// it says so. Raises EPublicKeyFile "受信者 <text> の公開鍵ファイルが見つかりません。" when there is none.
std::filesystem::path ResolveRecipient(const std::string& recipient, const std::filesystem::path& keyFolder);

}  // namespace corvane
