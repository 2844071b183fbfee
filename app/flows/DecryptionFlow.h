#pragma once
// Decrypting a container made for the user's key into the container's folder.
//
// The container's listing must be exactly one member ending in ".RJN" (the session-key line) and one ending
// in ".Enc" (the payload), both bare file names; the output is named like the ".Enc" member less ".Enc".
// The session key is recovered with the private key stored under "KOVA" ("P", "Q", "G" default "65537",
// "KeyStrength" default "0"). The container's own name does not matter, so renamed containers decrypt.

#include <filesystem>
#include <string>

#include "app/flows/FlowCommon.h"
#include "platform/SettingsStore.h"
#include "pubkey/Kova.h"

namespace corvane {

struct TDecryptRequest {
  std::filesystem::path Container;  // made absolute against the current folder before use
  // Consent to replace an existing file of the output's name (the front end asks, or the CLI's --force).
  bool ReplaceExisting = false;
};

struct TDecryptResult {
  std::filesystem::path OutputFile;
  std::filesystem::path OutputFolder;  // the container's folder
};

struct TContainerMembers {
  std::string SessionKeyMember;      // "<stem>.RJN"
  std::string PayloadMember;         // "<source name>.Enc"
  std::filesystem::path OutputFile;  // container folder / payload member less ".Enc"
  // Something already has the output's name (a link too, even one that leads nowhere).
  bool OutputExists = false;
};

// Lists a container and checks its members without extracting anything: lets a front end ask about an
// existing output file before the long work. Raises EFileError (no such file), EContainerError (not a
// container, unsafe member names), EArchiver (LHA library missing).
TContainerMembers InspectContainer(const std::filesystem::path& container);

// Decrypts the container. Members are extracted into a private temporary folder inside the container's
// folder, removed on every path; the session-key member comes first, so a container for another key is
// refused before its payload is written out. The output is written under a temporary name and renamed into
// place, so a failure leaves nothing behind and never touches other files. Raises, besides InspectContainer's
// errors: EOutputExists (output exists, ReplaceExisting false), EContainerError kDamagedContainerText
// (extraction failed: CRC error, damaged data), ENotForYourKey (no key stored, or made for another key),
// EConvertError / EKeyStrength (stored strength unusable), EFileError (folder not writable), ECancelled.
TDecryptResult DecryptContainer(const TDecryptRequest& request, TKOVA& kova, SettingsStore& settings,
                                const TFlowProgress& progress = {});

}  // namespace corvane
