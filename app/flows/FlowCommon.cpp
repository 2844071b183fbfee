#include "app/flows/FlowCommon.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <utility>

namespace corvane {

namespace {

std::string DiskFullText(const std::filesystem::path& folder, int error) {
  const std::string name = "\"" + folder.string() + "\"";
  if (error == EFBIG)
    return "ファイルがディスクの扱える大きさを超えるため、フォルダ " + name + " に書き込めません。";
  return "ディスクの空き容量が足りないため、フォルダ " + name + " に書き込めません。";
}

}  // namespace

EDiskFull::EDiskFull(const std::filesystem::path& folder, int error)
    : EFileError(DiskFullText(folder, error), folder, error) {}

bool DiskFullError(int error) {
  return error == ENOSPC || error == EDQUOT || error == EFBIG;
}

bool NameTaken(const std::filesystem::path& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0;
}

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

bool IsDecimal(std::string_view text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return lower;
}

int32_t KeyStrengthFromText(const std::string& text) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i == text.size()) throw EConvertError("'" + text + "' は正しい整数値ではありません");
  int64_t value = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c < '0' || c > '9') throw EConvertError("'" + text + "' は正しい整数値ではありません");
    // Saturate: anything past the 32-bit range is far outside the usable strengths anyway.
    if (value <= INT32_MAX) value = value * 10 + (c - '0');
  }
  if (negative) value = -value;
  if (value < INT32_MIN || value > INT32_MAX)
    throw EConvertError("'" + text + "' は正しい整数値ではありません");
  const auto strength = static_cast<int32_t>(value);
  CheckKeyStrength(strength);
  return strength;
}

void CheckKeyStrength(int32_t strength) {
  if (strength < kMinKeyStrength || strength > kMaxKeyStrength) {
    throw EKeyStrength("鍵の強度 " + std::to_string(strength) + " ビットは扱えません（" +
                       std::to_string(kMinKeyStrength) + "〜" + std::to_string(kMaxKeyStrength) + "）。");
  }
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      lines.push_back(std::move(line));
      line.clear();
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      line += c;
    }
  }
  if (!line.empty()) lines.push_back(std::move(line));
  return lines;
}

int OpenRegularFile(const std::filesystem::path& path, struct stat* info) {
  TDescriptor file{::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)};
  if (file.fd < 0) ThrowFileError(TFileAction::faOpen, path, errno);
  struct stat own {};
  struct stat& opened = info ? *info : own;
  if (::fstat(file.fd, &opened) != 0) ThrowFileError(TFileAction::faOpen, path, errno);
  if (S_ISDIR(opened.st_mode)) ThrowFileError(TFileAction::faOpen, path, EISDIR);
  if (!S_ISREG(opened.st_mode)) ThrowNotRegularFile(TFileAction::faOpen, path);
  return std::exchange(file.fd, -1);
}

void CheckReadableFile(const std::filesystem::path& path) {
  ::close(OpenRegularFile(path));
}

std::string ReadSmallFile(const std::filesystem::path& path, std::size_t maxSize) {
  const TDescriptor file{OpenRegularFile(path)};
  std::string data;
  char buffer[8192];
  for (;;) {
    const ssize_t got = ::read(file.fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) ThrowFileError(TFileAction::faRead, path, errno);
    if (got == 0) return data;
    if (data.size() + static_cast<std::size_t>(got) > maxSize)
      ThrowFileError(TFileAction::faRead, path, EFBIG);
    data.append(buffer, static_cast<std::size_t>(got));
  }
}

std::string CutLastFour(const std::string& name) {
  std::size_t end = name.size();
  for (int cut = 0; cut < 4 && end > 0; ++cut) {
    --end;
    // Step back over UTF-8 continuation bytes to the start of the character.
    while (end > 0 && (static_cast<unsigned char>(name[end]) & 0xC0) == 0x80) --end;
  }
  return name.substr(0, end);
}

}  // namespace corvane
