#pragma once
// Association of Corvane's two file types with the program, the XDG way: a shared-mime-info package per
// type, a desktop entry that opens the type with the program, the type's icon in the hicolor theme and the
// default in mimeapps.list, all in the user's own data and configuration folders. Unregistering removes
// exactly those pieces; everything else in mimeapps.list is kept as it was.

#include <QStringList>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace corvane {

struct TFileType {
  std::string MimeType;     // "application/x-corvane-kvk"
  std::string Pattern;      // "*.KVK", matched with regard to case
  std::string Description;  // shown by file managers
  std::string IconSvg;      // the type's icon, an SVG document
  // The derived names: the icon's theme name, the desktop entry's and the mime package's file names.
  std::string IconName() const;
  std::string DesktopId() const;
  std::string PackageName() const;
};

// Public-key files (".KVK") and containers (".KVX"), with the icons given.
TFileType PublicKeyFileType(std::string iconSvg);
TFileType ContainerFileType(std::string iconSvg);

// The Exec line of a desktop entry that opens one file with the program: "E" %f, quoted by the rules of
// the desktop entry format.
std::string DesktopExecLine(const std::filesystem::path& executable);

class TFileTypeRegistry {
 public:
  // Runs a program with arguments; answers its exit status (-1 when it could not run).
  using TRunner = std::function<int(const QString& program, const QStringList& arguments)>;

  // Uses ${XDG_DATA_HOME:-~/.local/share} and ${XDG_CONFIG_HOME:-~/.config}.
  TFileTypeRegistry();
  TFileTypeRegistry(std::filesystem::path dataHome, std::filesystem::path configHome, TRunner runner = {});

  // Writes the type's pieces so that opening such a file runs the executable with the file's path.
  // A piece that cannot be written raises EFileError; pieces written before stay.
  void Register(const TFileType& type, const std::filesystem::path& executable);
  // Removes the type's pieces; pieces already absent, or that cannot be removed, are passed over.
  void Unregister(const TFileType& type);
  // Lets the desktop see the change: rebuilds the user's mime database and the desktop-entry cache with
  // update-mime-database and update-desktop-database when they are installed.
  void NotifyDesktop();

  // The files Register writes for the type (mimeapps.list, shared with others, is not among them).
  std::vector<std::filesystem::path> Files(const TFileType& type) const;
  std::filesystem::path MimeAppsList() const { return configHome_ / "mimeapps.list"; }

 private:
  std::filesystem::path dataHome_;
  std::filesystem::path configHome_;
  TRunner runner_;
};

// mimeapps.list edits, kept as text so that lines of other programs are untouched.
// Sets "mimeType=desktopId;" in [Default Applications] (adding the group when missing).
std::string SetDefaultApplication(const std::string& list, const std::string& mimeType,
                                  const std::string& desktopId);
// Removes the mime type's line from [Default Applications] when it names desktopId.
std::string RemoveDefaultApplication(const std::string& list, const std::string& mimeType,
                                     const std::string& desktopId);

}  // namespace corvane
