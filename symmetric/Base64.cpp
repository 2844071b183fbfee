#include "symmetric/Base64.h"

#include <array>
#include <cstdint>

namespace corvane {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr std::array<int8_t, 256> MakeValues() {
  std::array<int8_t, 256> values{};
  for (auto& v : values) v = -1;
  for (int i = 0; i < 64; ++i) values[static_cast<uint8_t>(kAlphabet[i])] = static_cast<int8_t>(i);
  return values;
}

constexpr std::array<int8_t, 256> kValues = MakeValues();

}  // namespace

std::string Base64Encode(std::string_view bytes) {
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const uint32_t v = uint32_t{static_cast<uint8_t>(bytes[i])} << 16 |
                       uint32_t{static_cast<uint8_t>(bytes[i + 1])} << 8 | static_cast<uint8_t>(bytes[i + 2]);
    for (int shift = 18; shift >= 0; shift -= 6) out += kAlphabet[(v >> shift) & 63];
  }
  const std::size_t left = bytes.size() - i;
  if (left > 0) {
    uint32_t v = uint32_t{static_cast<uint8_t>(bytes[i])} << 16;
    if (left == 2) v |= uint32_t{static_cast<uint8_t>(bytes[i + 1])} << 8;
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += left == 2 ? kAlphabet[(v >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

std::optional<std::string> Base64Decode(std::string_view text) {
  if (text.size() % 4 != 0) return std::nullopt;
  std::string out;
  out.reserve(text.size() / 4 * 3);
  for (std::size_t i = 0; i < text.size(); i += 4) {
    const bool last = i + 4 == text.size();
    // Padding may only end the text: "xx==" or "xxx=".
    const int padding = last ? (text[i + 3] == '=') + (text[i + 3] == '=' && text[i + 2] == '=') : 0;
    uint32_t v = 0;
    for (int j = 0; j < 4 - padding; ++j) {
      const int8_t value = kValues[static_cast<uint8_t>(text[i + j])];
      if (value < 0) return std::nullopt;
      v |= static_cast<uint32_t>(value) << (18 - 6 * j);
    }
    const int bytes = 3 - padding;
    // The bits below the last whole byte must be zero, so every byte string has exactly one text.
    if (bytes < 3 && (v & (0xFFFFFFu >> (8 * bytes))) != 0) return std::nullopt;
    for (int j = 0; j < bytes; ++j) out += static_cast<char>(v >> (16 - 8 * j));
  }
  return out;
}

}  // namespace corvane
