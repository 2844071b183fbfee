#include "archive/Filters.h"

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <optional>
#include <system_error>

#include "common/FileErrors.h"

namespace corvane {

namespace fs = std::filesystem;

namespace {

// Attribute bits of a directory search, as the switches describe them.
constexpr unsigned kAttrReadOnly = 0x01;
constexpr unsigned kAttrHidden = 0x02;
constexpr unsigned kAttrSystem = 0x04;
constexpr unsigned kAttrDirectory = 0x10;
constexpr unsigned kAttrArchive = 0x20;
constexpr unsigned kFileMask = kAttrReadOnly | kAttrArchive;
constexpr unsigned kDirectoryMask = kAttrDirectory | kAttrHidden | kAttrSystem;

constexpr int kCenturyWindow = 50;

char FoldCase(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

TDateTime LocalSeconds(int year, unsigned month, unsigned day, int hour, int minute, int second) {
  using namespace std::chrono;
  const sys_days days{std::chrono::year{year} / std::chrono::month{month} / std::chrono::day{day}};
  return static_cast<TDateTime>(days.time_since_epoch().count()) * 86400 + hour * 3600 + minute * 60 + second;
}

int ParseDigits(const std::string& text, std::size_t from, std::size_t count, const std::string& whole) {
  int value = 0;
  for (std::size_t k = from; k < from + count; ++k) {
    const char c = text[k];
    if (c < '0' || c > '9') throw EConvertError("'" + whole + "' は正しい日付ではありません");
    value = value * 10 + (c - '0');
  }
  return value;
}

int CurrentLocalYear() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local.tm_year + 1900;
}

// The last-write time of a directory entry as local wall-clock seconds; 0 when it has none.
TDateTime LocalWriteTime(const fs::path& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0 || info.st_mtime == 0) return 0;
  std::tm local{};
  if (!localtime_r(&info.st_mtime, &local)) return 0;
  return LocalSeconds(local.tm_year + 1900, static_cast<unsigned>(local.tm_mon + 1),
                      static_cast<unsigned>(local.tm_mday), local.tm_hour, local.tm_min, local.tm_sec);
}

struct FoundEntry {
  std::string name;
  bool isDirectory = false;
  bool isLink = false;
  bool isRegular = false;  // a regular file, or a link to one
};

unsigned Attributes(const FoundEntry& entry) {
  unsigned attributes = kAttrArchive;
  if (entry.name[0] == '.') attributes |= kAttrHidden;
  if (entry.isDirectory) attributes |= kAttrDirectory;
  return attributes;
}

// The entries of a directory matching the mask whose hidden and directory attributes the attribute mask
// allows, in name order. A missing or unreadable directory has none.
std::vector<FoundEntry> FindEntries(const std::string& directory, const std::string& mask,
                                    unsigned attrMask) {
  std::vector<FoundEntry> found;
  const unsigned optional = kAttrHidden | kAttrSystem | kAttrDirectory;
  std::error_code error;
  if (mask.find_first_of("*?") == std::string::npos) {
    // A plain name: look at that one entry instead of reading the whole directory.
    if (mask.empty() || mask == "." || mask == "..") return found;
    const fs::path path = JoinPath(directory, mask);
    const auto linkStatus = fs::symlink_status(path, error);
    if (error || !fs::exists(linkStatus)) return found;
    const fs::file_status target = fs::status(path, error);
    FoundEntry entry{mask, fs::is_directory(target), fs::is_symlink(linkStatus), fs::is_regular_file(target)};
    if ((Attributes(entry) & optional & ~attrMask) == 0) found.push_back(std::move(entry));
    return found;
  }
  fs::directory_iterator it(directory.empty() ? fs::path(".") : fs::path(directory), error);
  for (; !error && it != fs::directory_iterator(); it.increment(error)) {
    FoundEntry entry;
    entry.name = it->path().filename().string();
    if (!MatchesMask(entry.name, mask)) continue;
    std::error_code statError;
    entry.isDirectory = it->is_directory(statError);
    entry.isLink = it->is_symlink(statError);
    entry.isRegular = it->is_regular_file(statError);
    if ((Attributes(entry) & optional & ~attrMask) != 0) continue;
    found.push_back(std::move(entry));
  }
  std::sort(found.begin(), found.end(), [](const auto& l, const auto& r) { return l.name < r.name; });
  return found;
}

// Restores the current directory it found when it made the base directory current.
class BaseDirectoryScope {
 public:
  explicit BaseDirectoryScope(const std::string& baseDirectory) {
    if (baseDirectory.empty()) return;
    std::error_code error;
    const fs::path current = fs::current_path(error);
    if (error) ThrowFileError(TFileAction::faOpen, ".", error.value());
    saved_ = current;
    fs::current_path(baseDirectory, error);
    if (error) {
      throw EFileError(
          "フォルダ \"" + baseDirectory + "\" に移れません（" + SystemErrorText(error.value()) + "）。",
          baseDirectory, error.value());
    }
  }
  ~BaseDirectoryScope() {
    if (!saved_) return;
    std::error_code ignored;
    fs::current_path(*saved_, ignored);
  }
  BaseDirectoryScope(const BaseDirectoryScope&) = delete;
  BaseDirectoryScope& operator=(const BaseDirectoryScope&) = delete;

 private:
  std::optional<fs::path> saved_;
};

// One selection pass: its bounds, masks, exclusions and the sorted result.
class SearchContext {
 public:
  SearchContext(const TArchiverOptions& options, const std::string& baseDirectory, bool& cancel,
                const TSelectProgress* progress, const TStringList* exclusions)
      : options_(options),
        baseDirectory_(baseDirectory),
        cancel_(cancel),
        progress_(progress),
        exclusions_(exclusions) {
    from_ = ParseDateBound(options.jo, "000000");
    to_ = ParseDateBound(options.job, "235959");
    attrMask_ = options.a >= 1 ? (kFileMask | kAttrHidden | kAttrSystem) : kFileMask;
  }

  TStringList SearchPatterns(const std::vector<std::string>& patterns, bool searchAll) {
    for (const auto& pattern : patterns) {
      if (cancel_) break;
      std::error_code error;
      if (options_.r > 1 && fs::is_directory(pattern, error)) {
        SearchDirectory(pattern, "*.*");
      } else {
        SearchDirectory(DirectoryPart(pattern), NamePart(pattern));
      }
    }
    if (patterns.empty() && searchAll) SearchDirectory("", "*.*");
    return std::move(result_);
  }

 private:
  static std::string DirectoryPart(const std::string& pattern) {
    const auto slash = pattern.rfind('/');
    if (slash == std::string::npos) return "";
    if (slash == 0) return "/";
    return pattern.substr(0, slash);
  }

  void SearchDirectory(const std::string& directory, const std::string& mask) {
    for (const auto& entry : FindEntries(directory, mask, attrMask_)) {
      if (cancel_) return;
      // Only regular files are packed: opening a FIFO would wait for a writer forever, and a link that
      // leads nowhere, a socket or a device has no content to pack.
      if (!entry.isRegular) continue;
      const TDateTime written = LocalWriteTime(JoinPath(directory, entry.name));
      if (InDateRange(written, from_, to_)) AddSelected(EntryName(directory, entry.name));
    }
    const bool wildcards = mask.find_first_of("*?") != std::string::npos;
    if (options_.r < 1 || (options_.p > 0 && !wildcards)) return;
    for (const auto& entry : FindEntries(directory, "*.*", kDirectoryMask)) {
      if (cancel_) return;
      // Links to directories are not followed: a link back up the tree would never end the search.
      if (entry.isDirectory && !entry.isLink) SearchDirectory(EntryName(directory, entry.name), mask);
    }
  }

  std::string EntryName(const std::string& directory, const std::string& name) const {
    std::string joined = JoinPath(directory, name);
    if (options_.jf != -2 || baseDirectory_.empty() || joined[0] != '/') return joined;
    // An absolute name below the base directory becomes relative to it.
    std::error_code error;
    const fs::path base = fs::absolute(baseDirectory_, error).lexically_normal();
    const fs::path relative = fs::path(joined).lexically_normal().lexically_relative(base);
    return relative.empty() ? joined : relative.string();
  }

  void AddSelected(const std::string& name) {
    if (exclusions_ &&
        std::binary_search(exclusions_->Strings.begin(), exclusions_->Strings.end(), name, LessText))
      return;
    auto& names = result_.Strings;
    const auto at = std::lower_bound(names.begin(), names.end(), name, LessText);
    if (at != names.end() && *at == name) return;
    names.insert(at, name);
    if (!progress_ || !*progress_) return;
    const std::size_t length = std::min(name.size(), sizeof(record_.szSourceFileName) - 1);
    std::memcpy(record_.szSourceFileName, name.data(), length);
    record_.szSourceFileName[length] = '\0';
    (*progress_)(kSelectedFileState, &record_, cancel_);
  }

  const TArchiverOptions& options_;
  const std::string& baseDirectory_;
  bool& cancel_;
  const TSelectProgress* progress_;
  const TStringList* exclusions_;
  TDateTime from_ = 0;
  TDateTime to_ = 0;
  unsigned attrMask_ = kFileMask;
  TUnlhaProgress record_{};
  TStringList result_;
};

}  // namespace

TStringList SelectFiles(TArchiverOptions& options, const std::string& baseDirectory, const TFileItems& items,
                        const TSelectProgress& progress, bool& cancel) {
  const auto patterns = FlattenFileList(items);
  BaseDirectoryScope scope(baseDirectory);
  bool neverCancelled = false;
  const TStringList exclusions = SearchContext(options, baseDirectory, neverCancelled, nullptr, nullptr)
                                     .SearchPatterns(options.jx, false);
  TStringList selected =
      SearchContext(options, baseDirectory, cancel, &progress, &exclusions).SearchPatterns(patterns, true);
  // The names are final: the library must neither recurse again nor filter by date.
  options.r = -1;
  options.jo = kUnsetText;
  options.job = kUnsetText;
  options.p = 1;
  return selected;
}

TDateTime ParseDateBound(const std::string& text, const std::string& defaultTime) {
  std::string bound = text.size() > 1 && text[0] == 'l' ? text.substr(1) : text;
  std::size_t yearDigits = 0;
  switch (bound.size()) {
    case 6:
    case 12:
      yearDigits = 2;
      break;
    case 8:
    case 14:
      yearDigits = 4;
      break;
    default:
      return 0;
  }
  if (bound.size() == yearDigits + 4) bound += defaultTime;
  if (bound.size() != yearDigits + 10) return 0;

  int year = ParseDigits(bound, 0, yearDigits, text);
  if (yearDigits == 2) year = ExpandTwoDigitYear(year);
  const int month = ParseDigits(bound, yearDigits, 2, text);
  const int day = ParseDigits(bound, yearDigits + 2, 2, text);
  const int hour = ParseDigits(bound, yearDigits + 4, 2, text);
  const int minute = ParseDigits(bound, yearDigits + 6, 2, text);
  const int second = ParseDigits(bound, yearDigits + 8, 2, text);

  const std::chrono::year_month_day date{std::chrono::year{year},
                                         std::chrono::month{static_cast<unsigned>(month)},
                                         std::chrono::day{static_cast<unsigned>(day)}};
  if (year < 1 || !date.ok()) throw EConvertError("'" + text + "' は正しい日付ではありません");
  if (hour > 23 || minute > 59 || second > 59) throw EConvertError("'" + text + "' is not a valid time");
  return LocalSeconds(year, static_cast<unsigned>(month), static_cast<unsigned>(day), hour, minute, second);
}

int ExpandTwoDigitYear(int twoDigitYear) {
  return ExpandTwoDigitYear(twoDigitYear, CurrentLocalYear());
}

int ExpandTwoDigitYear(int twoDigitYear, int currentYear) {
  const int windowStart = currentYear - kCenturyWindow;
  int year = twoDigitYear + (windowStart / 100) * 100;
  if (kCenturyWindow > 0 && year < windowStart) year += 100;
  return year;
}

bool InDateRange(TDateTime t, TDateTime from, TDateTime to) {
  if (from != 0 && t < from) return false;
  if (to != 0 && t > to) return false;
  return true;
}

std::string JoinPath(const std::string& directory, const std::string& name) {
  if (directory.empty()) return name;
  if (directory.back() == '/') return directory + name;
  return directory + '/' + name;
}

std::string NamePart(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool MatchesMask(const std::string& name, const std::string& mask) {
  if (mask == "*.*") return true;
  // Iterative wildcard match: remember the last "*" and retry from one character further on a mismatch.
  std::size_t n = 0, m = 0, starMask = std::string::npos, starName = 0;
  while (n < name.size()) {
    if (m < mask.size() && (mask[m] == '?' || mask[m] == name[n])) {
      ++n;
      ++m;
    } else if (m < mask.size() && mask[m] == '*') {
      starMask = m++;
      starName = n;
    } else if (starMask != std::string::npos) {
      m = starMask + 1;
      n = ++starName;
    } else {
      return false;
    }
  }
  while (m < mask.size() && mask[m] == '*') ++m;
  return m == mask.size();
}

bool LessText(const std::string& left, const std::string& right) {
  const auto folded =
      std::lexicographical_compare(left.begin(), left.end(), right.begin(), right.end(), [](char l, char r) {
        return static_cast<unsigned char>(FoldCase(l)) < static_cast<unsigned char>(FoldCase(r));
      });
  if (folded) return true;
  const auto foldedReverse =
      std::lexicographical_compare(right.begin(), right.end(), left.begin(), left.end(), [](char l, char r) {
        return static_cast<unsigned char>(FoldCase(l)) < static_cast<unsigned char>(FoldCase(r));
      });
  if (foldedReverse) return false;
  return left < right;
}

}  // namespace corvane
