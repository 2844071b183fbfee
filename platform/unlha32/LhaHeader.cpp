#include "platform/unlha32/LhaHeader.h"

#include <ctime>
#include <vector>

#include "platform/unlha32/Crc16.h"
#include "platform/unlha32/MemberName.h"

namespace corvane::lha {
namespace {

// Most extension bytes one header may have. Level 2 bounds its chain by the 16-bit header size; a level-1
// chain has no total of its own and would otherwise be read as long as records follow.
constexpr uint64_t kMaxExtensionBytes = 1u << 20;

uint16_t Get16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t Get32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
uint64_t Get64(const uint8_t* p) {
  return Get32(p) | (static_cast<uint64_t>(Get32(p + 4)) << 32);
}

void Put16(std::string& s, uint16_t v) {
  s.push_back(static_cast<char>(v & 0xFF));
  s.push_back(static_cast<char>(v >> 8));
}
void Put32(std::string& s, uint32_t v) {
  Put16(s, static_cast<uint16_t>(v & 0xFFFF));
  Put16(s, static_cast<uint16_t>(v >> 16));
}

bool IsKnownMethodShape(const uint8_t* m) {
  return m[0] == '-' && m[4] == '-';
}

struct TExtensionFields {
  std::string fileName, dirName;            // bytes in the header's code page
  std::string utf16FileName, utf16DirName;  // UTF-16 little-endian
  bool hasFileName = false, hasDirName = false, hasUtf16FileName = false, hasUtf16DirName = false;
  bool hasCodePage = false, hasUnixTime = false, hasSizes = false;
  uint32_t codePage = 0;
  int64_t unixTime = 0;
  uint64_t compressedSize = 0, originalSize = 0;
};

// One extended header: type byte, then `size - 3` bytes of data (the last two bytes of the record are
// the next record's size and are not part of the data).
void ApplyExtension(const uint8_t* rec, size_t dataSize, TMember& m, TExtensionFields& f) {
  const uint8_t type = rec[0];
  const uint8_t* d = rec + 1;
  switch (type) {
    case 0x01:
      f.fileName.assign(reinterpret_cast<const char*>(d), dataSize);
      f.hasFileName = true;
      break;
    case 0x02:
      f.dirName.assign(reinterpret_cast<const char*>(d), dataSize);
      f.hasDirName = true;
      break;
    case 0x44:
      f.utf16FileName.assign(reinterpret_cast<const char*>(d), dataSize);
      f.hasUtf16FileName = true;
      break;
    case 0x45:
      f.utf16DirName.assign(reinterpret_cast<const char*>(d), dataSize);
      f.hasUtf16DirName = true;
      break;
    case 0x46:
      if (dataSize >= 4) {
        f.hasCodePage = true;
        f.codePage = Get32(d);
      }
      break;
    case 0x41:
      if (dataSize >= 24) {
        m.hasWindowsTimes = true;
        m.createTime = Get64(d);
        m.writeTime = Get64(d + 8);
        m.accessTime = Get64(d + 16);
      }
      break;
    case 0x42:
      if (dataSize >= 16) {
        f.hasSizes = true;
        f.compressedSize = Get64(d);
        f.originalSize = Get64(d + 8);
      }
      break;
    case 0x50:
      if (dataSize >= 2) {
        m.hasMode = true;
        m.mode = Get16(d);
      }
      break;
    case 0x54:
      if (dataSize >= 4) {
        f.hasUnixTime = true;
        f.unixTime = static_cast<int32_t>(Get32(d));
      }
      break;
    default:
      break;
  }
}

void ReplaceBackslashes(std::string& s) {
  for (char& c : s)
    if (c == '\\') c = '/';
}

// A name field in a code page. Folders are separated by 0xFF, a byte that no character of code page 932
// or UTF-8 contains, so the field is split there first and each piece decoded. MS-DOS and Windows separate
// folders with '\' as well (`backslashes`), but in code page 932 that byte is also the second byte of 表,
// ソ and many more; only a '\' that decoding shows to be a character of its own separates. A piece that does
// not decode is shown with U+FFFD, and the result is false.
bool DecodeField(const std::string& bytes, uint32_t codePage, bool backslashes, std::string& out) {
  out.clear();
  bool ok = true;
  for (size_t start = 0;;) {
    const size_t mark = bytes.find('\xFF', start);
    const std::string_view piece =
        std::string_view(bytes).substr(start, mark == std::string::npos ? std::string::npos : mark - start);
    std::string text;
    if (!DecodeCodePage(codePage, piece, text)) {
      ok = false;
      text = ReplaceInvalidUtf8(piece);
    }
    if (backslashes) ReplaceBackslashes(text);
    out += text;
    if (mark == std::string::npos) return ok;
    out.push_back('/');
    start = mark + 1;
  }
}

// A UTF-16 name field, as Windows writes it: folders separated by '\' or by the code unit 0xFFFF.
bool DecodeUtf16Field(const std::string& bytes, std::string& out) {
  out.clear();
  bool ok = true;
  size_t start = 0;
  for (size_t i = 0;; i += 2) {
    const bool end = i + 1 >= bytes.size();
    if (!end && !(bytes[i] == '\xFF' && bytes[i + 1] == '\xFF')) continue;
    // An odd last byte stays in the final piece, which then fails to decode.
    const std::string_view piece = std::string_view(bytes).substr(start, end ? std::string::npos : i - start);
    std::string text;
    if (!DecodeUtf16(piece, text)) {
      ok = false;
      text = "\xEF\xBF\xBD";
    }
    ReplaceBackslashes(text);
    out += text;
    if (end) return ok;
    out.push_back('/');
    start = i + 2;
  }
}

// The member's name in UTF-8. A code-page record decides how the name bytes read; without one, UTF-16
// records give the parts they hold, and bytes are UTF-8 when they are valid UTF-8, code page 932 (what
// Japanese Windows writes) otherwise. False when a part decodes in none of these.
bool DecodeName(const TExtensionFields& f, const std::string& baseName, bool backslashes, std::string& name) {
  const std::string& fileBytes = f.hasFileName ? f.fileName : baseName;
  const std::string dirBytes = f.hasDirName ? f.dirName : std::string();
  const bool declared = f.hasCodePage && f.codePage != 0 && IsKnownCodePage(f.codePage);
  const bool utf16File = !declared && f.hasUtf16FileName;
  const bool utf16Dir = !declared && f.hasUtf16DirName;
  uint32_t codePage = f.codePage;
  if (!declared) {
    const bool utf8 = (utf16File || IsValidUtf8(fileBytes)) && (utf16Dir || IsValidUtf8(dirBytes));
    codePage = utf8 ? kCodePageUtf8 : kCodePage932;
  }
  std::string dir, file;
  bool ok =
      utf16Dir ? DecodeUtf16Field(f.utf16DirName, dir) : DecodeField(dirBytes, codePage, backslashes, dir);
  ok = (utf16File ? DecodeUtf16Field(f.utf16FileName, file)
                  : DecodeField(fileBytes, codePage, backslashes, file)) &&
       ok;
  name = dir;
  if (!name.empty() && name.back() != '/' && !file.empty()) name.push_back('/');
  name += file;
  while (name.size() > 1 && name.back() == '/') name.pop_back();
  return ok;
}

// `backslashes`: a level 0 or 1 header, where '\' separates folders.
THeaderResult Finish(TMember& m, const TExtensionFields& f, const std::string& baseName, bool backslashes,
                     uint64_t sourceSize) {
  m.nameDecoded = DecodeName(f, baseName, backslashes, m.name);
  if (f.hasSizes) {
    m.compressedSize = f.compressedSize;
    m.originalSize = f.originalSize;
  }
  if (f.hasUnixTime) {
    m.unixTime = f.unixTime;
    m.dosStamp = UnixToDosStamp(m.unixTime);
  }
  if (m.dataOffset > sourceSize || m.compressedSize > sourceSize - m.dataOffset)
    return THeaderResult::kDamaged;
  if (m.name.empty()) return THeaderResult::kDamaged;
  return THeaderResult::kMember;
}

// Walks a chain of extended headers that starts at `offset` with first record size `size`. `limit` is
// where the chain must end (level 2: the end of the header); returns the bytes the chain occupies.
bool ReadExtensions(const TByteSource& src, uint64_t offset, uint16_t size, uint64_t limit, TMember& m,
                    TExtensionFields& f, uint64_t& chainBytes) {
  chainBytes = 0;
  std::vector<uint8_t> rec;
  while (size != 0) {
    if (size < 3 || chainBytes + size > kMaxExtensionBytes || offset + size > limit) return false;
    rec.resize(size);
    if (!src.ReadAt(offset, rec.data(), size)) return false;
    ApplyExtension(rec.data(), size - 3u, m, f);
    chainBytes += size;
    offset += size;
    size = Get16(rec.data() + size - 2);
  }
  return true;
}

THeaderResult ReadLevel0or1(const TByteSource& src, uint64_t offset, TMember& m) {
  uint8_t h[258];
  if (!src.ReadAt(offset, h, 2)) return THeaderResult::kDamaged;
  const size_t hsize = h[0];
  if (hsize < 22 || !src.ReadAt(offset, h, hsize + 2)) return THeaderResult::kDamaged;
  uint8_t sum = 0;
  for (size_t i = 2; i < hsize + 2; ++i) sum = static_cast<uint8_t>(sum + h[i]);
  if (sum != h[1] || !IsKnownMethodShape(h + 2)) return THeaderResult::kDamaged;
  m.method.assign(reinterpret_cast<const char*>(h + 2), 5);
  m.level = h[20];
  const uint64_t packed = Get32(h + 7);
  m.originalSize = Get32(h + 11);
  m.dosStamp = Get32(h + 15);
  m.unixTime = DosStampToUnix(m.dosStamp);
  const size_t nameLen = h[21];
  if (22 + nameLen + 2 > hsize + 2) return THeaderResult::kDamaged;
  const std::string baseName(reinterpret_cast<const char*>(h + 22), nameLen);
  m.crc = Get16(h + 22 + nameLen);
  const size_t extra = 24 + nameLen;  // first byte after the CRC
  TExtensionFields f;
  if (m.level == 0) {
    m.compressedSize = packed;
    m.os = 'M';
    // Optional Unix extension: OS byte 'U', minor version, time, mode, uid, gid.
    if (hsize + 2 >= extra + 1) m.os = h[extra];
    if (m.os == 'U' && hsize + 2 >= extra + 8) {
      f.hasUnixTime = true;
      f.unixTime = static_cast<int32_t>(Get32(h + extra + 2));
      m.hasMode = true;
      m.mode = Get16(h + extra + 6);
    }
    m.dataOffset = offset + hsize + 2;
    return Finish(m, f, baseName, true, src.Size());
  }
  // Level 1: OS byte and the first extension size close the base header.
  if (hsize + 2 < extra + 3) return THeaderResult::kDamaged;
  m.os = h[hsize - 1];
  const uint16_t first = Get16(h + hsize);
  uint64_t chain = 0;
  const uint64_t start = offset + hsize + 2;
  if (!ReadExtensions(src, start, first, src.Size(), m, f, chain)) return THeaderResult::kDamaged;
  if (packed < chain) return THeaderResult::kDamaged;
  m.compressedSize = packed - chain;
  m.dataOffset = start + chain;
  return Finish(m, f, baseName, true, src.Size());
}

THeaderResult ReadLevel2(const TByteSource& src, uint64_t offset, TMember& m) {
  uint8_t h[26];
  if (!src.ReadAt(offset, h, sizeof h)) return THeaderResult::kDamaged;
  const uint16_t total = Get16(h);
  if (total < 26 || !IsKnownMethodShape(h + 2)) return THeaderResult::kDamaged;
  std::vector<uint8_t> all(total);
  if (!src.ReadAt(offset, all.data(), total)) return THeaderResult::kDamaged;
  m.method.assign(reinterpret_cast<const char*>(h + 2), 5);
  m.level = 2;
  m.compressedSize = Get32(h + 7);
  m.originalSize = Get32(h + 11);
  m.unixTime = static_cast<int64_t>(Get32(h + 15));
  m.dosStamp = UnixToDosStamp(m.unixTime);
  m.crc = Get16(h + 21);
  m.os = h[23];
  TExtensionFields f;
  uint64_t chain = 0;
  const TMemorySource header(all.data(), all.size());
  if (!ReadExtensions(header, 26, Get16(h + 24), total, m, f, chain)) return THeaderResult::kDamaged;
  // The header CRC record (type 0) covers the whole header with its own two bytes counted as zero.
  for (uint64_t pos = 26, size = Get16(h + 24); size != 0;) {
    if (all[pos] == 0x00 && size >= 5) {
      const uint16_t stored = Get16(&all[pos + 1]);
      all[pos + 1] = all[pos + 2] = 0;
      if (Crc16(0, all.data(), all.size()) != stored) return THeaderResult::kDamaged;
      break;
    }
    const uint64_t next = Get16(&all[pos + size - 2]);
    pos += size;
    size = next;
  }
  m.dataOffset = offset + total;
  return Finish(m, f, std::string(), false, src.Size());
}

}  // namespace

THeaderResult ReadHeader(const TByteSource& source, uint64_t offset, TMember& member) {
  member = TMember{};
  member.headerOffset = offset;
  if (offset >= source.Size()) return THeaderResult::kEnd;
  uint8_t first[21];
  if (!source.ReadAt(offset, first, 1)) return THeaderResult::kDamaged;
  if (first[0] == 0) return THeaderResult::kEnd;
  if (!source.ReadAt(offset, first, sizeof first)) return THeaderResult::kDamaged;
  switch (first[20]) {
    case 0:
    case 1:
      return ReadLevel0or1(source, offset, member);
    case 2:
      return ReadLevel2(source, offset, member);
    default:
      return THeaderResult::kDamaged;
  }
}

std::string BuildLevel2Header(const TMember& m) {
  const bool big = m.compressedSize > 0xFFFFFFFFu || m.originalSize > 0xFFFFFFFFu;
  // The byte '/' is never part of a longer character in code page 932 or UTF-8, so the encoded name
  // splits where the given one does.
  const TEncodedName encoded = EncodeName(m.name);
  std::string dir, file = encoded.bytes;
  if (m.IsDirectory()) {
    dir = file + "/";
    file.clear();
  } else if (const auto slash = file.rfind('/'); slash != std::string::npos) {
    dir = file.substr(0, slash + 1);
    file = file.substr(slash + 1);
  }
  for (char& c : dir)
    if (c == '/') c = static_cast<char>(0xFF);

  std::vector<std::string> ext;
  ext.push_back(std::string(1, '\x00') + std::string(2, '\0'));  // header CRC, filled in below
  if (!m.IsDirectory()) ext.push_back(std::string(1, '\x01') + file);
  if (!dir.empty()) ext.push_back(std::string(1, '\x02') + dir);
  if (encoded.codePage != 0) {
    std::string e(1, '\x46');
    Put32(e, encoded.codePage);
    ext.push_back(e);
  }
  if (m.hasMode) {
    std::string e(1, '\x50');
    Put16(e, m.mode);
    ext.push_back(e);
  }
  if (big) {
    std::string e(1, '\x42');
    Put32(e, static_cast<uint32_t>(m.compressedSize));
    Put32(e, static_cast<uint32_t>(m.compressedSize >> 32));
    Put32(e, static_cast<uint32_t>(m.originalSize));
    Put32(e, static_cast<uint32_t>(m.originalSize >> 32));
    ext.push_back(e);
  }

  size_t total = 26;
  for (const auto& e : ext) total += e.size() + 2;
  // A header whose size has a zero low byte would read as the end-of-archive mark: pad it by one byte.
  const bool pad = (total & 0xFF) == 0;
  if (pad) ++total;

  std::string h;
  Put16(h, static_cast<uint16_t>(total));
  h += m.method;
  Put32(h, big ? 0xFFFFFFFFu : static_cast<uint32_t>(m.compressedSize));
  Put32(h, big ? 0xFFFFFFFFu : static_cast<uint32_t>(m.originalSize));
  Put32(h, static_cast<uint32_t>(m.unixTime));
  h.push_back(m.IsDirectory() ? '\x10' : '\x20');
  h.push_back('\x02');
  Put16(h, m.crc);
  h.push_back('U');
  Put16(h, static_cast<uint16_t>(ext[0].size() + 2));
  for (size_t i = 0; i < ext.size(); ++i) {
    h += ext[i];
    Put16(h, i + 1 < ext.size() ? static_cast<uint16_t>(ext[i + 1].size() + 2) : 0);
  }
  if (pad) h.push_back('\0');
  const uint16_t crc = Crc16(0, reinterpret_cast<const uint8_t*>(h.data()), h.size());
  h[27] = static_cast<char>(crc & 0xFF);
  h[28] = static_cast<char>(crc >> 8);
  return h;
}

uint64_t UnixToFileTime(int64_t unixTime) {
  return static_cast<uint64_t>((unixTime + 11644473600LL) * 10000000LL);
}

uint32_t UnixToDosStamp(int64_t unixTime) {
  const time_t t = static_cast<time_t>(unixTime);
  struct tm tm {};
  if (!localtime_r(&t, &tm) || tm.tm_year < 80) return (1u << 21) | (1u << 16);  // 1980-01-01
  if (tm.tm_year > 207) tm.tm_year = 207;
  const uint32_t date = static_cast<uint32_t>(((tm.tm_year - 80) << 9) | ((tm.tm_mon + 1) << 5) | tm.tm_mday);
  const uint32_t time = static_cast<uint32_t>((tm.tm_hour << 11) | (tm.tm_min << 5) | (tm.tm_sec / 2));
  return (date << 16) | time;
}

int64_t DosStampToUnix(uint32_t stamp) {
  struct tm tm {};
  tm.tm_year = static_cast<int>((stamp >> 25) & 0x7F) + 80;
  tm.tm_mon = static_cast<int>((stamp >> 21) & 0x0F) - 1;
  tm.tm_mday = static_cast<int>((stamp >> 16) & 0x1F);
  tm.tm_hour = static_cast<int>((stamp >> 11) & 0x1F);
  tm.tm_min = static_cast<int>((stamp >> 5) & 0x3F);
  tm.tm_sec = static_cast<int>((stamp & 0x1F) * 2);
  tm.tm_isdst = -1;
  const time_t t = mktime(&tm);
  return t == static_cast<time_t>(-1) ? 0 : static_cast<int64_t>(t);
}

}  // namespace corvane::lha
