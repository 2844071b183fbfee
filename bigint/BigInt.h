#pragma once
// Arbitrary-precision signed integers and their basic arithmetic.
//
// Representation: a sign flag (1 = zero or positive, 0 = negative) and the magnitude in base 2^31,
// least significant digit first. The digit count is digits.size(). Each digit is held in a 32-bit word
// whose top bit is always zero, so a digit product plus a digit plus a carry fits one 64-bit word.
//
// Invariants every operation restores before returning:
//   - digits.size() >= 1;
//   - every digit is in 0..0x7FFFFFFF;
//   - normalised: the top digit is non-zero unless the value has exactly one digit (zero is {0});
//   - the sign of zero is not normalised: a zero with flag 0 ("negative zero") can result from the
//     tie-break rules below; magnitude comparisons ignore it, decimal output prints it as "-0".
// The value is even exactly when digits[0] is even.
//
// Conventions: operands are const references and are never modified; results are returned by value,
// so a result can never alias an operand. Functions whose names end in InPlace, and the digit shifts,
// update their one argument. Copies are deep; the destructor wipes the digits, since values hold key
// material. A moved-from value holds no digits and must be assigned before it is read again.
//
// Preconditions that arithmetic alone cannot honour (a zero divisor, a small multiplier out of range,
// a magnitude subtraction that would go negative) raise EBigIntError instead of producing garbage.

#include <cstdint>
#include <string>
#include <vector>

#include "common/Exception.h"

namespace corvane {

// Raised when an operation is called outside its domain (division by zero, an even modulus, ...).
class EBigIntError : public Exception {
  using Exception::Exception;
};

struct TBigInt {
  uint8_t signFlag = 1;             // 1 = zero or positive, 0 = negative
  std::vector<uint32_t> digits{0};  // base 2^31, least significant first; size() is the digit count

  TBigInt() = default;
  TBigInt(const TBigInt&) = default;
  TBigInt(TBigInt&&) noexcept = default;
  TBigInt& operator=(const TBigInt&);
  TBigInt& operator=(TBigInt&&) noexcept;
  ~TBigInt();

  // Exact equality of representation: sign flag and digits. Zero and negative zero differ here;
  // use BigIntCompareMagnitude to compare values regardless of the flag.
  friend bool operator==(const TBigInt& a, const TBigInt& b) {
    return a.signFlag == b.signFlag && a.digits == b.digits;
  }
};

enum class MagnitudeOrder { FirstLarger = 0, FirstSmaller = 1, Equal = 2 };

inline constexpr uint32_t kDigitMask = 0x7FFFFFFF;
inline constexpr int kDigitBits = 31;

// Convenience constructor for small constants (flag 1 for v >= 0, 0 for v < 0).
TBigInt BigIntFromInt64(int64_t v);
bool BigIntIsZero(const TBigInt& a);
// Number of significant bits of abs(a); 0 for zero.
uint64_t BigIntBitLength(const TBigInt& a);

// Deep copy: the same flag and an independent copy of the digits.
TBigInt BigIntCopy(const TBigInt& source);
// Wipes the digits and leaves the variable holding zero (flag 1).
void BigIntRelease(TBigInt& value);
// Toggles the sign flag (1 <-> 0); digits untouched, zero included.
void BigIntNegate(TBigInt& value);
void BigIntSetPositive(TBigInt& value);
// Compares abs(a) with abs(b); the flags are ignored. Inputs must be normalised.
MagnitudeOrder BigIntCompareMagnitude(const TBigInt& a, const TBigInt& b);

// Signed a + b. Tie-break when abs(a) == abs(b) and the flags differ: the zero result carries a's flag,
// so 5 + (-5) is zero with flag 1 and (-5) + 5 is zero with flag 0.
TBigInt BigIntAdd(const TBigInt& a, const TBigInt& b);
// a + (-b), with the same tie-break: x - x is zero with x's flag.
TBigInt BigIntSubtract(const TBigInt& a, const TBigInt& b);
// a := abs(a) - abs(b); a's flag untouched. Requires abs(a) >= abs(b) (EBigIntError otherwise).
void BigIntSubtractMagnitudeInPlace(TBigInt& a, const TBigInt& b);
// a * b; flag 1 when the operands' flags are equal, else 0 (also for a zero product).
TBigInt BigIntMultiply(const TBigInt& a, const TBigInt& b);
// a * a; flag always 1.
TBigInt BigIntSquare(const TBigInt& a);
// a := abs(a) * m for 0 <= m < 2^31 (EBigIntError otherwise); flag untouched.
void BigIntMultiplyBySmallInPlace(TBigInt& a, int64_t m);
// a := floor(abs(a) / d); returns abs(a) mod d. d > 0 (EBigIntError otherwise); flag untouched.
int64_t BigIntDivideBySmallInPlace(TBigInt& a, int64_t d);
// abs(a) mod d for d > 0 (EBigIntError otherwise).
int64_t BigIntRemainderBySmall(const TBigInt& a, int64_t d);
// a := floor(abs(a) / 2); flag untouched.
void BigIntHalveInPlace(TBigInt& a);
// a := floor(abs(a) / 2^31); a one-digit value becomes zero. Flag untouched.
void BigIntShiftDownOneDigit(TBigInt& a);
// a := abs(a) * 2^31 (a zero digit inserted at the bottom). Zero stays zero. Flag untouched.
void BigIntShiftUpOneDigit(TBigInt& a);

struct TBigIntDivision {
  TBigInt quotient;
  TBigInt remainder;
};

// a = q*b + r with 0 <= r < abs(b); b != 0 (EBigIntError otherwise).
// Signs: r always has flag 1. For a with flag 1, q takes b's flag (so 3 / -7 is a zero quotient with
// flag 0). For a with flag 0: if r != 0 the magnitude quotient grows by one and r := abs(b) - r; then q
// has flag 0 when b has flag 1, else flag 1.
//   7 / 2 -> 3, 1;  -7 / 2 -> -4, 1;  7 / -2 -> -3, 1;  -7 / -2 -> 4, 1;  -3 / 7 -> -1, 4.
TBigIntDivision BigIntDivideWithRemainder(const TBigInt& a, const TBigInt& b);
// The quotient of BigIntDivideWithRemainder.
TBigInt BigIntDivide(const TBigInt& a, const TBigInt& b);

}  // namespace corvane
