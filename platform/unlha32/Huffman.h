#pragma once
// Canonical Huffman codes as LHA uses them: code lengths 1..16, codes assigned shortest first and, within
// one length, in symbol order, most significant bit first.

#include <cstdint>
#include <vector>

namespace corvane::lha {

constexpr int kMaxCodeLength = 16;

// Decoding through a table indexed by the next `tableBits` bits; longer codes take a slower canonical
// search. Incomplete codes are accepted (unused codes decode as errors), over-full ones refused.
class THuffmanDecoder {
 public:
  // false when the lengths do not form a prefix code.
  bool Build(const uint8_t* lengths, int count, int tableBits);
  // A code of one symbol that takes no bits.
  void SetSingle(int symbol);
  // Decodes from the 16 bits `peek` (next bits, most significant first). Returns the symbol and sets
  // `length`, or -1 for a code that is not in the table.
  int Decode(uint32_t peek16, int& length) const {
    const uint32_t e = table_[peek16 >> (16 - tableBits_)];
    if (e & kDirect) {
      length = static_cast<int>((e >> 16) & 0x1F);
      return static_cast<int>(e & 0xFFFF);
    }
    return DecodeLong(peek16, length);
  }

 private:
  static constexpr uint32_t kDirect = 0x80000000u;
  int DecodeLong(uint32_t peek16, int& length) const;

  int tableBits_ = 1;
  std::vector<uint32_t> table_ = std::vector<uint32_t>(2, 0);
  uint16_t count_[kMaxCodeLength + 1] = {};
  uint32_t firstCode_[kMaxCodeLength + 1] = {};
  uint16_t firstIndex_[kMaxCodeLength + 1] = {};
  std::vector<uint16_t> sorted_;
};

// Code lengths, none above `maxLength`, for the given frequencies (symbols of frequency 0 get length 0).
// At least two symbols must have a nonzero frequency.
std::vector<uint8_t> BuildCodeLengths(const std::vector<uint32_t>& freq, int maxLength);
// The canonical codes for the given lengths.
std::vector<uint16_t> BuildCodes(const std::vector<uint8_t>& lengths);

}  // namespace corvane::lha
