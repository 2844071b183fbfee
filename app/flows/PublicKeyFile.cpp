#include "app/flows/PublicKeyFile.h"

#include <algorithm>
#include <cctype>
#include <system_error>

#include "app/flows/FlowCommon.h"
#include "app/flows/WorkFolder.h"

namespace corvane {
namespace fs = std::filesystem;

namespace {

// A 16384-bit key file is about 10 KB; anything much larger is not a key file.
constexpr std::size_t kMaxPublicKeyFileSize = 1 << 20;
// n = p^2 q of a 16384-bit key has at most 16386 bits: 4933 decimal digits.
constexpr std::size_t kMaxKeyNumberDigits = 4940;

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

bool IsDecimal(const std::string& text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

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

fs::path InstallPublicKey(const fs::path& file, const fs::path& keyFolder) {
  const std::string name = file.filename().string();
  if (!EndsWith(name, kPublicKeyExtension)) {
    throw EPublicKeyFile(name + " は公開鍵ファイル（.KVK）ではありません。");
  }
  // The bytes checked are the bytes installed: the file is copied as it is, line ends included.
  const std::string data = ReadSmallFile(file, kMaxPublicKeyFileSize);
  const TPublicKeyText key = ParsePublicKeyFile(data, file);
  if (!IsDecimal(key.N) || !IsDecimal(key.G)) {
    throw EPublicKeyFile("公開鍵ファイル " + file.string() + " の形式が正しくありません。");
  }
  KeyStrengthFromText(key.KeyStrength);

  std::error_code error;
  fs::create_directories(keyFolder, error);
  if (error) {
    ThrowFileError(TFileAction::faWriteFolder, keyFolder, error.value());
  }
  const fs::path target = keyFolder / name;
  WriteFileAtomically(target, data);
  return target;
}

std::vector<std::string> ListRecipients(const fs::path& keyFolder) {
  std::vector<std::string> names;
  std::error_code error;
  fs::directory_iterator entries(keyFolder, error);
  if (error) return names;
  for (const fs::directory_entry& entry : entries) {
    const std::string name = entry.path().filename().string();
    std::error_code typeError;
    if (!EndsWith(name, kPublicKeyExtension) || !entry.is_regular_file(typeError)) continue;
    names.push_back(name.substr(0, name.size() - 4));
  }
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    const std::string la = Lower(a), lb = Lower(b);
    return la != lb ? la < lb : a < b;
  });
  return names;
}

fs::path ResolveRecipient(const std::string& recipient, const fs::path& keyFolder) {
  auto found = [](const fs::path& path) {
    std::error_code error;
    return fs::is_regular_file(path, error);
  };
  if (recipient.find('/') != std::string::npos) {
    if (found(recipient)) return fs::absolute(recipient);
  } else if (!recipient.empty() && recipient != "." && recipient != "..") {
    const std::string withExtension =
        EndsWith(recipient, kPublicKeyExtension) ? recipient : recipient + kPublicKeyExtension;
    if (found(keyFolder / withExtension)) return keyFolder / withExtension;
    if (EndsWith(recipient, kPublicKeyExtension) && found(recipient)) return fs::absolute(recipient);
  }
  throw EPublicKeyFile("受信者 " + recipient + " の公開鍵ファイルが見つかりません。");
}

}  // namespace corvane
