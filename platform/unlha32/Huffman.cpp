#include "platform/unlha32/Huffman.h"

#include <algorithm>
#include <queue>
#include <utility>

namespace corvane::lha {

bool THuffmanDecoder::Build(const uint8_t* lengths, int count, int tableBits) {
  tableBits_ = tableBits;
  std::fill(std::begin(count_), std::end(count_), 0);
  for (int i = 0; i < count; ++i) {
    if (lengths[i] > kMaxCodeLength) return false;
    ++count_[lengths[i]];
  }
  count_[0] = 0;
  uint32_t code = 0;
  uint16_t index = 0;
  for (int len = 1; len <= kMaxCodeLength; ++len) {
    code = (code + (len > 1 ? count_[len - 1] : 0)) << (len > 1 ? 1 : 0);
    firstCode_[len] = code;
    firstIndex_[len] = index;
    if (code + count_[len] > (1u << len)) return false;  // more codes than fit: not a prefix code
    index = static_cast<uint16_t>(index + count_[len]);
  }
  sorted_.assign(index, 0);
  uint16_t next[kMaxCodeLength + 1];
  std::copy(std::begin(firstIndex_), std::end(firstIndex_), next);
  for (int i = 0; i < count; ++i)
    if (lengths[i]) sorted_[next[lengths[i]]++] = static_cast<uint16_t>(i);

  table_.assign(size_t{1} << tableBits_, 0);
  for (int len = 1; len <= tableBits_; ++len) {
    for (uint32_t k = 0; k < count_[len]; ++k) {
      const uint32_t c = firstCode_[len] + k;
      const uint32_t entry = kDirect | (static_cast<uint32_t>(len) << 16) | sorted_[firstIndex_[len] + k];
      const uint32_t from = c << (tableBits_ - len), to = (c + 1) << (tableBits_ - len);
      std::fill(table_.begin() + from, table_.begin() + to, entry);
    }
  }
  return true;
}

void THuffmanDecoder::SetSingle(int symbol) {
  tableBits_ = 1;
  table_.assign(2, kDirect | static_cast<uint32_t>(symbol));
}

int THuffmanDecoder::DecodeLong(uint32_t peek16, int& length) const {
  for (int len = tableBits_ + 1; len <= kMaxCodeLength; ++len) {
    const uint32_t c = peek16 >> (16 - len);
    if (c >= firstCode_[len] && c - firstCode_[len] < count_[len]) {
      length = len;
      return sorted_[firstIndex_[len] + (c - firstCode_[len])];
    }
  }
  return -1;
}

std::vector<uint8_t> BuildCodeLengths(const std::vector<uint32_t>& freqIn, int maxLength) {
  std::vector<uint32_t> freq = freqIn;
  const size_t n = freq.size();
  for (;;) {
    // Plain Huffman construction; when the tree is too deep, flatten the frequencies and build again.
    using Node = std::pair<uint64_t, int>;
    std::priority_queue<Node, std::vector<Node>, std::greater<>> heap;
    std::vector<int> parent(2 * n, -1);
    for (size_t i = 0; i < n; ++i)
      if (freq[i]) heap.push({freq[i], static_cast<int>(i)});
    int next = static_cast<int>(n);
    while (heap.size() > 1) {
      const Node a = heap.top();
      heap.pop();
      const Node b = heap.top();
      heap.pop();
      parent[a.second] = parent[b.second] = next;
      heap.push({a.first + b.first, next++});
    }
    std::vector<uint8_t> lengths(n, 0);
    std::vector<int> depth(static_cast<size_t>(next), 0);
    for (int node = next - 2; node >= 0; --node)
      if (parent[node] >= 0) depth[node] = depth[parent[node]] + 1;
    int deepest = 0;
    for (size_t i = 0; i < n; ++i) {
      lengths[i] = static_cast<uint8_t>(std::min(depth[i], 255));
      deepest = std::max(deepest, depth[i]);
    }
    if (deepest <= maxLength) return lengths;
    for (auto& f : freq)
      if (f) f = (f >> 1) | 1;
  }
}

std::vector<uint16_t> BuildCodes(const std::vector<uint8_t>& lengths) {
  uint32_t count[kMaxCodeLength + 2] = {};
  for (uint8_t l : lengths) ++count[l];
  count[0] = 0;
  uint32_t next[kMaxCodeLength + 2] = {};
  uint32_t code = 0;
  for (int len = 1; len <= kMaxCodeLength; ++len) {
    code = (code + count[len - 1]) << 1;
    next[len] = code;
  }
  std::vector<uint16_t> codes(lengths.size(), 0);
  for (size_t i = 0; i < lengths.size(); ++i)
    if (lengths[i]) codes[i] = static_cast<uint16_t>(next[lengths[i]]++);
  return codes;
}

}  // namespace corvane::lha
