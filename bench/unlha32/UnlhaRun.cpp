// Runs one command text through libunlha32.so from the shell, for the benchmark scripts:
//   unlha32_run 'u -lh5- "out.lzh" "file"'
// Prints the library's report and exits with 0 on success, 1 otherwise.
#include <cstdio>
#include <vector>

#include "platform/unlha32/unlha32.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s 'command text'\n", argv[0]);
    return 2;
  }
  std::vector<char> output(1 << 16);
  const int status = Unlha(nullptr, argv[1], output.data(), static_cast<uint32_t>(output.size()));
  std::printf("%s\n", output.data());
  if (status) std::fprintf(stderr, "status 0x%X\n", status);
  return status ? 1 : 0;
}
