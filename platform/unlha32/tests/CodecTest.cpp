// The CRC, the Huffman tables and the encoder/decoder pair, below the archive level.
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/unlha32/Crc16.h"
#include "platform/unlha32/Huffman.h"
#include "platform/unlha32/LhaDecoder.h"
#include "platform/unlha32/LhaEncoder.h"
#include "platform/unlha32/LhaMethod.h"
#include "platform/unlha32/tests/TestSupport.h"
#include "platform/unlha32/unlha32.h"

namespace corvane::lha::test {
namespace {

class TStringSink final : public TSink {
 public:
  int Write(const uint8_t* data, size_t size) override {
    bytes.append(reinterpret_cast<const char*>(data), size);
    return 0;
  }
  std::string bytes;
};

const uint8_t* Bytes(const std::string& s) {
  return reinterpret_cast<const uint8_t*>(s.data());
}

std::string Encode(const TMethod& method, const std::string& input, size_t piece = 1 << 20,
                   size_t inputChunk = TLzhEncoder::kDefaultInputChunk) {
  TStringSink out;
  TLzhEncoder encoder(method, out, inputChunk);
  for (size_t at = 0; at < input.size(); at += piece)
    EXPECT_EQ(encoder.Write(Bytes(input) + at, std::min(piece, input.size() - at)), 0);
  EXPECT_EQ(encoder.Finish(), 0);
  EXPECT_EQ(encoder.OutputBytes(), out.bytes.size());
  return out.bytes;
}

// Decodes `packed` as a member of the given method whose original is `original`.
int Decode(const std::string& method, const std::string& packed, uint64_t size, uint16_t crc,
           std::string& out) {
  TMemorySource source(Bytes(packed), packed.size());
  TMember m;
  m.method = method;
  m.compressedSize = packed.size();
  m.originalSize = size;
  m.crc = crc;
  TStringSink sink;
  const int status = DecodeMember(source, m, sink);
  out = sink.bytes;
  return status;
}

TEST(LhaCrc16, KnownValueAndFastPathsEqualPortable) {
  // CRC-16/ARC check value.
  EXPECT_EQ(Crc16Portable(0, Bytes("123456789"), 9), 0xBB3D);
  const std::string data = MakeNoise(20000, 7);
  std::mt19937 rng(3);
  // Lengths around the 16- and 64-byte steps and the 128-byte start of folding, at several alignments,
  // with running CRC values carried in.
  for (size_t start = 0; start < 17; start += 4) {
    for (size_t len = 0; len < 1200; len += len < 300 ? 1 : 53) {
      const uint16_t init = static_cast<uint16_t>(rng());
      const uint16_t expected = Crc16Portable(init, Bytes(data) + start, len);
      ASSERT_EQ(Crc16Slicing(init, Bytes(data) + start, len), expected) << start << " " << len;
      ASSERT_EQ(Crc16(init, Bytes(data) + start, len), expected) << start << " " << len;
      if (HaveClmul()) {
        ASSERT_EQ(Crc16Clmul(init, Bytes(data) + start, len), expected) << start << " " << len;
      }
    }
  }
}

TEST(LhaHuffman, LengthsStayWithinSixteenBitsForSkewedFrequencies) {
  // Fibonacci frequencies would give a 30-deep tree without the limit.
  std::vector<uint32_t> freq(30);
  freq[0] = freq[1] = 1;
  for (size_t i = 2; i < freq.size(); ++i) freq[i] = freq[i - 1] + freq[i - 2];
  const auto lengths = BuildCodeLengths(freq, kMaxCodeLength);
  double kraft = 0;
  for (auto l : lengths) {
    ASSERT_GE(l, 1);
    ASSERT_LE(l, kMaxCodeLength);
    kraft += 1.0 / (1 << l);
  }
  EXPECT_DOUBLE_EQ(kraft, 1.0);
  // Every code decodes back to its symbol, long codes included.
  THuffmanDecoder decoder;
  ASSERT_TRUE(decoder.Build(lengths.data(), static_cast<int>(lengths.size()), 8));
  const auto codes = BuildCodes(lengths);
  for (size_t s = 0; s < lengths.size(); ++s) {
    int len = 0;
    EXPECT_EQ(decoder.Decode(static_cast<uint32_t>(codes[s]) << (16 - lengths[s]), len), static_cast<int>(s));
    EXPECT_EQ(len, lengths[s]);
  }
}

TEST(LhaHuffman, RefusesOverfullCodeAndReportsUnusedCodes) {
  THuffmanDecoder decoder;
  const uint8_t overfull[] = {1, 1, 1};
  EXPECT_FALSE(decoder.Build(overfull, 3, 8));
  const uint8_t incomplete[] = {1, 0, 2};  // the code 11 is unused
  ASSERT_TRUE(decoder.Build(incomplete, 3, 8));
  int len = 0;
  EXPECT_EQ(decoder.Decode(0xC000, len), -1);
  EXPECT_EQ(decoder.Decode(0x8000, len), 2);
}

struct TCodecCase {
  const char* name;
  std::string data;
};

std::vector<TCodecCase> CodecCases() {
  std::string runs;
  for (int i = 0; i < 300; ++i)
    runs += std::string(static_cast<size_t>(i % 7 + 1) * 50, static_cast<char>('a' + i % 3));
  std::string farRepeat = MakeNoise(70000, 3);
  farRepeat += farRepeat.substr(0, 70000);  // repeats beyond every window
  std::string mixed = MakeText(100000, 4) + MakeNoise(50000, 5) + MakeText(100000, 6);
  return {{"empty", ""},
          {"one byte", "x"},
          {"three bytes", "abc"},
          {"one symbol", std::string(200000, 'z')},
          {"runs", runs},
          {"text", MakeText(600000, 2)},
          {"noise", MakeNoise(100000, 8)},
          {"far repeat", farRepeat},
          {"mixed", mixed},
          {"all byte values", [] {
             std::string s;
             for (int r = 0; r < 64; ++r)
               for (int b = 0; b < 256; ++b) s.push_back(static_cast<char>(b));
             return s;
           }()}};
}

TEST(LhaCodec, EveryMethodRoundTripsEveryKindOfData) {
  for (const char* name : {"-lh4-", "-lh5-", "-lh6-", "-lh7-"}) {
    const TMethod* method = FindMethod(name);
    ASSERT_NE(method, nullptr);
    for (const auto& c : CodecCases()) {
      const std::string packed = Encode(*method, c.data);
      std::string out;
      ASSERT_EQ(Decode(name, packed, c.data.size(), Crc16(0, Bytes(c.data), c.data.size()), out), 0)
          << name << " " << c.name;
      ASSERT_EQ(out, c.data) << name << " " << c.name;
    }
  }
}

TEST(LhaCodec, OutputDoesNotDependOnHowInputIsFed) {
  const TMethod& lh5 = *FindMethod("-lh5-");
  const std::string data = MakeText(700000, 9);
  EXPECT_EQ(Encode(lh5, data, 1), Encode(lh5, data, 1 << 20));
  EXPECT_EQ(Encode(lh5, data, 4097), Encode(lh5, data, 1 << 20));
}

// The window slides whenever the input buffer is full. The hash chains must survive every slide intact,
// so the matches found, and with them the output, are the same whatever the slides' schedule: a chain
// link that lost its place at a slide would send the search to wrong candidates (costing only ratio, as
// every candidate is checked, which is why only this comparison shows it).
TEST(LhaCodec, OutputDoesNotDependOnWhereTheWindowSlides) {
  const std::string data = MakeText(1100000, 12);
  for (const char* name : {"-lh5-", "-lh6-", "-lh7-"}) {
    const TMethod& method = *FindMethod(name);
    const std::string reference = Encode(method, data);
    for (size_t chunk : {size_t{1000}, size_t{100000}})
      EXPECT_TRUE(Encode(method, data, 1 << 20, chunk) == reference) << name << " slides every " << chunk;
  }
}

TEST(LhaCodec, TextShrinksAndWindowSizeHelps) {
  const std::string data = MakeText(400000, 10);
  const size_t lh5 = Encode(*FindMethod("-lh5-"), data).size();
  const size_t lh7 = Encode(*FindMethod("-lh7-"), data).size();
  EXPECT_LT(lh5, data.size() / 3);
  EXPECT_LE(lh7, lh5);
}

TEST(LhaCodec, DamagedStreamsFailCleanly) {
  const std::string data = MakeText(50000, 11);
  const uint16_t crc = Crc16(0, Bytes(data), data.size());
  const std::string packed = Encode(*FindMethod("-lh5-"), data);
  std::string out;
  // Truncated: the zeros fed past the end give an empty block or a wrong CRC, never a hang.
  const int truncated = Decode("-lh5-", packed.substr(0, packed.size() / 2), data.size(), crc, out);
  EXPECT_TRUE(truncated == UNLHA_ERROR_BROKEN_DATA || truncated == UNLHA_ERROR_CRC) << truncated;
  EXPECT_LE(out.size(), data.size());
  // Every single flipped bit in the first bytes is caught.
  for (size_t i = 0; i < 64; ++i) {
    std::string bad = packed;
    bad[i] = static_cast<char>(bad[i] ^ (1 << (i % 8)));
    EXPECT_NE(Decode("-lh5-", bad, data.size(), crc, out), 0) << i;
    EXPECT_LE(out.size(), data.size());
  }
  EXPECT_EQ(Decode("-lh9-", packed, data.size(), crc, out), UNLHA_ERROR_METHOD);
  EXPECT_EQ(Decode("-lh0-", "abc", 4, 0, out), UNLHA_ERROR_BROKEN_DATA);
}

}  // namespace
}  // namespace corvane::lha::test
