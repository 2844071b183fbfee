// In-process speed of the LHA codec: the CRC-16 fast path (carry-less multiplication where the processor
// has it, else sixteen tables) beside the byte-at-a-time reference (ratio),
// and -lh5- encoding and decoding throughput on text.
#include <benchmark/benchmark.h>

#include <chrono>
#include <random>
#include <string>
#include <vector>

#include "platform/unlha32/ByteSource.h"
#include "platform/unlha32/Crc16.h"
#include "platform/unlha32/LhaDecoder.h"
#include "platform/unlha32/LhaEncoder.h"
#include "platform/unlha32/LhaMethod.h"

namespace {

using namespace corvane::lha;

std::string Text(size_t size) {
  static const char* const kWords[] = {"archive", "member", "header", "window", "match", "the", "of", "code",
                                       "table",   "block",  "length", "data",   "read",  "a",   "to", "name"};
  std::mt19937 rng(1);
  std::string s;
  while (s.size() < size) {
    s += kWords[rng() % 16];
    s += rng() % 9 ? " " : ".\n";
  }
  s.resize(size);
  return s;
}

class TStringSink final : public TSink {
 public:
  int Write(const uint8_t* data, size_t size) override {
    bytes.append(reinterpret_cast<const char*>(data), size);
    return 0;
  }
  std::string bytes;
};

void BM_Crc16FastVsPortable(benchmark::State& state) {
  std::vector<uint8_t> data(1 << 20);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 131 + (i >> 7));
  double fast = 0, portable = 0;
  for (auto _ : state) {
    auto t0 = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(Crc16(0, data.data(), data.size()));
    auto t1 = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(Crc16Portable(0, data.data(), data.size()));
    auto t2 = std::chrono::steady_clock::now();
    fast += std::chrono::duration<double>(t1 - t0).count();
    portable += std::chrono::duration<double>(t2 - t1).count();
  }
  state.counters["fast_GBps"] =
      static_cast<double>(data.size()) * static_cast<double>(state.iterations()) / fast / 1e9;
  state.counters["speedup_vs_portable"] = portable / fast;
}
BENCHMARK(BM_Crc16FastVsPortable);

void BM_EncodeLh5(benchmark::State& state) {
  const std::string text = Text(8 << 20);
  size_t packed = 0;
  for (auto _ : state) {
    TCountingSink sink;
    TLzhEncoder encoder(*FindMethod("-lh5-"), sink);
    encoder.Write(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    encoder.Finish();
    packed = sink.bytes;
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
  state.counters["ratio_packed_to_original"] = static_cast<double>(packed) / static_cast<double>(text.size());
}
BENCHMARK(BM_EncodeLh5)->Unit(benchmark::kMillisecond);

void BM_DecodeLh5(benchmark::State& state) {
  const std::string text = Text(8 << 20);
  TStringSink packed;
  TLzhEncoder encoder(*FindMethod("-lh5-"), packed);
  encoder.Write(reinterpret_cast<const uint8_t*>(text.data()), text.size());
  encoder.Finish();
  TMember m;
  m.method = "-lh5-";
  m.compressedSize = packed.bytes.size();
  m.originalSize = text.size();
  m.crc = Crc16(0, reinterpret_cast<const uint8_t*>(text.data()), text.size());
  const TMemorySource source(reinterpret_cast<const uint8_t*>(packed.bytes.data()), packed.bytes.size());
  for (auto _ : state) {
    TCountingSink sink;
    if (DecodeMember(source, m, sink) != 0) state.SkipWithError("decode failed");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_DecodeLh5)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
