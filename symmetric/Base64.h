#pragma once
// Base64 (RFC 4648, standard alphabet, "=" padding) for the ciphers' text forms.

#include <optional>
#include <string>
#include <string_view>

namespace corvane {

std::string Base64Encode(std::string_view bytes);
// The decoded bytes, or nothing when `text` is not canonical Base64 (a character outside the alphabet,
// a length that is not a multiple of 4, misplaced padding, or nonzero bits after the last byte).
std::optional<std::string> Base64Decode(std::string_view text);

}  // namespace corvane
