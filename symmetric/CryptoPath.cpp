#include "symmetric/CryptoPath.h"

#include <cpuid.h>

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace corvane {

namespace {

struct TCpuFeatures {
  bool aesni = false;
  bool shani = false;
};

TCpuFeatures QueryCpu() {
  TCpuFeatures features;
  unsigned a, b, c, d;
  if (__get_cpuid(1, &a, &b, &c, &d)) {
    const bool sse41 = c & bit_SSE4_1;
    const bool ssse3 = c & bit_SSSE3;
    features.aesni = (c & bit_AES) && sse41 && ssse3;
    if (__get_cpuid_count(7, 0, &a, &b, &c, &d)) features.shani = (b & bit_SHA) && sse41 && ssse3;
  }
  return features;
}

const TCpuFeatures& Cpu() {
  static const TCpuFeatures features = QueryCpu();
  return features;
}

bool PortableFromEnvironment() {
  const char* value = std::getenv("CORVANE_CRYPTO");
  return value && std::strcmp(value, "portable") == 0;
}

std::atomic<bool>& Forced() {
  static std::atomic<bool> forced{PortableFromEnvironment()};
  return forced;
}

}  // namespace

bool CpuHasAesNi() {
  return Cpu().aesni;
}
bool CpuHasShaNi() {
  return Cpu().shani;
}

void ForcePortableCrypto(bool portable) {
  Forced() = portable;
}
bool PortableCryptoForced() {
  return Forced();
}

}  // namespace corvane
