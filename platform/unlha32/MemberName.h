#pragma once
// Member names between the bytes of a header and UTF-8. Japanese Windows writes names in its code page
// 932 (Shift_JIS as Windows-31J, with the NEC and IBM extensions); names outside it travel as UTF-8 with a
// code-page record saying so. The C library's iconv does every conversion.

#include <cstdint>
#include <string>
#include <string_view>

namespace corvane::lha {

constexpr uint32_t kCodePage932 = 932;
constexpr uint32_t kCodePageUtf8 = 65001;

// Well-formed UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsValidUtf8(std::string_view bytes);

// True when iconv has a converter for the Windows code page.
bool IsKnownCodePage(uint32_t codePage);

// `bytes` in the Windows code page as UTF-8; false when they are not valid in it.
bool DecodeCodePage(uint32_t codePage, std::string_view bytes, std::string& utf8);
// UTF-16 little-endian as UTF-8; false for an odd length or an unpaired surrogate.
bool DecodeUtf16(std::string_view bytes, std::string& utf8);

// At most `length` bytes of the start of a UTF-8 text, fewer where `length` would cut a character in two.
std::string Utf8Prefix(std::string_view text, size_t length);

// For showing a name that cannot be decoded: its valid UTF-8 kept, every other byte as U+FFFD.
std::string ReplaceInvalidUtf8(std::string_view bytes);

struct TEncodedName {
  std::string bytes;
  uint32_t codePage = 0;  // 0: `bytes` are the name as given, which is not valid UTF-8
};

// What a name given in UTF-8 is stored as: code page 932 when every character has a code there that reads
// back as the same character, else UTF-8. (Some characters share a code with another one, such as U+301C
// and U+FF5E or U+00A5 and '\', and would come back as the other.)
TEncodedName EncodeName(const std::string& utf8);

}  // namespace corvane::lha
