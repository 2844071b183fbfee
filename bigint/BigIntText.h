#pragma once
// Text and byte forms of TBigInt, and the radix-64 encoding of byte strings.
//
//   bit text:     '0'/'1' characters, most significant first; readers take any character other than
//                 '1' as a 0 bit.
//   decimal text: optional leading "-" and decimal digits, most significant first.
//   byte string:  big-endian, no leading zero byte (zero is the single byte 0x00).
//   radix-64:     6 bits per character over Radix64Alphabet, most significant first, no padding; '=' is
//                 an ordinary digit (63). Characters outside the alphabet are skipped when reading.
//
// Byte strings are std::string. Empty input to the three integer readers gives zero (flag 1).

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "bigint/BigInt.h"

namespace corvane {

inline constexpr std::string_view Radix64Alphabet =
    "aAbBcCdDeEfFgGhHiIjJkKlLmMnNoOpPqQrRsStTuUvVwWxXyYzZ0123456789+=";

// Reads decimal text. Leading characters that are neither "-" nor a digit are dropped while more than
// one character remains ("abc12" -> 12, "+5" -> 5); a leading "-" gives flag 0 ("-0" is a zero with
// flag 0); leading zeros are ignored. Any other non-digit raises EConvertError with the message
// "'<chunk>' は整数ではありません", where chunk is the offending group of up to 9 characters counted
// from the right (the empty text after a lone "-" is reported as '').
TBigInt BigIntFromDecimalText(std::string_view text);
// Decimal text; "-" in front when the flag is 0, zero included ("-0").
std::string BigIntToDecimalText(const TBigInt& value);

// Reads bit text (flag 1).
TBigInt BigIntFromBitText(std::string_view text);
// The magnitude's bits without leading zeros; zero is "0".
std::string BigIntToBitText(const TBigInt& value);

// Reads a big-endian byte string (flag 1); leading zero bytes do not matter.
TBigInt BigIntFromBytes(std::string_view bytes);
// The magnitude as a big-endian byte string of ceil(bits / 8) bytes; zero gives one 0x00 byte.
std::string BigIntToBytes(const TBigInt& value);

// Bit text to bytes, left-padded with zero bits to whole bytes; empty text gives an empty string.
std::string BitTextToBytes(std::string_view bits);
// Bytes to radix-64 text, right-padded with zero bits to whole characters: ceil(8 * L / 6) characters.
// 0xFF -> "=y", "abc" -> "mlER", 0x00 -> "aa".
std::string BytesToRadix64Text(std::string_view bytes);
// Radix-64 text to bytes: characters outside the alphabet are skipped, trailing bits short of a byte
// are dropped.
std::string Radix64TextToBytes(std::string_view text);

// Up to 8 characters of bit text to a byte: positions 0..7 give bits 7..0; a position holding '1' sets
// its bit, anything else (or a missing position) leaves it clear.
uint8_t BitGroupToByte(std::string_view group);
// Up to 6 characters of bit text (bits 5..0, same rule) to the 1-based alphabet position v + 1 (1..64).
int SixBitGroupToIndex(std::string_view group);

// Divides a number held as base-10^9 chunks (least significant first, each below 10^9) by d > 0 in
// place, trims zero top chunks (keeping at least one) and returns the remainder.
int64_t DecimalChunksDivideBySmall(std::vector<uint32_t>& chunks, int64_t d);

}  // namespace corvane
