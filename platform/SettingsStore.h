#pragma once
// The per-user settings store: a key path such as "\Software\Tessaly\Corvane" holding named subkeys of string
// values. On Linux the key is an INI file under the user's configuration folder, one INI group per subkey.

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class QSettings;
class QString;
class QVariant;

namespace corvane {

// The key under which Corvane keeps its settings and the private key.
inline constexpr const char* kCorvaneKeyPath = "\\Software\\Tessaly\\Corvane";

class SettingsStore {
 public:
  virtual ~SettingsStore() = default;

  // Opens the key at a registry-style path, creating it on the first write when it is missing.
  virtual void OpenKey(const std::string& keyPath) = 0;
  virtual void CloseKey() = 0;
  virtual bool HasSubKey(const std::string& subKey) = 0;
  virtual std::string ReadString(const std::string& subKey, const std::string& name,
                                 const std::string& defaultValue) = 0;
  virtual void WriteString(const std::string& subKey, const std::string& name, const std::string& value) = 0;
  // Writes several values of one subkey in the given order. The INI store makes them one atomic
  // replacement of the file, so a private key is never stored half old, half new.
  virtual void WriteStrings(const std::string& subKey,
                            const std::vector<std::pair<std::string, std::string>>& values);
};

// The INI file of a key path: the configuration folder, then the path's parts after "Software", the last
// one with ".ini" ("\Software\Tessaly\Corvane" gives <config>/Tessaly/Corvane.ini).
std::filesystem::path SettingsFileForKey(const std::filesystem::path& configHome, const std::string& keyPath);

// QSettings in IniFormat. The file has mode 0600 (it holds the private key) and every write replaces it
// atomically. Write failures raise EFileError.
class IniSettingsStore : public SettingsStore {
 public:
  // configHome defaults to ${XDG_CONFIG_HOME:-~/.config}.
  IniSettingsStore();
  explicit IniSettingsStore(std::filesystem::path configHome);
  ~IniSettingsStore() override;

  void OpenKey(const std::string& keyPath) override;
  void CloseKey() override;
  bool HasSubKey(const std::string& subKey) override;
  std::string ReadString(const std::string& subKey, const std::string& name,
                         const std::string& defaultValue) override;
  void WriteString(const std::string& subKey, const std::string& name, const std::string& value) override;
  void WriteStrings(const std::string& subKey,
                    const std::vector<std::pair<std::string, std::string>>& values) override;

  // The file of the open key (empty when no key is open).
  const std::filesystem::path& FilePath() const { return file_; }

 private:
  QSettings& Open();
  void PrepareFile();
  void Sync(const std::vector<std::pair<QString, QVariant>>& before);

  std::filesystem::path configHome_;
  std::filesystem::path file_;
  std::unique_ptr<QSettings> settings_;
};

// An in-memory store for tests: keeps every key path's values and records each write in order.
class MemorySettingsStore : public SettingsStore {
 public:
  struct Write {
    std::string keyPath, subKey, name, value;
    bool operator==(const Write&) const = default;
  };

  void OpenKey(const std::string& keyPath) override;
  void CloseKey() override;
  bool HasSubKey(const std::string& subKey) override;
  std::string ReadString(const std::string& subKey, const std::string& name,
                         const std::string& defaultValue) override;
  void WriteString(const std::string& subKey, const std::string& name, const std::string& value) override;

  // Values by key path, subkey and name.
  std::map<std::string, std::map<std::string, std::map<std::string, std::string>>> values;
  std::vector<Write> writes;
  std::string openKey;
  bool isOpen = false;
};

// The Boolean reading of a stored text: a number is true when non-zero; otherwise "true" and "false" without
// regard to case; anything else raises EConvertError "'<text>' は正しい論理型ではありません".
bool StrToBool(const std::string& text);
// The stored form of a Boolean: "-1" for true, "0" for false.
std::string BoolToStr(bool value);

}  // namespace corvane
