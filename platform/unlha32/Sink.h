#pragma once
// Where decoded or encoded bytes go. A nonzero status from Write stops the producer and is passed up.

#include <cstddef>
#include <cstdint>

namespace corvane::lha {

class TSink {
 public:
  virtual ~TSink() = default;
  virtual int Write(const uint8_t* data, size_t size) = 0;
};

// Counts and discards (used to try compression on a sample and to test archives).
class TCountingSink final : public TSink {
 public:
  int Write(const uint8_t*, size_t size) override {
    bytes += size;
    return 0;
  }
  uint64_t bytes = 0;
};

}  // namespace corvane::lha
