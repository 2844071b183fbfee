#pragma once
// Encoder for -lh4- to -lh7-: LZSS matches found through hash chains with one step of lazy evaluation,
// sent in blocks of static Huffman codes that the decoder rebuilds from each block header.

#include <cstdint>
#include <vector>

#include "platform/unlha32/LhaMethod.h"
#include "platform/unlha32/Sink.h"

namespace corvane::lha {

class TLzhEncoder {
 public:
  // Input is gathered `inputChunk` bytes at a time behind the window before the window slides on; the
  // output does not depend on it (the tests check that with a small one).
  static constexpr size_t kDefaultInputChunk = 256 * 1024;
  TLzhEncoder(const TMethod& method, TSink& out, size_t inputChunk = kDefaultInputChunk);
  // Feeds input; returns the sink's status when a write failed.
  int Write(const uint8_t* data, size_t size);
  // Encodes what is left and flushes the last bits.
  int Finish();
  uint64_t OutputBytes() const { return written_ + out_.size(); }

 private:
  int Process(bool final);
  void Slide();
  void Insert(size_t pos);
  // The chain link slot of a buffer position: indexed by the position in the whole input, so a link
  // keeps its slot when the window slides by any amount.
  size_t Slot(size_t pos) const { return (pos + slid_) & (window_ - 1); }
  size_t LongestMatch(size_t pos, int32_t candidate, size_t prevLength, size_t& distance) const;
  int EmitLiteral(uint8_t c);
  int EmitMatch(size_t length, size_t distance);
  int EncodeBlock();
  void WriteTreeLengths(const std::vector<uint8_t>& lengths, int countBits, int special);
  void WriteLiteralLengths(const std::vector<uint8_t>& lengths, const std::vector<uint8_t>& treeLengths,
                           const std::vector<uint16_t>& treeCodes);
  void PutBits(int n, uint32_t value);
  int FlushBytes(bool all);

  const TMethod& method_;
  TSink& sink_;
  const size_t window_;
  const int hashBits_;
  std::vector<uint8_t> buf_;
  size_t fill_ = 0, pos_ = 0;
  size_t slid_ = 0;  // input bytes dropped from the buffer's front so far
  std::vector<int32_t> head_, prev_;
  // Lazy-evaluation state carried between calls.
  bool pending_ = false;
  size_t matchLength_ = 2, matchDistance_ = 0;
  // The current block's tokens: literal/length codes, and for matches the distance minus one.
  std::vector<uint16_t> codes_, positions_;
  // Bit output.
  uint64_t acc_ = 0;
  int accBits_ = 0;
  std::vector<uint8_t> out_;
  uint64_t written_ = 0;
};

}  // namespace corvane::lha
