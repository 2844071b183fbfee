// Differential tests against GMP over thousands of random operands of 1..70 digits, both signs, with a
// fixed seed. Sign flags are checked against the rules of each operation, including the flag of zero.
#include <gtest/gtest.h>

#include "bigint/BigInt.h"
#include "bigint/BigIntModular.h"
#include "bigint/BigIntText.h"
#include "bigint/tests/GmpReference.h"

namespace corvane {
namespace {

using testing::FlagOf;
using testing::FromMpz;
using testing::Mpz;
using testing::OperandGenerator;

constexpr int kPairs = 4000;

TEST(BigIntVersusGmp, AddSubtractMultiplySquare) {
  OperandGenerator gen(0xC0FFEE01);
  for (int i = 0; i < kPairs; ++i) {
    const TBigInt a = gen.Next();
    // Every eighth pair uses equal magnitudes to reach the zero tie-break.
    TBigInt b = gen.Next();
    if (i % 8 == 0) b.digits = a.digits;
    const Mpz ma(a), mb(b);
    Mpz expected;

    mpz_add(expected.get(), ma.get(), mb.get());
    EXPECT_EQ(BigIntAdd(a, b), FromMpz(expected.get(), FlagOf(expected.get(), a.signFlag))) << i;
    mpz_sub(expected.get(), ma.get(), mb.get());
    EXPECT_EQ(BigIntSubtract(a, b), FromMpz(expected.get(), FlagOf(expected.get(), a.signFlag))) << i;
    mpz_mul(expected.get(), ma.get(), mb.get());
    EXPECT_EQ(BigIntMultiply(a, b), FromMpz(expected.get(), a.signFlag == b.signFlag ? 1 : 0)) << i;
    mpz_mul(expected.get(), ma.get(), ma.get());
    EXPECT_EQ(BigIntSquare(a), FromMpz(expected.get(), 1)) << i;
  }
}

TEST(BigIntVersusGmp, DivisionWithNonNegativeRemainder) {
  OperandGenerator gen(0xC0FFEE02);
  for (int i = 0; i < 2 * kPairs; ++i) {
    gen.SetExtremeDigits(i % 2 == 1);
    const TBigInt a = gen.Next();
    const TBigInt b = gen.NextNonZero(i % 4 == 0 ? 3 : 70);
    const Mpz ma(a), mb(b);
    // The remainder is a mod abs(b) in 0..abs(b)-1; the quotient is then exact.
    Mpz absB, r, q;
    mpz_abs(absB.get(), mb.get());
    mpz_mod(r.get(), ma.get(), absB.get());
    mpz_sub(q.get(), ma.get(), r.get());
    mpz_divexact(q.get(), q.get(), mb.get());
    // A zero quotient arises only from a non-negative dividend smaller than b and takes b's flag.
    const uint8_t zeroQuotientFlag = a.signFlag == 1 ? b.signFlag : (b.signFlag == 1 ? 0 : 1);

    const TBigIntDivision d = BigIntDivideWithRemainder(a, b);
    ASSERT_EQ(d.quotient, FromMpz(q.get(), FlagOf(q.get(), zeroQuotientFlag))) << i;
    ASSERT_EQ(d.remainder, FromMpz(r.get(), 1)) << i;
    ASSERT_EQ(BigIntDivide(a, b), d.quotient) << i;
    ASSERT_EQ(BigIntModulo(a, b), d.remainder) << i;
  }
}

TEST(BigIntVersusGmp, SmallOperandOperations) {
  OperandGenerator gen(0xC0FFEE03);
  for (int i = 0; i < kPairs; ++i) {
    const TBigInt a = gen.Next();
    const int64_t small = static_cast<int64_t>(gen.Raw() % 0x7FFFFFFF) + 1;
    // Divisors up to 2^63 - 1 as well, beyond the 64-bit fast path.
    const int64_t wide = static_cast<int64_t>(gen.Raw() >> (1 + gen.Raw() % 63)) | 1;
    const Mpz ma(a);
    Mpz absA, expected, product;
    mpz_abs(absA.get(), ma.get());

    TBigInt m = a;
    BigIntMultiplyBySmallInPlace(m, small);
    mpz_mul_ui(product.get(), absA.get(), static_cast<unsigned long>(small));
    ASSERT_EQ(m, FromMpz(product.get(), a.signFlag)) << i;

    for (const int64_t d : {small, wide}) {
      TBigInt q = a;
      const int64_t rem = BigIntDivideBySmallInPlace(q, d);
      mpz_fdiv_q_ui(expected.get(), absA.get(), static_cast<unsigned long>(d));
      ASSERT_EQ(q, FromMpz(expected.get(), a.signFlag)) << i;
      ASSERT_EQ(static_cast<unsigned long>(rem), mpz_fdiv_ui(absA.get(), static_cast<unsigned long>(d))) << i;
      ASSERT_EQ(BigIntRemainderBySmall(a, d), rem) << i;
    }

    TBigInt h = a;
    BigIntHalveInPlace(h);
    mpz_fdiv_q_2exp(expected.get(), absA.get(), 1);
    ASSERT_EQ(h, FromMpz(expected.get(), a.signFlag)) << i;
  }
}

// Moduli of 1..70 digits reach both squaring kernels (below and from 8 limbs) and every window width.
TEST(BigIntVersusGmp, ModularPower) {
  OperandGenerator gen(0xC0FFEE04);
  for (int i = 0; i < 1500; ++i) {
    const TBigInt n = gen.NextOddPositive();
    const TBigInt b = gen.Next();
    const TBigInt e = gen.Next(i % 10 == 0 ? 70 : 8);
    const Mpz mb(b), me(e), mn(n);
    Mpz absE, expected;
    mpz_abs(absE.get(), me.get());
    mpz_powm(expected.get(), mb.get(), absE.get(), mn.get());
    ASSERT_EQ(BigIntModPower(b, e, n), FromMpz(expected.get(), 1)) << i;
  }
}

TEST(BigIntVersusGmp, ModularMultiplyAndSquare) {
  OperandGenerator gen(0xC0FFEE05);
  for (int i = 0; i < kPairs; ++i) {
    const TBigInt a = gen.Next(), b = gen.Next(), m = gen.NextNonZero();
    const Mpz ma(a), mb(b), mm(m);
    Mpz absM, expected;
    mpz_abs(absM.get(), mm.get());
    mpz_mul(expected.get(), ma.get(), mb.get());
    mpz_mod(expected.get(), expected.get(), absM.get());
    ASSERT_EQ(BigIntModMultiply(a, b, m), FromMpz(expected.get(), 1)) << i;
    mpz_mul(expected.get(), ma.get(), ma.get());
    mpz_mod(expected.get(), expected.get(), absM.get());
    ASSERT_EQ(BigIntModSquare(a, m), FromMpz(expected.get(), 1)) << i;
  }
}

TEST(BigIntVersusGmp, GcdAndInverse) {
  OperandGenerator gen(0xC0FFEE06);
  int inverses = 0;
  for (int i = 0; i < kPairs; ++i) {
    // Small moduli every other time, so that a good share of the pairs is coprime and a share is not.
    const TBigInt a = gen.Next(i % 2 ? 70 : 2);
    TBigInt m = gen.NextPositive(i % 2 ? 70 : 2);
    if (BigIntCompareMagnitude(m, BigIntFromInt64(2)) == MagnitudeOrder::FirstSmaller) m = BigIntFromInt64(2);
    const Mpz ma(a), mm(m);
    Mpz expected;

    mpz_gcd(expected.get(), ma.get(), mm.get());
    const TBigInt g = BigIntGcd(a, m);
    ASSERT_EQ(BigIntCompareMagnitude(g, FromMpz(expected.get(), 1)), MagnitudeOrder::Equal) << i;
    if (a.signFlag == 1) {
      ASSERT_EQ(g.signFlag, 1) << i;
    }

    const TBigInt sentinel = BigIntFromInt64(-12345);
    TBigInt s = sentinel;
    const bool exists = mpz_invert(expected.get(), ma.get(), mm.get()) != 0;
    ASSERT_EQ(BigIntModInverse(a, m, s), exists) << i;
    ASSERT_EQ(s, exists ? FromMpz(expected.get(), 1) : sentinel) << i;
    inverses += exists;
  }
  EXPECT_GT(inverses, kPairs / 4);
  EXPECT_LT(inverses, kPairs * 3 / 4 + kPairs / 8);
}

TEST(BigIntVersusGmp, DecimalAndByteForms) {
  OperandGenerator gen(0xC0FFEE07);
  for (int i = 0; i < kPairs; ++i) {
    const TBigInt a = gen.Next();
    const Mpz ma(a);
    const std::string decimal = ma.Decimal();
    // GMP prints zero as "0"; a negative zero (never generated here) would print as "-0".
    ASSERT_EQ(BigIntToDecimalText(a), (a.signFlag == 0 && BigIntIsZero(a)) ? "-0" : decimal) << i;
    ASSERT_EQ(BigIntFromDecimalText(decimal), a.signFlag == 0 && BigIntIsZero(a) ? TBigInt{} : a) << i;

    Mpz absA;
    mpz_abs(absA.get(), ma.get());
    std::string bytes((mpz_sizeinbase(absA.get(), 2) + 7) / 8, '\0');
    size_t written = 0;
    mpz_export(bytes.data(), &written, 1, 1, 1, 0, absA.get());
    if (written == 0) bytes = std::string(1, '\0');
    ASSERT_EQ(BigIntToBytes(a), bytes) << i;
    TBigInt positive = a;
    positive.signFlag = 1;
    ASSERT_EQ(BigIntFromBytes(bytes), positive) << i;
    ASSERT_EQ(BigIntFromBytes(std::string(3, '\0') + bytes), positive) << i;
    ASSERT_EQ(BigIntFromBitText(BigIntToBitText(a)), positive) << i;
  }
}

}  // namespace
}  // namespace corvane
