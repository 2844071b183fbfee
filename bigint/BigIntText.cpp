// Decimal, bit, byte and radix-64 forms of integers and byte strings.
//
// The conversions work on the digits directly instead of through intermediate bit texts: decimal text
// is read nine characters at a time (value := value * 10^9 + chunk) and written by repeated division by
// 10^9, which is linear per chunk rather than per bit.
#include "bigint/BigIntText.h"

#include <algorithm>
#include <array>

#include "bigint/BigIntInternal.h"
#include "common/SecureWipe.h"

namespace corvane {

namespace {

constexpr uint32_t kChunkBase = 1000000000;
constexpr size_t kChunkChars = 9;

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// The chunk as it may appear in a UTF-8 message: bytes that do not form valid UTF-8 become '?'.
std::string PrintableChunk(std::string_view chunk) {
  std::string out;
  size_t i = 0;
  while (i < chunk.size()) {
    const auto lead = static_cast<unsigned char>(chunk[i]);
    size_t length = lead < 0x80           ? 1
                    : (lead >> 5) == 0x6  ? 2
                    : (lead >> 4) == 0xE  ? 3
                    : (lead >> 3) == 0x1E ? 4
                                          : 0;
    bool valid = length > 0 && i + length <= chunk.size() && !(length == 1 && lead < 0x20);
    for (size_t j = 1; valid && j < length; ++j)
      valid = (static_cast<unsigned char>(chunk[i + j]) & 0xC0) == 0x80;
    if (valid) {
      out.append(chunk.substr(i, length));
      i += length;
    } else {
      out.push_back('?');
      ++i;
    }
  }
  return out;
}

[[noreturn]] void ThrowNotAnInteger(std::string_view chunk) {
  throw EConvertError("'" + PrintableChunk(chunk) + "' は整数ではありません");
}

// Checks the chunks from the right, as they are converted, and reports the first that is not decimal.
void RequireDecimalChunks(std::string_view digits) {
  if (digits.empty()) ThrowNotAnInteger(digits);
  size_t end = digits.size();
  while (end > 0) {
    const size_t begin = end > kChunkChars ? end - kChunkChars : 0;
    const std::string_view chunk = digits.substr(begin, end - begin);
    if (!std::all_of(chunk.begin(), chunk.end(), IsDigit)) ThrowNotAnInteger(chunk);
    end = begin;
  }
}

uint32_t ChunkValue(std::string_view chunk) {
  uint32_t v = 0;
  for (const char c : chunk) v = v * 10 + static_cast<uint32_t>(c - '0');
  return v;
}

// digits := digits * m + add, with m, add < 2^31.
void MultiplyAdd(std::vector<uint32_t>& digits, uint32_t m, uint32_t add) {
  uint64_t carry = add;
  for (uint32_t& digit : digits) {
    const uint64_t t = uint64_t{digit} * m + carry;
    digit = static_cast<uint32_t>(t & kDigitMask);
    carry = t >> kDigitBits;
  }
  if (carry != 0) digits.push_back(static_cast<uint32_t>(carry));
}

int Radix64Value(char c) {
  if (c >= 'a' && c <= 'z') return 2 * (c - 'a');
  if (c >= 'A' && c <= 'Z') return 2 * (c - 'A') + 1;
  if (c >= '0' && c <= '9') return 52 + (c - '0');
  if (c == '+') return 62;
  if (c == '=') return 63;
  return -1;
}

bool Bit(const TBigInt& v, uint64_t i) {
  return (v.digits[i / kDigitBits] >> (i % kDigitBits)) & 1;
}

// digits := floor(digits / 10^9), trimmed; returns the remainder. The divisor is a constant, so the
// compiler turns each division into a multiplication.
uint32_t DivideByChunkBase(std::vector<uint32_t>& digits) {
  uint64_t rem = 0;
  for (size_t j = digits.size(); j-- > 0;) {
    const uint64_t t = (rem << kDigitBits) | digits[j];
    digits[j] = static_cast<uint32_t>(t / kChunkBase);
    rem = t % kChunkBase;
  }
  bigint_internal::Trim(digits);
  return static_cast<uint32_t>(rem);
}

}  // namespace

TBigInt BigIntFromDecimalText(std::string_view text) {
  TBigInt result;
  if (text.empty()) return result;
  while (text.size() > 1 && text[0] != '-' && !IsDigit(text[0])) text.remove_prefix(1);
  const bool negative = text[0] == '-';
  if (negative) text.remove_prefix(1);
  while (text.size() > 1 && text[0] == '0') text.remove_prefix(1);
  RequireDecimalChunks(text);
  const size_t leading = text.size() % kChunkChars == 0 ? kChunkChars : text.size() % kChunkChars;
  MultiplyAdd(result.digits, kChunkBase, ChunkValue(text.substr(0, leading)));
  for (size_t pos = leading; pos < text.size(); pos += kChunkChars)
    MultiplyAdd(result.digits, kChunkBase, ChunkValue(text.substr(pos, kChunkChars)));
  bigint_internal::Trim(result.digits);
  result.signFlag = negative ? 0 : 1;
  return result;
}

std::string BigIntToDecimalText(const TBigInt& value) {
  std::vector<uint32_t> work = value.digits;
  std::vector<uint32_t> chunks;  // least significant first
  do {
    chunks.push_back(DivideByChunkBase(work));
  } while (!bigint_internal::IsZeroDigits(work));
  std::string text = value.signFlag == 0 ? "-" : "";
  text += std::to_string(chunks.back());
  for (size_t i = chunks.size() - 1; i-- > 0;) {
    const std::string part = std::to_string(chunks[i]);
    text.append(kChunkChars - part.size(), '0');
    text += part;
  }
  SecureWipe(work);
  SecureWipe(chunks);
  return text;
}

TBigInt BigIntFromBitText(std::string_view text) {
  TBigInt result;
  result.digits.assign(text.size() / kDigitBits + 1, 0);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[text.size() - 1 - i] == '1') result.digits[i / kDigitBits] |= uint32_t{1} << (i % kDigitBits);
  }
  bigint_internal::Trim(result.digits);
  return result;
}

std::string BigIntToBitText(const TBigInt& value) {
  const uint64_t bits = BigIntBitLength(value);
  if (bits == 0) return "0";
  std::string text(bits, '0');
  for (uint64_t i = 0; i < bits; ++i) {
    if (Bit(value, i)) text[bits - 1 - i] = '1';
  }
  return text;
}

TBigInt BigIntFromBytes(std::string_view bytes) {
  TBigInt result;
  result.digits.assign(bytes.size() * 8 / kDigitBits + 1, 0);
  for (size_t i = 0; i < bytes.size() * 8; ++i) {
    const auto byte = static_cast<unsigned char>(bytes[bytes.size() - 1 - i / 8]);
    if ((byte >> (i % 8)) & 1) result.digits[i / kDigitBits] |= uint32_t{1} << (i % kDigitBits);
  }
  bigint_internal::Trim(result.digits);
  return result;
}

std::string BigIntToBytes(const TBigInt& value) {
  const uint64_t bits = BigIntBitLength(value);
  const size_t count = bits == 0 ? 1 : (bits + 7) / 8;
  std::string bytes(count, '\0');
  for (uint64_t i = 0; i < bits; ++i) {
    if (Bit(value, i))
      bytes[count - 1 - i / 8] = static_cast<char>(bytes[count - 1 - i / 8] | (1 << (i % 8)));
  }
  return bytes;
}

uint8_t BitGroupToByte(std::string_view group) {
  uint8_t byte = 0;
  for (size_t i = 0; i < 8 && i < group.size(); ++i) {
    if (group[i] == '1') byte = static_cast<uint8_t>(byte | (0x80 >> i));
  }
  return byte;
}

int SixBitGroupToIndex(std::string_view group) {
  int v = 0;
  for (size_t i = 0; i < 6 && i < group.size(); ++i) {
    if (group[i] == '1') v |= 0x20 >> i;
  }
  return v + 1;
}

std::string BitTextToBytes(std::string_view bits) {
  const size_t pad = (8 - bits.size() % 8) % 8;
  std::string padded(pad, '0');
  padded.append(bits);
  std::string bytes;
  bytes.reserve(padded.size() / 8);
  for (size_t i = 0; i < padded.size(); i += 8)
    bytes.push_back(static_cast<char>(BitGroupToByte(padded.substr(i, 8))));
  return bytes;
}

std::string BytesToRadix64Text(std::string_view bytes) {
  std::string text;
  text.reserve((bytes.size() * 8 + 5) / 6);
  uint32_t buffer = 0;
  int held = 0;  // bits in buffer not yet written
  for (const char c : bytes) {
    buffer = (buffer << 8) | static_cast<unsigned char>(c);
    held += 8;
    while (held >= 6) {
      held -= 6;
      text.push_back(Radix64Alphabet[(buffer >> held) & 0x3F]);
    }
    buffer &= (1u << held) - 1;
  }
  if (held > 0) text.push_back(Radix64Alphabet[(buffer << (6 - held)) & 0x3F]);
  return text;
}

std::string Radix64TextToBytes(std::string_view text) {
  std::string bytes;
  bytes.reserve(text.size() * 6 / 8);
  uint32_t buffer = 0;
  int held = 0;
  for (const char c : text) {
    const int v = Radix64Value(c);
    if (v < 0) continue;
    buffer = (buffer << 6) | static_cast<uint32_t>(v);
    held += 6;
    if (held >= 8) {
      held -= 8;
      bytes.push_back(static_cast<char>((buffer >> held) & 0xFF));
    }
    buffer &= (1u << held) - 1;
  }
  return bytes;
}

int64_t DecimalChunksDivideBySmall(std::vector<uint32_t>& chunks, int64_t d) {
  if (d <= 0) throw EBigIntError("Division by zero or by a negative small divisor");
  unsigned __int128 rem = 0;
  for (size_t j = chunks.size(); j-- > 0;) {
    const unsigned __int128 t = rem * kChunkBase + chunks[j];
    chunks[j] = static_cast<uint32_t>(t / static_cast<uint64_t>(d));
    rem = t % static_cast<uint64_t>(d);
  }
  while (chunks.size() > 1 && chunks.back() == 0) chunks.pop_back();
  if (chunks.empty()) chunks.push_back(0);
  return static_cast<int64_t>(rem);
}

}  // namespace corvane
