#pragma once
// The component's own selection of the files to pack: patterns are searched in the file system, filtered by
// attributes, date bounds and exclusions, and collected into one sorted list of existing files.

#include <cstdint>
#include <functional>
#include <string>

#include "archive/ArchiverOptions.h"
#include "platform/unlha32/unlha32.h"

namespace corvane {

// A local wall-clock time in seconds since 1970-01-01 00:00; 0 means "no bound" or "no time".
using TDateTime = std::int64_t;

// The state reported for each newly selected file.
constexpr std::int32_t kSelectedFileState = 0x805;

// Called for each newly selected file with kSelectedFileState and the progress record (szSourceFileName
// holds the name, at most 512 bytes); setting cancel stops the search.
using TSelectProgress = std::function<void(std::int32_t state, TUnlhaProgress* progressRecord, bool& cancel)>;

// Searches the patterns of the items (paths whose last part may hold "*" and "?") with the switches a, r,
// p, jf, jo, job and jx of the option set, from the base directory when one is given (made current while
// the search runs). Returns the regular files found (a link counts as the file it leads to; FIFOs,
// sockets, devices and links that lead nowhere are left out), sorted without regard to case. Afterwards the
// option set is adjusted for the library: r and the date bounds unset, p = 1. Stops early once cancel is
// set.
TStringList SelectFiles(TArchiverOptions& options, const std::string& baseDirectory, const TFileItems& items,
                        const TSelectProgress& progress, bool& cancel);

// A date bound of the jo/job switches: [l]YYMMDD, [l]YYMMDDhhmmss, [l]YYYYMMDD or [l]YYYYMMDDhhmmss;
// defaultTime ("hhmmss") completes a bound without time. Other lengths give 0; digits that do not form a
// valid date or time raise EConvertError.
TDateTime ParseDateBound(const std::string& text, const std::string& defaultTime);
// A two-digit year placed in the hundred years that starts 50 years before the current local year.
int ExpandTwoDigitYear(int twoDigitYear);
int ExpandTwoDigitYear(int twoDigitYear, int currentYear);
// Inclusive bounds; a bound of 0 is no bound.
bool InDateRange(TDateTime t, TDateTime from, TDateTime to);

// The name alone for an empty directory, else the directory and the name joined by one "/".
std::string JoinPath(const std::string& directory, const std::string& name);
// The last part of a path (after the last "/").
std::string NamePart(const std::string& path);
// Whether a file name matches a mask of "*" and "?" wildcards; "*.*" matches every name.
bool MatchesMask(const std::string& name, const std::string& mask);
// Case-insensitive order of texts (ASCII letters folded), ties broken by the exact bytes.
bool LessText(const std::string& left, const std::string& right);

}  // namespace corvane
