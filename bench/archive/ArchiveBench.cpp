// The archive component's own costs: selecting files (beside a plain recursive std::filesystem walk that
// stats and sorts the same files) and packing a container (beside the same command text sent straight to
// the LHA library). The summary prints the component's speed as a ratio of its peer's.

#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "archive/Archives.h"
#include "archive/Filters.h"
#include "platform/LibraryLoader.h"

namespace {

namespace fs = std::filesystem;
using namespace corvane;

constexpr int kFolders = 20;
constexpr int kFilesPerFolder = 100;
constexpr std::size_t kPayloadSize = 8u << 20;

fs::path BenchFolder() {
  static const fs::path folder =
      fs::temp_directory_path() / ("corvane-bench-archive-" + std::to_string(getpid()));
  return folder;
}

void WriteBytes(const fs::path& path, std::size_t size, std::uint32_t seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (auto& b : bytes) b = static_cast<char>(random());
  std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void MakeTree() {
  for (int d = 0; d < kFolders; ++d) {
    const fs::path folder = BenchFolder() / "tree" / ("folder" + std::to_string(d));
    fs::create_directories(folder);
    for (int f = 0; f < kFilesPerFolder; ++f)
      std::ofstream(folder / ("file" + std::to_string(f) + ".txt")) << f;
  }
  fs::create_directories(BenchFolder() / "pack");
  WriteBytes(BenchFolder() / "pack" / "letter.txt.Enc", kPayloadSize, 7);
  std::ofstream(BenchFolder() / "pack" / "letter_bob.RJN") << "ciphertext;";
}

void SelectWithComponent(benchmark::State& state) {
  fs::current_path(BenchFolder() / "tree");
  std::size_t found = 0;
  for (auto _ : state) {
    TArchiverOptions options;
    options.r = 1;
    bool cancel = false;
    found = SelectFiles(options, "", {std::string("*")}, nullptr, cancel).Strings.size();
    benchmark::DoNotOptimize(found);
  }
  state.counters["files"] = static_cast<double>(found);
}

void SelectWithFilesystem(benchmark::State& state) {
  fs::current_path(BenchFolder() / "tree");
  std::size_t found = 0;
  for (auto _ : state) {
    std::vector<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(".")) {
      if (!entry.is_regular_file()) continue;
      benchmark::DoNotOptimize(entry.last_write_time());
      names.push_back(entry.path().lexically_relative(".").string());
    }
    std::sort(names.begin(), names.end(), LessText);
    found = names.size();
    benchmark::DoNotOptimize(names.data());
  }
  state.counters["files"] = static_cast<double>(found);
}

const std::string kEnc = "letter.txt.Enc";

void PackWithComponent(benchmark::State& state) {
  fs::current_path(BenchFolder() / "pack");
  const std::string enc = (BenchFolder() / "pack" / kEnc).string();
  for (auto _ : state) {
    fs::remove("letter_bob.KVX");
    TArchiveFile file;
    file.SetArchiverType(TArchiverType::atLha);
    file.Options().n = 1;
    file.SetFileName("letter_bob.KVX");
    file.Options().x = 0;
    file.Options().jso = 1;
    if (file.CompressFiles(nullptr, nullptr, "", {TStringList{{"letter_bob.RJN", enc}}}) != 0)
      state.SkipWithError("packing failed");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kPayloadSize));
}

void PackWithLibrary(benchmark::State& state) {
  fs::current_path(BenchFolder() / "pack");
  const auto library = ExecutableFolder() / "libunlha32.so";
  void* handle = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
  auto* unlha = handle ? reinterpret_cast<decltype(&::Unlha)>(dlsym(handle, "Unlha")) : nullptr;
  if (!unlha) {
    state.SkipWithError("libunlha32.so not found");
    return;
  }
  const std::string command = "u -+ -n1 -p1 -x0 -jso1  \"letter_bob.KVX\" \"" +
                              (BenchFolder() / "pack" / kEnc).string() + "\" \"letter_bob.RJN\" ";
  for (auto _ : state) {
    fs::remove("letter_bob.KVX");
    if (unlha(nullptr, command.c_str(), nullptr, 0) != 0) state.SkipWithError("packing failed");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kPayloadSize));
  dlclose(handle);
}

// Records each run's CPU time per iteration and passes everything on to the console reporter.
class TRatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs)
      if (run.run_type == Run::RT_Iteration) seconds_[run.benchmark_name()] = run.GetAdjustedRealTime();
    ConsoleReporter::ReportRuns(runs);
  }

  void PrintRatios() const {
    struct Pair {
      const char* family;
      const char* peer;
      double goal;
    };
    const Pair pairs[] = {{"select_2000_files", "filesystem", 0.5}, {"pack_container_8MiB", "library", 0.95}};
    std::printf("\nThe component's speed as a ratio of its peer's, by wall time (higher is better):\n");
    for (const Pair& p : pairs) {
      const double ours = Seconds(std::string(p.family) + "/component");
      const double peer = Seconds(std::string(p.family) + "/" + p.peer);
      if (ours <= 0 || peer <= 0) continue;
      const double ratio = peer / ours;
      std::printf("  %-22s vs %-10s %5.2f   goal >= %.2f: %s\n", p.family, p.peer, ratio, p.goal,
                  ratio >= p.goal ? "met" : "NOT met");
    }
  }

 private:
  double Seconds(const std::string& name) const {
    for (const auto& [key, seconds] : seconds_)
      if (key.rfind(name, 0) == 0) return seconds;
    return 0;
  }
  std::map<std::string, double> seconds_;
};

}  // namespace

int main(int argc, char** argv) {
  MakeTree();
  const fs::path start = fs::current_path();
  benchmark::RegisterBenchmark("select_2000_files/component", SelectWithComponent)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("select_2000_files/filesystem", SelectWithFilesystem)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("pack_container_8MiB/component", PackWithComponent)
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime();
  benchmark::RegisterBenchmark("pack_container_8MiB/library", PackWithLibrary)
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime();

  benchmark::Initialize(&argc, argv);
  TRatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  fs::current_path(start);
  std::error_code ignored;
  fs::remove_all(BenchFolder(), ignored);
  benchmark::Shutdown();
  return 0;
}
