#pragma once
// The one check a public key passes before anything uses it: installing a recipient's key, encrypting for
// it, and the public half of an imported key pair. It accepts exactly the keys whose containers the key's
// owner can open, and names one fault per refusal. Also the key's fingerprint, the text two people compare
// to know they hold the same key.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "app/flows/PublicKeyFile.h"

namespace corvane {

// A public key that passed CheckPublicKey: n and g as decimal texts without leading zeros.
struct TPublicKey {
  std::string N;
  std::string G;
  int32_t KeyStrength = 0;
  bool operator==(const TPublicKey&) const = default;
};

// Refuses key texts that would give a container nobody can open, raising EPublicKeyFile (EKeyStrength for
// a strength outside the usable range) with `source` (say "公開鍵ファイル /x/bob.KVK") in the message:
// a byte-order mark; an empty number; anything but decimal digits (a sign, blanks, control bytes); a
// modulus n too small for the strength, or even; a base g below 2, not below n, equal to n - 1, or
// sharing a factor with n.
TPublicKey CheckPublicKey(const TPublicKeyText& text, const std::string& source);

// Reads and checks a public-key file. A missing file, a folder or a pipe is reported as what it is.
TPublicKey LoadPublicKeyFile(const std::filesystem::path& path);

// Raises EFileError naming `path` ("<what> <path>") as missing, unreadable, a folder, a named pipe or
// another kind of non-regular file. Symbolic links are followed.
void CheckKeyFileKind(const std::filesystem::path& path, const std::string& what = "公開鍵ファイル");

// SHA-1 over the key's canonical text (n, g and the strength as decimal lines, each ended by CR LF), as
// ten groups of four upper-case hexadecimal digits separated by blanks.
std::string KeyFingerprint(const TPublicKey& key);

// A text as it may appear inside a message: printable characters as they are, quotes, backslashes,
// control bytes and invalid UTF-8 escaped (\", \\, \r, \n, \t, \xHH); longer than maxCharacters, its middle
// is elided with "…".
std::string ReadableText(std::string_view text, std::size_t maxCharacters = 48);

}  // namespace corvane
