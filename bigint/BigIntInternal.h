#pragma once
// Helpers shared by the bigint sources; not part of the public interface.

#include <cstdint>
#include <vector>

#include "bigint/BigInt.h"

namespace corvane::bigint_internal {

using Digits = std::vector<uint32_t>;

inline bool IsNegative(const TBigInt& a) {
  return a.signFlag == 0;
}

// Removes zero top digits while more than one digit remains.
inline void Trim(Digits& d) {
  while (d.size() > 1 && d.back() == 0) d.pop_back();
  if (d.empty()) d.push_back(0);
}

inline bool IsZeroDigits(const Digits& d) {
  return d.size() == 1 && d[0] == 0;
}

MagnitudeOrder CompareDigits(const Digits& a, const Digits& b);

// Quotient and remainder of magnitudes; v must be non-zero. Either output may be null.
void DivideMagnitudes(const Digits& u, const Digits& v, Digits* quotient, Digits* remainder);

}  // namespace corvane::bigint_internal
