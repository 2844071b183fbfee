#include "app/flows/KeyPairFlow.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string_view>
#include <system_error>

#include "app/flows/PublicKeyFile.h"
#include "app/flows/WorkFolder.h"
#include "bigint/BigIntText.h"
#include "common/SecureWipe.h"

namespace corvane {
namespace fs = std::filesystem;

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

// n = P^2 Q of texts already known to be decimal.
std::string ModulusText(const TKeyPairTexts& key) {
  TBigInt p = BigIntFromDecimalText(key.P);
  const TBigInt n = BigIntMultiply(BigIntSquare(p), BigIntFromDecimalText(key.Q));
  BigIntRelease(p);
  return BigIntToDecimalText(n);
}

// The old file at `target` kept in the work folder, so that it can come back; false when there is none.
bool KeepAside(const fs::path& target, const fs::path& aside) {
  if (!NameTaken(target)) return false;
  if (::link(target.c_str(), aside.c_str()) == 0) return true;
  // No hard links here (or across whatever the name points to): a copy serves as well.
  std::error_code error;
  fs::copy(target, aside, fs::copy_options::copy_symlinks, error);
  if (error) {
    throw EFileError(
        "公開鍵ファイル " + target.string() + " を退避できません（" + SystemErrorText(error.value()) + "）。",
        target, error.value());
  }
  return true;
}

// Puts the old file back after a failed settings write (or removes the new one when there was none).
void Restore(const fs::path& target, const fs::path& aside, bool hadOld) {
  if (hadOld) {
    ::rename(aside.c_str(), target.c_str());
  } else {
    ::unlink(target.c_str());
  }
}

TKeyPairResult StoreKeyPairIn(const TWorkFolder& work, const TKeyPairTexts& key, const std::string& name,
                              SettingsStore& settings, const fs::path& programFolder, bool replaceFile) {
  const TPublicKey publicKey{ModulusText(key), key.G, KeyStrengthFromText(key.KeyStrength)};
  const std::string fileName = name + kPublicKeyExtension;
  const fs::path target = programFolder / fileName;
  WriteFileAtomically(work / fileName, PublicKeyFileText({publicKey.N, publicKey.G, key.KeyStrength}));

  const fs::path aside = work / "previous.KVK";
  const bool hadOld = replaceFile && KeepAside(target, aside);
  PlaceFile(work / fileName, target, replaceFile);
  try {
    settings.OpenKey(kCorvaneKeyPath);
    settings.WriteStrings("KOVA",
                          {{"P", key.P}, {"Q", key.Q}, {"G", key.G}, {"KeyStrength", key.KeyStrength}});
    settings.CloseKey();
  } catch (...) {
    settings.CloseKey();
    Restore(target, aside, hadOld);
    throw;
  }
  return {target, KeyFingerprint(publicKey)};
}

void CreateProgramFolder(const fs::path& programFolder) {
  std::error_code error;
  fs::create_directories(programFolder, error);
  if (error) {
    throw EFileError("フォルダ " + programFolder.string() + " を作成できません（" +
                         SystemErrorText(error.value()) + "）。",
                     programFolder, error.value());
  }
}

}  // namespace

TKeyPairTexts::~TKeyPairTexts() {
  SecureWipe(P);
  SecureWipe(Q);
}

bool PrivateKeyExists(SettingsStore& settings) {
  settings.OpenKey(kCorvaneKeyPath);
  const bool exists = settings.HasSubKey("KOVA");
  settings.CloseKey();
  return exists;
}

TKeyPairTexts ReadStoredKey(SettingsStore& settings) {
  TKeyPairTexts key;
  settings.OpenKey(kCorvaneKeyPath);
  key.P = settings.ReadString("KOVA", "P", "");
  key.Q = settings.ReadString("KOVA", "Q", "");
  key.G = settings.ReadString("KOVA", "G", "");
  key.KeyStrength = settings.ReadString("KOVA", "KeyStrength", "");
  settings.CloseKey();
  return key;
}

std::optional<TPublicKey> StoredPublicKey(SettingsStore& settings) {
  const TKeyPairTexts key = ReadStoredKey(settings);
  if (!IsDecimal(key.P) || !IsDecimal(key.Q) || !IsDecimal(key.G) || !IsDecimal(key.KeyStrength)) return {};
  // Longer than any usable key's numbers: not worth multiplying.
  if (std::max({key.P.size(), key.Q.size(), key.G.size()}) > 5000) return {};
  try {
    const int32_t strength = KeyStrengthFromText(key.KeyStrength);
    return TPublicKey{ModulusText(key), BigIntToDecimalText(BigIntFromDecimalText(key.G)), strength};
  } catch (const Exception&) {
    return {};
  }
}

void CheckFileName(const std::string& name) {
  // The longest file name Linux file systems take, in bytes.
  constexpr std::size_t kMaxFileNameBytes = 255;
  if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos ||
      name.find('\0') != std::string::npos ||
      name.size() + std::string_view(kPublicKeyExtension).size() > kMaxFileNameBytes) {
    throw EFileError("公開鍵ファイルの名前 \"" + ReadableText(name) + "\" は使えません。");
  }
}

std::optional<fs::path> ForeignPublicKeyFile(const std::string& name, SettingsStore& settings,
                                             const fs::path& programFolder, const TPublicKey* newKey) {
  CheckFileName(name);
  const fs::path file = programFolder / (name + kPublicKeyExtension);
  if (!NameTaken(file)) return {};
  std::error_code error;
  if (fs::is_directory(file, error))
    throw EFileError("公開鍵ファイルの名前 " + file.string() + " はフォルダです。");
  TPublicKey held;
  try {
    held = LoadPublicKeyFile(file);
  } catch (const Exception&) {
    return file;  // not a key at all
  }
  if (newKey && held == *newKey) return {};
  if (const std::optional<TPublicKey> stored = StoredPublicKey(settings); stored && held == *stored)
    return {};
  return file;
}

std::string ReplaceFileQuestionText(const fs::path& file) {
  return "公開鍵ファイル " + file.string() +
         " は既に存在し、保存されている鍵のものではありません。置き換えますか？";
}

TKeyPairResult CreateKeyPair(const TKeyPairRequest& request, TKOVA& kova, SettingsStore& settings,
                             const fs::path& programFolder, const TFlowProgress& progress) {
  CheckKeyStrength(request.KeyStrength);
  CheckFileName(request.Name);
  if (!request.ReplaceExistingKey && PrivateKeyExists(settings)) throw EKeyExists();
  if (const auto foreign = ForeignPublicKeyFile(request.Name, settings, programFolder);
      foreign && !request.ReplaceExistingFile) {
    throw EOutputExists(*foreign);
  }
  // A file there now is the stored key's public half or one the user agreed to replace; one that appears
  // during the generation is not replaced.
  const bool replaceFile = NameTaken(programFolder / (request.Name + kPublicKeyExtension));

  CreateProgramFolder(programFolder);
  // Made before the long key generation, so an unwritable folder is reported at once.
  TWorkFolder work(programFolder);

  kova.SetKeyStrength(request.KeyStrength);
  {
    TKeyProgressScope scope(kova, progress);
    kova.GenerateKeys();
  }
  TKeyPairTexts key;
  kova.GetPrivateKey(key.P, key.Q, key.G);
  key.KeyStrength = std::to_string(request.KeyStrength);
  return StoreKeyPairIn(work, key, request.Name, settings, programFolder, replaceFile);
}

TKeyPairResult StoreKeyPair(const TKeyPairTexts& key, const std::string& name, SettingsStore& settings,
                            const fs::path& programFolder, bool replaceFile) {
  CheckFileName(name);
  CreateProgramFolder(programFolder);
  TWorkFolder work(programFolder);
  return StoreKeyPairIn(work, key, name, settings, programFolder, replaceFile);
}

}  // namespace corvane
