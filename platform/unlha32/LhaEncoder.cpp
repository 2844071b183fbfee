#include "platform/unlha32/LhaEncoder.h"

#include <algorithm>
#include <cstring>

#include "platform/unlha32/Huffman.h"

namespace corvane::lha {
namespace {

constexpr int kLiteralCodes = 510;
constexpr int kLengthBits = 9;
constexpr int kTreeCodes = 19;
constexpr int kTreeBits = 5;
constexpr size_t kMinMatch = 3;
constexpr size_t kMaxMatch = 256;
constexpr size_t kBlockTokens = 32 * 1024;
constexpr int kMaxChain = 96;
constexpr size_t kGoodLength = 32;  // a previous match this long shortens the search at the next byte
constexpr size_t kLazyLength = 64;  // a previous match this long is taken without looking further
constexpr size_t kNiceLength = 128;

int BitLength(uint32_t v) {
  return v ? 32 - __builtin_clz(v) : 0;
}

int CountUsed(const std::vector<uint32_t>& freq, int& only) {
  int used = 0;
  only = 0;
  for (size_t i = 0; i < freq.size(); ++i)
    if (freq[i]) {
      ++used;
      only = static_cast<int>(i);
    }
  return used;
}

}  // namespace

TLzhEncoder::TLzhEncoder(const TMethod& method, TSink& out, size_t inputChunk)
    : method_(method),
      sink_(out),
      window_(size_t{1} << method.dictionaryBits),
      hashBits_(method.dictionaryBits >= 15 ? 16 : 15),
      buf_(window_ + std::max(inputChunk, kMaxMatch + 1) + kMaxMatch),
      head_(size_t{1} << hashBits_, -1),
      prev_(window_, -1) {
  codes_.reserve(kBlockTokens);
  positions_.reserve(kBlockTokens);
  out_.reserve(1 << 17);
}

int TLzhEncoder::Write(const uint8_t* data, size_t size) {
  while (size > 0) {
    const size_t room = buf_.size() - fill_;
    const size_t n = std::min(room, size);
    std::memcpy(buf_.data() + fill_, data, n);
    fill_ += n;
    data += n;
    size -= n;
    if (fill_ == buf_.size()) {
      if (const int status = Process(false)) return status;
      Slide();
    }
  }
  return 0;
}

int TLzhEncoder::Finish() {
  if (const int status = Process(true)) return status;
  if (!codes_.empty())
    if (const int status = EncodeBlock()) return status;
  PutBits((8 - accBits_ % 8) % 8, 0);  // pad the last byte with zero bits
  return FlushBytes(true);
}

// Keeps the last window of input (and the byte that may still wait as a lazy literal) and moves the hash
// positions along with it.
void TLzhEncoder::Slide() {
  const size_t keepFrom = pos_ > window_ + 1 ? pos_ - window_ - 1 : 0;
  if (keepFrom == 0) return;
  std::memmove(buf_.data(), buf_.data() + keepFrom, fill_ - keepFrom);
  fill_ -= keepFrom;
  pos_ -= keepFrom;
  slid_ += keepFrom;
  const auto shift = static_cast<int32_t>(keepFrom);
  for (auto& v : head_) v = v >= shift ? v - shift : -1;
  for (auto& v : prev_) v = v >= shift ? v - shift : -1;
}

void TLzhEncoder::Insert(size_t pos) {
  uint32_t v;
  std::memcpy(&v, buf_.data() + pos, 4);
  const uint32_t h = ((v & 0xFFFFFF) * 2654435761u) >> (32 - hashBits_);
  prev_[Slot(pos)] = head_[h];
  head_[h] = static_cast<int32_t>(pos);
}

size_t TLzhEncoder::LongestMatch(size_t pos, int32_t candidate, size_t prevLength, size_t& distance) const {
  const size_t limit = std::min(kMaxMatch, fill_ - pos);
  size_t best = std::max<size_t>(prevLength, kMinMatch - 1);
  if (best >= limit) return 0;
  int chain = prevLength >= kGoodLength ? kMaxChain / 4 : kMaxChain;
  const uint8_t* here = buf_.data() + pos;
  const size_t minPos = pos >= window_ - 1 ? pos - (window_ - 1) : 0;
  size_t found = 0;
  for (int32_t cur = candidate;
       cur >= 0 && static_cast<size_t>(cur) < pos && static_cast<size_t>(cur) >= minPos && chain-- > 0;
       cur = prev_[Slot(static_cast<size_t>(cur))]) {
    const uint8_t* there = buf_.data() + cur;
    if (there[best] != here[best] || there[0] != here[0] || there[1] != here[1]) continue;
    size_t len = 2;
    while (len < limit && there[len] == here[len]) ++len;
    if (len > best) {
      best = len;
      found = pos - static_cast<size_t>(cur);
      if (len >= std::min(limit, kNiceLength)) break;
    }
  }
  if (found == 0) return 0;
  distance = found;
  return best;
}

int TLzhEncoder::Process(bool final) {
  const size_t end = final ? fill_ : fill_ - kMaxMatch;
  while (pos_ < end) {
    int32_t candidate = -1;
    if (fill_ - pos_ >= 4) {
      uint32_t v;
      std::memcpy(&v, buf_.data() + pos_, 4);
      candidate = head_[((v & 0xFFFFFF) * 2654435761u) >> (32 - hashBits_)];
      Insert(pos_);
    }
    const size_t prevLength = matchLength_, prevDistance = matchDistance_;
    matchLength_ = 2;
    if (candidate >= 0 && prevLength < kLazyLength) {
      size_t distance = 0;
      const size_t len = LongestMatch(pos_, candidate, pending_ ? prevLength : 0, distance);
      // A three-byte match far away costs more than three literals.
      if (len >= kMinMatch && !(len == kMinMatch && distance > 4096)) {
        matchLength_ = len;
        matchDistance_ = distance;
      }
    }
    if (pending_ && prevLength >= kMinMatch && matchLength_ <= prevLength) {
      if (const int status = EmitMatch(prevLength, prevDistance)) return status;
      // The match started at pos_ - 1; enter its remaining positions into the hash chains.
      const size_t stop = pos_ - 1 + prevLength;
      for (size_t p = pos_ + 1; p < stop; ++p)
        if (fill_ - p >= 4) Insert(p);
      pos_ = stop;
      pending_ = false;
      matchLength_ = 2;
    } else if (pending_) {
      if (const int status = EmitLiteral(buf_[pos_ - 1])) return status;
      ++pos_;
    } else {
      pending_ = true;
      ++pos_;
    }
  }
  if (final && pending_) {
    pending_ = false;
    return EmitLiteral(buf_[pos_ - 1]);
  }
  return 0;
}

int TLzhEncoder::EmitLiteral(uint8_t c) {
  codes_.push_back(c);
  return codes_.size() >= kBlockTokens ? EncodeBlock() : 0;
}

int TLzhEncoder::EmitMatch(size_t length, size_t distance) {
  codes_.push_back(static_cast<uint16_t>(256 + length - kMinMatch));
  positions_.push_back(static_cast<uint16_t>(distance - 1));
  return codes_.size() >= kBlockTokens ? EncodeBlock() : 0;
}

void TLzhEncoder::PutBits(int n, uint32_t value) {
  if (n == 0) return;
  acc_ = (acc_ << n) | value;
  accBits_ += n;
  if (accBits_ >= 32) {
    const uint32_t word = static_cast<uint32_t>(acc_ >> (accBits_ - 32));
    const uint8_t bytes[4] = {static_cast<uint8_t>(word >> 24), static_cast<uint8_t>(word >> 16),
                              static_cast<uint8_t>(word >> 8), static_cast<uint8_t>(word)};
    out_.insert(out_.end(), bytes, bytes + 4);
    accBits_ -= 32;
  }
}

int TLzhEncoder::FlushBytes(bool all) {
  if (all) {
    while (accBits_ >= 8) {
      out_.push_back(static_cast<uint8_t>(acc_ >> (accBits_ - 8)));
      accBits_ -= 8;
    }
  }
  if (out_.empty()) return 0;
  const int status = sink_.Write(out_.data(), out_.size());
  written_ += out_.size();
  out_.clear();
  return status;
}

void TLzhEncoder::WriteTreeLengths(const std::vector<uint8_t>& lengths, int countBits, int special) {
  int n = static_cast<int>(lengths.size());
  while (n > 0 && lengths[n - 1] == 0) --n;
  PutBits(countBits, static_cast<uint32_t>(n));
  int i = 0;
  while (i < n) {
    const int k = lengths[i++];
    if (k <= 6) {
      PutBits(3, static_cast<uint32_t>(k));
    } else {
      PutBits(k - 3, (1u << (k - 3)) - 2);
    }
    if (i == special) {
      while (i < 6 && (i >= n || lengths[i] == 0)) ++i;
      PutBits(2, static_cast<uint32_t>(i - 3));
    }
  }
}

namespace {

// The run-length form of the literal/length code lengths: symbols 0 (one zero), 1 (3..18 zeros, 4 extra
// bits), 2 (20..531 zeros, 9 extra bits) and length + 2.
template <typename Emit>
void ForEachLengthSymbol(const std::vector<uint8_t>& lengths, int n, Emit emit) {
  int i = 0;
  while (i < n) {
    const int k = lengths[i++];
    if (k != 0) {
      emit(k + 2, 0, 0);
      continue;
    }
    int run = 1;
    while (i < n && lengths[i] == 0) ++i, ++run;
    if (run <= 2) {
      for (int r = 0; r < run; ++r) emit(0, 0, 0);
    } else if (run <= 18) {
      emit(1, 4, run - 3);
    } else if (run == 19) {
      emit(0, 0, 0);
      emit(1, 4, 15);
    } else {
      emit(2, kLengthBits, run - 20);
    }
  }
}

int TrimmedCount(const std::vector<uint8_t>& lengths) {
  int n = static_cast<int>(lengths.size());
  while (n > 0 && lengths[n - 1] == 0) --n;
  return n;
}

}  // namespace

void TLzhEncoder::WriteLiteralLengths(const std::vector<uint8_t>& lengths,
                                      const std::vector<uint8_t>& treeLengths,
                                      const std::vector<uint16_t>& treeCodes) {
  const int n = TrimmedCount(lengths);
  PutBits(kLengthBits, static_cast<uint32_t>(n));
  ForEachLengthSymbol(lengths, n, [&](int symbol, int extraBits, int extra) {
    PutBits(treeLengths[symbol], treeCodes[symbol]);
    PutBits(extraBits, static_cast<uint32_t>(extra));
  });
}

int TLzhEncoder::EncodeBlock() {
  const int np = method_.positionCodes;
  std::vector<uint32_t> freqC(kLiteralCodes, 0), freqP(static_cast<size_t>(np), 0);
  for (uint16_t c : codes_) ++freqC[c];
  for (uint16_t p : positions_) ++freqP[static_cast<size_t>(BitLength(p))];

  PutBits(16, static_cast<uint32_t>(codes_.size()));
  int onlyC = 0;
  std::vector<uint8_t> lenC(kLiteralCodes, 0);
  std::vector<uint16_t> codeC(kLiteralCodes, 0);
  if (CountUsed(freqC, onlyC) < 2) {
    PutBits(kTreeBits, 0);
    PutBits(kTreeBits, 0);
    PutBits(kLengthBits, 0);
    PutBits(kLengthBits, static_cast<uint32_t>(onlyC));
  } else {
    lenC = BuildCodeLengths(freqC, kMaxCodeLength);
    codeC = BuildCodes(lenC);
    std::vector<uint32_t> freqT(kTreeCodes, 0);
    ForEachLengthSymbol(lenC, TrimmedCount(lenC), [&](int symbol, int, int) { ++freqT[symbol]; });
    int onlyT = 0;
    std::vector<uint8_t> lenT(kTreeCodes, 0);
    std::vector<uint16_t> codeT(kTreeCodes, 0);
    if (CountUsed(freqT, onlyT) < 2) {
      PutBits(kTreeBits, 0);
      PutBits(kTreeBits, static_cast<uint32_t>(onlyT));
    } else {
      lenT = BuildCodeLengths(freqT, kMaxCodeLength);
      codeT = BuildCodes(lenT);
      WriteTreeLengths(lenT, kTreeBits, 3);
    }
    WriteLiteralLengths(lenC, lenT, codeT);
  }

  int onlyP = 0;
  std::vector<uint8_t> lenP(static_cast<size_t>(np), 0);
  std::vector<uint16_t> codeP(static_cast<size_t>(np), 0);
  if (CountUsed(freqP, onlyP) < 2) {
    PutBits(method_.positionBits, 0);
    PutBits(method_.positionBits, static_cast<uint32_t>(onlyP));
  } else {
    lenP = BuildCodeLengths(freqP, kMaxCodeLength);
    codeP = BuildCodes(lenP);
    WriteTreeLengths(lenP, method_.positionBits, -1);
  }

  size_t next = 0;
  for (uint16_t c : codes_) {
    PutBits(lenC[c], codeC[c]);
    if (c < 256) continue;
    const uint32_t p = positions_[next++];
    const int bits = BitLength(p);
    PutBits(lenP[static_cast<size_t>(bits)], codeP[static_cast<size_t>(bits)]);
    if (bits > 1) PutBits(bits - 1, p & ((1u << (bits - 1)) - 1));
  }
  codes_.clear();
  positions_.clear();
  return out_.size() >= (1 << 16) ? FlushBytes(false) : 0;
}

}  // namespace corvane::lha
