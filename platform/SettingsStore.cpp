#include "platform/SettingsStore.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QSettings>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <cctype>
#include <system_error>

#include "common/Exception.h"
#include "platform/Folders.h"

namespace corvane {
namespace fs = std::filesystem;

namespace {

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

QString ValueKey(const std::string& subKey, const std::string& name) {
  return Q(subKey + "/" + name);
}

// QSettings reads an unquoted "a,b" as a list; the stored text is the list joined back.
std::string VariantText(const QVariant& value) {
  if (value.typeId() == QMetaType::QStringList) return value.toStringList().join(",").toStdString();
  return value.toString().toStdString();
}

[[noreturn]] void ThrowWriteError(const fs::path& file, const std::string& reason) {
  throw EFileError("設定ファイル " + file.string() + " に書き込めません。(" + reason + ")");
}

}  // namespace

void SettingsStore::WriteStrings(const std::string& subKey,
                                 const std::vector<std::pair<std::string, std::string>>& values) {
  for (const auto& [name, value] : values) WriteString(subKey, name, value);
}

fs::path SettingsFileForKey(const fs::path& configHome, const std::string& keyPath) {
  std::vector<std::string> parts;
  std::string part;
  for (char c : keyPath + "\\") {
    if (c == '\\' || c == '/') {
      // Empty parts, "." and ".." would lead out of the configuration folder.
      if (!part.empty() && part != "." && part != "..") parts.push_back(part);
      part.clear();
    } else {
      part += c;
    }
  }
  if (!parts.empty() && parts.front() == "Software") parts.erase(parts.begin());
  if (parts.empty()) parts.push_back("Corvane");
  fs::path file = configHome;
  for (std::size_t i = 0; i + 1 < parts.size(); ++i) file /= parts[i];
  return file / (parts.back() + ".ini");
}

IniSettingsStore::IniSettingsStore() : IniSettingsStore(ConfigHome()) {}
IniSettingsStore::IniSettingsStore(fs::path configHome) : configHome_(std::move(configHome)) {}
IniSettingsStore::~IniSettingsStore() = default;

void IniSettingsStore::OpenKey(const std::string& keyPath) {
  CloseKey();
  file_ = SettingsFileForKey(configHome_, keyPath);
}

void IniSettingsStore::CloseKey() {
  settings_.reset();
  file_.clear();
}

QSettings& IniSettingsStore::Open() {
  if (file_.empty()) OpenKey(kCorvaneKeyPath);
  if (settings_) return *settings_;
  const QString file = QString::fromStdString(file_.string());
  settings_ = std::make_unique<QSettings>(file, QSettings::IniFormat);
  // QSettings keeps the first error it meets: after reading a file with a format error it reports
  // FormatError after every sync, whether that wrote the file or not, and never the access error of a write
  // that failed. A second QSettings on the file shares what the first one read, without its error, so
  // its status speaks of its own writes.
  settings_->childGroups();
  if (settings_->status() == QSettings::FormatError) {
    auto again = std::make_unique<QSettings>(file, QSettings::IniFormat);
    again->childGroups();
    settings_ = std::move(again);
  }
  return *settings_;
}

bool IniSettingsStore::HasSubKey(const std::string& subKey) {
  return Open().childGroups().contains(Q(subKey));
}

std::string IniSettingsStore::ReadString(const std::string& subKey, const std::string& name,
                                         const std::string& defaultValue) {
  const QVariant value = Open().value(ValueKey(subKey, name));
  return value.isValid() ? VariantText(value) : defaultValue;
}

// The file is created with mode 0600 before QSettings first writes it: QSettings writes a temporary file
// that takes the existing file's mode and renames it into place, so the private key never sits in a file
// others may read. A new folder is made private as well.
void IniSettingsStore::PrepareFile() {
  const fs::path folder = file_.parent_path();
  std::error_code error;
  if (!fs::exists(folder, error)) {
    fs::create_directories(folder, error);
    if (error) ThrowWriteError(file_, error.message());
    ::chmod(folder.c_str(), 0700);
  }
  const int fd = ::open(file_.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) ThrowWriteError(file_, std::generic_category().message(errno));
  const int changed = ::fchmod(fd, 0600);
  const int savedErrno = errno;
  ::close(fd);
  if (changed != 0) ThrowWriteError(file_, std::generic_category().message(savedErrno));
}

// Restores the values a failed write replaced: QSettings keeps unsaved values for every reader of the file
// in the process, and they must not pass for stored ones.
void IniSettingsStore::Sync(const std::vector<std::pair<QString, QVariant>>& before) {
  settings_->sync();
  if (settings_->status() == QSettings::NoError) return;
  for (const auto& [key, value] : before) {
    if (value.isValid()) {
      settings_->setValue(key, value);
    } else {
      settings_->remove(key);
    }
  }
  settings_.reset();
  ThrowWriteError(file_, "QSettings");
}

void IniSettingsStore::WriteString(const std::string& subKey, const std::string& name,
                                   const std::string& value) {
  WriteStrings(subKey, {{name, value}});
}

void IniSettingsStore::WriteStrings(const std::string& subKey,
                                    const std::vector<std::pair<std::string, std::string>>& values) {
  QSettings& settings = Open();
  PrepareFile();
  std::vector<std::pair<QString, QVariant>> before;
  for (const auto& [name, value] : values) {
    const QString key = ValueKey(subKey, name);
    before.emplace_back(key, settings.value(key));
    settings.setValue(key, Q(value));
  }
  Sync(before);
}

void MemorySettingsStore::OpenKey(const std::string& keyPath) {
  openKey = keyPath;
  isOpen = true;
}

void MemorySettingsStore::CloseKey() {
  isOpen = false;
}

bool MemorySettingsStore::HasSubKey(const std::string& subKey) {
  const auto key = values.find(openKey);
  return key != values.end() && key->second.count(subKey) != 0;
}

std::string MemorySettingsStore::ReadString(const std::string& subKey, const std::string& name,
                                            const std::string& defaultValue) {
  const auto key = values.find(openKey);
  if (key == values.end()) return defaultValue;
  const auto sub = key->second.find(subKey);
  if (sub == key->second.end()) return defaultValue;
  const auto value = sub->second.find(name);
  return value == sub->second.end() ? defaultValue : value->second;
}

void MemorySettingsStore::WriteString(const std::string& subKey, const std::string& name,
                                      const std::string& value) {
  values[openKey][subKey][name] = value;
  writes.push_back({openKey, subKey, name, value});
}

namespace {

// A decimal number: optional sign, digits with at most one decimal point, an optional exponent.
// Surrounding blanks are allowed. The result says whether the text is one, and whether it is non-zero.
bool ReadNumber(const std::string& text, bool& nonZero) {
  std::size_t i = 0;
  const std::size_t n = text.size();
  auto blank = [&](std::size_t k) { return k < n && (text[k] == ' ' || text[k] == '\t'); };
  auto digit = [&](std::size_t k) { return k < n && std::isdigit(static_cast<unsigned char>(text[k])); };
  while (blank(i)) ++i;
  if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
  bool anyDigit = false;
  nonZero = false;
  while (digit(i)) anyDigit = true, nonZero |= text[i++] != '0';
  if (i < n && text[i] == '.') {
    ++i;
    while (digit(i)) anyDigit = true, nonZero |= text[i++] != '0';
  }
  if (!anyDigit) return false;
  if (i < n && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
    if (!digit(i)) return false;
    while (digit(i)) ++i;
  }
  while (blank(i)) ++i;
  return i == n;
}

bool SameTextAscii(const std::string& a, const char* b) {
  std::size_t i = 0;
  for (; i < a.size() && b[i] != '\0'; ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return i == a.size() && b[i] == '\0';
}

}  // namespace

bool StrToBool(const std::string& text) {
  bool nonZero = false;
  if (ReadNumber(text, nonZero)) return nonZero;
  if (SameTextAscii(text, "true")) return true;
  if (SameTextAscii(text, "false")) return false;
  throw EConvertError("'" + text + "' は正しい論理型ではありません");
}

std::string BoolToStr(bool value) {
  return value ? "-1" : "0";
}

}  // namespace corvane
