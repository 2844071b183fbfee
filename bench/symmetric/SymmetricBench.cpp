// Throughput of the symmetric layer beside OpenSSL EVP on the same buffers, in one run. Each benchmark
// family has a "corvane" entry (the code the program uses, accelerated where the CPU allows), a "portable"
// entry (our code forced onto the portable path, for information) and an "openssl" entry. After the run a
// summary prints corvane's throughput as a ratio of OpenSSL's, beside the goal.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "symmetric/CryptoPath.h"
#include "symmetric/HmacSha1.h"
#include "symmetric/Rijndael.h"
#include "symmetric/RijndaelCipher.h"
#include "symmetric/Sha1Hash.h"

namespace {

using namespace corvane;
namespace fs = std::filesystem;

constexpr std::size_t kBufferSize = 1 << 20;
constexpr uint64_t kFileSize = uint64_t{256} << 20;

std::string RandomBuffer(std::size_t size) {
  std::mt19937_64 rng(42);
  std::string data(size, '\0');
  for (auto& c : data) c = static_cast<char>(rng());
  return data;
}

const std::string& Buffer() {
  static const std::string data = RandomBuffer(kBufferSize);
  return data;
}

const std::string kKey = RandomBuffer(24).substr(0, 24);
const std::string kIv(16, '\x11');

// --- AES-192-CBC on 1 MiB ------------------------------------------------------------------------------

void OurCbc(benchmark::State& state, bool encrypt, bool portable) {
  ForcePortableCrypto(portable);
  TRijndael cipher;
  ForcePortableCrypto(false);
  cipher.LoadKey(kKey.data(), 192, kIv.data());
  std::string out(kBufferSize, '\0');
  for (auto _ : state) {
    if (encrypt)
      cipher.EncryptBuffer(Buffer().data(), out.data(), kBufferSize);
    else
      cipher.DecryptBuffer(Buffer().data(), out.data(), kBufferSize);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBufferSize));
  state.SetLabel(cipher.Implementation());
}

void OpenSslCbc(benchmark::State& state, bool encrypt) {
  std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> ctx(EVP_CIPHER_CTX_new(),
                                                                      EVP_CIPHER_CTX_free);
  EVP_CipherInit_ex(ctx.get(), EVP_aes_192_cbc(), nullptr,
                    reinterpret_cast<const unsigned char*>(kKey.data()),
                    reinterpret_cast<const unsigned char*>(kIv.data()), encrypt);
  EVP_CIPHER_CTX_set_padding(ctx.get(), 0);
  std::string out(kBufferSize, '\0');
  for (auto _ : state) {
    int n = 0;
    EVP_CipherUpdate(ctx.get(), reinterpret_cast<unsigned char*>(out.data()), &n,
                     reinterpret_cast<const unsigned char*>(Buffer().data()), static_cast<int>(kBufferSize));
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBufferSize));
}

// --- SHA-1 of 1 MiB --------------------------------------------------------------------------------------

void OurSha1(benchmark::State& state, bool portable) {
  ForcePortableCrypto(portable);
  TSha1 hash;
  ForcePortableCrypto(false);
  uint8_t digest[20];
  for (auto _ : state) {
    hash.HashInit();
    hash.HashUpdate(Buffer().data(), kBufferSize);
    hash.HashFinal(digest);
    benchmark::DoNotOptimize(digest);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBufferSize));
  state.SetLabel(portable || !CpuHasShaNi() ? "portable" : "SHA-NI");
}

void OpenSslSha1(benchmark::State& state) {
  unsigned char digest[20];
  unsigned int size = 0;
  for (auto _ : state) {
    EVP_Digest(Buffer().data(), kBufferSize, digest, &size, EVP_sha1(), nullptr);
    benchmark::DoNotOptimize(digest);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBufferSize));
}

// --- HMAC-SHA-1 of 1 MiB --------------------------------------------------------------------------------

void OurHmac(benchmark::State& state, bool portable) {
  ForcePortableCrypto(portable);
  THmacSha1 hmac;
  ForcePortableCrypto(false);
  uint8_t mac[20];
  for (auto _ : state) {
    hmac.Init(kKey);
    hmac.Update(Buffer().data(), kBufferSize);
    hmac.Final(mac);
    benchmark::DoNotOptimize(mac);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBufferSize));
}

void OpenSslHmac(benchmark::State& state) {
  unsigned char mac[20];
  unsigned int size = 0;
  for (auto _ : state) {
    HMAC(EVP_sha1(), kKey.data(), static_cast<int>(kKey.size()),
         reinterpret_cast<const unsigned char*>(Buffer().data()), kBufferSize, mac, &size);
    benchmark::DoNotOptimize(mac);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBufferSize));
}

// --- EncryptFileStream of a 256 MiB file ----------------------------------------------------------------

fs::path BenchFolder() {
  static const fs::path folder = [] {
    fs::path path = fs::temp_directory_path() / ("corvane-bench-" + std::to_string(::getpid()));
    fs::create_directories(path);
    return path;
  }();
  return folder;
}

const fs::path& SourceFile() {
  static const fs::path path = [] {
    const fs::path file = BenchFolder() / "source.bin";
    TFileStream out(file, TFileMode::fmCreate);
    std::string piece = RandomBuffer(kBufferSize);
    for (uint64_t done = 0; done < kFileSize; done += piece.size()) out.Write(piece.data(), piece.size());
    return file;
  }();
  return path;
}

void OurFile(benchmark::State& state) {
  const fs::path destination = BenchFolder() / "ours.Enc";
  for (auto _ : state) {
    TFileStream source(SourceFile(), TFileMode::fmOpenRead);
    TFileStream out(destination, TFileMode::fmCreate);
    EncryptFileStream(source, out, "KLMN");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileSize));
}

// The pipelined streams: reading and writing on a second thread beside the chain; with `tag`, an HMAC of
// the ciphertext on that thread too, as the integrity tag needs.
void OurFilePipelined(benchmark::State& state, bool tag) {
  const fs::path destination = BenchFolder() / "pipelined.Enc";
  THmacSha1 hmac;
  TPipelineOptions options;
  if (tag) options.payload = [&hmac](const uint8_t* data, std::size_t size) { hmac.Update(data, size); };
  for (auto _ : state) {
    hmac.Init("session key");
    TFileStream source(SourceFile(), TFileMode::fmOpenRead);
    TFileStream out(destination, TFileMode::fmCreate);
    EncryptFileStreamPipelined(source, out, "KLMN", options);
    benchmark::DoNotOptimize(hmac.FinalBytes());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileSize));
}

// Decryption of a payload over itself, as the decryption flow does it: unpipelined (1 MiB buffered
// streams as the flow has them are not in this library; plain file streams stand in), pipelined, and
// pipelined with the HMAC of the ciphertext on the calling thread.
void OurDecryptInPlace(benchmark::State& state, bool pipelined, bool tag) {
  const fs::path payload = BenchFolder() / "inplace.Enc";
  {
    TFileStream source(SourceFile(), TFileMode::fmOpenRead);
    TFileStream out(payload, TFileMode::fmCreate);
    EncryptFileStreamPipelined(source, out, "KLMN");
  }
  THmacSha1 hmac;
  TPipelineOptions options;
  if (tag) options.payload = [&hmac](const uint8_t* data, std::size_t size) { hmac.Update(data, size); };
  bool encrypted = true;  // each round turns the file over: decrypting, then encrypting it back
  for (auto _ : state) {
    hmac.Init("session key");
    TFileStream in(payload, TFileMode::fmOpenRead);
    TFileStream out(payload, TFileMode::fmOpenWrite);
    if (pipelined && encrypted)
      DecryptFileStreamPipelined(in, out, "KLMN", options);
    else if (pipelined)
      EncryptFileStreamPipelined(in, out, "KLMN", options);
    else if (encrypted)
      DecryptFileStream(in, out, "KLMN");
    else
      EncryptFileStream(in, out, "KLMN");
    encrypted = !encrypted;
    benchmark::DoNotOptimize(hmac.FinalBytes());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileSize));
}

// The same work with EVP: read the file in 8192-byte pieces, encrypt, write; key and IV as ours derives
// them (SHA-1 of the key text, IV = E_K(0)), so both write the same bytes.
void OpenSslFile(benchmark::State& state) {
  unsigned char key[24] = {}, iv[16] = {}, zero[16] = {};
  unsigned int size = 0;
  EVP_Digest("KLMN", 4, key, &size, EVP_sha1(), nullptr);
  const fs::path destination = BenchFolder() / "openssl.Enc";
  std::vector<unsigned char> in(8192), out(8192 + 16);
  for (auto _ : state) {
    std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> ctx(EVP_CIPHER_CTX_new(),
                                                                        EVP_CIPHER_CTX_free);
    int n = 0;
    EVP_EncryptInit_ex(ctx.get(), EVP_aes_192_ecb(), nullptr, key, nullptr);
    EVP_EncryptUpdate(ctx.get(), iv, &n, zero, 16);
    EVP_EncryptInit_ex(ctx.get(), EVP_aes_192_cbc(), nullptr, key, iv);
    EVP_CIPHER_CTX_set_padding(ctx.get(), 0);
    const int from = ::open(SourceFile().c_str(), O_RDONLY);
    const int to = ::open(destination.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ssize_t got;
    while ((got = ::read(from, in.data(), in.size())) > 0) {
      EVP_EncryptUpdate(ctx.get(), out.data(), &n, in.data(), static_cast<int>(got));
      if (::write(to, out.data(), static_cast<std::size_t>(n)) != n) throw std::runtime_error("write failed");
    }
    ::close(from);
    ::close(to);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileSize));
}

bool SameContent(const fs::path& a, const fs::path& b) {
  TFileStream first(a, TFileMode::fmOpenRead), second(b, TFileMode::fmOpenRead);
  if (first.Size() != second.Size()) return false;
  std::string x(kBufferSize, '\0'), y(kBufferSize, '\0');
  for (;;) {
    const std::size_t n = first.Read(x.data(), x.size());
    if (second.Read(y.data(), y.size()) != n || x.compare(0, n, y, 0, n) != 0) return false;
    if (n < x.size()) return true;
  }
}

// --- Ratios ---------------------------------------------------------------------------------------------

// Records each run's CPU time per iteration (the machine may be shared, so wall time is noisier) and, for
// the file streams, whose second thread works beside the first, the wall time; passes everything on to the
// console reporter.
class TRatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs)
      if (run.run_type == Run::RT_Iteration) {
        fSeconds[run.benchmark_name()] = run.GetAdjustedCPUTime();
        fWall[run.benchmark_name()] = run.GetAdjustedRealTime();
      }
    ConsoleReporter::ReportRuns(runs);
  }

  void PrintRatios() const {
    struct Goal {
      const char* family;
      double goal;
    };
    const Goal goals[] = {{"aes192_cbc_encrypt_1MiB", 0.9},
                          {"aes192_cbc_decrypt_1MiB", 0.7},
                          {"sha1_1MiB", 0.9},
                          {"hmac_sha1_1MiB", 0.9}};
    std::printf("\nThroughput as a ratio of OpenSSL's, by CPU time (higher is better):\n");
    for (const Goal& g : goals) {
      const double peer = Find(fSeconds, std::string(g.family) + "/openssl");
      for (const char* who : {"corvane", "portable"}) {
        const double ours = Find(fSeconds, std::string(g.family) + "/" + who);
        if (peer <= 0 || ours <= 0) continue;
        const double ratio = peer / ours;
        std::printf("  %-28s %-9s %5.2f", g.family, who, ratio);
        if (std::string(who) == "corvane")
          std::printf("   goal >= %.1f: %s", g.goal, ratio >= g.goal ? "met" : "NOT met");
        std::printf("\n");
      }
    }
    // The file streams by wall time (all in milliseconds), as OpenSSL's read-encrypt-write loop does the
    // same work on one thread.
    std::printf("\nFile streams of 256 MiB, wall time as a ratio of OpenSSL's loop (higher is better):\n");
    const double peer = Find(fWall, "encrypt_file_stream_256MiB/openssl");
    for (const char* name : {"encrypt_file_stream_256MiB/corvane", "encrypt_file_stream_256MiB/pipelined",
                             "encrypt_file_stream_256MiB/pipelined+hmac", "decrypt_in_place_256MiB/corvane",
                             "decrypt_in_place_256MiB/pipelined", "decrypt_in_place_256MiB/pipelined+hmac"}) {
      const double ours = Find(fWall, name);
      if (peer > 0 && ours > 0) std::printf("  %-44s %5.2f  (%.0f ms)\n", name, peer / ours, ours);
    }
  }

 private:
  static double Find(const std::map<std::string, double>& times, const std::string& name) {
    // Names may carry suffixes such as "/min_time:2.000"; match the name up to one.
    for (const auto& [key, seconds] : times)
      if (key == name || key.rfind(name + "/", 0) == 0) return seconds;
    return 0;
  }
  std::map<std::string, double> fSeconds, fWall;
};

}  // namespace

int main(int argc, char** argv) {
  using benchmark::RegisterBenchmark;
  RegisterBenchmark("aes192_cbc_encrypt_1MiB/corvane", OurCbc, true, false);
  RegisterBenchmark("aes192_cbc_encrypt_1MiB/portable", OurCbc, true, true);
  RegisterBenchmark("aes192_cbc_encrypt_1MiB/openssl", OpenSslCbc, true);
  RegisterBenchmark("aes192_cbc_decrypt_1MiB/corvane", OurCbc, false, false);
  RegisterBenchmark("aes192_cbc_decrypt_1MiB/portable", OurCbc, false, true);
  RegisterBenchmark("aes192_cbc_decrypt_1MiB/openssl", OpenSslCbc, false);
  RegisterBenchmark("sha1_1MiB/corvane", OurSha1, false);
  RegisterBenchmark("sha1_1MiB/portable", OurSha1, true);
  RegisterBenchmark("sha1_1MiB/openssl", OpenSslSha1);
  RegisterBenchmark("hmac_sha1_1MiB/corvane", OurHmac, false);
  RegisterBenchmark("hmac_sha1_1MiB/portable", OurHmac, true);
  RegisterBenchmark("hmac_sha1_1MiB/openssl", OpenSslHmac);
  RegisterBenchmark("encrypt_file_stream_256MiB/corvane", OurFile)->Unit(benchmark::kMillisecond)->MinTime(2);
  RegisterBenchmark("encrypt_file_stream_256MiB/pipelined", OurFilePipelined, false)
      ->Unit(benchmark::kMillisecond)
      ->MinTime(2)
      ->UseRealTime();
  RegisterBenchmark("encrypt_file_stream_256MiB/pipelined+hmac", OurFilePipelined, true)
      ->Unit(benchmark::kMillisecond)
      ->MinTime(2)
      ->UseRealTime();
  RegisterBenchmark("decrypt_in_place_256MiB/corvane", OurDecryptInPlace, false, false)
      ->Unit(benchmark::kMillisecond)
      ->MinTime(2)
      ->UseRealTime();
  RegisterBenchmark("decrypt_in_place_256MiB/pipelined", OurDecryptInPlace, true, false)
      ->Unit(benchmark::kMillisecond)
      ->MinTime(2)
      ->UseRealTime();
  RegisterBenchmark("decrypt_in_place_256MiB/pipelined+hmac", OurDecryptInPlace, true, true)
      ->Unit(benchmark::kMillisecond)
      ->MinTime(2)
      ->UseRealTime();
  RegisterBenchmark("encrypt_file_stream_256MiB/openssl", OpenSslFile)
      ->Unit(benchmark::kMillisecond)
      ->MinTime(2);

  benchmark::Initialize(&argc, argv);
  TRatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  // The file benchmarks wrote the same payload, or the comparison would be meaningless.
  const fs::path peer = BenchFolder() / "openssl.Enc";
  bool identical = true;
  for (const char* name : {"ours.Enc", "pipelined.Enc"}) {
    const fs::path ours = BenchFolder() / name;
    if (!fs::exists(ours) || !fs::exists(peer)) continue;
    const bool same = SameContent(ours, peer);
    std::printf("  %s identical to OpenSSL's payload: %s\n", name, same ? "yes" : "NO");
    identical = identical && same;
  }
  std::error_code ignored;
  fs::remove_all(BenchFolder(), ignored);
  benchmark::Shutdown();
  return identical ? 0 : 1;  // a payload unlike OpenSSL's fails the run, whatever the timings
}
