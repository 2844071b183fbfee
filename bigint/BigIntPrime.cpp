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

// What a Miller-Rabin test needs of n alone: n - 1 = 2^s * d with d odd, and the Montgomery forms of 1
// and n - 1. n must be odd and at least 3 (EBigIntError otherwise).
class TStrongPrimeTest {
 public:
  explicit TStrongPrimeTest(const TBigInt& n) : mont_(n), d_(BigIntSubtract(n, BigIntFromInt64(1))) {
    if (BigIntIsZero(d_)) throw EBigIntError("A Miller-Rabin round needs an odd candidate above 2");
    while ((d_.digits[0] & 1) == 0) {
      BigIntHalveInPlace(d_);
      ++s_;
    }
    one_ = mont_.One();
    minusOne_ = mont_.ToMontgomery(BigIntSubtract(n, BigIntFromInt64(1)));
  }
  // R mod n and (n - 1) R mod n add up to n, which may be about to become a prime of a key.
  ~TStrongPrimeTest() {
    SecureWipe(one_);
    SecureWipe(minusOne_);
  }
  TStrongPrimeTest(const TStrongPrimeTest&) = delete;
  TStrongPrimeTest& operator=(const TStrongPrimeTest&) = delete;

  // True when n is a strong probable prime to `base` (any integer, reduced modulo n).
  bool Round(const TBigInt& base) const {
    bigint_internal::Limbs x = mont_.PowerMontgomery(mont_.ToMontgomery(base), d_);
    if (x == one_ || x == minusOne_) return true;
    // Square up to s - 1 times looking for n - 1; reaching 1 first means a non-trivial root of 1.
    for (uint64_t i = 1; i < s_; ++i) {
      mont_.Square(x, x);
      if (x == minusOne_) return true;
      if (x == one_) return false;
    }
    return false;
  }

 private:
  const bigint_internal::TMontgomery64 mont_;  // rejects even and non-positive n
  TBigInt d_;
  uint64_t s_ = 0;
  bigint_internal::Limbs one_;
  bigint_internal::Limbs minusOne_;
};

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
  return TStrongPrimeTest(n).Round(a);
}

bool BigIntMillerRabin(const TBigInt& n, int32_t rounds) {
  if (!IsPositive(n)) return false;
  const int64_t small = SmallValue(n);
  if (small >= 0) return IsSmallPrime(small);
  if ((n.digits[0] & 1) == 0) return false;
  const TStrongPrimeTest test(n);
  RandomReseedFromClock();
  for (int32_t round = 0; round < rounds; ++round) {
    const int32_t base = SmallPrimeTable[RandomBelow(kBasePoolSize)];
    if (!test.Round(BigIntFromInt64(base))) return false;
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
