// Montgomery multiplication over 64-bit limbs: schoolbook product (or squaring, each cross product once)
// followed by word-by-word reduction, and a sliding-window exponentiation on top.
#include "bigint/BigIntMontgomery.h"

#include <algorithm>

#include "bigint/BigIntInternal.h"
#include "bigint/BigIntModular.h"
#include "common/SecureWipe.h"

namespace corvane::bigint_internal {

namespace {

using u128 = unsigned __int128;

// t[0..2k-1] := a * b.
void MulFull(uint64_t* t, const uint64_t* a, const uint64_t* b, size_t k) {
  std::fill(t, t + 2 * k, 0);
  for (size_t i = 0; i < k; ++i) {
    const uint64_t bi = b[i];
    uint64_t carry = 0;
    for (size_t j = 0; j < k; ++j) {
      const u128 p = static_cast<u128>(a[j]) * bi + t[i + j] + carry;
      t[i + j] = static_cast<uint64_t>(p);
      carry = static_cast<uint64_t>(p >> 64);
    }
    t[i + k] = carry;
  }
}

// t[0..2k-1] := a * a: cross products once, doubled, then the squares of the limbs added.
void SqrFull(uint64_t* t, const uint64_t* a, size_t k) {
  std::fill(t, t + 2 * k, 0);
  for (size_t i = 0; i < k; ++i) {
    const uint64_t ai = a[i];
    uint64_t carry = 0;
    for (size_t j = i + 1; j < k; ++j) {
      const u128 p = static_cast<u128>(a[j]) * ai + t[i + j] + carry;
      t[i + j] = static_cast<uint64_t>(p);
      carry = static_cast<uint64_t>(p >> 64);
    }
    t[i + k] = carry;
  }
  uint64_t shiftedOut = 0;
  for (size_t i = 0; i < 2 * k; ++i) {
    const uint64_t v = t[i];
    t[i] = (v << 1) | shiftedOut;
    shiftedOut = v >> 63;
  }
  uint64_t carry = 0;
  for (size_t i = 0; i < k; ++i) {
    const u128 sq = static_cast<u128>(a[i]) * a[i];
    u128 s = static_cast<u128>(t[2 * i]) + static_cast<uint64_t>(sq) + carry;
    t[2 * i] = static_cast<uint64_t>(s);
    s = static_cast<u128>(t[2 * i + 1]) + static_cast<uint64_t>(sq >> 64) + static_cast<uint64_t>(s >> 64);
    t[2 * i + 1] = static_cast<uint64_t>(s);
    carry = static_cast<uint64_t>(s >> 64);
  }
}

// a >= b over k limbs.
bool GreaterOrEqual(const uint64_t* a, const uint64_t* b, size_t k) {
  for (size_t i = k; i-- > 0;) {
    if (a[i] != b[i]) return a[i] > b[i];
  }
  return true;
}

// r := a - b over k limbs; returns the borrow.
uint64_t SubN(uint64_t* r, const uint64_t* a, const uint64_t* b, size_t k) {
  uint64_t borrow = 0;
  for (size_t i = 0; i < k; ++i) {
    const u128 d = static_cast<u128>(a[i]) - b[i] - borrow;
    r[i] = static_cast<uint64_t>(d);
    borrow = static_cast<uint64_t>(d >> 64) & 1;
  }
  return borrow;
}

}  // namespace

Limbs DigitsToLimbs(const std::vector<uint32_t>& digits, size_t count) {
  Limbs r(count, 0);
  for (size_t i = 0; i < digits.size(); ++i) {
    const uint64_t bit = uint64_t{kDigitBits} * i;
    const size_t limb = bit / 64;
    const unsigned offset = bit % 64;
    if (digits[i] == 0) continue;
    if (limb < count) r[limb] |= uint64_t{digits[i]} << offset;
    if (offset > 64 - kDigitBits && limb + 1 < count) r[limb + 1] |= uint64_t{digits[i]} >> (64 - offset);
  }
  return r;
}

TBigInt LimbsToBigInt(const Limbs& limbs) {
  const uint64_t bits = uint64_t{64} * limbs.size();
  TBigInt r;
  r.digits.assign((bits + kDigitBits - 1) / kDigitBits, 0);
  for (size_t i = 0; i < r.digits.size(); ++i) {
    const uint64_t bit = uint64_t{kDigitBits} * i;
    const size_t limb = bit / 64;
    const unsigned offset = bit % 64;
    uint64_t v = limbs[limb] >> offset;
    if (offset > 64 - kDigitBits && limb + 1 < limbs.size()) v |= limbs[limb + 1] << (64 - offset);
    r.digits[i] = static_cast<uint32_t>(v & kDigitMask);
  }
  Trim(r.digits);
  return r;
}

TMontgomery64::TMontgomery64(const TBigInt& n) {
  if (IsNegative(n) || BigIntIsZero(n) || (n.digits[0] & 1) == 0)
    throw EBigIntError("The modulus of a modular power must be odd and positive");
  k_ = (BigIntBitLength(n) + 63) / 64;
  n_ = DigitsToLimbs(n.digits, k_);
  // Newton's iteration doubles the number of correct low bits each step: 1 -> 2 -> ... -> 64 bits.
  uint64_t inv = n_[0];  // correct to 3 bits for odd n
  for (int i = 0; i < 5; ++i) inv *= 2 - n_[0] * inv;
  n0inv_ = 0 - inv;
  TBigInt rSquared;
  rSquared.digits.assign((128 * k_) / kDigitBits + 1, 0);
  rSquared.digits.back() = uint32_t{1} << ((128 * k_) % kDigitBits);
  r2_ = DigitsToLimbs(BigIntModulo(rSquared, n).digits, k_);
  scratch_.assign(2 * k_ + 1, 0);
}

TMontgomery64::~TMontgomery64() {
  SecureWipe(n_);
  SecureWipe(r2_);
  SecureWipe(scratch_);
}

void TMontgomery64::Reduce(Limbs& r, uint64_t* t) const {
  const size_t k = k_;
  const uint64_t* n = n_.data();
  uint64_t top = 0;  // carry out of t[i + k], 0 or 1
  for (size_t i = 0; i < k; ++i) {
    const uint64_t m = t[i] * n0inv_;
    uint64_t carry = 0;
    for (size_t j = 0; j < k; ++j) {
      const u128 p = static_cast<u128>(m) * n[j] + t[i + j] + carry;
      t[i + j] = static_cast<uint64_t>(p);
      carry = static_cast<uint64_t>(p >> 64);
    }
    const u128 s = static_cast<u128>(t[i + k]) + carry + top;
    t[i + k] = static_cast<uint64_t>(s);
    top = static_cast<uint64_t>(s >> 64);
  }
  // t[k..2k-1] plus top * R is below 2n: one subtraction at most.
  r.resize(k);
  uint64_t* high = t + k;
  if (top != 0 || GreaterOrEqual(high, n, k)) {
    SubN(r.data(), high, n, k);
  } else {
    std::copy(high, high + k, r.begin());
  }
}

void TMontgomery64::Multiply(Limbs& r, const Limbs& a, const Limbs& b) const {
  MulFull(scratch_.data(), a.data(), b.data(), k_);
  Reduce(r, scratch_.data());
}

void TMontgomery64::Square(Limbs& r, const Limbs& a) const {
  SqrFull(scratch_.data(), a.data(), k_);
  Reduce(r, scratch_.data());
}

Limbs TMontgomery64::ToMontgomery(const TBigInt& x) const {
  const TBigInt residue = BigIntModulo(x, LimbsToBigInt(n_));
  Limbs plain = DigitsToLimbs(residue.digits, k_);
  Limbs r;
  Multiply(r, plain, r2_);
  SecureWipe(plain);
  return r;
}

TBigInt TMontgomery64::FromMontgomery(const Limbs& x) const {
  std::fill(scratch_.begin(), scratch_.end(), 0);
  std::copy(x.begin(), x.end(), scratch_.begin());
  Limbs r;
  Reduce(r, scratch_.data());
  TBigInt result = LimbsToBigInt(r);
  SecureWipe(r);
  return result;
}

Limbs TMontgomery64::One() const {
  Limbs one(k_, 0);
  one[0] = 1;
  Limbs r;
  Multiply(r, one, r2_);
  return r;
}

namespace {

bool ExponentBit(const TBigInt& e, uint64_t i) {
  return (e.digits[i / kDigitBits] >> (i % kDigitBits)) & 1;
}

// Window width that minimises squarings plus multiplications for an exponent of `bits` bits.
int WindowBits(uint64_t bits) {
  if (bits <= 24) return 1;
  if (bits <= 80) return 3;
  if (bits <= 240) return 4;
  if (bits <= 768) return 5;
  return 6;
}

}  // namespace

Limbs TMontgomery64::PowerMontgomery(const Limbs& base, const TBigInt& e) const {
  const uint64_t bits = BigIntBitLength(e);
  Limbs acc = One();
  if (bits == 0) return acc;
  const int w = WindowBits(bits);
  // odd[i] = base^(2i+1)
  std::vector<Limbs> odd(size_t{1} << (w - 1));
  odd[0] = base;
  if (odd.size() > 1) {
    Limbs baseSquared;
    Square(baseSquared, base);
    for (size_t i = 1; i < odd.size(); ++i) Multiply(odd[i], odd[i - 1], baseSquared);
    SecureWipe(baseSquared);
  }
  bool started = false;
  int64_t i = static_cast<int64_t>(bits) - 1;
  while (i >= 0) {
    if (!ExponentBit(e, static_cast<uint64_t>(i))) {
      if (started) Square(acc, acc);
      --i;
      continue;
    }
    // Longest window of at most w bits starting at bit i and ending in a 1 bit.
    int64_t low = std::max<int64_t>(i - w + 1, 0);
    while (!ExponentBit(e, static_cast<uint64_t>(low))) ++low;
    uint32_t value = 0;
    for (int64_t j = i; j >= low; --j)
      value = (value << 1) | (ExponentBit(e, static_cast<uint64_t>(j)) ? 1 : 0);
    if (started) {
      for (int64_t j = i; j >= low; --j) Square(acc, acc);
      Multiply(acc, acc, odd[value >> 1]);
    } else {
      acc = odd[value >> 1];
      started = true;
    }
    i = low - 1;
  }
  for (Limbs& entry : odd) SecureWipe(entry);
  return acc;
}

TBigInt TMontgomery64::Power(const TBigInt& base, const TBigInt& e) const {
  Limbs x = ToMontgomery(base);
  Limbs acc = PowerMontgomery(x, e);
  TBigInt r = FromMontgomery(acc);
  SecureWipe(x);
  SecureWipe(acc);
  return r;
}

}  // namespace corvane::bigint_internal
