#include "app/flows/PublicKeyFile.h"

#include <algorithm>
#include <map>
#include <system_error>

#include "app/flows/FlowCommon.h"
#include "app/flows/PublicKeyCheck.h"
#include "app/flows/WorkFolder.h"

namespace corvane {
namespace fs = std::filesystem;

namespace {

// A 16384-bit key file is about 10 KB; anything much larger is not a key file.
constexpr std::size_t kMaxPublicKeyFileSize = 1 << 20;
// n = p^2 q of a 16384-bit key has at most 16386 bits: 4933 decimal digits.
constexpr std::size_t kMaxKeyNumberDigits = 4940;

}  // namespace

std::string PublicKeyFileText(const TPublicKeyText& key) {
  return key.N + "\r\n" + key.G + "\r\n" + key.KeyStrength + "\r\n";
}

namespace {

// The first three lines of a key file's bytes; path names the file in the refusals.
TPublicKeyText ParsePublicKeyFile(const std::string& data, const fs::path& path) {
  const std::vector<std::string> lines = SplitLines(data);
  if (lines.size() < 3) {
    throw EListError("公開鍵ファイル " + path.string() + " の行が足りません（" +
                     std::to_string(lines.size()) + " 行、3 行必要です）。");
  }
  // A number longer than the modulus of a 16384-bit key would only make the arithmetic crawl.
  for (std::size_t i = 0; i < 2; ++i) {
    if (lines[i].size() > kMaxKeyNumberDigits) {
      throw EPublicKeyFile("公開鍵ファイル " + path.string() + " の形式が正しくありません。");
    }
  }
  return {lines[0], lines[1], lines[2]};
}

}  // namespace

TPublicKeyText ReadPublicKeyFile(const fs::path& path) {
  return ParsePublicKeyFile(ReadSmallFile(path, kMaxPublicKeyFileSize), path);
}

EKeyDiffers::EKeyDiffers(fs::path installed, std::string installedFingerprint, std::string newFingerprint)
    : Exception("受信者 " + CutLastFour(installed.filename().string()) +
                " には別の公開鍵がインストールされています（" +
                (installedFingerprint.empty()
                     ? std::string("インストール済みのファイルは使える鍵ではありません")
                     : "インストール済みの鍵の指紋 " + installedFingerprint) +
                "、新しい鍵の指紋 " + newFingerprint + "）。"),
      fInstalled(std::move(installed)),
      fInstalledFingerprint(std::move(installedFingerprint)),
      fNewFingerprint(std::move(newFingerprint)) {}

namespace {

// The fingerprint of the key installed at target; empty when there is none or it is not a usable key.
std::string InstalledFingerprint(const fs::path& target) {
  try {
    return KeyFingerprint(LoadPublicKeyFile(target));
  } catch (const Exception&) {
    return "";
  }
}

}  // namespace

TInstalledKey InstallPublicKey(const fs::path& file, const fs::path& keyFolder, bool replaceDifferent) {
  const std::string name = file.filename().string();
  if (!EndsWith(name, kPublicKeyExtension)) {
    throw EPublicKeyFile(ReadableText(name) + " は公開鍵ファイル（.KVK）ではありません。");
  }
  if (name == kPublicKeyExtension) {
    throw EPublicKeyFile("名前のない公開鍵ファイル " + file.string() + " はインストールできません。");
  }
  CheckKeyFileKind(file);
  // The bytes checked are the bytes installed: the file is copied as it is, line ends included.
  const std::string data = ReadSmallFile(file, kMaxPublicKeyFileSize);
  const std::string fingerprint =
      KeyFingerprint(CheckPublicKey(ParsePublicKeyFile(data, file), "公開鍵ファイル " + file.string()));

  std::error_code error;
  fs::create_directories(keyFolder, error);
  if (error) {
    ThrowFileError(TFileAction::faWriteFolder, keyFolder, error.value());
  }
  const fs::path target = keyFolder / name;
  if (fs::exists(fs::symlink_status(target, error))) {
    if (fs::is_directory(target, error))
      throw EFileError("インストール先 " + target.string() + " はフォルダです。");
    const std::string installed = InstalledFingerprint(target);
    if (installed != fingerprint && !replaceDifferent) throw EKeyDiffers(target, installed, fingerprint);
  }
  WriteFileAtomically(target, data);
  return {target, fingerprint};
}

std::vector<TRecipient> ListRecipients(const fs::path& keyFolder) {
  std::vector<TRecipient> recipients;
  std::error_code error;
  fs::directory_iterator entries(keyFolder, error);
  if (error) return recipients;
  const std::string extension = Lower(kPublicKeyExtension);
  for (const fs::directory_entry& entry : entries) {
    const std::string name = entry.path().filename().string();
    std::error_code typeError;
    if (!EndsWith(Lower(name), extension) || !entry.is_regular_file(typeError)) continue;
    recipients.push_back({name.substr(0, name.size() - extension.size()), entry.path()});
  }
  // Names that only the extension's case tells apart are listed by their whole file names.
  std::map<std::string, int> uses;
  for (const TRecipient& recipient : recipients) ++uses[recipient.Name];
  for (TRecipient& recipient : recipients) {
    if (uses[recipient.Name] > 1) recipient.Name = recipient.File.filename().string();
  }
  std::sort(recipients.begin(), recipients.end(), [](const TRecipient& a, const TRecipient& b) {
    const std::string la = Lower(a.Name), lb = Lower(b.Name);
    return la != lb ? la < lb : a.Name < b.Name;
  });
  return recipients;
}

fs::path ResolveRecipient(const std::string& recipient, const fs::path& keyFolder) {
  auto found = [](const fs::path& path) {
    std::error_code error;
    return fs::exists(path, error);
  };
  const bool hasExtension = EndsWith(Lower(recipient), Lower(kPublicKeyExtension));
  if (recipient.find('/') != std::string::npos) {
    if (found(recipient)) return fs::absolute(recipient);
  } else if (!recipient.empty() && recipient != "." && recipient != "..") {
    if (hasExtension && found(keyFolder / recipient)) return keyFolder / recipient;
    if (found(keyFolder / (recipient + kPublicKeyExtension)))
      return keyFolder / (recipient + kPublicKeyExtension);
    for (const TRecipient& listed : ListRecipients(keyFolder)) {
      if (listed.Name == recipient) return listed.File;
    }
    if (hasExtension && found(recipient)) return fs::absolute(recipient);
  }
  throw EPublicKeyFile("受信者 " + ReadableText(recipient) + " の公開鍵ファイルが見つかりません。");
}

}  // namespace corvane
