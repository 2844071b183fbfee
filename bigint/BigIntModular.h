#pragma once
// Modular arithmetic on TBigInt: remainder, modular product and square, exponentiation, gcd, inverse.
// Conventions of BigInt.h apply: operands are never modified, results are returned by value.

#include "bigint/BigInt.h"

namespace corvane {

// The non-negative remainder: 0 <= r < abs(m), r = a (mod m), flag 1 (zero included). The sign of m
// does not matter: -7 mod 3 = 2, 7 mod -3 = 1, -6 mod 3 = 0. m != 0 (EBigIntError otherwise).
TBigInt BigIntModulo(const TBigInt& a, const TBigInt& m);
// BigIntModulo(a * b, m).
TBigInt BigIntModMultiply(const TBigInt& a, const TBigInt& b, const TBigInt& m);
// BigIntModulo(a * a, m).
TBigInt BigIntModSquare(const TBigInt& a, const TBigInt& m);
// b^abs(e) mod n, 0 <= r < n, flag 1. n must be odd and positive (EBigIntError otherwise); b may be any
// integer, negative or larger than n. An exponent of zero gives 1 (0 when n = 1).
TBigInt BigIntModPower(const TBigInt& b, const TBigInt& e, const TBigInt& n);
// Greatest common divisor by repeated remainder; positive for positive operands. A negative operand's
// flag can survive in three cases: equal magnitudes give a copy of a; gcd(x, 0) and gcd(0, x) give a
// copy of x; and when the operand of smaller magnitude divides the other exactly, the result is a copy
// of that operand. Every other result is a positive remainder.
TBigInt BigIntGcd(const TBigInt& a, const TBigInt& b);
// When gcd(a, m) = 1: writes into s the inverse 0 < s < m (s * a = 1 mod m) and returns true; s is 0
// for m = 1. Otherwise s is left exactly as it was and the result is false. a may be any integer
// (it is reduced modulo m first); m must be positive (EBigIntError otherwise).
bool BigIntModInverse(const TBigInt& a, const TBigInt& m, TBigInt& s);

}  // namespace corvane
