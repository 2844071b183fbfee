// Decimal, bit, byte and radix-64 forms: the documented examples, the conversion error, and arbitrary
// bytes fed to every reader.
#include <gtest/gtest.h>

#include <random>

#include "bigint/BigIntText.h"
#include "bigint/tests/BigIntTestValues.h"

namespace corvane {
namespace {

using testing::Dec;
using testing::Digits;
using testing::NegativeZero;

std::string Bytes(std::initializer_list<int> values) {
  std::string s;
  for (const int v : values) s.push_back(static_cast<char>(v));
  return s;
}

TEST(DecimalText, ReadsAndPrints) {
  EXPECT_EQ(BigIntFromDecimalText("65537"), Digits({65537}));
  EXPECT_EQ(BigIntToDecimalText(Digits({65537})), "65537");
  // 123456789012 = 123 * 10^9 + 456789012
  EXPECT_EQ(BigIntFromDecimalText("123456789012"), Digits({0x3E991A14, 57}));
  EXPECT_EQ(BigIntToDecimalText(Dec("1000000000")), "1000000000");
  EXPECT_EQ(BigIntToDecimalText(Dec("1000000000000000000000000000")), "1000000000000000000000000000");
  EXPECT_EQ(BigIntToDecimalText(Digits({0, 1})), "2147483648");
  const struct {
    const char *text, *printed;
  } cases[] = {{"007", "7"},
               {"abc12", "12"},
               {"+5", "5"},
               {"-0", "-0"},
               {"0", "0"},
               {"000", "0"},
               {"-007", "-7"},
               {" 42", "42"},
               {"x-5", "-5"},
               {"", "0"},
               {"-00000000000000000000", "-0"}};
  for (const auto& c : cases)
    EXPECT_EQ(BigIntToDecimalText(BigIntFromDecimalText(c.text)), c.printed) << c.text;
  EXPECT_EQ(BigIntFromDecimalText("-0"), NegativeZero());
  EXPECT_EQ(BigIntToDecimalText(Dec("-1234567890123456789012345678901234567890")),
            "-1234567890123456789012345678901234567890");
}

// Powers of ten and the numbers just below them cross every chunk and limb boundary of the conversion.
TEST(DecimalText, PowersOfTenRoundTrip) {
  TBigInt power = Dec("1");
  for (size_t k = 0; k <= 80; ++k) {
    const std::string text = "1" + std::string(k, '0');
    const std::string nines(k == 0 ? 1 : k, k == 0 ? '0' : '9');
    EXPECT_EQ(BigIntFromDecimalText(text), power) << k;
    EXPECT_EQ(BigIntToDecimalText(power), text) << k;
    const TBigInt below = BigIntSubtract(power, Dec("1"));
    EXPECT_EQ(BigIntFromDecimalText(nines), below) << k;
    EXPECT_EQ(BigIntToDecimalText(below), nines) << k;
    BigIntMultiplyBySmallInPlace(power, 10);
  }
  EXPECT_EQ(BigIntToDecimalText(Digits({0x7FFFFFFF, 0x7FFFFFFF, 3})), "18446744073709551615");  // 2^64 - 1
  EXPECT_EQ(BigIntToDecimalText(Digits({0, 0, 4})), "18446744073709551616");
}

TEST(DecimalText, NonDigitsRaiseConversionErrorNamingTheChunk) {
  const struct {
    const char *text, *message;
  } cases[] = {
      {"12a4", "'12a4' は整数ではありません"},
      {"-", "'' は整数ではありません"},
      {"a", "'a' は整数ではありません"},
      {"4 2", "'4 2' は整数ではありません"},
      {"--5", "'-5' は整数ではありません"},
      {"5-", "'5-' は整数ではありません"},
      // Chunks of nine from the right: "12x" and "456789012".
      {"12x456789012", "'12x' は整数ではありません"},
      {"12345x789012", "'45x789012' は整数ではありません"},
      {"1\xff", "'1?' は整数ではありません"},  // not UTF-8: shown as '?'
  };
  for (const auto& c : cases) {
    try {
      BigIntFromDecimalText(c.text);
      ADD_FAILURE() << c.text;
    } catch (const EConvertError& e) {
      EXPECT_STREQ(e.what(), c.message) << c.text;
    }
  }
}

TEST(BitText, ReadsAndPrints) {
  EXPECT_EQ(BigIntToBitText(Digits({0, 1})), "1" + std::string(31, '0'));
  EXPECT_EQ(BigIntToBitText(Dec("0")), "0");
  EXPECT_EQ(BigIntToBitText(Dec("-5")), "101");
  EXPECT_EQ(BigIntFromBitText("0001" + std::string(31, '0')), Digits({0, 1}));
  EXPECT_EQ(BigIntFromBitText("1x1"), Dec("5"));  // anything but '1' is a 0 bit
  EXPECT_EQ(BigIntFromBitText(""), Dec("0"));
  EXPECT_EQ(BigIntFromBitText("0000"), Dec("0"));
  EXPECT_EQ(BitTextToBytes("1"), Bytes({0x01}));
  EXPECT_EQ(BitTextToBytes("111111111"), Bytes({0x01, 0xFF}));
  EXPECT_EQ(BitTextToBytes(""), "");
  EXPECT_EQ(BitTextToBytes("0000000010000000"), Bytes({0x00, 0x80}));
  EXPECT_EQ(BitGroupToByte("00000101"), 5);
  EXPECT_EQ(BitGroupToByte("1"), 0x80);  // missing positions are clear
  EXPECT_EQ(BitGroupToByte("1z1z1z1z"), 0xAA);
  EXPECT_EQ(SixBitGroupToIndex("000000"), 1);
  EXPECT_EQ(SixBitGroupToIndex("111111"), 64);
  EXPECT_EQ(SixBitGroupToIndex("000011"), 4);
}

TEST(ByteForm, BigEndianMinimalMagnitude) {
  EXPECT_EQ(BigIntToBytes(Dec("256")), Bytes({0x01, 0x00}));
  EXPECT_EQ(BigIntToBytes(Dec("0")), Bytes({0x00}));
  EXPECT_EQ(BigIntToBytes(Dec("-256")), Bytes({0x01, 0x00}));
  EXPECT_EQ(BigIntToBytes(Digits({0, 1})), Bytes({0x80, 0x00, 0x00, 0x00}));
  EXPECT_EQ(BigIntFromBytes(Bytes({0x00, 0x00, 0x05})), Dec("5"));
  EXPECT_EQ(BigIntFromBytes(Bytes({0x00})), Dec("0"));
  EXPECT_EQ(BigIntFromBytes(""), Dec("0"));
  EXPECT_EQ(BigIntFromBytes(Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF})), Dec("1099511627775"));
}

TEST(Radix64, AlphabetAndExamples) {
  EXPECT_EQ(Radix64Alphabet.size(), 64u);
  EXPECT_EQ(BytesToRadix64Text(Bytes({0xFF})), "=y");
  EXPECT_EQ(BytesToRadix64Text("abc"), "mlER");
  EXPECT_EQ(BytesToRadix64Text(Bytes({0x00})), "aa");
  EXPECT_EQ(BytesToRadix64Text(""), "");
  // 0x04 0x10 0x41 = 000001 000001 000001 000001: 'A' is position 1.
  EXPECT_EQ(BytesToRadix64Text(Bytes({0x04, 0x10, 0x41})), "AAAA");
  // Positions 51 ('Z'), 52 ('0'), 62 ('+'), 63 ('='): 110011 110100 111110 111111.
  EXPECT_EQ(BytesToRadix64Text(Bytes({0xCF, 0x4F, 0xBF})), "Z0+=");
  for (const char* text : {"=y", "-=y", "=-y", "=y-", "=\n y\r\n", "=y\xff"})
    EXPECT_EQ(Radix64TextToBytes(text), Bytes({0xFF})) << text;
  EXPECT_EQ(Radix64TextToBytes("mlER"), "abc");
  EXPECT_EQ(Radix64TextToBytes("m"), "");  // 6 bits: short of a byte
  EXPECT_EQ(Radix64TextToBytes("!!!"), "");
}

TEST(Radix64, RoundTripOfEveryLength) {
  std::mt19937 rng(7);
  for (size_t length = 0; length < 64; ++length) {
    std::string bytes(length, '\0');
    for (char& c : bytes) c = static_cast<char>(rng());
    const std::string text = BytesToRadix64Text(bytes);
    EXPECT_EQ(text.size(), (8 * length + 5) / 6);
    EXPECT_EQ(Radix64TextToBytes(text), bytes) << length;
  }
}

TEST(DecimalChunks, DivideBySmall) {
  std::vector<uint32_t> chunks{0, 0, 1};                // 10^18
  EXPECT_EQ(DecimalChunksDivideBySmall(chunks, 7), 1);  // 10^18 = 7 * 142857142857142857 + 1
  EXPECT_EQ(chunks, (std::vector<uint32_t>{857142857, 142857142}));
  std::vector<uint32_t> small{5};
  EXPECT_EQ(DecimalChunksDivideBySmall(small, 10), 5);
  EXPECT_EQ(small, std::vector<uint32_t>{0});
  EXPECT_THROW(DecimalChunksDivideBySmall(small, 0), EBigIntError);
}

// Arbitrary bytes: every reader either answers or raises EConvertError, and what it answers is a
// normalised value that prints back consistently.
TEST(TextReaders, ArbitraryBytesAreSafe) {
  std::mt19937 rng(11);
  const std::string pool = "0123456789-+ ax\xff\n";
  for (int i = 0; i < 3000; ++i) {
    std::string text(rng() % 40, '\0');
    for (char& c : text) c = (i % 2) ? static_cast<char>(rng()) : pool[rng() % pool.size()];
    try {
      const TBigInt v = BigIntFromDecimalText(text);
      ASSERT_TRUE(v.digits.size() == 1 || v.digits.back() != 0);
      ASSERT_EQ(BigIntFromDecimalText(BigIntToDecimalText(v)), v);
    } catch (const EConvertError&) {
    }
    const TBigInt bits = BigIntFromBitText(text);
    ASSERT_TRUE(bits.digits.size() == 1 || bits.digits.back() != 0);
    const TBigInt bytes = BigIntFromBytes(text);
    ASSERT_EQ(BigIntFromBytes(BigIntToBytes(bytes)), bytes);
    ASSERT_EQ(Radix64TextToBytes(BytesToRadix64Text(text)), text);
    Radix64TextToBytes(text);
  }
}

}  // namespace
}  // namespace corvane
