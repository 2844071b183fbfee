#include "app/flows/KeyPairFlow.h"

#include <string_view>
#include <system_error>

#include "app/flows/PublicKeyFile.h"
#include "app/flows/WorkFolder.h"
#include "common/SecureWipe.h"

namespace corvane {
namespace fs = std::filesystem;

// A name is used as typed, but it must name one file inside the program folder.
void CheckFileName(const std::string& name) {
  // The longest file name Linux file systems take, in bytes.
  constexpr std::size_t kMaxFileNameBytes = 255;
  if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos ||
      name.find('\0') != std::string::npos ||
      name.size() + std::string_view(kPublicKeyExtension).size() > kMaxFileNameBytes) {
    throw EFileError("Cannot create file \"" + name + kPublicKeyExtension + "\": invalid file name");
  }
}

namespace {

// Routes the key object's per-candidate report to the flow's progress, which may cancel.
class TKeyProgressScope {
 public:
  TKeyProgressScope(TKOVA& kova, const TFlowProgress& progress) : fKova(kova) {
    if (!progress) return;
    kova.SetProgress([&progress, total = uint64_t{0}](int /*prime*/, int /*candidates*/) mutable {
      if (!progress(TFlowStage::stKeyGeneration, ++total, 0)) throw ECancelled();
    });
  }
  ~TKeyProgressScope() { fKova.SetProgress(nullptr); }

 private:
  TKOVA& fKova;
};

}  // namespace

bool PrivateKeyExists(SettingsStore& settings) {
  settings.OpenKey(kCorvaneKeyPath);
  const bool exists = settings.HasSubKey("KOVA");
  settings.CloseKey();
  return exists;
}

TKeyPairResult CreateKeyPair(const TKeyPairRequest& request, TKOVA& kova, SettingsStore& settings,
                             const fs::path& programFolder, const TFlowProgress& progress) {
  CheckKeyStrength(request.KeyStrength);
  CheckFileName(request.Name);
  if (!request.ReplaceExistingKey && PrivateKeyExists(settings)) throw EKeyExists();

  std::error_code error;
  fs::create_directories(programFolder, error);
  if (error) throw EFileError("Cannot create folder \"" + programFolder.string() + "\": " + error.message());
  // Made before the long key generation, so an unwritable folder is reported at once.
  TWorkFolder work(programFolder);

  kova.SetKeyStrength(request.KeyStrength);
  {
    TKeyProgressScope scope(kova, progress);
    kova.GenerateKeys();
  }
  std::string n, g, p, q;
  kova.GetPublicKey(n, g);
  kova.GetPrivateKey(p, q, g);
  const std::string strength = std::to_string(request.KeyStrength);

  const std::string fileName = request.Name + kPublicKeyExtension;
  WriteFileAtomically(work / fileName, PublicKeyFileText({n, g, strength}));

  settings.OpenKey(kCorvaneKeyPath);
  try {
    settings.WriteStrings("KOVA", {{"P", p}, {"Q", q}, {"G", g}, {"KeyStrength", strength}});
  } catch (...) {
    settings.CloseKey();
    SecureWipe(p);
    SecureWipe(q);
    throw;
  }
  settings.CloseKey();
  SecureWipe(p);
  SecureWipe(q);

  const fs::path publicKeyFile = programFolder / fileName;
  PlaceFile(work / fileName, publicKeyFile, true);
  return {publicKeyFile};
}

}  // namespace corvane
