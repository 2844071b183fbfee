#include "platform/unlha32/MemberName.h"

#include <iconv.h>

#include <cerrno>

namespace corvane::lha {
namespace {

constexpr const char* kUtf8 = "UTF-8";

// glibc's name for a Windows code page: "CP932" is Windows-31J, "CP1252" Western European, ...
std::string IconvName(uint32_t codePage) {
  return "CP" + std::to_string(codePage);
}

// One strict conversion: false when iconv has no such converter or the input is not valid in `from`.
bool Convert(const char* to, const char* from, std::string_view in, std::string& out) {
  const iconv_t cd = ::iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  std::string input(in);
  char* src = input.data();
  size_t srcLeft = input.size();
  // Four output bytes per input byte hold every conversion made here; E2BIG grows the buffer anyway.
  std::string buffer(input.size() * 4 + 16, '\0');
  size_t used = 0;
  bool ok = true, flushed = false;
  while (ok && !flushed) {
    char* dst = buffer.data() + used;
    size_t dstLeft = buffer.size() - used;
    // Once the input is consumed, one more call flushes whatever state the converter keeps.
    const bool flushing = srcLeft == 0;
    const size_t r = flushing ? ::iconv(cd, nullptr, nullptr, &dst, &dstLeft)
                              : ::iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    used = buffer.size() - dstLeft;
    if (r != static_cast<size_t>(-1)) {
      flushed = flushing;
    } else if (errno == E2BIG) {
      buffer.resize(buffer.size() * 2);
    } else {
      ok = false;  // EILSEQ: not valid in `from`, or no code for it in `to`; EINVAL: cut inside a character
    }
  }
  ::iconv_close(cd);
  if (ok) out.assign(buffer, 0, used);
  return ok;
}

// The length of the well-formed UTF-8 sequence at `s[i]`, or 0.
size_t Utf8SequenceAt(std::string_view s, size_t i) {
  const auto byte = [&](size_t k) { return static_cast<uint8_t>(s[k]); };
  const uint8_t b = byte(i);
  if (b < 0x80) return 1;
  size_t n;
  uint8_t lo = 0x80, hi = 0xBF;  // the allowed range of the second byte
  if (b >= 0xC2 && b <= 0xDF) {
    n = 2;
  } else if (b >= 0xE0 && b <= 0xEF) {
    n = 3;
    if (b == 0xE0) lo = 0xA0;  // overlong
    if (b == 0xED) hi = 0x9F;  // surrogates
  } else if (b >= 0xF0 && b <= 0xF4) {
    n = 4;
    if (b == 0xF0) lo = 0x90;  // overlong
    if (b == 0xF4) hi = 0x8F;  // above U+10FFFF
  } else {
    return 0;
  }
  if (s.size() - i < n || byte(i + 1) < lo || byte(i + 1) > hi) return 0;
  for (size_t k = 2; k < n; ++k)
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
  return n;
}

}  // namespace

bool IsValidUtf8(std::string_view bytes) {
  for (size_t i = 0; i < bytes.size();) {
    const size_t n = Utf8SequenceAt(bytes, i);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

bool IsKnownCodePage(uint32_t codePage) {
  if (codePage == kCodePageUtf8) return true;
  const iconv_t cd = ::iconv_open(kUtf8, IconvName(codePage).c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  ::iconv_close(cd);
  return true;
}

bool DecodeCodePage(uint32_t codePage, std::string_view bytes, std::string& utf8) {
  if (codePage == kCodePageUtf8) {
    if (!IsValidUtf8(bytes)) return false;
    utf8.assign(bytes);
    return true;
  }
  return Convert(kUtf8, IconvName(codePage).c_str(), bytes, utf8);
}

bool DecodeUtf16(std::string_view bytes, std::string& utf8) {
  return bytes.size() % 2 == 0 && Convert(kUtf8, "UTF-16LE", bytes, utf8) && IsValidUtf8(utf8);
}

std::string Utf8Prefix(std::string_view text, size_t length) {
  if (text.size() <= length) return std::string(text);
  while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) --length;
  return std::string(text.substr(0, length));
}

std::string ReplaceInvalidUtf8(std::string_view bytes) {
  std::string out;
  for (size_t i = 0; i < bytes.size();) {
    const size_t n = Utf8SequenceAt(bytes, i);
    if (n == 0) {
      out += "\xEF\xBF\xBD";
      ++i;
    } else {
      out.append(bytes.substr(i, n));
      i += n;
    }
  }
  return out;
}

TEncodedName EncodeName(const std::string& utf8) {
  if (!IsValidUtf8(utf8)) return {utf8, 0};
  std::string cp932, back;
  if (Convert(IconvName(kCodePage932).c_str(), kUtf8, utf8, cp932) &&
      DecodeCodePage(kCodePage932, cp932, back) && back == utf8) {
    return {cp932, kCodePage932};
  }
  return {utf8, kCodePageUtf8};
}

}  // namespace corvane::lha
