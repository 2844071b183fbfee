#pragma once
// Montgomery arithmetic on 64-bit limbs for one odd modulus, used by BigIntModPower and the Miller-Rabin
// test. Values are converted from the 31-bit digit form on entry and back on exit; the residues are
// unique, so the results are the same as those of any other exact method. Not part of the public
// interface.

#include <cstdint>
#include <vector>

#include "bigint/BigInt.h"

namespace corvane::bigint_internal {

using Limbs = std::vector<uint64_t>;

// Magnitude of `value` as `count` 64-bit limbs, least significant first (higher bits must be zero).
Limbs DigitsToLimbs(const std::vector<uint32_t>& digits, size_t count);
// Limbs back to a normalised TBigInt with flag 1.
TBigInt LimbsToBigInt(const Limbs& limbs);

// r := a * b * R^-1 mod n and r := a * a * R^-1 mod n over k limbs, with t a scratch area of 3k + 1 limbs.
using MontMulFn = void (*)(uint64_t* r, const uint64_t* a, const uint64_t* b, const uint64_t* n,
                           uint64_t n0inv, uint64_t* t, size_t k);
using MontSqrFn = void (*)(uint64_t* r, const uint64_t* a, const uint64_t* n, uint64_t n0inv, uint64_t* t,
                           size_t k);

class TMontgomery64 {
 public:
  // n must be odd and positive (EBigIntError otherwise).
  explicit TMontgomery64(const TBigInt& n);
  ~TMontgomery64();
  TMontgomery64(const TMontgomery64&) = delete;
  TMontgomery64& operator=(const TMontgomery64&) = delete;

  size_t LimbCount() const { return k_; }
  // x * R mod n for any integer x (negative or larger than n included).
  Limbs ToMontgomery(const TBigInt& x) const;
  // x * R^-1 mod n as a TBigInt with flag 1.
  TBigInt FromMontgomery(const Limbs& x) const;
  // The Montgomery form of 1 (R mod n).
  Limbs One() const;
  // r := a * b * R^-1 mod n; r may alias a or b.
  void Multiply(Limbs& r, const Limbs& a, const Limbs& b) const;
  // r := a * a * R^-1 mod n; r may alias a.
  void Square(Limbs& r, const Limbs& a) const;
  // base^abs(e) in Montgomery form, left-to-right with a sliding window of odd powers.
  Limbs PowerMontgomery(const Limbs& base, const TBigInt& e) const;
  // base^abs(e) mod n for any integer base.
  TBigInt Power(const TBigInt& base, const TBigInt& e) const;

 private:
  TBigInt modulus_;
  size_t k_;
  Limbs n_;
  Limbs r2_;               // R^2 mod n, R = 2^(64k)
  uint64_t n0inv_;         // -n^-1 mod 2^64
  mutable Limbs scratch_;  // 3k + 1 limbs: a double-length product and m
  MontMulFn mul_;
  MontSqrFn sqr_;
};

}  // namespace corvane::bigint_internal
