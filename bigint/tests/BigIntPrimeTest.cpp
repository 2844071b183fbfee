// The random source, the small-prime table, trial division and Miller-Rabin. Miller-Rabin runs under a
// fixed clock and is compared with a GMP-based reference that draws its bases the same way.
#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "bigint/BigIntPrime.h"
#include "bigint/BigIntRandom.h"
#include "bigint/BigIntText.h"
#include "bigint/tests/BigIntTestValues.h"
#include "bigint/tests/GmpReference.h"

namespace corvane {
namespace {

using testing::Dec;
using testing::FromMpz;
using testing::Mpz;

uint32_t fixedClockValue = 0;
uint32_t FixedClock() {
  return fixedClockValue;
}

// Installs a fixed clock for the test's lifetime.
class FixedClockScope {
 public:
  explicit FixedClockScope(uint32_t value) : previous_(SetRandomClock(&FixedClock)) {
    fixedClockValue = value;
  }
  ~FixedClockScope() { SetRandomClock(previous_); }

 private:
  TimeOfDayClock previous_;
};

std::vector<int32_t> OddPrimesBelow10000() {
  std::vector<bool> composite(10000, false);
  std::vector<int32_t> primes;
  for (int32_t i = 2; i < 10000; ++i) {
    if (composite[i]) continue;
    for (int32_t j = 2 * i; j < 10000; j += i) composite[j] = true;
    if (i > 2) primes.push_back(i);
  }
  return primes;
}

struct ReferenceOutcome {
  bool probablePrime;
  uint32_t finalState;
};

// n - 1 = 2^s d; a^d is 1 or n - 1, or a square of it reaches n - 1 within s - 1 squarings.
bool ReferenceStrongProbablePrime(const Mpz& n, unsigned long a) {
  Mpz nMinusOne, d, x, base;
  mpz_sub_ui(nMinusOne.get(), n.get(), 1);
  const mp_bitcnt_t s = mpz_scan1(nMinusOne.get(), 0);
  mpz_tdiv_q_2exp(d.get(), nMinusOne.get(), s);
  mpz_set_ui(base.get(), a);
  mpz_powm(x.get(), base.get(), d.get(), n.get());
  if (mpz_cmp_ui(x.get(), 1) == 0 || mpz_cmp(x.get(), nMinusOne.get()) == 0) return true;
  for (mp_bitcnt_t i = 1; i < s; ++i) {
    mpz_powm_ui(x.get(), x.get(), 2, n.get());
    if (mpz_cmp(x.get(), nMinusOne.get()) == 0) return true;
    if (mpz_cmp_ui(x.get(), 1) == 0) return false;
  }
  return false;
}

ReferenceOutcome ReferenceMillerRabin(const TBigInt& candidate, uint32_t clock, int rounds) {
  static const std::vector<int32_t> primes = OddPrimesBelow10000();
  const Mpz n(candidate);
  uint32_t state = clock;
  for (int round = 0; round < rounds; ++round) {
    state = state * 134775813u + 1;
    const auto j = static_cast<size_t>((uint64_t{state} * 1227) >> 32);
    if (!ReferenceStrongProbablePrime(n, static_cast<unsigned long>(primes[j]))) return {false, state};
  }
  return {true, state};
}

bool ReferencePassesTrialDivision(const TBigInt& candidate) {
  const Mpz n(candidate);
  if (mpz_even_p(n.get())) return false;
  for (const int32_t p : OddPrimesBelow10000())
    if (mpz_divisible_ui_p(n.get(), static_cast<unsigned long>(p))) return false;
  return true;
}

TEST(RandomSource, SequenceFromStateZeroAndBounds) {
  RandomSource source;
  std::vector<int32_t> draws;
  for (int i = 0; i < 5; ++i) draws.push_back(source.Below(1227));
  EXPECT_EQ(draws, (std::vector<int32_t>{0, 38, 1056, 248, 334}));

  source.SetState(0xFFFFFFFF);
  source.Step();
  EXPECT_EQ(source.State(), 0xFFFFFFFFu * 134775813u + 1);

  bool seen[2] = {false, false};
  for (int i = 0; i < 200; ++i) {
    const int32_t bit = source.Below(2);
    ASSERT_TRUE(bit == 0 || bit == 1);
    seen[bit] = true;
    const int32_t j = source.Below(1227);
    ASSERT_TRUE(j >= 0 && j < 1227);
    ASSERT_EQ(source.Below(1), 0);
    const int32_t wide = source.Below(0x7FFFFFFF);
    ASSERT_TRUE(wide >= 0 && wide < 0x7FFFFFFF);
  }
  EXPECT_TRUE(seen[0] && seen[1]);
  EXPECT_THROW(source.Below(0), EBigIntError);
  EXPECT_THROW(source.Below(-5), EBigIntError);
}

TEST(RandomSource, ReseedsFromTheUtcTimeOfDay) {
  using namespace std::chrono;
  const sys_days day = year{2026} / December / 10;
  EXPECT_EQ(MillisecondsOfDay(day + hours{12} + minutes{34} + seconds{56} + milliseconds{789}),
            ((12u * 60 + 34) * 60 + 56) * 1000 + 789);
  EXPECT_EQ(MillisecondsOfDay(day), 0u);
  EXPECT_EQ(MillisecondsOfDay(day + hours{24} - milliseconds{1}), 86399999u);
  EXPECT_LT(SystemTimeOfDayMilliseconds(), 86400000u);
  {
    FixedClockScope clock(45296789);
    RandomReseedFromClock();
    EXPECT_EQ(TheRandomSource().State(), 45296789u);
  }
  // The system clock is back.
  RandomReseedFromClock();
  EXPECT_LT(TheRandomSource().State(), 86400000u);
}

TEST(SmallPrimeTable, OddPrimesBelowTenThousand) {
  const std::vector<int32_t> expected = OddPrimesBelow10000();
  ASSERT_EQ(expected.size(), 1228u);
  EXPECT_TRUE(std::equal(SmallPrimeTable.begin(), SmallPrimeTable.end(), expected.begin()));
}

TEST(TrialDivision, RejectsMultiplesOfTablePrimesAndEvenNumbers) {
  EXPECT_TRUE(BigIntPassesTrialDivision(Dec("10007")));
  EXPECT_TRUE(BigIntPassesTrialDivision(Dec("-10007")));     // the sign is ignored
  EXPECT_TRUE(BigIntPassesTrialDivision(Dec("100160063")));  // 10007 * 10009
  for (const char* n : {"9975", "3", "9973", "2", "0", "10008", "99460729", "1000000000000000000000000"})
    EXPECT_FALSE(BigIntPassesTrialDivision(Dec(n))) << n;  // 99460729 = 9973^2
}

// Every table prime is found as a factor, alone with a large prime cofactor or beside others.
TEST(TrialDivision, FindsEveryTablePrimeAsAFactor) {
  Mpz large;
  mpz_ui_pow_ui(large.get(), 10, 90);
  mpz_nextprime(large.get(), large.get());
  const TBigInt bigPrime = FromMpz(large.get(), 1);
  ASSERT_TRUE(BigIntPassesTrialDivision(bigPrime));
  for (const int32_t p : SmallPrimeTable) {
    const TBigInt factor = BigIntFromInt64(p);
    EXPECT_FALSE(BigIntPassesTrialDivision(BigIntMultiply(factor, Dec("1000003")))) << p;
    EXPECT_FALSE(BigIntPassesTrialDivision(BigIntMultiply(factor, bigPrime))) << p;
    EXPECT_FALSE(BigIntPassesTrialDivision(BigIntMultiply(BigIntSquare(factor), bigPrime))) << p;
  }
}

TEST(IsLikelyPrime, ExactForSmallAndNonPositiveCandidates) {
  const std::vector<int32_t> primes = OddPrimesBelow10000();
  FixedClockScope clock(0);
  for (int32_t v = -3; v <= 9973; ++v) {
    const bool prime = v == 2 || std::binary_search(primes.begin(), primes.end(), v);
    ASSERT_EQ(BigIntIsLikelyPrime(BigIntFromInt64(v), 4), prime) << v;
    ASSERT_EQ(BigIntMillerRabin(BigIntFromInt64(v), 4), prime) << v;
  }
  EXPECT_FALSE(BigIntIsLikelyPrime(Dec("-10007"), 4));
  EXPECT_FALSE(BigIntIsLikelyPrime(testing::NegativeZero(), 4));
}

TEST(MillerRabin, PartExamplesUnderEveryClock) {
  for (const uint32_t clock : {0u, 1u, 12345u, 45296789u, 86399999u}) {
    FixedClockScope fixed(clock);
    for (const int rounds : {1, 4, 20}) {
      EXPECT_TRUE(BigIntMillerRabin(Dec("10007"), rounds));
      EXPECT_TRUE(BigIntIsLikelyPrime(Dec("10007"), rounds));
      EXPECT_FALSE(BigIntMillerRabin(Dec("100160063"), rounds)) << clock;  // 10007 * 10009
      EXPECT_FALSE(BigIntMillerRabin(Dec("100460333"), rounds)) << clock;  // 10009 * 10037
    }
    EXPECT_TRUE(BigIntMillerRabin(Dec("100160063"), 0));               // zero rounds answer true
    EXPECT_FALSE(BigIntMillerRabin(Dec("100000000000000000000"), 4));  // even
  }
}

TEST(MillerRabin, SameMillisecondSameBases) {
  FixedClockScope clock(777);
  const TBigInt prime = Dec("170141183460469231731687303715884105727");  // 2^127 - 1
  ASSERT_TRUE(BigIntMillerRabin(prime, 6));
  const uint32_t after = TheRandomSource().State();
  TheRandomSource().SetState(5);
  ASSERT_TRUE(BigIntMillerRabin(prime, 6));
  EXPECT_EQ(TheRandomSource().State(), after);
  EXPECT_EQ(after, ReferenceMillerRabin(prime, 777, 6).finalState);
}

TEST(MillerRabin, StrongPseudoprimesToBaseThree) {
  for (const char* n : {"121", "703", "1891", "3281", "8401", "8911", "10585", "12403", "16531", "18721",
                        "19345", "23521", "31621", "25326001", "3215031751"}) {
    EXPECT_TRUE(BigIntStrongProbablePrime(Dec(n), Dec("3"))) << n;
    // ... but none of them to both 11 and 13
    EXPECT_FALSE(BigIntStrongProbablePrime(Dec(n), Dec("11")) && BigIntStrongProbablePrime(Dec(n), Dec("13")))
        << n;
  }
  // From state 0 the first base drawn is 3 (index 0): one round is fooled, more rounds are not.
  FixedClockScope clock(0);
  EXPECT_TRUE(BigIntMillerRabin(Dec("3215031751"), 1));
  EXPECT_FALSE(BigIntMillerRabin(Dec("3215031751"), 4));
  EXPECT_THROW(BigIntStrongProbablePrime(Dec("10"), Dec("3")), EBigIntError);
}

// Carmichael numbers (6k+1)(12k+1)(18k+1) with all three factors above 10,000, so that trial division
// cannot catch them.
std::vector<TBigInt> LargeCarmichaelNumbers() {
  std::vector<TBigInt> found;
  for (unsigned long k = 1667; found.size() < 6; ++k) {
    Mpz a, b, c;
    mpz_set_ui(a.get(), 6 * k + 1);
    mpz_set_ui(b.get(), 12 * k + 1);
    mpz_set_ui(c.get(), 18 * k + 1);
    if (!mpz_probab_prime_p(a.get(), 30) || !mpz_probab_prime_p(b.get(), 30) ||
        !mpz_probab_prime_p(c.get(), 30))
      continue;
    mpz_mul(a.get(), a.get(), b.get());
    mpz_mul(a.get(), a.get(), c.get());
    found.push_back(FromMpz(a.get(), 1));
  }
  return found;
}

TEST(MillerRabin, AgreesWithReferenceOnPrimesCarmichaelsAndPseudoprimes) {
  std::vector<TBigInt> candidates;
  for (const char* n : {"10007",  "100160063", "100460333",  "41041",
                        "62745",  "63973",     "75361",      "101101",
                        "126217", "172081",    "188461",     "252601",
                        "278545", "294409",    "314821",     "334153",
                        "340561", "399001",    "410041",     "449065",
                        "488881", "512461",    "10585",      "12403",
                        "16531",  "18721",     "19345",      "23521",
                        "31621",  "25326001",  "3215031751", "170141183460469231731687303715884105727",
                        "10007"})
    candidates.push_back(Dec(n));
  const std::vector<TBigInt> carmichaels = LargeCarmichaelNumbers();
  candidates.insert(candidates.end(), carmichaels.begin(), carmichaels.end());
  // Random odd numbers and primes of 1 to 25 digits (up to 775 bits), some = 3 (mod 4) so that s = 1.
  testing::OperandGenerator gen(0x5EED);
  for (int i = 0; i < 60; ++i) {
    TBigInt x = gen.NextOddPositive(25);
    Mpz m(x);
    if (i % 2 == 0) mpz_nextprime(m.get(), m.get());
    candidates.push_back(FromMpz(m.get(), 1));
  }
  for (const TBigInt& n : candidates) {
    if (BigIntCompareMagnitude(n, Dec("9973")) != MagnitudeOrder::FirstLarger) continue;
    for (const uint32_t clock : {0u, 3u, 45296789u, 86399999u}) {
      FixedClockScope fixed(clock);
      for (const int rounds : {1, 4, 10}) {
        const ReferenceOutcome expected = ReferenceMillerRabin(n, clock, rounds);
        ASSERT_EQ(BigIntMillerRabin(n, rounds), expected.probablePrime)
            << BigIntToDecimalText(n) << " " << clock;
        ASSERT_EQ(TheRandomSource().State(), expected.finalState);
        ASSERT_EQ(BigIntIsLikelyPrime(n, rounds), ReferencePassesTrialDivision(n) && expected.probablePrime);
      }
    }
  }
  FixedClockScope fixed(45296789);
  for (const TBigInt& n : carmichaels) EXPECT_FALSE(BigIntIsLikelyPrime(n, 4)) << BigIntToDecimalText(n);
}

}  // namespace
}  // namespace corvane
