#pragma once
// Test helpers: conversions between TBigInt and GMP's mpz_t (through GMP's own import and export, so
// the reference never goes through our text forms), and a seeded generator of random operands.

#include <gmp.h>

#include <cstdint>
#include <random>
#include <string>

#include "bigint/BigInt.h"

namespace corvane::testing {

class Mpz {
 public:
  Mpz() { mpz_init(v_); }
  explicit Mpz(const TBigInt& x) {
    mpz_init(v_);
    // 31-bit digits in 32-bit words: one nail bit per word.
    mpz_import(v_, x.digits.size(), -1, sizeof(uint32_t), 0, 1, x.digits.data());
    if (x.signFlag == 0) mpz_neg(v_, v_);
  }
  Mpz(const Mpz&) = delete;
  Mpz& operator=(const Mpz&) = delete;
  ~Mpz() { mpz_clear(v_); }
  mpz_ptr get() { return v_; }
  mpz_srcptr get() const { return v_; }
  std::string Decimal() const {
    char* s = mpz_get_str(nullptr, 10, v_);
    std::string out(s);
    void (*freeFunction)(void*, size_t);
    mp_get_memory_functions(nullptr, nullptr, &freeFunction);
    freeFunction(s, out.size() + 1);
    return out;
  }

 private:
  mpz_t v_;
};

// The magnitude of z as a normalised TBigInt with the given flag.
inline TBigInt FromMpz(mpz_srcptr z, uint8_t flag) {
  TBigInt r;
  const size_t count = (mpz_sizeinbase(z, 2) + 30) / 31;
  r.digits.assign(count == 0 ? 1 : count, 0);
  size_t written = 0;
  mpz_export(r.digits.data(), &written, -1, sizeof(uint32_t), 0, 1, z);
  r.signFlag = flag;
  return r;
}

// The flag GMP's sign implies, with `zeroFlag` for a zero value (whose flag the operation defines).
inline uint8_t FlagOf(mpz_srcptr z, uint8_t zeroFlag) {
  const int sign = mpz_sgn(z);
  return sign == 0 ? zeroFlag : (sign > 0 ? 1 : 0);
}

// Random operands of 1..maxDigits digits, both signs; a quarter of the digits are 0 or 0x7FFFFFFF to
// reach the carry, borrow and estimate corner cases that uniform digits almost never hit.
class OperandGenerator {
 public:
  explicit OperandGenerator(uint64_t seed) : rng_(seed) {}

  TBigInt Next(size_t maxDigits = 70) {
    TBigInt x;
    const size_t count = std::uniform_int_distribution<size_t>(1, maxDigits)(rng_);
    x.digits.resize(count);
    for (auto& digit : x.digits) digit = NextDigit();
    while (x.digits.size() > 1 && x.digits.back() == 0) x.digits.pop_back();
    x.signFlag = static_cast<uint8_t>(rng_() & 1);
    return x;
  }
  TBigInt NextPositive(size_t maxDigits = 70) {
    TBigInt x = Next(maxDigits);
    x.signFlag = 1;
    return x;
  }
  TBigInt NextNonZero(size_t maxDigits = 70) {
    TBigInt x;
    do x = Next(maxDigits);
    while (x.digits.size() == 1 && x.digits[0] == 0);
    return x;
  }
  TBigInt NextOddPositive(size_t maxDigits = 70) {
    TBigInt x = NextPositive(maxDigits);
    x.digits[0] |= 1;
    return x;
  }
  uint64_t Raw() { return rng_(); }
  // Only the digits at the edges of the range, which drive quotient estimates to their limits.
  void SetExtremeDigits(bool on) { extreme_ = on; }

 private:
  uint32_t NextDigit() {
    if (extreme_) {
      static constexpr uint32_t kEdges[] = {0, 1, 0x3FFFFFFF, 0x40000000, 0x7FFFFFFE, 0x7FFFFFFF};
      return kEdges[rng_() % 6];
    }
    switch (rng_() % 8) {
      case 0:
        return 0;
      case 1:
        return 0x7FFFFFFF;
      default:
        return static_cast<uint32_t>(rng_() & 0x7FFFFFFF);
    }
  }
  std::mt19937_64 rng_;
  bool extreme_ = false;
};

}  // namespace corvane::testing
