#pragma once
// Trial division by the small primes and the Miller-Rabin probable-prime test.

#include <array>
#include <cstdint>

#include "bigint/BigInt.h"

namespace corvane {

// The 1228 odd primes below 10,000 in increasing order: 3, 5, 7, ..., 9973 (2 is not in it).
inline constexpr int kSmallPrimeCount = 1228;

namespace bigint_internal {
// Sieve of Eratosthenes below 10,000, evaluated by the compiler.
constexpr std::array<int32_t, kSmallPrimeCount> BuildSmallPrimeTable() {
  constexpr int32_t limit = 10000;
  std::array<bool, limit> composite{};
  std::array<int32_t, kSmallPrimeCount> table{};
  int count = 0;
  for (int32_t i = 3; i < limit; i += 2) {
    if (composite[i]) continue;
    for (int32_t j = i * i; j < limit; j += 2 * i) composite[j] = true;
    table[count++] = i;
  }
  return table;
}
}  // namespace bigint_internal

inline constexpr std::array<int32_t, kSmallPrimeCount> SmallPrimeTable =
    bigint_internal::BuildSmallPrimeTable();

// True when digits[0] is odd and no entry of SmallPrimeTable divides abs(n). Meant for candidates above
// 9973: the table primes themselves, and 2, are rejected.
bool BigIntPassesTrialDivision(const TBigInt& n);

// One Miller-Rabin round with base a (any integer, reduced modulo n): true when n is a strong probable
// prime to base a. n must be odd and at least 3 (EBigIntError otherwise).
bool BigIntStrongProbablePrime(const TBigInt& n, const TBigInt& a);

// Miller-Rabin with `rounds` bases drawn by RandomBelow(1227) from the first 1227 entries of
// SmallPrimeTable, after reseeding the RandomSource from the clock. Zero or negative rounds answer true.
// Candidates at or below 9973 (in value) are answered exactly from the table (2 and the table primes
// are prime; 0, 1 and the rest are not), without drawing bases. Even candidates above that are
// composite; non-positive candidates are not prime.
bool BigIntMillerRabin(const TBigInt& n, int32_t rounds);

// The probable-prime test of the prime search: false when n is not positive; the exact answer for
// n <= 9973; otherwise trial division and, only when that passes, BigIntMillerRabin with `rounds`.
bool BigIntIsLikelyPrime(const TBigInt& n, int32_t rounds);

}  // namespace corvane
