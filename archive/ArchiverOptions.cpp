#include "archive/ArchiverOptions.h"

#include <fstream>
#include <string_view>

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
  if (value.find('"') != std::string::npos)
    throw EArchiver("引用符 (\") を含む名前はコマンドに渡せません: " + value);
  if (name.empty()) {
    Append('"' + value + '"');
    return;
  }
  // A leading blank in the name asks for the switch without its "-".
  const std::string option = name[0] == ' ' ? name.substr(1) : "-" + name;
  if (SeparateValue)
    Append(option + " \"" + value + '"');
  else
    Append('"' + option + value + '"');
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
    const std::string mapped = MapFileName(name);
    // The library reads one name per line, so a quote inside a name is kept but a line break is not.
    if (mapped.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos)
      throw EArchiver("改行を含む名前はレスポンスファイルに書けません: " + mapped);
    content += '"' + mapped + "\"\r\n";
  }

  std::ofstream file(responseFileName, std::ios::binary | std::ios::trunc);
  if (file) file.write(content.data(), static_cast<std::streamsize>(content.size()));
  if (file) file.close();
  if (!file) throw EFileError("Cannot create file \"" + responseFileName + "\".");

  AppendQuoted("", "@" + responseFileName);
  return static_cast<int>(names.size());
}

}  // namespace corvane
