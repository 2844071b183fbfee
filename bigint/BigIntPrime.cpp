// Trial division by the odd primes below 10,000 and the Miller-Rabin test with small-prime bases.
#include "bigint/BigIntPrime.h"

#include <algorithm>

#include "bigint/BigIntInternal.h"
#include "bigint/BigIntMontgomery.h"
#include "bigint/BigIntRandom.h"
#include "common/SecureWipe.h"

namespace corvane {

namespace {

// Bases are drawn from all entries but the last (9973).
constexpr int32_t kBasePoolSize = kSmallPrimeCount - 1;

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

// n - 1 = 2^s * d with d odd; n must be at least 3 (n - 1 = 0 has no odd part).
TMillerRabinSetup FactorOutTwos(const TBigInt& n) {
  TMillerRabinSetup setup;
  setup.d = BigIntSubtract(n, BigIntFromInt64(1));
  if (BigIntIsZero(setup.d)) throw EBigIntError("A Miller-Rabin round needs an odd candidate above 2");
  while ((setup.d.digits[0] & 1) == 0) {
    BigIntHalveInPlace(setup.d);
    ++setup.s;
  }
  return setup;
}

// R mod n and (n - 1) R mod n add up to n: a candidate that is about to become a prime of a key.
void WipeMontgomeryUnits(bigint_internal::Limbs& one, bigint_internal::Limbs& minusOne) {
  SecureWipe(one);
  SecureWipe(minusOne);
}

bool IsPositive(const TBigInt& n) {
  return n.signFlag != 0 && !BigIntIsZero(n);
}

static_assert(SmallPrimeTable[0] == 3 && SmallPrimeTable[kSmallPrimeCount - 1] == 9973);

// Consecutive table primes grouped so that each group's product stays below 2^32: one pass over the
// candidate's digits gives its remainder by the product, and the remainders by the group's primes
// follow from that small number. The answer is the same as dividing by each prime in turn.
struct TPrimeGroup {
  uint32_t product = 1;
  int first = 0;
  int count = 0;
};

constexpr int CountPrimeGroups() {
  int groups = 0;
  for (int i = 0; i < kSmallPrimeCount;) {
    uint64_t product = 1;
    while (i < kSmallPrimeCount && product * static_cast<uint64_t>(SmallPrimeTable[i]) < (uint64_t{1} << 32))
      product *= static_cast<uint64_t>(SmallPrimeTable[i++]);
    ++groups;
  }
  return groups;
}

constexpr int kPrimeGroupCount = CountPrimeGroups();

constexpr std::array<TPrimeGroup, kPrimeGroupCount> BuildPrimeGroups() {
  std::array<TPrimeGroup, kPrimeGroupCount> groups{};
  int i = 0;
  for (TPrimeGroup& group : groups) {
    uint64_t product = 1;
    group.first = i;
    while (i < kSmallPrimeCount && product * static_cast<uint64_t>(SmallPrimeTable[i]) < (uint64_t{1} << 32))
      product *= static_cast<uint64_t>(SmallPrimeTable[i++]);
    group.product = static_cast<uint32_t>(product);
    group.count = i - group.first;
  }
  return groups;
}

constexpr std::array<TPrimeGroup, kPrimeGroupCount> kPrimeGroups = BuildPrimeGroups();

}  // namespace

bool BigIntPassesTrialDivision(const TBigInt& n) {
  if ((n.digits[0] & 1) == 0) return false;
  for (const TPrimeGroup& group : kPrimeGroups) {
    const auto remainder = static_cast<uint32_t>(BigIntRemainderBySmall(n, group.product));
    for (int i = group.first; i < group.first + group.count; ++i) {
      if (remainder % static_cast<uint32_t>(SmallPrimeTable[i]) == 0) return false;
    }
  }
  return true;
}

bool BigIntStrongProbablePrime(const TBigInt& n, const TBigInt& a) {
  const bigint_internal::TMontgomery64 mont(n);  // rejects even and non-positive n
  if (BigIntCompareMagnitude(n, BigIntFromInt64(3)) == MagnitudeOrder::FirstSmaller)
    throw EBigIntError("A Miller-Rabin round needs an odd candidate above 2");
  const TMillerRabinSetup setup = FactorOutTwos(n);
  bigint_internal::Limbs one = mont.One();
  bigint_internal::Limbs minusOne = mont.ToMontgomery(BigIntSubtract(n, BigIntFromInt64(1)));
  const bool probablePrime =
      StrongProbablePrimeRound(mont, mont.ToMontgomery(a), setup.d, setup.s, one, minusOne);
  WipeMontgomeryUnits(one, minusOne);
  return probablePrime;
}

bool BigIntMillerRabin(const TBigInt& n, int32_t rounds) {
  if (!IsPositive(n)) return false;
  const int64_t small = SmallValue(n);
  if (small >= 0) return IsSmallPrime(small);
  if ((n.digits[0] & 1) == 0) return false;
  const TMillerRabinSetup setup = FactorOutTwos(n);
  const bigint_internal::TMontgomery64 mont(n);
  bigint_internal::Limbs one = mont.One();
  bigint_internal::Limbs minusOne = mont.ToMontgomery(BigIntSubtract(n, BigIntFromInt64(1)));
  RandomReseedFromClock();
  bool probablePrime = true;
  for (int32_t round = 0; probablePrime && round < rounds; ++round) {
    const int32_t base = SmallPrimeTable[RandomBelow(kBasePoolSize)];
    probablePrime = StrongProbablePrimeRound(mont, mont.ToMontgomery(BigIntFromInt64(base)), setup.d, setup.s,
                                             one, minusOne);
  }
  WipeMontgomeryUnits(one, minusOne);
  return probablePrime;
}

bool BigIntIsLikelyPrime(const TBigInt& n, int32_t rounds) {
  if (!IsPositive(n)) return false;
  const int64_t small = SmallValue(n);
  if (small >= 0) return IsSmallPrime(small);
  return BigIntPassesTrialDivision(n) && BigIntMillerRabin(n, rounds);
}

}  // namespace corvane
