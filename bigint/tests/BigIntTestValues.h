#pragma once
// Builders for test values given by their digits or by decimal text.

#include <initializer_list>

#include "bigint/BigInt.h"
#include "bigint/BigIntText.h"

namespace corvane::testing {

// A value from its 31-bit digits, least significant first, taken as given (not normalised).
inline TBigInt Digits(std::initializer_list<uint32_t> digits, uint8_t flag = 1) {
  TBigInt x;
  x.digits.assign(digits);
  x.signFlag = flag;
  return x;
}

inline TBigInt Dec(const char* text) {
  return BigIntFromDecimalText(text);
}

inline TBigInt NegativeZero() {
  return Digits({0}, 0);
}

}  // namespace corvane::testing
