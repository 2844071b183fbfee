#pragma once
// The option set that carries an archiver's switches, the caller's file items, and the builder that turns
// switches and names into one command text.

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <variant>
#include <vector>

#include "archive/ArchiverErrors.h"
#include "common/Exception.h"

namespace corvane {

// A one-character text holding code 0: "this text switch is not set". An empty text is a set value.
inline const std::string kUnsetText(1, '\0');

// A contract of the command builder was broken (a required switch left unset).
class EAssertionFailed : public Exception {
  using Exception::Exception;
};

// A list of lines, as callers hand a string list over.
struct TStringList {
  std::vector<std::string> Strings;
};

// One item of a file list: a name, an array of names, or a string list. Empty names are skipped.
using TFileItem = std::variant<std::string, std::vector<std::string>, TStringList>;
using TFileItems = std::vector<TFileItem>;

// Every name of the items, in order, duplicates kept, empty names skipped.
std::vector<std::string> FlattenFileList(const TFileItems& items);

enum class TPackFilter : std::uint8_t {
  pfArchiver,   // the library selects the files to pack
  pfComponent,  // the component selects them itself
};

enum class TResFileUse : std::uint8_t { ruOnPack, ruOnUnpack, ruOnRemoveItem, ruOnUpdate };

// The operations that pass their file names through a response file (a set of TResFileUse).
class TResFileUsage {
 public:
  constexpr TResFileUsage() = default;
  constexpr TResFileUsage(std::initializer_list<TResFileUse> uses) {
    for (auto use : uses) Include(use);
  }
  constexpr bool Contains(TResFileUse use) const { return (bits_ >> static_cast<int>(use)) & 1u; }
  constexpr void Include(TResFileUse use) { bits_ |= static_cast<std::uint8_t>(1u << static_cast<int>(use)); }
  constexpr void Exclude(TResFileUse use) {
    bits_ &= static_cast<std::uint8_t>(~(1u << static_cast<int>(use)));
  }
  constexpr std::uint8_t Bits() const { return bits_; }
  constexpr bool operator==(const TResFileUsage&) const = default;

 private:
  std::uint8_t bits_ = 0;
};

// The switches of one archiver request. Numeric switches are -1 when not set; text switches hold
// kUnsetText when not set. Each field is named after the LHA switch it produces.
class TArchiverOptions {
 public:
  using Switch = std::int8_t;

  Switch a = -1, c = -1, e = -1, f = -1, h = -1, i = -1, l = -1, m = -1, n = -1, o = -1, p = -1, r = -1,
         s = -1, t = -1, u = -1;
  std::string w = kUnsetText;  // work directory
  Switch x = -1, y = -1, z = -1, jc = -1, jd = -1, je = -1, jf = -1, jh = -1, ji = -1, jm = -1, jn = -1;
  std::string jo = kUnsetText;   // lower date bound of the files to select
  std::string job = kUnsetText;  // upper date bound
  Switch jp = -1, jr = -1, jsb = -1, jsc = -1, jsd = -1, jse = -1, jsf = -1, jsl = -1, jso = -1, jss = -1,
         jst = -1, jsv = -1, jsz = -1, jw = -1;
  std::vector<std::string> jx;  // exclusion patterns
  Switch jyc = -1, jyd = -1, jyk = -1, jyn = -1, jyo = -1;
  std::string jz = kUnsetText;
  Switch ga = -1, gd = -1, ge = -1, gf = -1, gj = -1, gm = -1, gn = -1, go = -1, gp = -1;
  std::string gr = kUnsetText;
  Switch gs = -1, gu = -1, gw = -1;
  std::string UserOptions;   // appended verbatim after the switches
  std::string UserFileList;  // appended verbatim after the file names
  TPackFilter PackFilter = TPackFilter::pfComponent;
  std::string ResFileName;
  TResFileUsage ResFileUsage{TResFileUse::ruOnPack, TResFileUse::ruOnUnpack, TResFileUse::ruOnRemoveItem};

  // Back to the values of a new set.
  void Reset() { *this = TArchiverOptions(); }
  // Copies every switch of source; the exclusion patterns are copied line by line into this set's list.
  void Assign(const TArchiverOptions& source) { *this = source; }
};

// Builds a command text item by item; every item is preceded by one blank. Names are written in quotes, a
// quote inside them twice, so that a quoted token is always exactly one name; switches with a text value
// keep the switch outside the quotes (-jx"*.tmp") and a response file is @ followed by its quoted name. A
// code 0 would end the text early: values holding one raise EArchiver instead of reaching the library as a
// different command.
class TCmdOpt {
 public:
  // When true a switch with a text value is written as: switch, blank, quoted value; else as the switch
  // followed directly by the quoted value.
  bool SeparateValue = false;
  // Rewrites each file name before it is written; none by default.
  std::function<std::string(const std::string&)> NameMapper;
  std::string Text;

  void Append(const std::string& item);
  void AppendNumber(const std::string& name, std::int32_t value);
  void AppendFlag(const std::string& name, bool value);
  void AppendQuoted(const std::string& name, const std::string& value);
  void AppendDirectory(const std::string& name, const std::string& directory);
  std::string MapFileName(const std::string& fileName) const;
  void AppendFileName(const std::string& name, const std::string& fileName);
  int AppendFileList(const std::string& name, const TFileItems& items);
  int AppendFileList(const std::string& name, const std::vector<std::string>& names);
  // Writes the names, one quoted name per CR LF line (a line break inside a name stays inside its quotes),
  // into the response file (replacing it) and appends the item @"file". Raises EFileError when the file
  // cannot be written, EArchiver for a name that holds a code 0.
  int AppendResponseFile(const TFileItems& items, const std::string& responseFileName);
};

}  // namespace corvane
