#include "app/flows/DecryptionFlow.h"

#include <sys/stat.h>

#include "app/flows/ContainerArchive.h"
#include "app/flows/WorkFolder.h"
#include "archive/Archives.h"
#include "common/SecureWipe.h"
#include "symmetric/Rijndael.h"

namespace corvane {
namespace fs = std::filesystem;

namespace {

// The session-key line is short (two blocks of a few hundred characters); a larger member is not one.
constexpr std::size_t kMaxSessionKeyFileSize = 1 << 16;

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

struct TPrivateKeyText {
  std::string P, Q, G, KeyStrength;
  ~TPrivateKeyText() {
    SecureWipe(P);
    SecureWipe(Q);
  }
};

// Loads the stored private key into kova. No stored key gives the same answer as a foreign container.
void LoadPrivateKey(TKOVA& kova, SettingsStore& settings) {
  TPrivateKeyText key;
  settings.OpenKey(kCorvaneKeyPath);
  key.P = settings.ReadString("KOVA", "P", "");
  key.Q = settings.ReadString("KOVA", "Q", "");
  key.G = settings.ReadString("KOVA", "G", "65537");
  key.KeyStrength = settings.ReadString("KOVA", "KeyStrength", "0");
  settings.CloseKey();
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

// Line 1 of the extracted session-key member.
std::string SessionKeyLine(const fs::path& file) {
  try {
    const std::vector<std::string> lines = SplitLines(ReadSmallFile(file, kMaxSessionKeyFileSize));
    return lines.empty() ? std::string() : lines.front();
  } catch (const EFileError&) {
    throw EContainerError(kBadContainerText);  // far too large to be a session-key line
  }
}

struct TSessionKey {
  std::string Text;
  ~TSessionKey() { SecureWipe(Text); }
};

}  // namespace

TContainerMembers InspectContainer(const fs::path& containerPath) {
  const fs::path container = fs::absolute(containerPath);
  CheckReadableFile(container);
  const std::vector<std::string> names = ListContainer(container);
  for (const std::string& name : names) {
    if (!SafeMemberName(name)) RefuseUnsafeName(name);
  }
  TContainerMembers members;
  int sessionKeyMembers = 0, payloadMembers = 0;
  for (const std::string& name : names) {
    if (EndsWith(name, ".RJN")) ++sessionKeyMembers, members.SessionKeyMember = name;
    if (EndsWith(name, ".Enc")) ++payloadMembers, members.PayloadMember = name;
  }
  if (names.size() != 2 || sessionKeyMembers != 1 || payloadMembers != 1) {
    throw EContainerError(kBadContainerText);
  }
  const std::string outputName = members.PayloadMember.substr(0, members.PayloadMember.size() - 4);
  if (!SafeMemberName(outputName)) RefuseUnsafeName(members.PayloadMember);
  members.OutputFile = container.parent_path() / outputName;
  // A folder that cannot be looked into shows up as a clear error when the work folder is made.
  std::error_code error;
  const fs::file_type existing = fs::symlink_status(members.OutputFile, error).type();
  members.OutputExists = existing != fs::file_type::not_found && existing != fs::file_type::none;
  return members;
}

TDecryptResult DecryptContainer(const TDecryptRequest& request, TKOVA& kova, SettingsStore& settings,
                                const TFlowProgress& progress) {
  const fs::path container = fs::absolute(request.Container);
  const fs::path folder = container.parent_path();
  const TContainerMembers members = InspectContainer(container);
  if (!request.ReplaceExisting && members.OutputExists) throw EOutputExists(members.OutputFile);

  TWorkFolder work(folder);
  // The session key comes first, so a container made for another key is refused before its payload, which
  // may be large, is written out. A name that cannot be put into a command is reached by extracting all.
  const bool separately = ExtractMember(container, work, members.SessionKeyMember, progress);
  if (!ExtractedFile(work / members.SessionKeyMember)) throw EContainerError(kDamagedContainerText);

  LoadPrivateKey(kova, settings);
  TSessionKey sessionKey;
  kova.DecryptText(SessionKeyLine(work / members.SessionKeyMember), sessionKey.Text);
  if (sessionKey.Text.empty()) throw ENotForYourKey();

  if (separately) ExtractMember(container, work, members.PayloadMember, progress);
  if (!ExtractedFile(work / members.PayloadMember)) throw EContainerError(kDamagedContainerText);

  const fs::path payload = work / members.PayloadMember;
  DecryptFileInPlace(payload, sessionKey.Text, [&progress](uint64_t done, uint64_t total) {
    return !progress || progress(TFlowStage::stDecrypting, done, total);
  });
  PlaceFile(payload, members.OutputFile, request.ReplaceExisting);
  return {members.OutputFile, folder};
}

}  // namespace corvane
