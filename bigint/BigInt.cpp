// Basic arithmetic on TBigInt: construction, comparison, addition, multiplication, small operands, shifts.
#include "bigint/BigInt.h"

#include <algorithm>

#include "bigint/BigIntInternal.h"
#include "common/SecureWipe.h"

namespace corvane {

using bigint_internal::Digits;
using bigint_internal::IsNegative;
using bigint_internal::Trim;

TBigInt& TBigInt::operator=(const TBigInt& other) {
  if (this != &other) {
    SecureWipe(digits.data(), digits.size() * sizeof(uint32_t));
    signFlag = other.signFlag;
    digits = other.digits;
  }
  return *this;
}

TBigInt& TBigInt::operator=(TBigInt&& other) noexcept {
  if (this != &other) {
    SecureWipe(digits.data(), digits.size() * sizeof(uint32_t));
    signFlag = other.signFlag;
    digits = std::move(other.digits);
  }
  return *this;
}

TBigInt::~TBigInt() {
  SecureWipe(digits.data(), digits.size() * sizeof(uint32_t));
}

namespace bigint_internal {

MagnitudeOrder CompareDigits(const Digits& a, const Digits& b) {
  if (a.size() != b.size())
    return a.size() > b.size() ? MagnitudeOrder::FirstLarger : MagnitudeOrder::FirstSmaller;
  for (size_t i = a.size(); i-- > 0;) {
    if (a[i] != b[i]) return a[i] > b[i] ? MagnitudeOrder::FirstLarger : MagnitudeOrder::FirstSmaller;
  }
  return MagnitudeOrder::Equal;
}

}  // namespace bigint_internal

namespace {

// |a| + |b| with a.size() >= b.size().
Digits AddDigits(const Digits& a, const Digits& b) {
  Digits r(a.size() + 1);
  uint64_t carry = 0;
  for (size_t j = 0; j < a.size(); ++j) {
    const uint64_t t = uint64_t{a[j]} + (j < b.size() ? b[j] : 0) + carry;
    r[j] = static_cast<uint32_t>(t & kDigitMask);
    carry = t >> kDigitBits;
  }
  r[a.size()] = static_cast<uint32_t>(carry);
  Trim(r);
  return r;
}

// a := |a| - |b| in place, requiring |a| >= |b|.
void SubtractDigitsInPlace(Digits& a, const Digits& b) {
  int64_t borrow = 0;
  for (size_t j = 0; j < a.size(); ++j) {
    if (j >= b.size() && borrow == 0) break;
    const int64_t t = int64_t{a[j]} - (j < b.size() ? b[j] : 0) + borrow;
    a[j] = static_cast<uint32_t>(t & kDigitMask);
    borrow = t < 0 ? -1 : 0;
  }
  Trim(a);
}

// Signed addition of a and (b with its sign possibly inverted); the larger magnitude decides the sign,
// and on a tie the first operand's flag is kept.
TBigInt AddSigned(const TBigInt& a, bool aNegative, const TBigInt& b, bool bNegative) {
  TBigInt r;
  if (aNegative == bNegative) {
    r.digits =
        a.digits.size() >= b.digits.size() ? AddDigits(a.digits, b.digits) : AddDigits(b.digits, a.digits);
    r.signFlag = aNegative ? 0 : 1;
    return r;
  }
  if (BigIntCompareMagnitude(a, b) == MagnitudeOrder::FirstSmaller) {
    r.digits = b.digits;
    SubtractDigitsInPlace(r.digits, a.digits);
    r.signFlag = bNegative ? 0 : 1;
  } else {
    r.digits = a.digits;
    SubtractDigitsInPlace(r.digits, b.digits);
    r.signFlag = aNegative ? 0 : 1;
  }
  return r;
}

}  // namespace

TBigInt BigIntFromInt64(int64_t v) {
  TBigInt r;
  r.signFlag = v < 0 ? 0 : 1;
  uint64_t m = v < 0 ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
  r.digits.clear();
  do {
    r.digits.push_back(static_cast<uint32_t>(m & kDigitMask));
    m >>= kDigitBits;
  } while (m != 0);
  return r;
}

bool BigIntIsZero(const TBigInt& a) {
  return bigint_internal::IsZeroDigits(a.digits);
}

uint64_t BigIntBitLength(const TBigInt& a) {
  const uint32_t top = a.digits.back();
  if (top == 0) return 0;
  return uint64_t{kDigitBits} * (a.digits.size() - 1) + (32 - static_cast<uint64_t>(__builtin_clz(top)));
}

TBigInt BigIntCopy(const TBigInt& source) {
  return source;
}

void BigIntRelease(TBigInt& value) {
  SecureWipe(value.digits);
  value.digits.shrink_to_fit();
  value.digits.assign(1, 0);
  value.signFlag = 1;
}

void BigIntNegate(TBigInt& value) {
  value.signFlag = value.signFlag == 0 ? 1 : 0;
}

void BigIntSetPositive(TBigInt& value) {
  value.signFlag = 1;
}

MagnitudeOrder BigIntCompareMagnitude(const TBigInt& a, const TBigInt& b) {
  return bigint_internal::CompareDigits(a.digits, b.digits);
}

TBigInt BigIntAdd(const TBigInt& a, const TBigInt& b) {
  return AddSigned(a, IsNegative(a), b, IsNegative(b));
}

TBigInt BigIntSubtract(const TBigInt& a, const TBigInt& b) {
  return AddSigned(a, IsNegative(a), b, !IsNegative(b));
}

void BigIntSubtractMagnitudeInPlace(TBigInt& a, const TBigInt& b) {
  if (BigIntCompareMagnitude(a, b) == MagnitudeOrder::FirstSmaller)
    throw EBigIntError("BigIntSubtractMagnitudeInPlace: the subtrahend is larger than the minuend");
  SubtractDigitsInPlace(a.digits, b.digits);
}

TBigInt BigIntMultiply(const TBigInt& a, const TBigInt& b) {
  const Digits& x = a.digits;
  const Digits& y = b.digits;
  TBigInt r;
  r.digits.assign(x.size() + y.size(), 0);
  uint32_t* out = r.digits.data();
  for (size_t i = 0; i < y.size(); ++i) {
    const uint64_t yi = y[i];
    if (yi == 0) continue;
    // a digit product plus a digit plus a carry stays below 2^62 + 2^32
    uint64_t carry = 0;
    for (size_t j = 0; j < x.size(); ++j) {
      const uint64_t t = x[j] * yi + out[i + j] + carry;
      out[i + j] = static_cast<uint32_t>(t & kDigitMask);
      carry = t >> kDigitBits;
    }
    out[i + x.size()] = static_cast<uint32_t>(carry);
  }
  Trim(r.digits);
  r.signFlag = IsNegative(a) == IsNegative(b) ? 1 : 0;
  return r;
}

TBigInt BigIntSquare(const TBigInt& a) {
  const Digits& x = a.digits;
  const size_t n = x.size();
  TBigInt r;
  r.digits.assign(2 * n, 0);
  uint32_t* out = r.digits.data();
  // Cross products once, then double, then add the diagonal squares.
  for (size_t i = 0; i < n; ++i) {
    const uint64_t xi = x[i];
    uint64_t carry = 0;
    for (size_t j = i + 1; j < n; ++j) {
      const uint64_t t = xi * x[j] + out[i + j] + carry;
      out[i + j] = static_cast<uint32_t>(t & kDigitMask);
      carry = t >> kDigitBits;
    }
    out[i + n] = static_cast<uint32_t>(carry);
  }
  uint64_t carry = 0;
  for (size_t k = 0; k < 2 * n; ++k) {
    const uint64_t square = (k % 2 == 0) ? uint64_t{x[k / 2]} * x[k / 2] : 0;
    // The doubled cross digit is below 2^32 and the square below 2^62.
    const uint64_t t = 2 * uint64_t{out[k]} + (square & kDigitMask) + carry;
    out[k] = static_cast<uint32_t>(t & kDigitMask);
    carry = (t >> kDigitBits) + (square >> kDigitBits);
  }
  Trim(r.digits);
  r.signFlag = 1;
  return r;
}

void BigIntMultiplyBySmallInPlace(TBigInt& a, int64_t m) {
  if (m < 0 || m > int64_t{kDigitMask})
    throw EBigIntError("BigIntMultiplyBySmallInPlace: the multiplier must lie in 0..2^31-1");
  uint64_t carry = 0;
  for (uint32_t& digit : a.digits) {
    const uint64_t t = uint64_t{digit} * static_cast<uint64_t>(m) + carry;
    digit = static_cast<uint32_t>(t & kDigitMask);
    carry = t >> kDigitBits;
  }
  if (carry != 0) a.digits.push_back(static_cast<uint32_t>(carry));
  Trim(a.digits);
}

namespace {

// One pass of division by d over the digits, top down; writes the quotient digits when `digits` is
// mutable. A remainder below 2^33 keeps rem * 2^31 + digit inside 64 bits; larger divisors use 128 bits.
template <typename Store>
uint64_t DivideDigitsBySmall(const Digits& digits, uint64_t d, Store store) {
  if (d <= (uint64_t{1} << 33)) {
    uint64_t rem = 0;
    for (size_t j = digits.size(); j-- > 0;) {
      const uint64_t t = (rem << kDigitBits) | digits[j];
      store(j, t / d);
      rem = t % d;
    }
    return rem;
  }
  unsigned __int128 rem = 0;
  for (size_t j = digits.size(); j-- > 0;) {
    const unsigned __int128 t = (rem << kDigitBits) | digits[j];
    store(j, static_cast<uint64_t>(t / d));
    rem = t % d;
  }
  return static_cast<uint64_t>(rem);
}

void RequirePositiveDivisor(int64_t d) {
  if (d <= 0) throw EBigIntError("Division by zero or by a negative small divisor");
}

}  // namespace

int64_t BigIntDivideBySmallInPlace(TBigInt& a, int64_t d) {
  RequirePositiveDivisor(d);
  Digits& digits = a.digits;
  const uint64_t rem = DivideDigitsBySmall(digits, static_cast<uint64_t>(d), [&digits](size_t j, uint64_t q) {
    digits[j] = static_cast<uint32_t>(q);
  });
  Trim(digits);
  return static_cast<int64_t>(rem);
}

int64_t BigIntRemainderBySmall(const TBigInt& a, int64_t d) {
  RequirePositiveDivisor(d);
  return static_cast<int64_t>(
      DivideDigitsBySmall(a.digits, static_cast<uint64_t>(d), [](size_t, uint64_t) {}));
}

void BigIntHalveInPlace(TBigInt& a) {
  Digits& d = a.digits;
  for (size_t j = 0; j < d.size(); ++j) {
    const uint32_t high = j + 1 < d.size() ? (d[j + 1] & 1) : 0;
    d[j] = (d[j] >> 1) | (high << (kDigitBits - 1));
  }
  Trim(d);
}

void BigIntShiftDownOneDigit(TBigInt& a) {
  if (a.digits.size() == 1) {
    a.digits[0] = 0;
    return;
  }
  a.digits.erase(a.digits.begin());
}

void BigIntShiftUpOneDigit(TBigInt& a) {
  if (BigIntIsZero(a)) return;
  a.digits.insert(a.digits.begin(), 0);
}

}  // namespace corvane
