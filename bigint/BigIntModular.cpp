// Modular arithmetic: non-negative remainder, modular product and square, exponentiation, gcd, inverse.
#include "bigint/BigIntModular.h"

#include "bigint/BigIntInternal.h"
#include "bigint/BigIntMontgomery.h"

namespace corvane {

TBigInt BigIntModulo(const TBigInt& a, const TBigInt& m) {
  if (BigIntIsZero(m)) throw EBigIntError("Division by zero");
  TBigInt r;
  bigint_internal::DivideMagnitudes(a.digits, m.digits, nullptr, &r.digits);
  if (bigint_internal::IsNegative(a) && !BigIntIsZero(r)) {
    TBigInt complement = m;
    BigIntSubtractMagnitudeInPlace(complement, r);
    r = std::move(complement);  // the assignment wipes the replaced remainder
  }
  r.signFlag = 1;
  return r;
}

TBigInt BigIntModMultiply(const TBigInt& a, const TBigInt& b, const TBigInt& m) {
  return BigIntModulo(BigIntMultiply(a, b), m);
}

TBigInt BigIntModSquare(const TBigInt& a, const TBigInt& m) {
  return BigIntModulo(BigIntSquare(a), m);
}

TBigInt BigIntModPower(const TBigInt& b, const TBigInt& e, const TBigInt& n) {
  const bigint_internal::TMontgomery64 montgomery(n);
  return montgomery.Power(b, e);
}

TBigInt BigIntGcd(const TBigInt& a, const TBigInt& b) {
  const MagnitudeOrder order = BigIntCompareMagnitude(a, b);
  if (order == MagnitudeOrder::Equal) return a;
  if (order == MagnitudeOrder::FirstSmaller) return BigIntGcd(b, a);
  TBigInt x = a;
  TBigInt y = b;
  while (!BigIntIsZero(y)) {
    TBigInt z = BigIntModulo(x, y);
    x = std::move(y);
    y = std::move(z);
  }
  return x;
}

bool BigIntModInverse(const TBigInt& a, const TBigInt& m, TBigInt& s) {
  if (bigint_internal::IsNegative(m) || BigIntIsZero(m))
    throw EBigIntError("The modulus of a modular inverse must be positive");
  const TBigInt one = BigIntFromInt64(1);
  if (BigIntCompareMagnitude(m, one) == MagnitudeOrder::Equal) {
    s = TBigInt{};
    return true;
  }
  // Extended Euclid on (m, a mod m), tracking only the coefficient of a.
  TBigInt r0 = m;
  TBigInt r1 = BigIntModulo(a, m);
  TBigInt s0;
  TBigInt s1 = one;
  while (!BigIntIsZero(r1)) {
    TBigIntDivision step = BigIntDivideWithRemainder(r0, r1);
    TBigInt t = BigIntSubtract(s0, BigIntMultiply(s1, step.quotient));
    r0 = std::move(r1);
    r1 = std::move(step.remainder);
    s0 = std::move(s1);
    s1 = std::move(t);
  }
  if (BigIntCompareMagnitude(r0, one) != MagnitudeOrder::Equal) return false;
  if (bigint_internal::IsNegative(s0)) s0 = BigIntAdd(m, s0);
  s0.signFlag = 1;
  s = std::move(s0);
  return true;
}

}  // namespace corvane
