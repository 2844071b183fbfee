#pragma once
// Encrypting a file for a recipient into a container beside it.
//
// Names: the recipient name K is the key file's name less its last four characters (".KVK"); the source
// base B is the source name less its last four characters (empty for names of four characters or fewer);
// the stem is B + "_" + K. The container Stem + ".KVX" is an LHA archive of two members under bare names:
// Stem + ".RJN", one line (the session key encrypted with the recipient's public key) ended by CR LF, and
// <source name> + ".Enc", the source encrypted under the session key.

#include <filesystem>
#include <string>

#include "app/flows/FlowCommon.h"
#include "app/flows/IntegrityTag.h"
#include "pubkey/Kova.h"

namespace corvane {

struct TEncryptRequest {
  std::filesystem::path RecipientKeyFile;  // the recipient's ".KVK" file
  std::filesystem::path SourceFile;
  // Consent to replace an existing container of the same name (the wizard asks, the CLI's --force).
  bool ReplaceExisting = false;
};

struct TEncryptResult {
  std::filesystem::path Container;  // beside the source
  std::string ContainerStem;        // Stem, kept by the wizard for the after-encryption actions
  std::string RecipientName;        // K: the recipient's e-mail address by convention
};

// Length of a session key: 40 characters from "<" .. "O", drawn from the system CSPRNG. That length marks
// a container whose session-key member carries the integrity tag as its line 2.
inline constexpr std::size_t kSessionKeyLength = kTaggedSessionKeyLength;

// B + "_" + K from the source's file name and the recipient key file's name.
std::string ContainerStemFor(const std::string& sourceName, const std::string& recipientKeyFileName);
// A fresh session key.
std::string NewSessionKey();
// The container the request writes: Stem + ".KVX" beside the source (absolute), so a front end can ask
// about an existing one first.
std::filesystem::path ContainerFileFor(const TEncryptRequest& request);

// Encrypts the source for the recipient. Intermediates live in a private temporary folder beside the
// source and are removed on every path; the container is written there and renamed into place. An existing
// container of that name is replaced whole with ReplaceExisting, and otherwise refused with EOutputExists,
// before the work and again atomically when placing. The source and the key file are only read; `kova` is
// left holding the recipient's public key. Raises EFileError (source or key file unreadable, folder not
// writable, a name too long for the file system), ESourceChanged (the source changed size while read),
// EDiskFull, EListError (key file of fewer than three lines), EConvertError / EKeyStrength (bad strength
// line), EPublicKeyFile (numbers that give no usable key), EArchiver (packing failed), ECancelled.
TEncryptResult EncryptFileForRecipient(const TEncryptRequest& request, TKOVA& kova,
                                       const TFlowProgress& progress = {});

}  // namespace corvane
