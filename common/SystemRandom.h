#pragma once
// The operating system's CSPRNG (getrandom(2)): the only source of key material.

#include <sys/random.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <string>

#include "common/Exception.h"

namespace corvane {

inline void SystemRandomBytes(void* out, std::size_t size) {
  auto* p = static_cast<unsigned char*>(out);
  while (size > 0) {
    const ssize_t got = getrandom(p, size, 0);
    if (got < 0) {
      if (errno == EINTR) continue;
      throw Exception("The system random source failed");
    }
    p += got;
    size -= static_cast<std::size_t>(got);
  }
}

// A uniform value in [0, bound) without modulo bias; bound > 0.
inline uint32_t SystemRandomBelow(uint32_t bound) {
  const uint32_t limit = UINT32_MAX - UINT32_MAX % bound;
  uint32_t value;
  do SystemRandomBytes(&value, sizeof value);
  while (value >= limit);
  return value % bound;
}

}  // namespace corvane
