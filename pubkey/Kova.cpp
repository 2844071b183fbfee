#include "pubkey/Kova.h"

#include <string_view>
#include <utility>

#include "bigint/BigIntModular.h"
#include "bigint/BigIntPrime.h"
#include "bigint/BigIntText.h"
#include "common/Exception.h"
#include "common/SecureWipe.h"
#include "common/SystemRandom.h"
#include "pubkey/Sha1.h"

namespace corvane {

namespace {

constexpr std::size_t kDigestTextLength = 40;
constexpr int32_t kPrimeRounds = 4;
constexpr int32_t kMinPrimeBits = 16;
// A usable prime is found on the first draw except with vanishing probability; this many failures in a
// row mean the base or the bit source is degenerate, and searching on would never end.
constexpr int kMaxPrimeDraws = 64;

// A key integer that was never assigned. Its sign flag is 0, so the presence test counts it absent.
TBigInt Unset() {
  TBigInt value;
  value.signFlag = 0;
  return value;
}

bool Present(const TBigInt& value) {
  return value.signFlag == 1;
}
bool IsOdd(const TBigInt& value) {
  return (value.digits[0] & 1) != 0;
}

bool AtLeast(const TBigInt& value, int64_t bound) {
  return BigIntCompareMagnitude(value, BigIntFromInt64(bound)) != MagnitudeOrder::FirstSmaller;
}

std::string DecimalIfPresent(const TBigInt& value) {
  return Present(value) ? BigIntToDecimalText(value) : std::string();
}

// "div" on 32-bit values, computed wide so that no key strength can overflow.
int32_t Div(int64_t a, int64_t b) {
  return static_cast<int32_t>(a / b);
}

}  // namespace

TKOVA::TKOVA()
    : CValue(Unset()),
      Modulus(Unset()),
      MValue(Unset()),
      Base(BigIntFromDecimalText("65537")),
      PrimeP(Unset()),
      PrimeQ(Unset()),
      HashValue(Unset()),
      PMinusOne(Unset()),
      GPowerMinusOne(Unset()),
      CPowerMinusOne(Unset()),
      LOfBase(Unset()),
      LOfC(Unset()),
      LOfBaseInverse(Unset()),
      PSquared(Unset()) {}

// Every TBigInt wipes its digits when it is destroyed.
TKOVA::~TKOVA() = default;

void TKOVA::SetKeyStrength(int32_t strength) {
  fPrimeBits = Div(strength, 3);
  fBlockBits = Div(int64_t{strength} - 24, 3);
}

// ---- Key generation ----

// "1" and `count` random bits, the form of the prime start values and of R. The text is built whole in
// one buffer: prepending the "1" afterwards could move it and leave the random bits behind unwiped.
std::string TKOVA::OneAndRandomBits(int64_t count) {
  std::string bits = "1";
  if (count <= 0) return bits;
  bits.reserve(static_cast<std::size_t>(count) + 1);
  if (fRandomBit) {
    for (int64_t i = 0; i < count; ++i) bits += fRandomBit() != 0 ? '1' : '0';
    return bits;
  }
  std::string bytes(static_cast<std::size_t>((count + 7) / 8), '\0');
  SystemRandomBytes(bytes.data(), bytes.size());
  for (int64_t i = 0; i < count; ++i) {
    const auto byte = static_cast<unsigned char>(bytes[static_cast<std::size_t>(i / 8)]);
    bits += ((byte >> (i % 8)) & 1) != 0 ? '1' : '0';
  }
  SecureWipe(bytes);
  return bits;
}

// A value of PrimeBits + 1 bits with the top bit set: "1" followed by PrimeBits random bits.
TBigInt TKOVA::RandomStartValue() {
  std::string text = OneAndRandomBits(fPrimeBits);
  TBigInt start = BigIntFromBitText(text);
  SecureWipe(text);
  return start;
}

TBigInt TKOVA::FindPrimeAbove(const TBigInt& start) {
  TBigInt candidate = BigIntCopy(start);
  // An even start becomes odd in its lowest digit alone: bit 0 is clear, so no carry can arise.
  if (!IsOdd(candidate)) candidate.digits[0] += 1;
  const TBigInt two = BigIntFromInt64(2);
  for (int tested = 1;; ++tested) {
    candidate = BigIntAdd(candidate, two);
    const bool prime = BigIntIsLikelyPrime(candidate, kPrimeRounds);
    if (fProgress && fProgressPrime != 0) fProgress(fProgressPrime, tested);
    if (prime) return candidate;
  }
}

TBigInt TKOVA::FindPrime(int prime) {
  fProgressPrime = prime;
  TBigInt found = FindPrimeAbove(RandomStartValue());
  fProgressPrime = 0;
  return found;
}

int32_t TKOVA::GenerateKeys() {
  try {
    return GenerateKeyPair();
  } catch (...) {
    // A progress callback may throw to abandon the search; nothing of the unfinished key stays behind.
    fProgressPrime = 0;
    WipeWorkingValues();
    throw;
  }
}

int32_t TKOVA::GenerateKeyPair() {
  if (fPrimeBits < kMinPrimeBits) throw Exception("鍵の強度が小さすぎるため、鍵ペアを作成できません。");
  // With g = 0, 1 or -1, L(g) is 0 for every prime: no key could ever decrypt.
  if (!Present(Base) || !AtLeast(Base, 2)) throw Exception("鍵の底 g の値では鍵ペアを作成できません。");

  // The new key is built aside and stored whole at the end: an exception on the way leaves the key held
  // before intact, never a mix of old and new values.
  // p must give L(g) an inverse modulo p, or nothing encrypted under the key could be decrypted.
  TBigInt p, pSquared, q;
  for (int draw = 0;; ++draw) {
    if (draw == kMaxPrimeDraws)
      throw Exception("鍵の作成に使える素数が見つかりませんでした。もう一度お試し下さい。");
    p = FindPrime(1);
    pSquared = BigIntSquare(p);
    if (ComputeLOfBaseInverse(p, pSquared)) break;
  }
  // p = q would make n = p^3, whose cube root gives the private key away.
  for (int draw = 0;; ++draw) {
    if (draw == kMaxPrimeDraws)
      throw Exception("鍵の作成に使える素数が見つかりませんでした。もう一度お試し下さい。");
    q = FindPrime(2);
    if (BigIntCompareMagnitude(q, p) != MagnitudeOrder::Equal) break;
  }
  PrimeP = std::move(p);
  PrimeQ = std::move(q);
  PSquared = std::move(pSquared);
  Modulus = BigIntMultiply(PSquared, PrimeQ);
  fHasPublicKey = true;
  fHasPrivateKey = true;
  WipeWorkingValues();
  return kOk;
}

// L(g) = ((g^(p-1) mod p^2) - 1) div p and its inverse modulo p; false when there is none (g a
// multiple of p, or L(g) = 0 mod p). Needs an odd p >= 3.
bool TKOVA::ComputeLOfBaseInverse(const TBigInt& p, const TBigInt& pSquared) {
  const TBigInt one = BigIntFromInt64(1);
  PMinusOne = BigIntSubtract(p, one);
  GPowerMinusOne = BigIntModPower(Base, PMinusOne, pSquared);
  if (BigIntIsZero(GPowerMinusOne)) return false;
  GPowerMinusOne = BigIntSubtract(GPowerMinusOne, one);
  LOfBase = BigIntDivide(GPowerMinusOne, p);
  LOfBaseInverse = BigIntFromInt64(0);
  return BigIntModInverse(LOfBase, p, LOfBaseInverse);
}

// ---- Encryption and decryption ----

// A key whose primes start at 2^PrimeBits has p, q > 2^PrimeBits and so n > 2^(3 PrimeBits); blocks
// of at most PrimeBits bits are then below p, which decryption needs. Sizes that break either bound
// come from a key strength that does not belong to the key, and would give a text nobody can decrypt.
bool TKOVA::EncryptionSizesFit() const {
  const int64_t blockBytes = fBlockBits / 8;
  if (blockBytes < 1 || 8 * blockBytes > fPrimeBits) return false;
  if (!IsOdd(Modulus) || BigIntBitLength(Modulus) <= 3 * static_cast<uint64_t>(fPrimeBits)) return false;
  // g = 0 or 1 modulo n makes every block the same number, whatever the message.
  return AtLeast(BigIntModulo(Base, Modulus), 2);
}

// The arithmetic of decryption needs odd moduli p^2 and p^2 q.
bool TKOVA::PrivateKeyUsable() const {
  return IsOdd(PrimeP) && AtLeast(PrimeP, 3) && IsOdd(PrimeQ) && AtLeast(PrimeQ, 3);
}

// Cuts `extended` into blocks of BlockBits div 8 bytes (the last one shorter) and writes each block m
// as the radix-64 text of g^(m + nH) mod n followed by ";".
std::string TKOVA::BuildCipherText(const std::string& extended, const TBigInt& n, const TBigInt& nTimesH) {
  const std::size_t blockBytes = static_cast<std::size_t>(fBlockBits / 8);
  std::string text;
  for (std::size_t at = 0; at < extended.size(); at += blockBytes) {
    MValue = BigIntFromBytes(std::string_view(extended).substr(at, blockBytes));
    const TBigInt exponent = BigIntAdd(nTimesH, MValue);
    CValue = BigIntModPower(Base, exponent, n);
    text += BytesToRadix64Text(BigIntToBytes(CValue));
    text += ';';
  }
  return text;
}

int32_t TKOVA::EncryptText(const std::string& message, std::string& cipherText) {
  if (!fHasPublicKey || !EncryptionSizesFit()) return kNoKey;

  // R: "1" and 3 PrimeBits - 4 random bits; its bytes make the digest unpredictable.
  std::string randomizer = OneAndRandomBits(3 * int64_t{fPrimeBits} - 4);
  std::string randomBytes = BitTextToBytes(randomizer);
  std::string hashed = message + randomBytes;
  std::string digest;
  DigestText(hashed, digest);
  HashValue = BigIntFromBytes(digest);
  const TBigInt nTimesH = BigIntMultiply(Modulus, HashValue);
  std::string extended = message + digest;
  std::string text = BuildCipherText(extended, Modulus, nTimesH);

  for (std::string* secret : {&randomizer, &randomBytes, &hashed, &digest, &extended}) SecureWipe(*secret);
  WipeWorkingValues();
  cipherText.swap(text);
  return kOk;
}

// Decrypts every ";"-ended block into `extended`. Blocks before the last hold exactly BlockBits div 8
// bytes, so their leading zero bytes, which the integer drops, are put back; the last block's length
// is not known and stays as the integer gives it. False for any text that no encryption produces.
bool TKOVA::DecryptBlocks(const std::string& cipherText, const TBigInt& n, std::string& extended) {
  const std::size_t blockBytes = static_cast<std::size_t>(fBlockBits / 8);
  const std::size_t last = cipherText.rfind(';');
  if (last == std::string::npos) return false;
  const std::size_t modulusBytes = (BigIntBitLength(n) + 7) / 8;
  const TBigInt one = BigIntFromInt64(1);

  for (std::size_t at = 0; at <= last;) {
    const std::size_t end = cipherText.find(';', at);
    const std::string bytes = Radix64TextToBytes(std::string_view(cipherText).substr(at, end - at));
    at = end + 1;
    // Every block an encryption writes is a residue below n: never empty, never longer than n.
    if (bytes.empty() || bytes.size() > modulusBytes) return false;
    CValue = BigIntFromBytes(bytes);
    if (BigIntCompareMagnitude(CValue, n) != MagnitudeOrder::FirstSmaller) return false;

    CPowerMinusOne = BigIntModPower(CValue, PMinusOne, PSquared);
    if (BigIntIsZero(CPowerMinusOne)) return false;  // c is a multiple of p
    CPowerMinusOne = BigIntSubtract(CPowerMinusOne, one);
    LOfC = BigIntDivide(CPowerMinusOne, PrimeP);
    MValue = BigIntModMultiply(LOfC, LOfBaseInverse, PrimeP);
    std::string block = BigIntToBytes(MValue);
    if (at <= last) {
      if (block.size() > blockBytes) return false;
      block.insert(0, blockBytes - block.size(), '\0');
    }
    extended += block;
    SecureWipe(block);
  }
  return true;
}

int32_t TKOVA::DecryptText(const std::string& cipherText, std::string& message) {
  if (!fHasPrivateKey) return kNoKey;

  std::string extended;
  bool valid = fBlockBits / 8 >= 1 && PrivateKeyUsable() && ComputeLOfBaseInverse(PrimeP, PSquared);
  // n from the private key itself: a public key loaded since then may have replaced Modulus.
  const TBigInt n = valid ? BigIntMultiply(PSquared, PrimeQ) : TBigInt();
  valid = valid && DecryptBlocks(cipherText, n, extended) && extended.size() >= kDigestTextLength;
  if (valid) {
    HashValue = BigIntFromBytes(std::string_view(extended).substr(extended.size() - kDigestTextLength));
    const TBigInt nTimesH = BigIntMultiply(n, HashValue);
    std::string rebuilt = BuildCipherText(extended, n, nTimesH);
    valid = rebuilt == cipherText;
    SecureWipe(rebuilt);
  }
  WipeWorkingValues();
  if (!valid) {
    SecureWipe(extended);
    SecureWipe(message);
    return kNotForThisKey;
  }
  extended.resize(extended.size() - kDigestTextLength);
  message.swap(extended);
  SecureWipe(extended);
  return kOk;
}

void TKOVA::WipeWorkingValues() {
  for (TBigInt* value : {&CValue, &MValue, &HashValue, &PMinusOne, &GPowerMinusOne, &CPowerMinusOne, &LOfBase,
                         &LOfC, &LOfBaseInverse})
    BigIntRelease(*value);
}

// ---- Key import and export ----

int32_t TKOVA::SetPublicKey(const std::string& nText, const std::string& gText) {
  if (!nText.empty()) Modulus = BigIntFromDecimalText(nText);
  if (!gText.empty()) Base = BigIntFromDecimalText(gText);
  fHasPublicKey = Present(Base) && Present(Modulus);
  return fHasPublicKey ? kOk : 1;
}

int32_t TKOVA::SetPrivateKey(const std::string& pText, const std::string& qText, const std::string& gText) {
  if (!pText.empty()) PrimeP = BigIntFromDecimalText(pText);
  if (!qText.empty()) PrimeQ = BigIntFromDecimalText(qText);
  if (!gText.empty()) Base = BigIntFromDecimalText(gText);
  if (!Present(Base) || !Present(PrimeP) || !Present(PrimeQ)) {
    fHasPublicKey = false;
    fHasPrivateKey = false;
    return 1;
  }
  PSquared = BigIntSquare(PrimeP);
  Modulus = BigIntMultiply(PSquared, PrimeQ);
  fHasPublicKey = true;
  fHasPrivateKey = true;
  return kOk;
}

int32_t TKOVA::GetPublicKey(std::string& nText, std::string& gText) const {
  nText = DecimalIfPresent(Modulus);
  gText = DecimalIfPresent(Base);
  return kOk;
}

int32_t TKOVA::GetPrivateKey(std::string& pText, std::string& qText, std::string& gText) const {
  pText = DecimalIfPresent(PrimeP);
  qText = DecimalIfPresent(PrimeQ);
  gText = DecimalIfPresent(Base);
  return kOk;
}

}  // namespace corvane
