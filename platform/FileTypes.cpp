#include "platform/FileTypes.h"

#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>
#include <QString>
#include <sstream>
#include <system_error>

#include "common/Exception.h"
#include "platform/Folders.h"

namespace corvane {

namespace fs = std::filesystem;

namespace {

// The part of a mime type after the slash, e.g. "x-corvane-kvk".
std::string SubType(const std::string& mimeType) {
  const auto slash = mimeType.find('/');
  return slash == std::string::npos ? mimeType : mimeType.substr(slash + 1);
}

std::string XmlEscaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string MimePackage(const TFileType& type) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
         "  <mime-type type=\"" +
         XmlEscaped(type.MimeType) +
         "\">\n"
         "    <comment>" +
         XmlEscaped(type.Description) +
         "</comment>\n"
         "    <icon name=\"" +
         XmlEscaped(type.IconName()) +
         "\"/>\n"
         "    <glob pattern=\"" +
         XmlEscaped(type.Pattern) +
         "\" case-sensitive=\"true\"/>\n"
         "  </mime-type>\n"
         "</mime-info>\n";
}

std::string DesktopEntry(const TFileType& type, const fs::path& executable) {
  return "[Desktop Entry]\n"
         "Type=Application\n"
         "Name=Corvane\n"
         "Comment=" +
         type.Description +
         "\n"
         "Exec=" +
         DesktopExecLine(executable) +
         "\n"
         "Icon=" +
         type.IconName() +
         "\n"
         "MimeType=" +
         type.MimeType +
         ";\n"
         "NoDisplay=true\n"
         "Terminal=false\n";
}

QString FileText(const fs::path& path) {
  return QFile::decodeName(QByteArray::fromStdString(path.string()));
}

// Replaces the file as a whole, so a reader never sees half of it.
void WriteFile(const fs::path& path, const std::string& content) {
  std::error_code error;
  fs::create_directories(path.parent_path(), error);
  QSaveFile file(FileText(path));
  const bool written = file.open(QIODevice::WriteOnly) &&
                       file.write(content.data(), static_cast<qint64>(content.size())) ==
                           static_cast<qint64>(content.size()) &&
                       file.commit();
  if (!written) {
    throw EFileError(path.string() + " を書き込めません。(" + file.errorString().toStdString() + ")");
  }
}

// The file's bytes, "" when it does not exist. One that exists but cannot be read raises EFileError:
// mimeapps.list rewritten from nothing would lose every other program's defaults.
std::string ReadFile(const fs::path& path) {
  QFile file(FileText(path));
  if (!file.exists()) return {};
  if (!file.open(QIODevice::ReadOnly)) {
    throw EFileError(path.string() + " を読み込めません。(" + file.errorString().toStdString() + ")");
  }
  return file.readAll().toStdString();
}

int RunTool(const QString& program, const QStringList& arguments) {
  const QString found = QStandardPaths::findExecutable(program);
  if (found.isEmpty()) return -1;
  QProcess process;
  process.start(found, arguments);
  if (!process.waitForStarted() || !process.waitForFinished(60000)) return -1;
  return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& line : lines) out += line + "\n";
  return out;
}

std::string Trimmed(const std::string& s) {
  const auto first = s.find_first_not_of(" \t\r");
  if (first == std::string::npos) return {};
  const auto last = s.find_last_not_of(" \t\r");
  return s.substr(first, last - first + 1);
}

bool IsGroupHeader(const std::string& line) {
  const std::string t = Trimmed(line);
  return !t.empty() && t.front() == '[';
}

bool IsDefaultsHeader(const std::string& line) {
  return Trimmed(line) == "[Default Applications]";
}

// The key of a "key=value" line, trimmed ("" for other lines).
std::string KeyOf(const std::string& line) {
  const auto eq = line.find('=');
  return eq == std::string::npos ? std::string() : Trimmed(line.substr(0, eq));
}

std::string ValueOf(const std::string& line) {
  const auto eq = line.find('=');
  return eq == std::string::npos ? std::string() : Trimmed(line.substr(eq + 1));
}

}  // namespace

std::string TFileType::IconName() const {
  std::string name = MimeType;
  for (char& c : name)
    if (c == '/') c = '-';
  return name;
}

// "corvane-kvk" for "application/x-corvane-kvk".
static std::string ShortName(const std::string& mimeType) {
  std::string sub = SubType(mimeType);
  if (sub.rfind("x-", 0) == 0) sub.erase(0, 2);
  return sub;
}

std::string TFileType::DesktopId() const {
  return ShortName(MimeType) + ".desktop";
}

std::string TFileType::PackageName() const {
  return ShortName(MimeType) + ".xml";
}

TFileType PublicKeyFileType(std::string iconSvg) {
  return {"application/x-corvane-kvk", "*.KVK", "公開鍵ファイル", std::move(iconSvg)};
}

TFileType ContainerFileType(std::string iconSvg) {
  return {"application/x-corvane-kvx", "*.KVX", "暗号ファイル", std::move(iconSvg)};
}

std::string DesktopExecLine(const fs::path& executable) {
  // Inside a quoted argument '"', '`', '$' and '\' take a backslash; the entry's string escaping then
  // doubles every backslash, and '%' is written as "%%" so it is not taken for a field code.
  std::string quoted = "\"";
  for (char c : executable.string()) {
    if (c == '"' || c == '`' || c == '$') {
      quoted += "\\\\";
      quoted += c;
    } else if (c == '\\') {
      quoted += "\\\\\\\\";
    } else if (c == '%') {
      quoted += "%%";
    } else if (c == '\n') {
      quoted += "\\n";  // a raw line end would end the entry's line
    } else if (c == '\r') {
      quoted += "\\r";
    } else {
      quoted += c;
    }
  }
  return quoted + "\" %f";
}

TFileTypeRegistry::TFileTypeRegistry() : TFileTypeRegistry(DataHome(), ConfigHome()) {}

TFileTypeRegistry::TFileTypeRegistry(fs::path dataHome, fs::path configHome, TRunner runner)
    : dataHome_(std::move(dataHome)), configHome_(std::move(configHome)), runner_(std::move(runner)) {
  if (!runner_) runner_ = RunTool;
}

std::vector<fs::path> TFileTypeRegistry::Files(const TFileType& type) const {
  return {dataHome_ / "mime" / "packages" / type.PackageName(), dataHome_ / "applications" / type.DesktopId(),
          dataHome_ / "icons" / "hicolor" / "scalable" / "mimetypes" / (type.IconName() + ".svg")};
}

void TFileTypeRegistry::Register(const TFileType& type, const fs::path& executable) {
  const std::vector<fs::path> files = Files(type);
  WriteFile(files[0], MimePackage(type));
  WriteFile(files[1], DesktopEntry(type, executable));
  WriteFile(files[2], type.IconSvg);
  WriteFile(MimeAppsList(), SetDefaultApplication(ReadFile(MimeAppsList()), type.MimeType, type.DesktopId()));
}

void TFileTypeRegistry::Unregister(const TFileType& type) {
  std::error_code ignored;
  for (const fs::path& file : Files(type)) fs::remove(file, ignored);
  try {
    const std::string before = ReadFile(MimeAppsList());
    const std::string after = RemoveDefaultApplication(before, type.MimeType, type.DesktopId());
    if (after != before) WriteFile(MimeAppsList(), after);
  } catch (const EFileError&) {
    // A removal that cannot be done is passed over, as the deletion of an absent piece is.
  }
}

void TFileTypeRegistry::NotifyDesktop() {
  std::error_code ignored;
  const fs::path mime = dataHome_ / "mime";
  const fs::path applications = dataHome_ / "applications";
  fs::create_directories(mime / "packages", ignored);
  runner_(QStringLiteral("update-mime-database"), {FileText(mime)});
  if (fs::exists(applications, ignored))
    runner_(QStringLiteral("update-desktop-database"), {FileText(applications)});
}

std::string SetDefaultApplication(const std::string& list, const std::string& mimeType,
                                  const std::string& desktopId) {
  std::vector<std::string> lines = Lines(list);
  const std::string entry = mimeType + "=" + desktopId + ";";
  bool inDefaults = false;
  std::size_t groupEnd = lines.size();
  bool haveGroup = false;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (IsGroupHeader(lines[i])) {
      if (inDefaults) {
        groupEnd = i;
        break;
      }
      inDefaults = IsDefaultsHeader(lines[i]);
      haveGroup = haveGroup || inDefaults;
      continue;
    }
    if (inDefaults && KeyOf(lines[i]) == mimeType) {
      lines[i] = entry;
      return Joined(lines);
    }
  }
  if (!haveGroup) {
    if (!lines.empty() && !Trimmed(lines.back()).empty()) lines.push_back("");
    lines.push_back("[Default Applications]");
    lines.push_back(entry);
    return Joined(lines);
  }
  // Added after the group's last key, before blank lines that separate it from the next group.
  std::size_t at = groupEnd;
  while (at > 0 && Trimmed(lines[at - 1]).empty()) --at;
  lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), entry);
  return Joined(lines);
}

std::string RemoveDefaultApplication(const std::string& list, const std::string& mimeType,
                                     const std::string& desktopId) {
  std::vector<std::string> lines = Lines(list);
  bool inDefaults = false;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (IsGroupHeader(lines[i])) {
      inDefaults = IsDefaultsHeader(lines[i]);
      continue;
    }
    if (inDefaults && KeyOf(lines[i]) == mimeType) {
      const std::string value = ValueOf(lines[i]);
      if (value == desktopId || value == desktopId + ";") {
        lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(i));
        return Joined(lines);
      }
    }
  }
  return list;
}

}  // namespace corvane
