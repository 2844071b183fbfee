#include "platform/unlha32/LhaDecoder.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/unlha32/Crc16.h"
#include "platform/unlha32/Huffman.h"
#include "platform/unlha32/LhaMethod.h"
#include "platform/unlha32/StoredCopy.h"
#include "platform/unlha32/unlha32.h"

namespace corvane::lha {
namespace {

constexpr int kLiteralCodes = 510;  // 256 literals and match lengths 3..256
constexpr int kLengthBits = 9;
constexpr int kTreeCodes = 19;  // codes that send the literal/length code lengths
constexpr int kTreeBits = 5;
constexpr int kMinMatch = 3;
constexpr int kMaxMatch = 256;
constexpr size_t kInputChunk = 64 * 1024;
constexpr size_t kOutputChunk = 256 * 1024;

class TBitReader {
 public:
  TBitReader(const TByteSource& source, uint64_t offset, uint64_t size)
      : source_(source), next_(offset), left_(size), buffer_(kInputChunk + 8) {}

  bool Failed() const { return failed_; }

  // Keeps at least 56 bits in `bits_`; past the end of the member's data zeros are fed in, which a
  // well-formed stream never uses and the CRC check catches otherwise.
  void Refill() {
    if (count_ > 56) return;
    if (end_ - pos_ >= 8) {
      uint64_t v;
      std::memcpy(&v, buffer_.data() + pos_, 8);
      v = __builtin_bswap64(v);
      bits_ |= v >> count_;
      const int bytes = (63 - count_) >> 3;
      pos_ += static_cast<size_t>(bytes);
      count_ += bytes * 8;
      return;
    }
    while (count_ <= 56) {
      if (pos_ == end_ && !Load()) {
        count_ += 8;  // zero bits
        continue;
      }
      bits_ |= static_cast<uint64_t>(buffer_[pos_++]) << (56 - count_);
      count_ += 8;
    }
  }
  uint32_t Peek16() const { return static_cast<uint32_t>(bits_ >> 48); }
  void Skip(int n) {
    bits_ <<= n;
    count_ -= n;
  }
  uint32_t Get(int n) {
    if (n == 0) return 0;
    Refill();
    const uint32_t v = static_cast<uint32_t>(bits_ >> (64 - n));
    Skip(n);
    return v;
  }

 private:
  bool Load() {
    if (left_ == 0) return false;
    const size_t n = static_cast<size_t>(std::min<uint64_t>(left_, kInputChunk));
    if (!source_.ReadAt(next_, buffer_.data(), n)) {
      failed_ = true;
      left_ = 0;
      return false;
    }
    next_ += n;
    left_ -= n;
    pos_ = 0;
    end_ = n;
    return true;
  }

  const TByteSource& source_;
  uint64_t next_, left_;
  std::vector<uint8_t> buffer_;
  size_t pos_ = 0, end_ = 0;
  uint64_t bits_ = 0;
  int count_ = 0;
  bool failed_ = false;
};

class TLzhDecoder {
 public:
  TLzhDecoder(const TMethod& method, const TByteSource& source, const TMember& member)
      : method_(method), in_(source, member.dataOffset, member.compressedSize) {}

  int Run(uint64_t originalSize, TSink& sink, uint16_t& crc);

 private:
  bool ReadTreeLengths(int count, int countBits, int special, THuffmanDecoder& out);
  bool ReadLiteralLengths();
  bool ReadBlockHeader();
  int Flush(TSink& sink, uint16_t& crc, size_t keep);

  const TMethod& method_;
  TBitReader in_;
  THuffmanDecoder tree_, literal_, position_;
  uint32_t blockLeft_ = 0;
  std::vector<uint8_t> out_;
  size_t pos_ = 0, flushed_ = 0;
};

// Code lengths of the small codes (the tree code and the position code): a count, then per symbol 3 bits,
// or for lengths above 6 a run of 1 bits; after symbol `special` a 2-bit count of zero lengths.
bool TLzhDecoder::ReadTreeLengths(int count, int countBits, int special, THuffmanDecoder& out) {
  const int n = static_cast<int>(in_.Get(countBits));
  if (n == 0) {
    const int symbol = static_cast<int>(in_.Get(countBits));
    if (symbol >= count) return false;
    out.SetSingle(symbol);
    return true;
  }
  if (n > count) return false;
  uint8_t lengths[32] = {};
  int i = 0;
  while (i < n) {
    in_.Refill();
    int len = static_cast<int>(in_.Peek16() >> 13);
    if (len == 7) {
      uint32_t mask = 1u << 12;
      while (in_.Peek16() & mask) {
        mask >>= 1;
        ++len;
        if (len > kMaxCodeLength) return false;
      }
      in_.Skip(len - 3);
    } else {
      in_.Skip(3);
    }
    lengths[i++] = static_cast<uint8_t>(len);
    if (i == special) {
      int zeros = static_cast<int>(in_.Get(2));
      while (zeros-- > 0 && i < count) lengths[i++] = 0;
    }
  }
  return out.Build(lengths, count, 8);
}

bool TLzhDecoder::ReadLiteralLengths() {
  const int n = static_cast<int>(in_.Get(kLengthBits));
  if (n == 0) {
    const int symbol = static_cast<int>(in_.Get(kLengthBits));
    if (symbol >= kLiteralCodes) return false;
    literal_.SetSingle(symbol);
    return true;
  }
  if (n > kLiteralCodes) return false;
  uint8_t lengths[kLiteralCodes] = {};
  int i = 0;
  while (i < n) {
    in_.Refill();
    int bits = 0;
    const int c = tree_.Decode(in_.Peek16(), bits);
    if (c < 0) return false;
    in_.Skip(bits);
    if (c > 2) {
      lengths[i++] = static_cast<uint8_t>(c - 2);
      continue;
    }
    // Runs of zero lengths: 1, 3..18 or 20..531.
    int run = c == 0   ? 1
              : c == 1 ? static_cast<int>(in_.Get(4)) + 3
                       : static_cast<int>(in_.Get(kLengthBits)) + 20;
    if (run > n - i) return false;
    while (run-- > 0) lengths[i++] = 0;
  }
  return literal_.Build(lengths, kLiteralCodes, 12);
}

bool TLzhDecoder::ReadBlockHeader() {
  blockLeft_ = in_.Get(16);
  // An empty block cannot come from an encoder; refusing it also ends decoding of data that ran out.
  if (blockLeft_ == 0) return false;
  return ReadTreeLengths(kTreeCodes, kTreeBits, 3, tree_) && ReadLiteralLengths() &&
         ReadTreeLengths(method_.positionCodes, method_.positionBits, -1, position_);
}

int TLzhDecoder::Flush(TSink& sink, uint16_t& crc, size_t keep) {
  const size_t n = pos_ - flushed_;
  if (n) {
    crc = Crc16(crc, out_.data() + flushed_, n);
    if (const int status = sink.Write(out_.data() + flushed_, n)) return status;
  }
  // Keep the last `keep` bytes as the window for later matches.
  const size_t start = pos_ - keep;
  std::memmove(out_.data(), out_.data() + start, keep);
  pos_ = flushed_ = keep;
  return 0;
}

int TLzhDecoder::Run(uint64_t originalSize, TSink& sink, uint16_t& crc) {
  const size_t window = size_t{1} << (method_.positionCodes - 1);  // farthest distance a code can name
  // The window starts filled with spaces, as every LHA decoder does.
  out_.assign(window + kOutputChunk + kMaxMatch, ' ');
  pos_ = flushed_ = window;
  const size_t limit = window + kOutputChunk;
  uint64_t left = originalSize;
  while (left > 0) {
    if (pos_ >= limit)
      if (const int status = Flush(sink, crc, window)) return status;
    if (blockLeft_ == 0 && !ReadBlockHeader())
      return in_.Failed() ? UNLHA_ERROR_FILE_OPEN : UNLHA_ERROR_BROKEN_DATA;
    --blockLeft_;
    in_.Refill();
    int bits = 0;
    const int c = literal_.Decode(in_.Peek16(), bits);
    if (c < 0) return UNLHA_ERROR_BROKEN_DATA;
    in_.Skip(bits);
    if (c < 256) {
      out_[pos_++] = static_cast<uint8_t>(c);
      --left;
      continue;
    }
    const size_t length = static_cast<size_t>(c - 256 + kMinMatch);
    // An encoder never copies past the end of its input: codes that would decode more than the header
    // declares are damaged (or crafted) data, not a member to cut short.
    if (length > left) return UNLHA_ERROR_BROKEN_DATA;
    in_.Refill();
    const int p = position_.Decode(in_.Peek16(), bits);
    if (p < 0) return UNLHA_ERROR_BROKEN_DATA;
    in_.Skip(bits);
    const size_t distance = (p == 0 ? 0 : (size_t{1} << (p - 1)) + in_.Get(p - 1)) + 1;
    const uint8_t* from = out_.data() + pos_ - distance;
    uint8_t* to = out_.data() + pos_;
    if (distance >= length) {
      std::memcpy(to, from, length);
    } else {
      for (size_t k = 0; k < length; ++k) to[k] = from[k];
    }
    pos_ += length;
    left -= length;
  }
  if (in_.Failed()) return UNLHA_ERROR_FILE_OPEN;
  // A block that still announces codes would also decode past the declared size.
  if (blockLeft_ != 0) return UNLHA_ERROR_BROKEN_DATA;
  return Flush(sink, crc, 0);
}

int DecodeStored(const TByteSource& source, const TMember& member, TSink& sink, uint16_t& crc) {
  if (member.compressedSize != member.originalSize) return UNLHA_ERROR_BROKEN_DATA;
  // A large member is read (and its CRC taken) on a second thread while this one writes.
  if (const int status = ExtractOnTwoThreads(source, member, sink, crc); status != kOnOneThread)
    return status;
  std::vector<uint8_t> buffer(1 << 20);
  uint64_t offset = member.dataOffset, left = member.originalSize;
  while (left > 0) {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(left, buffer.size()));
    if (!source.ReadAt(offset, buffer.data(), n)) return UNLHA_ERROR_FILE_OPEN;
    crc = Crc16(crc, buffer.data(), n);
    if (const int status = sink.Write(buffer.data(), n)) return status;
    offset += n;
    left -= n;
  }
  return 0;
}

}  // namespace

int DecodeMember(const TByteSource& source, const TMember& member, TSink& sink) {
  const TMethod* method = FindMethod(member.method);
  if (!method) return UNLHA_ERROR_METHOD;
  if (member.IsDirectory()) return 0;
  uint16_t crc = 0;
  int status = 0;
  if (method->dictionaryBits == 0) {
    status = DecodeStored(source, member, sink, crc);
  } else {
    TLzhDecoder decoder(*method, source, member);
    status = decoder.Run(member.originalSize, sink, crc);
  }
  if (status) return status;
  return crc == member.crc ? 0 : UNLHA_ERROR_CRC;
}

}  // namespace corvane::lha
