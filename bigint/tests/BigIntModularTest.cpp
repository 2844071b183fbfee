// Modular arithmetic: the non-negative remainder, exponentiation on both sides of the Montgomery
// radix's digit boundary, gcd and inverse, and the rejected moduli.
#include <gtest/gtest.h>

#include "bigint/BigIntModular.h"
#include "bigint/BigIntText.h"
#include "bigint/tests/BigIntTestValues.h"

namespace corvane {
namespace {

using testing::Dec;
using testing::Digits;
using testing::NegativeZero;

TEST(BigIntModulo, NonNegativeWhateverTheSigns) {
  const struct {
    const char *a, *m, *r;
  } cases[] = {{"-7", "3", "2"}, {"7", "-3", "1"}, {"-6", "3", "0"}, {"2", "7", "2"},
               {"-2", "7", "5"}, {"-0", "7", "0"}, {"-7", "-3", "2"}};
  for (const auto& c : cases) EXPECT_EQ(BigIntModulo(Dec(c.a), Dec(c.m)), Dec(c.r)) << c.a << " mod " << c.m;
  EXPECT_THROW(BigIntModulo(Dec("5"), Dec("0")), EBigIntError);
  EXPECT_THROW(BigIntModMultiply(Dec("5"), Dec("3"), NegativeZero()), EBigIntError);
  EXPECT_EQ(BigIntModMultiply(Dec("-4"), Dec("5"), Dec("7")), Dec("1"));
  EXPECT_EQ(BigIntModSquare(Dec("-4"), Dec("7")), Dec("2"));
}

TEST(BigIntModPower, KnownValues) {
  const struct {
    const char *b, *e, *n, *r;
  } cases[] = {
      {"3", "0", "7", "1"},
      {"3", "1", "7", "3"},
      {"2", "10", "1001", "23"},
      {"-2", "3", "7", "6"},
      {"2", "-10", "1001", "23"},  // the exponent's sign is ignored
      {"5", "0", "1", "0"},
      {"5", "3", "1", "0"},
      {"14", "5", "7", "0"},                     // a multiple of the modulus
      {"100000000000000000003", "5", "7", "3"},  // reduced first: 10^20 + 3 = 3 (mod 7)
      // Top digit with bit 30 set (2^62 - 1, a radix starting a new digit) and a small top digit (2^31 + 1).
      {"3", "1000000007", "4611686018427387903", "2057947682283141183"},
      {"3", "1000000007", "2147483649", "1068801849"},
      {"123456789", "987654321", "2147483647", "1077769156"},  // one-digit modulus
      // Moduli that fill their top 64-bit limb exactly, and ones that spill one bit into a new limb.
      {"3", "1000000007", "18446744073709551557", "12125643262453392000"},
      {"3", "1000000007", "18446744073709551629", "10060556809272011532"},
      {"-5", "1267650600228229401496703205377", "340282366920938463463374607431768211297",
       "332888378597048103719735738594212985410"},
      {"-5", "1267650600228229401496703205377", "340282366920938463463374607431768211507",
       "301138053318740439153976141348625568874"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(BigIntModPower(Dec(c.b), Dec(c.e), Dec(c.n)), Dec(c.r)) << c.b << "^" << c.e << " mod " << c.n;
  }
}

TEST(BigIntModPower, EvenZeroAndNegativeModuliAreRejected) {
  for (const char* n : {"0", "-0", "8", "-7", "4611686018427387904"})
    EXPECT_THROW(BigIntModPower(Dec("3"), Dec("5"), Dec(n)), EBigIntError) << n;
}

TEST(BigIntGcd, EuclidResults) {
  EXPECT_EQ(BigIntGcd(Dec("12"), Dec("18")), Dec("6"));
  EXPECT_EQ(BigIntGcd(Dec("18"), Dec("12")), Dec("6"));
  EXPECT_EQ(BigIntGcd(Dec("7"), Dec("0")), Dec("7"));
  EXPECT_EQ(BigIntGcd(Dec("0"), Dec("7")), Dec("7"));
  EXPECT_EQ(BigIntGcd(Dec("0"), Dec("0")), Dec("0"));
  // Equal magnitudes give a copy of the first operand, flag included.
  EXPECT_EQ(BigIntGcd(Dec("-6"), Dec("6")), Dec("-6"));
  EXPECT_EQ(BigIntGcd(Dec("6"), Dec("-6")), Dec("6"));
  EXPECT_EQ(BigIntGcd(Dec("-7"), Dec("0")), Dec("-7"));
  EXPECT_EQ(BigIntGcd(Dec("6"), Dec("-3")), Dec("-3"));   // the smaller divides the larger
  EXPECT_EQ(BigIntGcd(Dec("-12"), Dec("18")), Dec("6"));  // otherwise a positive remainder
}

TEST(BigIntModInverse, InverseOrUntouchedResult) {
  TBigInt s;
  EXPECT_TRUE(BigIntModInverse(Dec("3"), Dec("7"), s));
  EXPECT_EQ(s, Dec("5"));
  EXPECT_TRUE(BigIntModInverse(Dec("10"), Dec("7"), s));
  EXPECT_EQ(s, Dec("5"));
  EXPECT_TRUE(BigIntModInverse(Dec("-3"), Dec("7"), s));
  EXPECT_EQ(s, Dec("2"));
  EXPECT_TRUE(BigIntModInverse(Dec("5"), Dec("1"), s));
  EXPECT_EQ(s, Dec("0"));

  const TBigInt before = Dec("-987654321987654321");
  for (const char* a : {"2", "0", "-0", "6"}) {
    s = before;
    EXPECT_FALSE(BigIntModInverse(Dec(a), Dec("4"), s)) << a;
    EXPECT_EQ(s, before) << a;
  }
  EXPECT_THROW(BigIntModInverse(Dec("3"), Dec("0"), s), EBigIntError);
  EXPECT_THROW(BigIntModInverse(Dec("3"), Dec("-7"), s), EBigIntError);
  EXPECT_EQ(s, before);
}

}  // namespace
}  // namespace corvane
