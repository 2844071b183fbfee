// Decimal, bit, byte and radix-64 forms of integers and byte strings.
//
// The conversions work on the digits directly instead of through intermediate bit texts. Decimal text
// goes through 64-bit limbs: it is read nineteen characters at a time (value := value * 10^19 + chunk)
// and written by repeated division by 10^19, each step linear in the number's length.
#include "bigint/BigIntText.h"

#include <algorithm>
#include <array>

#include "bigint/BigIntInternal.h"
#include "bigint/BigIntMontgomery.h"
#include "common/SecureWipe.h"

namespace corvane {

namespace {

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

using u128 = unsigned __int128;

// The widest power of ten in one limb, and the reciprocal that turns division by it into
// multiplications (Moller and Granlund, "Improved division by invariant integers", algorithm 4).
// 10^19 has its top bit set, so it needs no normalising shift.
constexpr size_t kLimbChunkChars = 19;
constexpr uint64_t kLimbChunkBase = 10000000000000000000ull;
constexpr uint64_t kLimbChunkReciprocal = static_cast<uint64_t>(~u128{0} / kLimbChunkBase - (u128{1} << 64));
static_assert(kLimbChunkBase >> 63 == 1);

uint64_t LimbChunkValue(std::string_view chunk) {
  uint64_t v = 0;
  for (const char c : chunk) v = v * 10 + static_cast<uint64_t>(c - '0');
  return v;
}

// limbs := limbs * m + add.
void MultiplyAddLimbs(bigint_internal::Limbs& limbs, uint64_t m, uint64_t add) {
  uint64_t carry = add;
  for (uint64_t& limb : limbs) {
    const u128 t = static_cast<u128>(limb) * m + carry;
    limb = static_cast<uint64_t>(t);
    carry = static_cast<uint64_t>(t >> 64);
  }
  if (carry != 0) limbs.push_back(carry);
}

// limbs := floor(limbs / 10^19) with zero top limbs removed (one limb kept); returns the remainder.
uint64_t DivideLimbsByChunkBase(bigint_internal::Limbs& limbs) {
  constexpr uint64_t d = kLimbChunkBase;
  uint64_t rem = 0;  // always below d
  for (size_t j = limbs.size(); j-- > 0;) {
    const uint64_t u0 = limbs[j];
    const u128 product =
        static_cast<u128>(kLimbChunkReciprocal) * rem + ((static_cast<u128>(rem) << 64) | u0);
    uint64_t q = static_cast<uint64_t>(product >> 64) + 1;
    uint64_t r = u0 - q * d;
    if (r > static_cast<uint64_t>(product)) {
      --q;
      r += d;
    }
    if (r >= d) {
      ++q;
      r -= d;
    }
    limbs[j] = q;
    rem = r;
  }
  while (limbs.size() > 1 && limbs.back() == 0) limbs.pop_back();
  return rem;
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

}  // namespace

TBigInt BigIntFromDecimalText(std::string_view text) {
  TBigInt result;
  if (text.empty()) return result;
  while (text.size() > 1 && text[0] != '-' && !IsDigit(text[0])) text.remove_prefix(1);
  const bool negative = text[0] == '-';
  if (negative) text.remove_prefix(1);
  while (text.size() > 1 && text[0] == '0') text.remove_prefix(1);
  RequireDecimalChunks(text);
  const size_t leading = text.size() % kLimbChunkChars == 0 ? kLimbChunkChars : text.size() % kLimbChunkChars;
  bigint_internal::Limbs limbs{LimbChunkValue(text.substr(0, leading))};
  limbs.reserve(text.size() / kLimbChunkChars + 2);
  for (size_t pos = leading; pos < text.size(); pos += kLimbChunkChars)
    MultiplyAddLimbs(limbs, kLimbChunkBase, LimbChunkValue(text.substr(pos, kLimbChunkChars)));
  result = bigint_internal::LimbsToBigInt(limbs);
  SecureWipe(limbs);
  result.signFlag = negative ? 0 : 1;
  return result;
}

std::string BigIntToDecimalText(const TBigInt& value) {
  bigint_internal::Limbs work =
      bigint_internal::DigitsToLimbs(value.digits, std::max<uint64_t>(1, (BigIntBitLength(value) + 63) / 64));
  std::vector<uint64_t> chunks;  // least significant first
  do {
    chunks.push_back(DivideLimbsByChunkBase(work));
  } while (work.size() > 1 || work[0] != 0);
  std::string text = value.signFlag == 0 ? "-" : "";
  text += std::to_string(chunks.back());
  for (size_t i = chunks.size() - 1; i-- > 0;) {
    const std::string part = std::to_string(chunks[i]);
    text.append(kLimbChunkChars - part.size(), '0');
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
  u128 rem = 0;
  for (size_t j = chunks.size(); j-- > 0;) {
    const u128 t = rem * 1000000000u + chunks[j];
    chunks[j] = static_cast<uint32_t>(t / static_cast<uint64_t>(d));
    rem = t % static_cast<uint64_t>(d);
  }
  while (chunks.size() > 1 && chunks.back() == 0) chunks.pop_back();
  if (chunks.empty()) chunks.push_back(0);
  return static_cast<int64_t>(rem);
}

}  // namespace corvane
