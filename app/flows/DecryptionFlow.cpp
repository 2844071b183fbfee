#include "app/flows/DecryptionFlow.h"

#include <sys/stat.h>

#include <cerrno>
#include <optional>

#include "app/flows/ContainerArchive.h"
#include "app/flows/IntegrityTag.h"
#include "app/flows/KeyPairFlow.h"
#include "app/flows/WorkFolder.h"
#include "archive/Archives.h"
#include "common/SecureWipe.h"
#include "symmetric/Rijndael.h"

namespace corvane {
namespace fs = std::filesystem;

namespace {

// The session-key line is short (two blocks of a few hundred characters); a larger member is not one.
constexpr std::size_t kMaxSessionKeyFileSize = 1 << 16;
// The name of the kept version of the container in the work folder; no member can have it, since every
// member's name ends in ".RJN" or ".Enc".
constexpr const char* kKeptContainerName = "container.KVX";

// The payload is ciphertext, which does not compress: a member claiming to extract to more than it takes
// in the archive, beyond what a packer's headers and rounding add, is not a payload but a bomb.
uint64_t MaxPayloadSize(uint64_t packedSize) {
  return packedSize + packedSize / 64 + 4096;
}

// A member must name one file directly in the target folder. The library gives names with '/' between
// folders; a '\' left in a name is a character of it, as Linux file names may have.
bool SafeMemberName(const std::string& name) {
  if (name.empty() || name == "." || name == "..") return false;
  if (name.find_first_of(std::string("/\0", 2)) != std::string::npos) return false;
  return !(name.size() >= 2 && name[1] == ':');  // a drive ("C:...")
}

[[noreturn]] void RefuseUnsafeName(const std::string& name) {
  throw EContainerError("暗号ファイルに不正なファイル名 '" + name + "' が含まれています。");
}

// A regular file that extraction really wrote (not a link planted by the archive).
bool ExtractedFile(const fs::path& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// Loads the stored private key into kova. No stored key gives the same answer as a foreign container.
void LoadPrivateKey(TKOVA& kova, SettingsStore& settings) {
  TKeyPairTexts key = ReadStoredKey(settings);
  // What a missing base and strength mean for decryption: the base of every key made here, and a
  // strength no key has (refused below).
  if (key.G.empty()) key.G = "65537";
  if (key.KeyStrength.empty()) key.KeyStrength = "0";
  // Empty texts would keep whatever key the object held before; only the stored key counts.
  if (key.P.empty() || key.Q.empty()) throw ENotForYourKey();
  if (kova.SetPrivateKey(key.P, key.Q, key.G) != TKOVA::kOk) throw ENotForYourKey();
  kova.SetKeyStrength(KeyStrengthFromText(key.KeyStrength));
}

// Extracts one member; false when its name cannot be passed to the library and every member was
// extracted instead.
bool ExtractMember(const fs::path& container, const TWorkFolder& work, const std::string& member,
                   const TFlowProgress& progress) {
  try {
    ExtractContainer(container, work.Path(), progress, {member});
    return true;
  } catch (const EContainerError&) {
    throw;
  } catch (const EArchiver&) {
    ExtractContainer(container, work.Path(), progress);
    return false;
  }
}

// The lines of the extracted session-key member: the wrapped session key, then (in a tagged container)
// the integrity tag.
std::vector<std::string> SessionKeyLines(const fs::path& file) {
  try {
    return SplitLines(ReadSmallFile(file, kMaxSessionKeyFileSize));
  } catch (const EFileError& error) {
    if (error.Error() != EFBIG) throw;
    throw EContainerError(kBadContainerText);  // far too large to be a session-key line
  }
}

struct TMembers {
  std::string SessionKey, Payload;
};

// The two members, checked on the listing alone: bare names, one of each kind, sizes a real container's
// members can have. Nothing has been extracted when this refuses.
TMembers CheckMembers(const std::vector<TContainerEntry>& entries) {
  for (const TContainerEntry& entry : entries) {
    if (!SafeMemberName(entry.Name)) RefuseUnsafeName(entry.Name);
  }
  const TContainerEntry *sessionKey = nullptr, *payload = nullptr;
  int sessionKeyMembers = 0, payloadMembers = 0;
  for (const TContainerEntry& entry : entries) {
    if (EndsWith(entry.Name, ".RJN")) ++sessionKeyMembers, sessionKey = &entry;
    if (EndsWith(entry.Name, ".Enc")) ++payloadMembers, payload = &entry;
  }
  if (entries.size() != 2 || sessionKeyMembers != 1 || payloadMembers != 1) {
    throw EContainerError(kBadContainerText);
  }
  if (sessionKey->OriginalSize > kMaxSessionKeyFileSize ||
      payload->OriginalSize > MaxPayloadSize(payload->PackedSize)) {
    throw EContainerError(kBadContainerText);
  }
  const std::string outputName = payload->Name.substr(0, payload->Name.size() - 4);
  if (!SafeMemberName(outputName)) RefuseUnsafeName(payload->Name);
  return {sessionKey->Name, payload->Name};
}

// The container's folder, once the container is known to be a readable file (named before any work).
fs::path ContainerFolder(const fs::path& container) {
  const fs::path absolute = fs::absolute(container);
  CheckReadableFile(absolute);
  return absolute.parent_path();
}

}  // namespace

EHiddenOutputName::EHiddenOutputName(fs::path path)
    : Exception(HiddenOutputNameText(path)), fPath(std::move(path)) {}

std::string HiddenOutputNameText(const fs::path& output) {
  const std::string name = "\"" + output.filename().string() + "\"";
  if (WorkFolderName(output.filename().string())) {
    return "復号化されるファイルの名前 " + name + " は、このプログラムの作業フォルダの名前と同じ形です。";
  }
  return "復号化されるファイルの名前 " + name + " はドットで始まるため、隠しファイルになります。";
}

TPreparedDecryption::TPreparedDecryption(const fs::path& container, TKOVA& kova, SettingsStore& settings,
                                         const TFlowProgress& progress)
    : fFolder(ContainerFolder(container)), fWork(fFolder) {
  fWork.Run([&] {
    // Everything below reads this one version, never the container's name again.
    fContainer = KeepCurrentVersion(fs::absolute(container), fWork, kKeptContainerName, progress);
    const TMembers members = CheckMembers(ListContainer(fContainer));
    fSessionKeyMember = members.SessionKey;
    fPayloadMember = members.Payload;
    fOutputFile = fFolder / fPayloadMember.substr(0, fPayloadMember.size() - 4);

    // The session key comes first, so a container made for another key is refused before its payload,
    // which may be large, is written out. A name that cannot be put into a command is reached by
    // extracting all.
    fSeparately = ExtractMember(fContainer, fWork, fSessionKeyMember, progress);
    if (!ExtractedFile(fWork / fSessionKeyMember)) throw EContainerError(kDamagedContainerText);
    LoadPrivateKey(kova, settings);
    const std::vector<std::string> lines = SessionKeyLines(fWork / fSessionKeyMember);
    fSessionKeyLine = lines.empty() ? std::string() : lines.front();
    kova.DecryptText(fSessionKeyLine, fSessionKey.Text);
    if (fSessionKey.Text.empty()) throw ENotForYourKey();
    // The key's length says whether the container carries a tag; the scheme's own check covers the key,
    // so the marker cannot be changed unnoticed. A tagged container without a well-formed tag is damaged.
    if (Tagged()) {
      if (lines.size() < 2 || !TagText(lines[1])) throw EContainerError(kDamagedContainerText);
      fTag = lines[1];
    }
  });
}

bool TPreparedDecryption::Tagged() const {
  return fSessionKey.Text.size() == kTaggedSessionKeyLength;
}

bool TPreparedDecryption::HiddenName() const {
  return fOutputFile.filename().string().starts_with('.');
}

bool TPreparedDecryption::OutputExists() const {
  return NameTaken(fOutputFile);
}

TDecryptResult TPreparedDecryption::Finish(const TOutputConsent& consent, const TFlowProgress& progress) {
  if (HiddenName() && !consent.HiddenName) throw EHiddenOutputName(fOutputFile);
  if (!consent.ReplaceExisting && OutputExists()) throw EOutputExists(fOutputFile);
  return fWork.Run([&] {
    const fs::path payload = fWork / fPayloadMember;
    std::optional<TIntegrityTag> tag;
    if (Tagged()) tag.emplace(fSessionKey.Text, fOutputFile.filename().string(), fSessionKeyLine);
    const TStreamProgress decrypting = [&progress](uint64_t done, uint64_t total) {
      return !progress || progress(TFlowStage::stDecrypting, done, total);
    };
    const TPayloadHook hook = tag ? tag->Hook() : TPayloadHook();
    // A stored payload (every packer stores ciphertext, which does not compress) is decrypted straight
    // from the container, its CRC checked on the way: no extracted copy is written and read again. Any
    // other is extracted first, unless extracting the session key extracted everything already.
    if (std::unique_ptr<TStream> stored =
            fSeparately ? OpenStoredMember(fContainer, fPayloadMember) : nullptr) {
      DecryptStreamInto(*stored, payload, fSessionKey.Text, decrypting, hook);
    } else {
      if (fSeparately) ExtractMember(fContainer, fWork, fPayloadMember, progress);
      if (!ExtractedFile(payload)) throw EContainerError(kDamagedContainerText);
      DecryptFileInPlace(payload, fSessionKey.Text, decrypting, hook);
    }
    // Checked before the output is put in place: a container changed by anyone but its sender leaves
    // nothing under the output's name.
    if (tag && !SameTag(tag->FinalHex(), fTag)) throw EContainerError(kDamagedContainerText);
    // Private while it was written; the user's usual permissions once it is theirs.
    if (::chmod(payload.c_str(), fWork.NewFileMode()) != 0)
      ThrowFileError(TFileAction::faWrite, payload, errno);
    PlaceFile(payload, fOutputFile, consent.ReplaceExisting);
    return TDecryptResult{fOutputFile, fFolder, Tagged()};
  });
}

std::unique_ptr<TPreparedDecryption> PrepareDecryption(const fs::path& container, TKOVA& kova,
                                                       SettingsStore& settings,
                                                       const TFlowProgress& progress) {
  return std::make_unique<TPreparedDecryption>(container, kova, settings, progress);
}

TDecryptResult DecryptContainer(const TDecryptRequest& request, TKOVA& kova, SettingsStore& settings,
                                const TFlowProgress& progress) {
  const std::unique_ptr<TPreparedDecryption> prepared =
      PrepareDecryption(request.Container, kova, settings, progress);
  return prepared->Finish({request.ReplaceExisting, request.AllowHiddenName}, progress);
}

}  // namespace corvane
