// Stand-in for libFuzzer's main when the fuzz targets are built as ordinary tests: replays every file of
// the seed corpus folders given as arguments, then a fixed number of deterministic pseudo-random inputs
// and byte-level mutations of the seeds. A crash, hang or sanitizer report fails the test.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

std::vector<std::string> LoadSeeds(int argc, char** argv) {
  std::vector<std::string> seeds;
  for (int i = 1; i < argc; ++i) {
    std::filesystem::path root(argv[i]);
    if (!std::filesystem::exists(root)) continue;
    auto add = [&](const std::filesystem::path& file) {
      std::ifstream in(file, std::ios::binary);
      seeds.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    };
    if (std::filesystem::is_directory(root)) {
      for (const auto& entry : std::filesystem::recursive_directory_iterator(root))
        if (entry.is_regular_file()) add(entry.path());
    } else {
      add(root);
    }
  }
  return seeds;
}

void Run(const std::string& input) {
  LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(input.data()), input.size());
}

}  // namespace

int main(int argc, char** argv) {
  const char* env = std::getenv("CORVANE_FUZZ_RUNS");
  const long runs = env ? std::strtol(env, nullptr, 10) : 2000;
  std::vector<std::string> seeds = LoadSeeds(argc, argv);
  for (const auto& seed : seeds) Run(seed);

  std::mt19937_64 rng(20261210);
  for (long i = 0; i < runs; ++i) {
    std::string input;
    if (!seeds.empty() && (i & 1)) {
      input = seeds[rng() % seeds.size()];
      const int edits = 1 + static_cast<int>(rng() % 8);
      for (int e = 0; e < edits && !input.empty(); ++e) {
        const size_t at = rng() % input.size();
        switch (rng() % 4) {
          case 0:
            input[at] = static_cast<char>(rng());
            break;
          case 1:
            input.erase(at, 1 + rng() % 16);
            break;
          case 2:
            input.insert(at, 1, static_cast<char>(rng()));
            break;
          default:
            input.resize(at);
            break;
        }
      }
    } else {
      input.resize(rng() % 512);
      for (auto& c : input) c = static_cast<char>(rng());
    }
    Run(input);
  }
  std::printf("fuzz driver: %zu seeds, %ld generated inputs, no failure\n", seeds.size(), runs);
  return 0;
}
