#pragma once
// Whole-archive reading and the rules for member names.

#include <string>
#include <vector>

#include "platform/unlha32/ByteSource.h"
#include "platform/unlha32/LhaHeader.h"

namespace corvane::lha {

// Reads every header. 0, or UNLHA_ERROR_NOT_ARCHIVE when the input is empty, does not start with a header
// (the end mark alone, an empty archive, excepted) or holds a damaged one.
int ScanArchive(const TByteSource& source, std::vector<TMember>& members);

// The components of a name split at '/'; empty and "." components are left out. A '\' is an ordinary
// character here: the header reader has already turned the '\' separators of MS-DOS and Windows names
// into '/', and on Linux a file may have '\' in its name.
std::vector<std::string> Components(const std::string& name);
// A stored name is safe to extract when it has a component, no NUL, is not absolute, names no drive and
// has no ".." component.
bool IsSafeMemberName(const std::string& name);
// The last component.
std::string BareName(const std::string& name);
// Whether a pattern of a command names the member: it matches the whole stored name or, when it has no
// '/', the name's last component.
bool NamesMember(const std::string& pattern, const std::string& name);
// The name to store for a file given as `given`: its last component for bare names, else the path with
// any root, "." and ".." components left out.
std::string StoredName(const std::string& given, bool bare);

}  // namespace corvane::lha
