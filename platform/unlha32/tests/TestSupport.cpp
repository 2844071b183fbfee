#include "platform/unlha32/tests/TestSupport.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>

#include "platform/unlha32/unlha32.h"

namespace corvane::lha::test {

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const fs::path& path, const std::string& data) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(data.data(), static_cast<std::streamsize>(data.size()));
}

std::string MakeText(size_t size, uint32_t seed) {
  static const char* const kWords[] = {"the",     "archive", "member", "header", "window",  "match",
                                       "length",  "code",    "table",  "of",     "and",     "a",
                                       "folder",  "name",    "bytes",  "stored", "written", "read",
                                       "Huffman", "block",   "level",  "time",   "CRC",     "data"};
  std::mt19937 rng(seed);
  std::string s;
  s.reserve(size + 16);
  while (s.size() < size) {
    s += kWords[rng() % std::size(kWords)];
    s += rng() % 11 == 0 ? ".\n" : " ";
  }
  s.resize(size);
  return s;
}

std::string MakeNoise(size_t size, uint32_t seed) {
  std::mt19937 rng(seed);
  std::string s(size, '\0');
  for (auto& c : s) c = static_cast<char>(rng());
  return s;
}

bool HaveProgram(const std::string& name) {
  return Shell("command -v " + name + " >/dev/null 2>&1") == 0;
}

int Shell(const std::string& command, std::string* output) {
  FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return -1;
  std::string text;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, n);
  const int status = ::pclose(pipe);
  if (output) *output = text;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int Lha(const std::string& command, std::string* report) {
  std::vector<char> out(1 << 16, 'x');
  const int status = Unlha(nullptr, command.c_str(), out.data(), static_cast<uint32_t>(out.size()));
  if (report) *report = out.data();
  return status;
}

fs::path FixturePath(const std::string& name) {
  return fs::path(UNLHA32_FIXTURES) / name;
}

fs::path VectorPath(const std::string& name) {
  const char* root = std::getenv("CORVANE_VECTORS");
  return fs::path(root ? root : CORVANE_VECTORS_FALLBACK) / name;
}

void TScratch::SetUp() {
  std::string pattern = (fs::temp_directory_path() / "unlha32-test-XXXXXX").string();
  ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
  dir_ = fs::canonical(pattern);
  previous_ = fs::current_path();
  fs::current_path(dir_);
}

void TScratch::TearDown() {
  fs::current_path(previous_);
  std::error_code ec;
  fs::remove_all(dir_, ec);
}

}  // namespace corvane::lha::test
