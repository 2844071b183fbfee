// Trial division by the odd primes below 10,000 and the Miller-Rabin test with small-prime bases.
#include "bigint/BigIntPrime.h"

#include <algorithm>

#include "bigint/BigIntInternal.h"
#include "bigint/BigIntMontgomery.h"
#include "bigint/BigIntRandom.h"

namespace corvane {

namespace {

constexpr int32_t kTableLimit = 10000;
// Bases are drawn from all entries but the last (9973).
constexpr int32_t kBasePoolSize = kSmallPrimeCount - 1;

constexpr std::array<int32_t, kSmallPrimeCount> BuildSmallPrimeTable() {
  std::array<bool, kTableLimit> composite{};
  std::array<int32_t, kSmallPrimeCount> table{};
  int count = 0;
  for (int32_t i = 2; i < kTableLimit; ++i) {
    if (composite[i]) continue;
    for (int32_t j = i * i; j < kTableLimit; j += i) composite[j] = true;
    if (i != 2) table[count++] = i;
  }
  return table;
}

// The value of n when it is at most the table's largest prime, else -1.
int64_t SmallValue(const TBigInt& n) {
  if (n.digits.size() > 1 || n.digits[0] > 9973) return -1;
  return n.digits[0];
}

bool IsSmallPrime(int64_t v) {
  return v == 2 ||
         std::binary_search(SmallPrimeTable.begin(), SmallPrimeTable.end(), static_cast<int32_t>(v));
}

// One round against the base given in Montgomery form; d and s from n - 1 = 2^s * d.
bool StrongProbablePrimeRound(const bigint_internal::TMontgomery64& mont, const bigint_internal::Limbs& base,
                              const TBigInt& d, uint64_t s, const bigint_internal::Limbs& one,
                              const bigint_internal::Limbs& minusOne) {
  bigint_internal::Limbs x = mont.PowerMontgomery(base, d);
  if (x == one || x == minusOne) return true;
  // Square up to s - 1 times looking for n - 1; reaching 1 first means a non-trivial root of 1.
  for (uint64_t i = 1; i < s; ++i) {
    mont.Square(x, x);
    if (x == minusOne) return true;
    if (x == one) return false;
  }
  return false;
}

struct TMillerRabinSetup {
  TBigInt d;
  uint64_t s = 0;
};

TMillerRabinSetup FactorOutTwos(const TBigInt& n) {
  TMillerRabinSetup setup;
  setup.d = BigIntSubtract(n, BigIntFromInt64(1));
  while ((setup.d.digits[0] & 1) == 0) {
    BigIntHalveInPlace(setup.d);
    ++setup.s;
  }
  return setup;
}

bool IsPositive(const TBigInt& n) {
  return n.signFlag != 0 && !BigIntIsZero(n);
}

}  // namespace

constinit const std::array<int32_t, kSmallPrimeCount> SmallPrimeTable = BuildSmallPrimeTable();
static_assert(BuildSmallPrimeTable()[0] == 3 && BuildSmallPrimeTable()[kSmallPrimeCount - 1] == 9973);

bool BigIntPassesTrialDivision(const TBigInt& n) {
  if ((n.digits[0] & 1) == 0) return false;
  for (const int32_t p : SmallPrimeTable) {
    if (BigIntRemainderBySmall(n, p) == 0) return false;
  }
  return true;
}

bool BigIntStrongProbablePrime(const TBigInt& n, const TBigInt& a) {
  const bigint_internal::TMontgomery64 mont(n);  // rejects even and non-positive n
  if (BigIntCompareMagnitude(n, BigIntFromInt64(3)) == MagnitudeOrder::FirstSmaller)
    throw EBigIntError("A Miller-Rabin round needs an odd candidate above 2");
  const TMillerRabinSetup setup = FactorOutTwos(n);
  const bigint_internal::Limbs one = mont.One();
  const bigint_internal::Limbs minusOne = mont.ToMontgomery(BigIntSubtract(n, BigIntFromInt64(1)));
  return StrongProbablePrimeRound(mont, mont.ToMontgomery(a), setup.d, setup.s, one, minusOne);
}

bool BigIntMillerRabin(const TBigInt& n, int32_t rounds) {
  if (!IsPositive(n)) return false;
  const int64_t small = SmallValue(n);
  if (small >= 0) return IsSmallPrime(small);
  if ((n.digits[0] & 1) == 0) return false;
  const TMillerRabinSetup setup = FactorOutTwos(n);
  const bigint_internal::TMontgomery64 mont(n);
  const bigint_internal::Limbs one = mont.One();
  const bigint_internal::Limbs minusOne = mont.ToMontgomery(BigIntSubtract(n, BigIntFromInt64(1)));
  RandomReseedFromClock();
  for (int32_t round = 0; round < rounds; ++round) {
    const int32_t base = SmallPrimeTable[RandomBelow(kBasePoolSize)];
    if (!StrongProbablePrimeRound(mont, mont.ToMontgomery(BigIntFromInt64(base)), setup.d, setup.s, one,
                                  minusOne))
      return false;
  }
  return true;
}

bool BigIntIsLikelyPrime(const TBigInt& n, int32_t rounds) {
  if (!IsPositive(n)) return false;
  const int64_t small = SmallValue(n);
  if (small >= 0) return IsSmallPrime(small);
  return BigIntPassesTrialDivision(n) && BigIntMillerRabin(n, rounds);
}

}  // namespace corvane
