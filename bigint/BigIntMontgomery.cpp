// Montgomery multiplication over 64-bit limbs: product scanning with the reduction interleaved for
// products, a squaring that forms each cross product once followed by a scanning reduction, and a
// sliding-window exponentiation on top.
#include "bigint/BigIntMontgomery.h"

#include <algorithm>

#include "bigint/BigIntInternal.h"
#include "bigint/BigIntModular.h"
#include "common/SecureWipe.h"

namespace corvane::bigint_internal {

namespace {

using u128 = unsigned __int128;

// Product scanning with the reduction interleaved (Montgomery's "FIPS" order): column i of a * b and of
// m * n is summed into a three-word accumulator, so every limb product costs one multiply and three
// additions with carry and nothing is written back until a column is complete.
struct Accumulator {
  uint64_t lo = 0, mid = 0, hi = 0;
  void Add(uint64_t x, uint64_t y) {
    const u128 p = static_cast<u128>(x) * y;
    const u128 s = ((static_cast<u128>(mid) << 64) | lo) + p;
    hi += s < p;
    lo = static_cast<uint64_t>(s);
    mid = static_cast<uint64_t>(s >> 64);
  }
  void Shift() {
    lo = mid;
    mid = hi;
    hi = 0;
  }
};

// r := r - n when the k-limb value r with an extra top carry is at least n.
void FinalSubtract(uint64_t* r, uint64_t top, const uint64_t* n, size_t k) {
  bool subtract = top != 0;
  if (!subtract) {
    subtract = true;
    for (size_t i = k; i-- > 0;) {
      if (r[i] != n[i]) {
        subtract = r[i] > n[i];
        break;
      }
    }
  }
  if (!subtract) return;
  uint64_t borrow = 0;
  for (size_t i = 0; i < k; ++i) {
    const u128 d = static_cast<u128>(r[i]) - n[i] - borrow;
    r[i] = static_cast<uint64_t>(d);
    borrow = static_cast<uint64_t>(d >> 64) & 1;
  }
}

void MontMulScan(uint64_t* r, const uint64_t* a, const uint64_t* b, const uint64_t* n, uint64_t n0inv,
                 uint64_t* m, size_t k) {
  Accumulator acc;
  for (size_t i = 0; i < k; ++i) {
    for (size_t j = 0; j < i; ++j) {
      acc.Add(a[j], b[i - j]);
      acc.Add(m[j], n[i - j]);
    }
    acc.Add(a[i], b[0]);
    m[i] = acc.lo * n0inv;
    acc.Add(m[i], n[0]);  // clears the low word
    acc.Shift();
  }
  for (size_t i = k; i < 2 * k; ++i) {
    for (size_t j = i - k + 1; j < k; ++j) {
      acc.Add(a[j], b[i - j]);
      acc.Add(m[j], n[i - j]);
    }
    r[i - k] = acc.lo;
    acc.Shift();
  }
  FinalSubtract(r, acc.lo, n, k);
}

// t[0..2k-1] := a * a by product scanning: cross products once per column, then the whole array is
// doubled and the squares of the limbs added.
void SquareColumns(uint64_t* t, const uint64_t* a, size_t k) {
  Accumulator acc;
  for (size_t i = 0; i + 1 < 2 * k; ++i) {
    for (size_t j = i < k ? 0 : i - k + 1; j < i - j; ++j) acc.Add(a[j], a[i - j]);
    t[i] = acc.lo;
    acc.Shift();
  }
  t[2 * k - 1] = acc.lo;
  uint64_t carry = 0;
  uint64_t shiftedOut = 0;
  for (size_t i = 0; i < k; ++i) {
    const u128 sq = static_cast<u128>(a[i]) * a[i];
    const uint64_t lo = t[2 * i], hi = t[2 * i + 1];
    u128 s = static_cast<u128>((lo << 1) | shiftedOut) + static_cast<uint64_t>(sq) + carry;
    t[2 * i] = static_cast<uint64_t>(s);
    s = static_cast<u128>((hi << 1) | (lo >> 63)) + static_cast<uint64_t>(sq >> 64) +
        static_cast<uint64_t>(s >> 64);
    t[2 * i + 1] = static_cast<uint64_t>(s);
    carry = static_cast<uint64_t>(s >> 64);
    shiftedOut = hi >> 63;
  }
}

// r := t * 2^(-64k) mod n by product scanning over the columns of m * n + t.
void ReduceColumns(uint64_t* r, const uint64_t* t, const uint64_t* n, uint64_t n0inv, uint64_t* m, size_t k) {
  Accumulator acc;
  for (size_t i = 0; i < k; ++i) {
    for (size_t j = 0; j < i; ++j) acc.Add(m[j], n[i - j]);
    const u128 s = ((static_cast<u128>(acc.mid) << 64) | acc.lo) + t[i];
    acc.hi += s < t[i];
    acc.lo = static_cast<uint64_t>(s);
    acc.mid = static_cast<uint64_t>(s >> 64);
    m[i] = acc.lo * n0inv;
    acc.Add(m[i], n[0]);
    acc.Shift();
  }
  for (size_t i = k; i < 2 * k; ++i) {
    for (size_t j = i - k + 1; j < k; ++j) acc.Add(m[j], n[i - j]);
    const u128 s = ((static_cast<u128>(acc.mid) << 64) | acc.lo) + t[i];
    acc.hi += s < t[i];
    acc.lo = static_cast<uint64_t>(s);
    acc.mid = static_cast<uint64_t>(s >> 64);
    r[i - k] = acc.lo;
    acc.Shift();
  }
  FinalSubtract(r, acc.lo, n, k);
}

void MontSqrSeparate(uint64_t* r, const uint64_t* a, const uint64_t* n, uint64_t n0inv, uint64_t* scratch,
                     size_t k) {
  SquareColumns(scratch, a, k);
  ReduceColumns(r, scratch, n, n0inv, scratch + 2 * k, k);
}

void MontSqrViaMul(uint64_t* r, const uint64_t* a, const uint64_t* n, uint64_t n0inv, uint64_t* m, size_t k) {
  MontMulScan(r, a, a, n, n0inv, m, k);
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

TMontgomery64::TMontgomery64(const TBigInt& n) : modulus_(n) {
  if (IsNegative(n) || BigIntIsZero(n) || (n.digits[0] & 1) == 0)
    throw EBigIntError("The modulus of a modular power must be odd and positive");
  k_ = (BigIntBitLength(n) + 63) / 64;
  n_ = DigitsToLimbs(n.digits, k_);
  // n is its own inverse modulo 8; each Newton step doubles the correct low bits: 3, 6, 12, 24, 48, 96.
  uint64_t inv = n_[0];
  for (int i = 0; i < 5; ++i) inv *= 2 - n_[0] * inv;
  n0inv_ = 0 - inv;
  TBigInt rSquared;
  rSquared.digits.assign((128 * k_) / kDigitBits + 1, 0);
  rSquared.digits.back() = uint32_t{1} << ((128 * k_) % kDigitBits);
  r2_ = DigitsToLimbs(BigIntModulo(rSquared, n).digits, k_);
  scratch_.assign(3 * k_ + 1, 0);
  mul_ = &MontMulScan;
  // For a few limbs the separate squaring and reduction passes cost more than the products they save.
  sqr_ = k_ < 8 ? &MontSqrViaMul : &MontSqrSeparate;
}

TMontgomery64::~TMontgomery64() {
  SecureWipe(n_);
  SecureWipe(r2_);
  SecureWipe(scratch_);
}

void TMontgomery64::Multiply(Limbs& r, const Limbs& a, const Limbs& b) const {
  r.resize(k_);
  mul_(r.data(), a.data(), b.data(), n_.data(), n0inv_, scratch_.data(), k_);
}

void TMontgomery64::Square(Limbs& r, const Limbs& a) const {
  r.resize(k_);
  sqr_(r.data(), a.data(), n_.data(), n0inv_, scratch_.data(), k_);
}

Limbs TMontgomery64::ToMontgomery(const TBigInt& x) const {
  const TBigInt residue = BigIntModulo(x, modulus_);
  Limbs plain = DigitsToLimbs(residue.digits, k_);
  Limbs r;
  Multiply(r, plain, r2_);
  SecureWipe(plain);
  return r;
}

TBigInt TMontgomery64::FromMontgomery(const Limbs& x) const {
  Limbs one(k_, 0);
  one[0] = 1;
  Limbs r;
  Multiply(r, x, one);
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
