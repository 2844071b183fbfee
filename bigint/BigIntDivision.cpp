// Long division of TBigInt values: quotient and non-negative remainder.
//
// Magnitudes are divided with Knuth's Algorithm D in base 2^31 (normalised divisor, two-digit quotient
// estimate corrected at most twice). The quotient and remainder of the magnitudes are unique, so any
// exact method gives the same digits; the sign rules are applied afterwards.
#include <algorithm>

#include "bigint/BigInt.h"
#include "bigint/BigIntInternal.h"
#include "common/SecureWipe.h"

namespace corvane {

namespace bigint_internal {

namespace {

constexpr uint64_t kBase = uint64_t{1} << kDigitBits;

// Shifts the digits left by `shift` bits (0..30) into a new array with one extra top digit.
Digits ShiftLeftBits(const Digits& d, int shift) {
  Digits r(d.size() + 1, 0);
  for (size_t i = 0; i < d.size(); ++i) {
    const uint64_t t = uint64_t{d[i]} << shift;
    r[i] |= static_cast<uint32_t>(t & kDigitMask);
    r[i + 1] = static_cast<uint32_t>(t >> kDigitBits);
  }
  return r;
}

void DivideBySingleDigit(const Digits& u, uint32_t v, Digits* quotient, Digits* remainder) {
  Digits q(u.size());
  uint64_t rem = 0;
  for (size_t j = u.size(); j-- > 0;) {
    const uint64_t t = (rem << kDigitBits) | u[j];
    q[j] = static_cast<uint32_t>(t / v);
    rem = t % v;
  }
  Trim(q);
  if (quotient) *quotient = std::move(q);
  SecureWipe(q);  // still holds the quotient when only the remainder was asked for
  if (remainder) *remainder = Digits{static_cast<uint32_t>(rem)};
}

}  // namespace

void DivideMagnitudes(const Digits& u, const Digits& v, Digits* quotient, Digits* remainder) {
  if (CompareDigits(u, v) == MagnitudeOrder::FirstSmaller) {
    if (quotient) *quotient = Digits{0};
    if (remainder) *remainder = u;
    return;
  }
  const size_t n = v.size();
  if (n == 1) {
    DivideBySingleDigit(u, v[0], quotient, remainder);
    return;
  }
  // Normalise so that the divisor's top digit has bit 30 set.
  const int shift = __builtin_clz(v.back()) - 1;
  Digits vn = ShiftLeftBits(v, shift);
  vn.pop_back();
  Digits un = ShiftLeftBits(u, shift);
  const size_t m = u.size() - n;
  Digits q(m + 1, 0);
  const uint64_t vTop = vn[n - 1];
  const uint64_t vNext = vn[n - 2];
  for (size_t j = m + 1; j-- > 0;) {
    // Estimate from the top two remainder digits; below 2^62, so 64-bit arithmetic suffices.
    const uint64_t top = (uint64_t{un[j + n]} << kDigitBits) | un[j + n - 1];
    uint64_t qhat = top / vTop;
    uint64_t rhat = top % vTop;
    while (qhat >= kBase || qhat * vNext > ((rhat << kDigitBits) | un[j + n - 2])) {
      --qhat;
      rhat += vTop;
      if (rhat >= kBase) break;
    }
    // un[j..j+n] -= qhat * vn; `borrow` is the amount to take from the next digit.
    int64_t borrow = 0;
    for (size_t i = 0; i < n; ++i) {
      const uint64_t p = qhat * vn[i];
      const int64_t t = int64_t{un[i + j]} - borrow - static_cast<int64_t>(p & kDigitMask);
      un[i + j] = static_cast<uint32_t>(t & kDigitMask);
      borrow = static_cast<int64_t>(p >> kDigitBits) - (t >> kDigitBits);
    }
    const int64_t t = int64_t{un[j + n]} - borrow;
    if (t < 0) {
      // The estimate was one too large: add the divisor back.
      --qhat;
      uint64_t carry = 0;
      for (size_t i = 0; i < n; ++i) {
        const uint64_t s = uint64_t{un[i + j]} + vn[i] + carry;
        un[i + j] = static_cast<uint32_t>(s & kDigitMask);
        carry = s >> kDigitBits;
      }
      un[j + n] = static_cast<uint32_t>((t + static_cast<int64_t>(carry)) & kDigitMask);
    } else {
      un[j + n] = static_cast<uint32_t>(t);
    }
    q[j] = static_cast<uint32_t>(qhat);
  }
  if (quotient) {
    Trim(q);
    *quotient = std::move(q);
  }
  if (remainder) {
    Digits r(n);
    for (size_t i = 0; i < n; ++i) {
      const uint64_t pair = (uint64_t{un[i + 1]} << kDigitBits) | un[i];
      r[i] = static_cast<uint32_t>((pair >> shift) & kDigitMask);
    }
    Trim(r);
    *remainder = std::move(r);
  }
  // The working copies hold the shifted divisor and the partial remainders: key material when a
  // prime is the divisor.
  SecureWipe(un);
  SecureWipe(vn);
  SecureWipe(q);
}

}  // namespace bigint_internal

TBigIntDivision BigIntDivideWithRemainder(const TBigInt& a, const TBigInt& b) {
  if (BigIntIsZero(b)) throw EBigIntError("Division by zero");
  TBigIntDivision result;
  bigint_internal::DivideMagnitudes(a.digits, b.digits, &result.quotient.digits, &result.remainder.digits);
  TBigInt& q = result.quotient;
  TBigInt& r = result.remainder;
  const bool aNegative = bigint_internal::IsNegative(a);
  const bool bNegative = bigint_internal::IsNegative(b);
  if (!aNegative) {
    q.signFlag = b.signFlag == 0 ? 0 : 1;
  } else {
    if (!BigIntIsZero(r)) {
      // Round the quotient's magnitude up so that the remainder becomes non-negative.
      q = BigIntAdd(q, BigIntFromInt64(1));
      TBigInt complement = b;
      BigIntSubtractMagnitudeInPlace(complement, r);
      r = std::move(complement);  // the assignment wipes the replaced remainder
    }
    q.signFlag = bNegative ? 1 : 0;
  }
  r.signFlag = 1;
  return result;
}

TBigInt BigIntDivide(const TBigInt& a, const TBigInt& b) {
  return BigIntDivideWithRemainder(a, b).quotient;
}

}  // namespace corvane
