#pragma once
// Creating the user's key pair: a new Okamoto-Uchiyama key of strength S, the public half as
// <name>.KVK in the program folder, the private half as "P", "Q", "G", "KeyStrength" in the settings
// subkey "KOVA". One private key exists per user; replacing it, or a public-key file that is not the
// stored key's, is the caller's decision.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "app/flows/FlowCommon.h"
#include "app/flows/PublicKeyCheck.h"
#include "platform/SettingsStore.h"
#include "pubkey/Kova.h"

namespace corvane {

struct TKeyPairRequest {
  int32_t KeyStrength = kDefaultKeyStrength;
  // The public-key file's name without ".KVK": the owner's e-mail address.
  std::string Name;
  // Consent to replace a stored private key (the front end asks kReplaceKeyQuestionText first).
  bool ReplaceExistingKey = false;
  // Consent to replace a public-key file of that name that is not the stored key's public half (the front
  // end asks ReplaceFileQuestionText first).
  bool ReplaceExistingFile = false;
};

struct TKeyPairResult {
  std::filesystem::path PublicKeyFile;  // program folder / (Name + ".KVK")
  std::string Fingerprint;              // of the public half (KeyFingerprint)
};

// The four stored values of a key pair as decimal texts; the primes are wiped when it goes.
struct TKeyPairTexts {
  std::string P, Q, G, KeyStrength;
  ~TKeyPairTexts();
};

// Raises EFileError for a name that cannot name one file name + ".KVK" in the program folder: empty, ".",
// "..", holding "/" or a NUL, or too long for a file name.
void CheckFileName(const std::string& name);

// Whether the settings hold a private key (the subkey "KOVA" exists).
bool PrivateKeyExists(SettingsStore& settings);
// The stored values; empty texts for values that are missing.
TKeyPairTexts ReadStoredKey(SettingsStore& settings);
// The public half of the stored key (n = P^2 Q, G, KeyStrength); nothing when no readable key is stored.
std::optional<TPublicKey> StoredPublicKey(SettingsStore& settings);

// The file programFolder / (name + ".KVK") when it exists and holds neither the stored key's public half
// nor newKey: replacing it needs the user's consent. Raises EFileError for an unusable name and for a
// folder of that name (which nothing can replace).
std::optional<std::filesystem::path> ForeignPublicKeyFile(const std::string& name, SettingsStore& settings,
                                                          const std::filesystem::path& programFolder,
                                                          const TPublicKey* newKey = nullptr);
// The question asked before such a file is replaced.
std::string ReplaceFileQuestionText(const std::filesystem::path& file);

// Generates the key pair with `kova` (left holding it) and stores both halves with StoreKeyPair. Raises
// EKeyExists when a key is stored and ReplaceExistingKey is false, EOutputExists for a foreign public-key
// file without ReplaceExistingFile (both checked before the generation), EKeyStrength outside 48 .. 16384,
// EFileError for an unusable name and for write failures, ECancelled when progress cancels.
TKeyPairResult CreateKeyPair(const TKeyPairRequest& request, TKOVA& kova, SettingsStore& settings,
                             const std::filesystem::path& programFolder, const TFlowProgress& progress = {});

// Stores a complete key pair: its public half as programFolder / (name + ".KVK") and the four values in
// the settings, so that both are new or, after any failure, both as they were. The file is put in place
// first (the one it replaces kept aside), then the settings are written in one step; when that fails the
// old file comes back. replaceFile allows replacing an existing file of that name (EOutputExists without).
TKeyPairResult StoreKeyPair(const TKeyPairTexts& key, const std::string& name, SettingsStore& settings,
                            const std::filesystem::path& programFolder, bool replaceFile);

}  // namespace corvane
