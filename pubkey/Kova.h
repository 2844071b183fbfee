#pragma once
// TKOVA: the Okamoto-Uchiyama key object (n = p^2 * q, base g), its key generation, the verified
// encryption of short byte strings and the import and export of keys as decimal texts.
//
// Encryption of a message: a random bit text R gives the digest text hh = DigestText(message || R's
// bytes) and H = hh read as a big-endian number; M = message || hh is cut into blocks of B = BlockBits
// div 8 bytes, and each block m becomes c = g^(m + n*H) mod n, written in radix-64 and ended by ";".
// Decryption recovers every m with the private key, takes H from the last 40 bytes and accepts only if
// encrypting the recovered M again under that H gives exactly the text it was given.
//
// Random bits for prime start values and for R come from the system CSPRNG: a key must not be
// reconstructible from the time it was made. Tests inject a fixed source instead.
//
// Not reentrant: the working integers are fields shared by all operations.

#include <cstdint>
#include <functional>
#include <string>

#include "bigint/BigInt.h"

namespace corvane {

class TKOVA {
 public:
  // Result codes of the encryption operations.
  static constexpr int32_t kOk = 0;
  static constexpr int32_t kNoKey = 1;          // key half missing (or unusable sizes, see EncryptText)
  static constexpr int32_t kNotForThisKey = 2;  // DecryptText: not a valid ciphertext for this key

  // The smallest key strength whose blocks hold at least one byte: PrimeBits 16, BlockBits 8.
  static constexpr int32_t kMinKeyStrength = 48;

  // One random bit (0 or 1) per call; replaces the system CSPRNG when set (tests only).
  using TRandomBit = std::function<int()>;
  // Called after each candidate of a prime search, the prime that ends it included: prime is 1 for p,
  // 2 for q; candidates counts the values tested so far in that search. May throw to abandon the key
  // generation, which then keeps the key held before.
  using TKeyProgress = std::function<void(int prime, int candidates)>;

  TKOVA();
  virtual ~TKOVA();
  TKOVA(const TKOVA&) = delete;
  TKOVA& operator=(const TKOVA&) = delete;

  // Sizes. Callers set them from the key strength S before every key generation, encryption and
  // decryption: PrimeBits = S div 3, BlockBits = (S - 24) div 3. SetKeyStrength does exactly that.
  int32_t PrimeBits() const { return fPrimeBits; }
  int32_t BlockBits() const { return fBlockBits; }
  void SetPrimeBits(int32_t bits) { fPrimeBits = bits; }
  void SetBlockBits(int32_t bits) { fBlockBits = bits; }
  void SetKeyStrength(int32_t strength);

  bool HasPublicKey() const { return fHasPublicKey; }
  bool HasPrivateKey() const { return fHasPrivateKey; }

  // New p and q from random start values of PrimeBits + 1 bits (top bit set); sets p^2, n and both
  // flags; returns 0. Base is kept. A prime equal to p, or a p for which L(g) has no inverse modulo p,
  // is drawn again. Throws Exception when PrimeBits is below 16 or when no usable pair turns up after
  // many draws (only a degenerate base g, such as 0 or 1, or a broken bit source does that); the key
  // held before then stays as it was.
  virtual int32_t GenerateKeys();
  // The first value above `start` that passes BigIntIsLikelyPrime with 4 rounds, trying start + 2 first
  // (start + 3 for an even start) and climbing by 2. `start` itself is never tested.
  virtual TBigInt FindPrimeAbove(const TBigInt& start);

  // 0: cipherText holds the encryption of message. 1: no public key, or the sizes cannot serve this key
  // (BlockBits below 8, blocks not below 2^PrimeBits, n even or smaller than a key of PrimeBits
  // primes, g = 0 or 1 modulo n); cipherText is untouched.
  virtual int32_t EncryptText(const std::string& message, std::string& cipherText);
  // 0: message holds the verified plaintext. 1: no private key; message untouched. 2: the text is not
  // a valid ciphertext for this key and sizes (any malformed text included); message is emptied.
  virtual int32_t DecryptText(const std::string& cipherText, std::string& message);

  // Decimal texts. An empty text keeps the value held; a value counts as present when it is not
  // negative. Unreadable text raises EConvertError (values read before it stay replaced).
  // SetPublicKey: 0 when n and g are present (sets HasPublicKey), else 1 (clears HasPublicKey).
  virtual int32_t SetPublicKey(const std::string& nText, const std::string& gText);
  // SetPrivateKey: 0 when p, q and g are present (derives p^2 and n, sets both flags), else 1 (clears
  // both flags).
  virtual int32_t SetPrivateKey(const std::string& pText, const std::string& qText, const std::string& gText);
  // Absent values give empty texts. Always 0.
  virtual int32_t GetPublicKey(std::string& nText, std::string& gText) const;
  virtual int32_t GetPrivateKey(std::string& pText, std::string& qText, std::string& gText) const;

  // nullptr restores the system CSPRNG.
  void SetRandomBitSource(TRandomBit source) { fRandomBit = std::move(source); }
  void SetProgress(TKeyProgress progress) { fProgress = std::move(progress); }

 private:
  std::string OneAndRandomBits(int64_t count);
  TBigInt RandomStartValue();
  TBigInt FindPrime(int prime);
  int32_t GenerateKeyPair();
  bool ComputeLOfBaseInverse(const TBigInt& p, const TBigInt& pSquared);
  bool EncryptionSizesFit() const;
  bool PrivateKeyUsable() const;
  std::string BuildCipherText(const std::string& extended, const TBigInt& n, const TBigInt& nTimesH);
  bool DecryptBlocks(const std::string& cipherText, const TBigInt& n, std::string& extended);
  void WipeWorkingValues();

  // The key values Modulus (n), Base (g), PrimeP, PrimeQ and PSquared, among working values that hold the
  // integers of the call in progress and are wiped when it returns.
  TBigInt CValue;
  TBigInt Modulus;
  TBigInt MValue;
  TBigInt Base;
  TBigInt PrimeP;
  TBigInt PrimeQ;
  TBigInt HashValue;
  TBigInt PMinusOne;
  TBigInt GPowerMinusOne;
  TBigInt CPowerMinusOne;
  TBigInt LOfBase;
  TBigInt LOfC;
  TBigInt LOfBaseInverse;
  TBigInt PSquared;
  bool fHasPublicKey = false;
  bool fHasPrivateKey = false;
  int32_t fPrimeBits = 360;
  int32_t fBlockBits = 352;

  TRandomBit fRandomBit;
  TKeyProgress fProgress;
  int fProgressPrime = 0;  // the prime being searched for inside GenerateKeys, else 0
};

}  // namespace corvane
