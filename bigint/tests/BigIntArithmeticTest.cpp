// Representation, sign rules and tie-breaks of the basic arithmetic, and the errors raised for
// operands outside an operation's domain.
#include <gtest/gtest.h>

#include "bigint/BigInt.h"
#include "bigint/BigIntText.h"
#include "bigint/tests/BigIntTestValues.h"

namespace corvane {
namespace {

using testing::Dec;
using testing::Digits;
using testing::NegativeZero;

TEST(BigIntAdd, CarryIntoNewDigitAndSignOfZeroResults) {
  EXPECT_EQ(BigIntAdd(Digits({0x7FFFFFFF}), Dec("1")), Digits({0, 1}));
  EXPECT_EQ(BigIntFromInt64(0x7FFFFFFF), Digits({0x7FFFFFFF}));
  // A zero sum or difference keeps the first operand's flag.
  EXPECT_EQ(BigIntAdd(Dec("5"), Dec("-5")), Digits({0}, 1));
  EXPECT_EQ(BigIntAdd(Dec("-5"), Dec("5")), Digits({0}, 0));
  EXPECT_EQ(BigIntSubtract(Dec("-5"), Dec("-5")), Digits({0}, 0));
  EXPECT_EQ(BigIntSubtract(Dec("5"), Dec("5")), Digits({0}, 1));
  // Otherwise the operand of larger magnitude decides.
  EXPECT_EQ(BigIntAdd(Dec("-3"), Dec("10")), Dec("7"));
  EXPECT_EQ(BigIntAdd(Dec("3"), Dec("-10")), Dec("-7"));
  EXPECT_EQ(BigIntSubtract(Dec("3"), Dec("10")), Dec("-7"));
}

TEST(BigIntAdd, OperandMayBeUsedTwiceAndIsLeftUnchanged) {
  const TBigInt a = Dec("-4611686018427387904");
  const TBigInt copy = a;
  EXPECT_EQ(BigIntAdd(a, a), Dec("-9223372036854775808"));
  EXPECT_EQ(BigIntSubtract(a, a), NegativeZero());
  EXPECT_EQ(BigIntMultiply(a, a), BigIntSquare(a));
  EXPECT_EQ(a, copy);
}

TEST(BigIntSubtract, ShorterResultIsTrimmed) {
  // 2^62 - 1 has two digits; the minuend had three.
  const TBigInt r = BigIntSubtract(Digits({0, 0, 1}), Dec("1"));
  EXPECT_EQ(r, Digits({0x7FFFFFFF, 0x7FFFFFFF}));
  TBigInt a = Digits({5, 7, 9});
  BigIntSubtractMagnitudeInPlace(a, Digits({5, 7, 9}, 0));
  EXPECT_EQ(a, Digits({0}));
  TBigInt b = Digits({3, 0, 1}, 0);
  BigIntSubtractMagnitudeInPlace(b, Digits({4}));
  EXPECT_EQ(b, Digits({0x7FFFFFFF, 0x7FFFFFFF}, 0));  // flag untouched
}

TEST(BigIntMultiply, FlagRules) {
  EXPECT_EQ(BigIntMultiply(Dec("0"), Dec("-3")), Digits({0}, 0));
  EXPECT_EQ(BigIntMultiply(Dec("-3"), Dec("-4")), Dec("12"));
  EXPECT_EQ(BigIntMultiply(Dec("-3"), Dec("4")), Dec("-12"));
  EXPECT_EQ(BigIntSquare(Dec("-3")), Dec("9"));
  EXPECT_EQ(BigIntSquare(NegativeZero()), Digits({0}, 1));
  EXPECT_EQ(BigIntSquare(Digits({0x7FFFFFFF, 0x7FFFFFFF})),
            Dec("21267647932558653957237540927630737409"));  // (2^62 - 1)^2
}

TEST(BigIntCompareMagnitude, DigitCountThenDigitsSignIgnored) {
  EXPECT_EQ(BigIntCompareMagnitude(Digits({0, 0, 1}), Digits({0x7FFFFFFF, 0x7FFFFFFF})),
            MagnitudeOrder::FirstLarger);
  EXPECT_EQ(BigIntCompareMagnitude(Digits({5}), Digits({0, 1})), MagnitudeOrder::FirstSmaller);
  EXPECT_EQ(BigIntCompareMagnitude(Dec("7"), Dec("-7")), MagnitudeOrder::Equal);
  EXPECT_EQ(BigIntCompareMagnitude(Digits({1, 2}), Digits({0, 2})), MagnitudeOrder::FirstLarger);
  EXPECT_EQ(BigIntCompareMagnitude(NegativeZero(), Dec("0")), MagnitudeOrder::Equal);
}

TEST(BigIntDivide, QuotientAndRemainderSignTable) {
  struct Case {
    const char *a, *b, *q, *r;
    uint8_t qFlag;
  };
  const Case cases[] = {
      {"7", "2", "3", "1", 1},   {"-7", "2", "-4", "1", 0}, {"7", "-2", "-3", "1", 0},
      {"-7", "-2", "4", "1", 1}, {"-6", "2", "-3", "0", 0}, {"-3", "7", "-1", "4", 0},
      {"3", "7", "0", "3", 1},   {"3", "-7", "0", "3", 0},  {"0", "-7", "0", "0", 0},
      {"-0", "7", "0", "0", 0},  {"-0", "-7", "0", "0", 1}, {"-6", "-2", "3", "0", 1},
  };
  for (const Case& c : cases) {
    const TBigIntDivision d = BigIntDivideWithRemainder(Dec(c.a), Dec(c.b));
    TBigInt q = Dec(c.q);
    q.signFlag = c.qFlag;
    EXPECT_EQ(d.quotient, q) << c.a << " / " << c.b;
    EXPECT_EQ(d.remainder, Dec(c.r)) << c.a << " / " << c.b;
    EXPECT_EQ(BigIntDivide(Dec(c.a), Dec(c.b)), q) << c.a << " / " << c.b;
  }
}

TEST(BigIntDivide, LongDividendsAndExtremeDivisorDigits) {
  // 2^(31*9) - 1 divided by a one-digit divisor and by divisors whose top digit is 0x7FFFFFFF.
  const TBigInt a = BigIntSubtract(Digits({0, 0, 0, 0, 0, 0, 0, 0, 0, 1}), Dec("1"));
  for (const TBigInt& b : {Dec("3"), Digits({0x7FFFFFFF}), Digits({1, 0x7FFFFFFF}),
                           Digits({0, 0, 0x7FFFFFFF}), Digits({0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF})}) {
    const TBigIntDivision d = BigIntDivideWithRemainder(a, b);
    EXPECT_EQ(BigIntAdd(BigIntMultiply(d.quotient, b), d.remainder), a);
    EXPECT_EQ(BigIntCompareMagnitude(d.remainder, b), MagnitudeOrder::FirstSmaller);
  }
  EXPECT_EQ(BigIntDivide(a, Digits({0x7FFFFFFF})),
            Dec("452312848793890971808518248247112008541969316111895757139568199407784427521"));
}

TEST(BigIntSmallOperands, MultiplyDivideRemainder) {
  TBigInt a = Digits({0x7FFFFFFF, 0x7FFFFFFF}, 0);
  BigIntMultiplyBySmallInPlace(a, 0x7FFFFFFF);
  EXPECT_EQ(a, Digits({1, 0x7FFFFFFF, 0x7FFFFFFE}, 0));  // (2^62-1)(2^31-1), flag untouched
  EXPECT_EQ(BigIntDivideBySmallInPlace(a, 0x7FFFFFFF), 0);
  EXPECT_EQ(a, Digits({0x7FFFFFFF, 0x7FFFFFFF}, 0));
  EXPECT_EQ(BigIntRemainderBySmall(a, 1000000000), 427387903);  // (2^62 - 1) mod 10^9
  EXPECT_EQ(BigIntRemainderBySmall(Dec("-10"), 3), 1);          // of the magnitude
  TBigInt z = Dec("12345");
  BigIntMultiplyBySmallInPlace(z, 0);
  EXPECT_EQ(z, Dec("0"));
}

TEST(BigIntShifts, HalvingAndDigitShifts) {
  TBigInt a = Digits({0, 1});
  BigIntHalveInPlace(a);
  EXPECT_EQ(a, Digits({1u << 30}));
  TBigInt one = Dec("1");
  BigIntHalveInPlace(one);
  EXPECT_EQ(one, Digits({0}));
  TBigInt three = Digits({1, 1, 1}, 0);
  BigIntHalveInPlace(three);
  EXPECT_EQ(three, Digits({1u << 30, 1u << 30}, 0));

  TBigInt single = Dec("99");
  BigIntShiftDownOneDigit(single);
  EXPECT_EQ(single, Digits({0}));
  TBigInt pair = Digits({4, 5});
  BigIntShiftDownOneDigit(pair);
  EXPECT_EQ(pair, Digits({5}));
  BigIntShiftUpOneDigit(pair);
  EXPECT_EQ(pair, Digits({0, 5}));
  TBigInt zero = Dec("0");
  BigIntShiftUpOneDigit(zero);
  EXPECT_EQ(zero, Digits({0}));  // stays normalised
}

TEST(BigIntBasics, NegateReleaseCopyAndBitLength) {
  TBigInt zero;
  BigIntNegate(zero);
  EXPECT_EQ(zero, NegativeZero());
  BigIntNegate(zero);
  EXPECT_EQ(zero, Dec("0"));
  TBigInt x = Dec("-123456789012345678901234567890");
  TBigInt copy = BigIntCopy(x);
  BigIntSetPositive(copy);
  EXPECT_EQ(x.signFlag, 0);
  BigIntRelease(x);
  EXPECT_EQ(x, Dec("0"));
  EXPECT_EQ(BigIntBitLength(copy), 97u);
  EXPECT_EQ(BigIntBitLength(Dec("0")), 0u);
  EXPECT_EQ(BigIntFromInt64(INT64_MIN), Dec("-9223372036854775808"));
}

TEST(BigIntErrors, OperandsOutsideTheDomainAreRejected) {
  EXPECT_THROW(BigIntDivideWithRemainder(Dec("5"), Dec("0")), EBigIntError);
  EXPECT_THROW(BigIntDivide(Dec("5"), NegativeZero()), EBigIntError);
  TBigInt a = Dec("5");
  EXPECT_THROW(BigIntDivideBySmallInPlace(a, 0), EBigIntError);
  EXPECT_THROW(BigIntDivideBySmallInPlace(a, -3), EBigIntError);
  EXPECT_THROW(BigIntRemainderBySmall(a, 0), EBigIntError);
  EXPECT_THROW(BigIntMultiplyBySmallInPlace(a, int64_t{1} << 31), EBigIntError);
  EXPECT_THROW(BigIntMultiplyBySmallInPlace(a, -1), EBigIntError);
  EXPECT_THROW(BigIntSubtractMagnitudeInPlace(a, Dec("6")), EBigIntError);
  EXPECT_EQ(a, Dec("5"));  // untouched by the rejected calls
  // Every one of them is a corvane::Exception with a message.
  try {
    BigIntDivide(Dec("1"), Dec("0"));
    FAIL();
  } catch (const Exception& e) {
    EXPECT_STRNE(e.what(), "");
  }
}

}  // namespace
}  // namespace corvane
