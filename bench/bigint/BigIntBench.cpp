// Big integers beside GMP: BigIntModPower against mpz_powm at the key sizes' moduli (342, 683, 1026 and
// 2049 bits) with full-size exponents; one Miller-Rabin round at 683 bits against the same round built
// from GMP calls; the prime search of key generation against mpz_nextprime; decimal parsing and
// printing against mpz_set_str and mpz_get_str. Each pair runs in one process on the same operands;
// the ratio of CPU times, ours over GMP's, is printed at the end.
#include <benchmark/benchmark.h>
#include <gmp.h>

#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "bigint/BigInt.h"
#include "bigint/BigIntModular.h"
#include "bigint/BigIntPrime.h"
#include "bigint/BigIntText.h"
#include "bigint/tests/GmpReference.h"

namespace {

using corvane::TBigInt;
using corvane::testing::Mpz;

struct Operands {
  TBigInt base, exponent, modulus;
};

// A random odd modulus of exactly `bits` bits, a base below it and a full-size exponent.
Operands MakeOperands(int bits) {
  std::mt19937_64 rng(static_cast<uint64_t>(bits) * 7919);
  auto random = [&](int width) {
    TBigInt x;
    x.digits.assign((width + 30) / 31, 0);
    for (auto& d : x.digits) d = static_cast<uint32_t>(rng() & 0x7FFFFFFF);
    const int topBits = width - 31 * (static_cast<int>(x.digits.size()) - 1);
    x.digits.back() &= (1u << topBits) - 1;
    x.digits.back() |= 1u << (topBits - 1);
    return x;
  };
  Operands o{random(bits - 1), random(bits), random(bits)};
  o.modulus.digits[0] |= 1;
  return o;
}

void BM_ModPowerCorvane(benchmark::State& state) {
  const Operands o = MakeOperands(static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(corvane::BigIntModPower(o.base, o.exponent, o.modulus));
}

void BM_ModPowerGmp(benchmark::State& state) {
  const Operands o = MakeOperands(static_cast<int>(state.range(0)));
  const Mpz b(o.base), e(o.exponent), n(o.modulus);
  Mpz r;
  for (auto _ : state) {
    mpz_powm(r.get(), b.get(), e.get(), n.get());
    benchmark::DoNotOptimize(r.get());
  }
}

void BM_MillerRabinRoundCorvane(benchmark::State& state) {
  const Operands o = MakeOperands(683);
  const TBigInt base = corvane::BigIntFromInt64(3);
  for (auto _ : state) benchmark::DoNotOptimize(corvane::BigIntStrongProbablePrime(o.modulus, base));
}

// The same round from GMP calls: n - 1 = 2^s d, x = 3^d, then up to s - 1 squarings.
void BM_MillerRabinRoundGmp(benchmark::State& state) {
  const Operands o = MakeOperands(683);
  const Mpz n(o.modulus);
  Mpz nMinusOne, d, x, base;
  mpz_sub_ui(nMinusOne.get(), n.get(), 1);
  const mp_bitcnt_t s = mpz_scan1(nMinusOne.get(), 0);
  mpz_tdiv_q_2exp(d.get(), nMinusOne.get(), s);
  mpz_set_ui(base.get(), 3);
  for (auto _ : state) {
    mpz_powm(x.get(), base.get(), d.get(), n.get());
    bool pass = mpz_cmp_ui(x.get(), 1) == 0 || mpz_cmp(x.get(), nMinusOne.get()) == 0;
    for (mp_bitcnt_t i = 1; !pass && i < s; ++i) {
      mpz_mul(x.get(), x.get(), x.get());
      mpz_mod(x.get(), x.get(), n.get());
      if (mpz_cmp(x.get(), nMinusOne.get()) == 0) pass = true;
      if (mpz_cmp_ui(x.get(), 1) == 0) break;
    }
    benchmark::DoNotOptimize(pass);
  }
}

// The prime search of key generation: odd candidates climbing by 2 from a random 683-bit start, each
// through trial division and 4 Miller-Rabin rounds. GMP's mpz_nextprime (its own sieve and tests) is
// the peer. The same 16 start values are searched on every iteration.
std::vector<TBigInt> SearchStarts() {
  std::vector<TBigInt> starts;
  for (int i = 0; i < 16; ++i) {
    TBigInt s = MakeOperands(683 + i).modulus;
    s.digits.resize(22);  // 682 bits
    s.digits.back() |= 1u << 0;
    while (s.digits.back() == 0) s.digits.pop_back();
    starts.push_back(s);
  }
  return starts;
}

void BM_PrimeSearchCorvane(benchmark::State& state) {
  const std::vector<TBigInt> starts = SearchStarts();
  const TBigInt two = corvane::BigIntFromInt64(2);
  for (auto _ : state) {
    for (const TBigInt& start : starts) {
      TBigInt candidate = start;
      while (!corvane::BigIntIsLikelyPrime(candidate, 4)) candidate = corvane::BigIntAdd(candidate, two);
      benchmark::DoNotOptimize(candidate);
    }
  }
}

void BM_PrimeSearchGmp(benchmark::State& state) {
  const std::vector<TBigInt> starts = SearchStarts();
  Mpz r;
  for (auto _ : state) {
    for (const TBigInt& start : starts) {
      const Mpz s(start);
      mpz_nextprime(r.get(), s.get());
      benchmark::DoNotOptimize(r.get());
    }
  }
}

BENCHMARK(BM_PrimeSearchCorvane)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PrimeSearchGmp)->Unit(benchmark::kMillisecond);

// A decimal text of `digits` digits.
std::string DecimalText(int digits) {
  std::mt19937 rng(static_cast<uint32_t>(digits));
  std::string text(static_cast<size_t>(digits), '0');
  for (char& c : text) c = static_cast<char>('0' + rng() % 10);
  text[0] = '7';
  return text;
}

void BM_DecimalParseCorvane(benchmark::State& state) {
  const std::string text = DecimalText(static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(corvane::BigIntFromDecimalText(text));
}

void BM_DecimalParseGmp(benchmark::State& state) {
  const std::string text = DecimalText(static_cast<int>(state.range(0)));
  Mpz r;
  for (auto _ : state) {
    mpz_set_str(r.get(), text.c_str(), 10);
    benchmark::DoNotOptimize(r.get());
  }
}

void BM_DecimalPrintCorvane(benchmark::State& state) {
  const TBigInt value = corvane::BigIntFromDecimalText(DecimalText(static_cast<int>(state.range(0))));
  for (auto _ : state) benchmark::DoNotOptimize(corvane::BigIntToDecimalText(value));
}

void BM_DecimalPrintGmp(benchmark::State& state) {
  const Mpz value(corvane::BigIntFromDecimalText(DecimalText(static_cast<int>(state.range(0)))));
  for (auto _ : state) benchmark::DoNotOptimize(value.Decimal());
}

BENCHMARK(BM_DecimalParseCorvane)->Arg(617)->Arg(20000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DecimalParseGmp)->Arg(617)->Arg(20000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DecimalPrintCorvane)->Arg(617)->Arg(20000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DecimalPrintGmp)->Arg(617)->Arg(20000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ModPowerCorvane)->Arg(342)->Arg(683)->Arg(1026)->Arg(2049)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ModPowerGmp)->Arg(342)->Arg(683)->Arg(1026)->Arg(2049)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MillerRabinRoundCorvane)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MillerRabinRoundGmp)->Unit(benchmark::kMicrosecond);

// Collects the time per iteration of every run, then prints ours/GMP per size.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) times_[run.benchmark_name()] = run.GetAdjustedCPUTime();
    ConsoleReporter::ReportRuns(runs);
  }
  void PrintRatios() const {
    std::printf("\nRatio of CPU time, Corvane / GMP (lower is better; goal <= 2 at 1026 and 2049 bits):\n");
    for (const char* size : {"342", "683", "1026", "2049"}) {
      PrintRatio(std::string("modular power ") + size + " bits", std::string("BM_ModPowerCorvane/") + size,
                 std::string("BM_ModPowerGmp/") + size);
    }
    PrintRatio("Miller-Rabin round 683 bits", "BM_MillerRabinRoundCorvane", "BM_MillerRabinRoundGmp");
    PrintRatio("prime search 683 bits (x16)", "BM_PrimeSearchCorvane", "BM_PrimeSearchGmp");
    for (const char* digits : {"617", "20000"}) {
      PrintRatio(std::string("decimal parse ") + digits + " digits",
                 std::string("BM_DecimalParseCorvane/") + digits,
                 std::string("BM_DecimalParseGmp/") + digits);
      PrintRatio(std::string("decimal print ") + digits + " digits",
                 std::string("BM_DecimalPrintCorvane/") + digits,
                 std::string("BM_DecimalPrintGmp/") + digits);
    }
  }

 private:
  void PrintRatio(const std::string& label, const std::string& ours, const std::string& peer) const {
    const auto a = times_.find(ours);
    const auto b = times_.find(peer);
    if (a == times_.end() || b == times_.end() || b->second <= 0) return;
    std::printf("  %-30s %6.2f\n", label.c_str(), a->second / b->second);
  }
  std::map<std::string, double> times_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  return 0;
}
