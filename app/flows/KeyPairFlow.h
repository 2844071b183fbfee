#pragma once
// Creating the user's key pair: a new Okamoto-Uchiyama key of strength S, the public half as
// <name>.KVK in the program folder, the private half as "P", "Q", "G", "KeyStrength" in the settings
// subkey "KOVA". One private key exists per user; replacing it is the caller's decision.

#include <cstdint>
#include <filesystem>
#include <string>

#include "app/flows/FlowCommon.h"
#include "platform/SettingsStore.h"
#include "pubkey/Kova.h"

namespace corvane {

struct TKeyPairRequest {
  int32_t KeyStrength = kDefaultKeyStrength;
  // The public-key file's name without ".KVK": the owner's e-mail address.
  std::string Name;
  // Consent to replace a stored private key (the front end asks kReplaceKeyQuestionText first).
  bool ReplaceExistingKey = false;
};

struct TKeyPairResult {
  std::filesystem::path PublicKeyFile;  // program folder / (Name + ".KVK")
};

// Raises EFileError for a name that cannot name one file name + ".KVK" in the program folder: empty, ".",
// "..", holding "/" or a NUL, or too long for a file name.
void CheckFileName(const std::string& name);

// Whether the settings hold a private key (the subkey "KOVA" exists).
bool PrivateKeyExists(SettingsStore& settings);

// Generates the key pair with `kova` (left holding it) and writes both halves: the public-key file first
// (under a temporary name), then the four private values in one settings write, then the file is renamed
// into place, replacing a file of that name. A failure changes neither. Raises EKeyExists when a key is
// stored and ReplaceExistingKey is false, EKeyStrength outside 48 .. 16384, EFileError for a name that is
// empty or holds "/" and for write failures, ECancelled when progress cancels.
TKeyPairResult CreateKeyPair(const TKeyPairRequest& request, TKOVA& kova, SettingsStore& settings,
                             const std::filesystem::path& programFolder, const TFlowProgress& progress = {});

}  // namespace corvane
