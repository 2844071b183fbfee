#include "archive/ArchiverOptions.h"

#include <cerrno>
#include <fstream>

#include "common/FileErrors.h"

namespace corvane {

namespace {

struct NameCollector {
  std::vector<std::string>& names;
  void Add(const std::string& name) {
    if (!name.empty()) names.push_back(name);
  }
  void operator()(const std::string& name) { Add(name); }
  void operator()(const std::vector<std::string>& list) {
    for (const auto& name : list) Add(name);
  }
  void operator()(const TStringList& list) {
    for (const auto& name : list.Strings) Add(name);
  }
};

// The value in quotes, each quote inside written twice: the library reads "" within quotes as one quote,
// and a reader that does not still finds no blank outside the quotes, so the value stays one token.
std::string QuotedText(const std::string& value) {
  std::string quoted = "\"";
  for (const char c : value) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + '"';
}

}  // namespace

std::vector<std::string> FlattenFileList(const TFileItems& items) {
  std::vector<std::string> names;
  NameCollector collector{names};
  for (const auto& item : items) std::visit(collector, item);
  return names;
}

void TCmdOpt::Append(const std::string& item) {
  if (item.find('\0') != std::string::npos)
    throw EArchiver("コマンドに code 0 の文字を含めることはできません。");
  Text += ' ';
  Text += item;
}

void TCmdOpt::AppendNumber(const std::string& name, std::int32_t value) {
  if (value >= 0) Append("-" + name + std::to_string(value));
}

void TCmdOpt::AppendFlag(const std::string& name, bool value) {
  if (value) Append("-" + name);
}

void TCmdOpt::AppendQuoted(const std::string& name, const std::string& value) {
  if (value == kUnsetText) return;
  if (name.empty()) {
    Append(QuotedText(value));
    return;
  }
  // A leading blank in the name asks for the switch without its "-". The switch itself stays outside the
  // quotes, so that a quoted token is always a name, also one that starts with "-".
  const std::string option = name[0] == ' ' ? name.substr(1) : "-" + name;
  if (SeparateValue)
    Append(option + " " + QuotedText(value));
  else
    Append(option + QuotedText(value));
}

void TCmdOpt::AppendDirectory(const std::string& name, const std::string& directory) {
  if (directory.empty() || directory == kUnsetText) return;
  // In UTF-8 a final '/' byte is always the character itself, never part of a longer sequence.
  AppendQuoted(name, directory.back() == '/' ? directory : directory + '/');
}

std::string TCmdOpt::MapFileName(const std::string& fileName) const {
  return NameMapper ? NameMapper(fileName) : fileName;
}

void TCmdOpt::AppendFileName(const std::string& name, const std::string& fileName) {
  AppendQuoted(name, MapFileName(fileName));
}

int TCmdOpt::AppendFileList(const std::string& name, const std::vector<std::string>& names) {
  for (const auto& fileName : names) AppendFileName(name, fileName);
  return static_cast<int>(names.size());
}

int TCmdOpt::AppendFileList(const std::string& name, const TFileItems& items) {
  return AppendFileList(name, FlattenFileList(items));
}

int TCmdOpt::AppendResponseFile(const TFileItems& items, const std::string& responseFileName) {
  const auto names = FlattenFileList(items);
  std::string content;
  for (const auto& name : names) {
    // One quoted name per line; inside the quotes a line break is part of the name, as on the command.
    const std::string mapped = MapFileName(name);
    if (mapped.find('\0') != std::string::npos)
      throw EArchiver("コマンドに code 0 の文字を含めることはできません。");
    content += QuotedText(mapped) + "\r\n";
  }

  std::ofstream file(responseFileName, std::ios::binary | std::ios::trunc);
  if (file) file.write(content.data(), static_cast<std::streamsize>(content.size()));
  if (file) file.close();
  if (!file) ThrowFileError(TFileAction::faCreate, responseFileName, errno);

  // The "@" outside the quotes: "@name" in quotes is a file name.
  Append("@" + QuotedText(responseFileName));
  return static_cast<int>(names.size());
}

}  // namespace corvane
