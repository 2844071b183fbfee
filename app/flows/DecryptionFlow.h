#pragma once
// Decrypting a container made for the user's key into the container's folder.
//
// The container's listing must be exactly one member ending in ".RJN" (the session-key line) and one ending
// in ".Enc" (the payload), both bare file names; the output is named like the ".Enc" member less ".Enc".
// The session key is recovered with the private key stored under "KOVA" ("P", "Q", "G" default "65537",
// "KeyStrength" default "0"). The container's own name does not matter, so renamed containers decrypt.
//
// Decryption runs in two steps, so a front end can ask its questions once it knows the container is the
// user's: PrepareDecryption recovers the session key, TPreparedDecryption::Finish writes the output.

#include <filesystem>
#include <memory>
#include <string>

#include "app/flows/FlowCommon.h"
#include "app/flows/WorkFolder.h"
#include "common/SecureWipe.h"
#include "platform/SettingsStore.h"
#include "pubkey/Kova.h"

namespace corvane {

// What the user agreed to about the output's name (the wizard asks; the CLI's --force agrees to both).
struct TOutputConsent {
  // Replace an existing file of the output's name.
  bool ReplaceExisting = false;
  // Write an output whose name starts with "." (a hidden file, such as ".bashrc", or a name of the
  // program's own work folders): the sender chose the name, so it is not written unasked.
  bool HiddenName = false;
};

struct TDecryptRequest {
  std::filesystem::path Container;  // made absolute against the current folder before use
  bool ReplaceExisting = false;     // as TOutputConsent
  bool AllowHiddenName = false;     // as TOutputConsent::HiddenName
};

struct TDecryptResult {
  std::filesystem::path OutputFile;
  std::filesystem::path OutputFolder;  // the container's folder
  bool Tagged = false;                 // the container carried an integrity tag, and it held
};

// The output's name starts with "." and the request did not agree to that.
class EHiddenOutputName : public Exception {
 public:
  explicit EHiddenOutputName(std::filesystem::path path);
  const std::filesystem::path& Path() const { return fPath; }

 private:
  std::filesystem::path fPath;
};

// Why a name needs the user's consent, as a sentence naming it (for the question and the refusal).
std::string HiddenOutputNameText(const std::filesystem::path& output);

// A container whose session key has been recovered: the work folder (holding the container as it was when
// decryption began, and the session-key member) and the key. The container is read from start to end in
// that one version, so a container replaced meanwhile (a sender re-encrypting into a synced folder) never
// mixes a session key of one version with a payload of another.
class TPreparedDecryption {
 public:
  TPreparedDecryption(const std::filesystem::path& container, TKOVA& kova, SettingsStore& settings,
                      const TFlowProgress& progress);
  TPreparedDecryption(const TPreparedDecryption&) = delete;
  TPreparedDecryption& operator=(const TPreparedDecryption&) = delete;

  // The output: container folder / payload member less ".Enc".
  const std::filesystem::path& OutputFile() const { return fOutputFile; }
  // Whether the container carries an integrity tag (its session key has kTaggedSessionKeyLength
  // characters); older containers decrypt without one.
  bool Tagged() const;
  // Whether its name needs TOutputConsent::HiddenName.
  bool HiddenName() const;
  // Whether something already has the output's name (a link too, even one that leads nowhere); asked now.
  bool OutputExists() const;

  // Decrypts the payload (a stored one straight from the container, any other once extracted) and puts
  // the output in place (mode 0666 less the umask), so a failure leaves nothing behind and never touches
  // other files. Raises EHiddenOutputName and EOutputExists when the consent lacks (the second also when
  // a file of that name appears meanwhile), EContainerError kDamagedContainerText (CRC error, damaged
  // data, a wrong tag), EDiskFull, EFileError, ECancelled. Call it once.
  TDecryptResult Finish(const TOutputConsent& consent, const TFlowProgress& progress = {});

 private:
  std::filesystem::path fFolder;
  TWorkFolder fWork;
  std::filesystem::path fContainer;  // the kept version, in the work folder
  std::string fSessionKeyMember, fPayloadMember;
  std::string fSessionKeyLine;  // line 1 of the session-key member
  std::string fTag;             // its line 2, in a tagged container
  std::filesystem::path fOutputFile;
  bool fSeparately = true;  // false when every member was extracted at once
  // Wiped on every path, a failing constructor's included.
  struct TWipedText {
    std::string Text;
    ~TWipedText() { SecureWipe(Text); }
  } fSessionKey;
};

// Lists the container and checks its members, makes the work folder in the container's folder and
// recovers the session key; a container for another key is refused before its payload is written out.
// Raises EFileError (no such file, folder not writable), EContainerError (not a container, unsafe member
// names, a member claiming more than a container's member can hold, damaged data), EArchiver (LHA library
// missing), ENotForYourKey (no key stored, or made for another key), EConvertError / EKeyStrength (stored
// strength unusable), EDiskFull, ECancelled.
std::unique_ptr<TPreparedDecryption> PrepareDecryption(const std::filesystem::path& container, TKOVA& kova,
                                                       SettingsStore& settings,
                                                       const TFlowProgress& progress = {});

// Both steps with the request's consent.
TDecryptResult DecryptContainer(const TDecryptRequest& request, TKOVA& kova, SettingsStore& settings,
                                const TFlowProgress& progress = {});

}  // namespace corvane
