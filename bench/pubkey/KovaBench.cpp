// TKOVA beside the same algorithms written with GMP, in one process: key generation at key strengths
// 1024 and 2048, and one EncryptText plus DecryptText of a 32-character message at 1024 and 2048.
//
// Key generation: iteration k of either side draws its start values from the same seeded generator, so
// both search through the same candidates and find the same primes (trial division by the odd primes
// below 10,000, then 4 Miller-Rabin rounds with small-prime bases; p != q; L(g) invertible). The GMP
// side shares the byte and text helpers and the SHA-1 digest; only the integer arithmetic differs.
// The ratio ours/GMP is printed at the end.
#include <benchmark/benchmark.h>
#include <gmp.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <random>
#include <stdexcept>
#include <string>

#include "bigint/BigIntPrime.h"
#include "bigint/BigIntText.h"
#include "pubkey/Kova.h"
#include "pubkey/Sha1.h"

namespace {

using corvane::TKOVA;

constexpr int kKeygenIterations = 12;

class Mpz {
 public:
  Mpz() { mpz_init(v_); }
  explicit Mpz(const std::string& decimal) { mpz_init_set_str(v_, decimal.c_str(), 10); }
  ~Mpz() { mpz_clear(v_); }
  Mpz(const Mpz&) = delete;
  Mpz& operator=(const Mpz&) = delete;
  mpz_ptr get() { return v_; }
  mpz_srcptr get() const { return v_; }

 private:
  mpz_t v_;
};

// One random bit per call from a generator seeded per key, shared by both sides.
class SeededBits {
 public:
  explicit SeededBits(uint64_t seed) : rng_(seed) {}
  int Next() { return static_cast<int>(rng_() & 1); }

 private:
  std::mt19937_64 rng_;
};

// ---- The GMP side ----

std::string BitText(SeededBits& bits, int64_t count) {
  std::string text = "1";
  for (int64_t i = 0; i < count; ++i) text += bits.Next() ? '1' : '0';
  return text;
}

// Miller-Rabin bases come from a 32-bit linear congruential generator over the small primes, as ours.
class GmpPrimeSearch {
 public:
  bool IsLikelyPrime(const Mpz& n) {
    for (const int32_t prime : corvane::SmallPrimeTable)
      if (mpz_fdiv_ui(n.get(), static_cast<unsigned long>(prime)) == 0) return false;
    Mpz nMinusOne, d, x, base;
    mpz_sub_ui(nMinusOne.get(), n.get(), 1);
    const mp_bitcnt_t s = mpz_scan1(nMinusOne.get(), 0);
    mpz_tdiv_q_2exp(d.get(), nMinusOne.get(), s);
    for (int round = 0; round < 4; ++round) {
      state_ = state_ * 134775813u + 1;
      const auto index = static_cast<uint32_t>((uint64_t{state_} * (corvane::kSmallPrimeCount - 1)) >> 32);
      mpz_set_ui(base.get(), static_cast<unsigned long>(corvane::SmallPrimeTable[index]));
      mpz_powm(x.get(), base.get(), d.get(), n.get());
      if (mpz_cmp_ui(x.get(), 1) == 0 || mpz_cmp(x.get(), nMinusOne.get()) == 0) continue;
      bool pass = false;
      for (mp_bitcnt_t i = 1; i < s && !pass; ++i) {
        mpz_powm_ui(x.get(), x.get(), 2, n.get());
        if (mpz_cmp(x.get(), nMinusOne.get()) == 0) pass = true;
        if (mpz_cmp_ui(x.get(), 1) == 0) break;
      }
      if (!pass) return false;
    }
    return true;
  }

  void FindPrime(SeededBits& bits, int primeBits, Mpz& prime) {
    mpz_set_str(prime.get(), BitText(bits, primeBits).c_str(), 2);
    if (mpz_even_p(prime.get())) mpz_add_ui(prime.get(), prime.get(), 1);
    do mpz_add_ui(prime.get(), prime.get(), 2);
    while (!IsLikelyPrime(prime));
  }

 private:
  uint32_t state_ = 12345;
};

bool LOfBaseInverse(const Mpz& g, const Mpz& p, Mpz& inverse) {
  Mpz pSquared, pMinusOne, l;
  mpz_mul(pSquared.get(), p.get(), p.get());
  mpz_sub_ui(pMinusOne.get(), p.get(), 1);
  mpz_powm(l.get(), g.get(), pMinusOne.get(), pSquared.get());
  if (mpz_sgn(l.get()) == 0) return false;
  mpz_sub_ui(l.get(), l.get(), 1);
  mpz_fdiv_q(l.get(), l.get(), p.get());
  return mpz_invert(inverse.get(), l.get(), p.get()) != 0;
}

struct GmpKey {
  Mpz p, q, g{"65537"}, pSquared, n;
  int primeBits = 0, blockBits = 0;
};

void GmpGenerateKeys(SeededBits& bits, GmpKey& key) {
  GmpPrimeSearch search;
  Mpz inverse;
  do search.FindPrime(bits, key.primeBits, key.p);
  while (!LOfBaseInverse(key.g, key.p, inverse));
  do search.FindPrime(bits, key.primeBits, key.q);
  while (mpz_cmp(key.p.get(), key.q.get()) == 0);
  mpz_mul(key.pSquared.get(), key.p.get(), key.p.get());
  mpz_mul(key.n.get(), key.pSquared.get(), key.q.get());
}

std::string ToBytes(const Mpz& v) {
  std::string out((mpz_sizeinbase(v.get(), 2) + 7) / 8, '\0');
  std::size_t written = 0;
  mpz_export(out.data(), &written, 1, 1, 1, 0, v.get());
  out.resize(written == 0 ? 1 : written);
  return out;
}

void FromBytes(std::string_view bytes, Mpz& v) {
  mpz_import(v.get(), bytes.size(), 1, 1, 1, 0, bytes.data());
}

std::string GmpBuildCipherText(const GmpKey& key, const std::string& extended, const Mpz& nTimesH) {
  const std::size_t blockBytes = static_cast<std::size_t>(key.blockBits / 8);
  Mpz m, c;
  std::string text;
  for (std::size_t at = 0; at < extended.size(); at += blockBytes) {
    FromBytes(std::string_view(extended).substr(at, blockBytes), m);
    mpz_add(m.get(), m.get(), nTimesH.get());
    mpz_powm(c.get(), key.g.get(), m.get(), key.n.get());
    text += corvane::BytesToRadix64Text(ToBytes(c));
    text += ';';
  }
  return text;
}

std::string GmpEncryptText(const GmpKey& key, const std::string& message, SeededBits& bits) {
  const std::string randomizer = BitText(bits, 3 * int64_t{key.primeBits} - 4);
  std::string digest;
  corvane::DigestText(message + corvane::BitTextToBytes(randomizer), digest);
  Mpz h, nTimesH;
  FromBytes(digest, h);
  mpz_mul(nTimesH.get(), key.n.get(), h.get());
  return GmpBuildCipherText(key, message + digest, nTimesH);
}

bool GmpDecryptText(const GmpKey& key, const std::string& cipherText, std::string& message) {
  Mpz inverse, pMinusOne, c, m, h, nTimesH;
  if (!LOfBaseInverse(key.g, key.p, inverse)) return false;
  mpz_sub_ui(pMinusOne.get(), key.p.get(), 1);
  const std::size_t blockBytes = static_cast<std::size_t>(key.blockBits / 8);
  const std::size_t last = cipherText.rfind(';');
  if (last == std::string::npos) return false;
  std::string extended;
  for (std::size_t at = 0; at <= last;) {
    const std::size_t end = cipherText.find(';', at);
    const std::string bytes = corvane::Radix64TextToBytes(std::string_view(cipherText).substr(at, end - at));
    at = end + 1;
    if (bytes.empty()) return false;
    FromBytes(bytes, c);
    mpz_powm(c.get(), c.get(), pMinusOne.get(), key.pSquared.get());
    mpz_sub_ui(c.get(), c.get(), 1);
    mpz_fdiv_q(c.get(), c.get(), key.p.get());
    mpz_mul(m.get(), c.get(), inverse.get());
    mpz_mod(m.get(), m.get(), key.p.get());
    std::string block = ToBytes(m);
    if (at <= last) block.insert(0, blockBytes - block.size(), '\0');
    extended += block;
  }
  if (extended.size() < 40) return false;
  FromBytes(std::string_view(extended).substr(extended.size() - 40), h);
  mpz_mul(nTimesH.get(), key.n.get(), h.get());
  if (GmpBuildCipherText(key, extended, nTimesH) != cipherText) return false;
  message = extended.substr(0, extended.size() - 40);
  return true;
}

// ---- The benchmarks ----

const std::string kMessage = "0123456789ABCDEFGHIJKLMNOPQRSTUV";

void BM_GenerateKeysCorvane(benchmark::State& state) {
  uint64_t seed = 1;
  for (auto _ : state) {
    TKOVA kova;
    kova.SetKeyStrength(static_cast<int32_t>(state.range(0)));
    SeededBits bits(seed++);
    kova.SetRandomBitSource([&bits] { return bits.Next(); });
    benchmark::DoNotOptimize(kova.GenerateKeys());
  }
}

void BM_GenerateKeysGmp(benchmark::State& state) {
  uint64_t seed = 1;
  for (auto _ : state) {
    GmpKey key;
    key.primeBits = static_cast<int>(state.range(0) / 3);
    SeededBits bits(seed++);
    GmpGenerateKeys(bits, key);
    benchmark::DoNotOptimize(key.n.get());
  }
}

// One key pair per strength, made by TKOVA from a fixed seed and shared with the GMP side as texts.
struct KeyTexts {
  std::string p, q, g;
};
const KeyTexts& KeyFor(int strength) {
  static std::map<int, KeyTexts> keys;
  auto it = keys.find(strength);
  if (it != keys.end()) return it->second;
  TKOVA kova;
  kova.SetKeyStrength(strength);
  SeededBits bits(static_cast<uint64_t>(strength));
  kova.SetRandomBitSource([&bits] { return bits.Next(); });
  kova.GenerateKeys();
  KeyTexts texts;
  kova.GetPrivateKey(texts.p, texts.q, texts.g);
  // Both sides must search through the same candidates, or the key generation times are not comparable.
  GmpKey peer;
  peer.primeBits = strength / 3;
  SeededBits peerBits(static_cast<uint64_t>(strength));
  GmpGenerateKeys(peerBits, peer);
  if (mpz_cmp(peer.p.get(), Mpz(texts.p).get()) != 0 || mpz_cmp(peer.q.get(), Mpz(texts.q).get()) != 0)
    throw std::logic_error("the GMP key generation found other primes");
  return keys[strength] = texts;
}

void BM_EncryptDecryptCorvane(benchmark::State& state) {
  const int strength = static_cast<int>(state.range(0));
  const KeyTexts& texts = KeyFor(strength);
  TKOVA kova;
  kova.SetKeyStrength(strength);
  kova.SetPrivateKey(texts.p, texts.q, texts.g);
  SeededBits bits(7);
  kova.SetRandomBitSource([&bits] { return bits.Next(); });
  std::string cipherText, message;
  for (auto _ : state) {
    kova.EncryptText(kMessage, cipherText);
    if (kova.DecryptText(cipherText, message) != 0 || message != kMessage)
      throw std::logic_error("round trip");
  }
}

void BM_EncryptDecryptGmp(benchmark::State& state) {
  const int strength = static_cast<int>(state.range(0));
  const KeyTexts& texts = KeyFor(strength);
  GmpKey key;
  key.primeBits = strength / 3;
  key.blockBits = (strength - 24) / 3;
  mpz_set_str(key.p.get(), texts.p.c_str(), 10);
  mpz_set_str(key.q.get(), texts.q.c_str(), 10);
  mpz_mul(key.pSquared.get(), key.p.get(), key.p.get());
  mpz_mul(key.n.get(), key.pSquared.get(), key.q.get());
  SeededBits bits(7);
  std::string message;
  for (auto _ : state) {
    const std::string cipherText = GmpEncryptText(key, kMessage, bits);
    if (!GmpDecryptText(key, cipherText, message) || message != kMessage)
      throw std::logic_error("round trip");
  }
}

BENCHMARK(BM_GenerateKeysCorvane)
    ->Arg(1024)
    ->Arg(2048)
    ->Iterations(kKeygenIterations)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GenerateKeysGmp)
    ->Arg(1024)
    ->Arg(2048)
    ->Iterations(kKeygenIterations)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncryptDecryptCorvane)->Arg(1024)->Arg(2048)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EncryptDecryptGmp)->Arg(1024)->Arg(2048)->Unit(benchmark::kMicrosecond);

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) times_[run.benchmark_name()] = run.GetAdjustedCPUTime();
    ConsoleReporter::ReportRuns(runs);
  }
  void PrintRatios() const {
    std::printf(
        "\nRatio of CPU time, Corvane / GMP (lower is better; goal <= 2.5 for key generation at 2048):\n");
    for (const char* strength : {"1024", "2048"}) {
      PrintRatio(std::string("key generation ") + strength, "BM_GenerateKeysCorvane/", "BM_GenerateKeysGmp/",
                 strength);
      PrintRatio(std::string("encrypt + decrypt ") + strength, "BM_EncryptDecryptCorvane/",
                 "BM_EncryptDecryptGmp/", strength);
    }
  }

 private:
  void PrintRatio(const std::string& label, const std::string& ours, const std::string& peer,
                  const std::string& strength) const {
    const auto find = [&](const std::string& prefix) {
      for (const auto& [name, time] : times_)
        if (name.rfind(prefix + strength, 0) == 0) return time;
      return 0.0;
    };
    const double a = find(ours), b = find(peer);
    if (a > 0 && b > 0) std::printf("  %-24s %6.2f\n", label.c_str(), a / b);
  }
  std::map<std::string, double> times_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  return 0;
}
