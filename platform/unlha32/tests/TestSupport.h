#pragma once
// Helpers shared by the library's tests: a scratch folder, whole-file reads and writes, running the
// command export and other programs.

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace corvane::lha::test {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path);
void WriteFile(const fs::path& path, const std::string& data);
// Deterministic data: pseudo-English text (compresses well) or noise (does not).
std::string MakeText(size_t size, uint32_t seed = 1);
std::string MakeNoise(size_t size, uint32_t seed = 1);
// True when the program is on the PATH.
bool HaveProgram(const std::string& name);
// Runs a shell command; returns its exit status and collects stdout and stderr into `output`.
int Shell(const std::string& command, std::string* output = nullptr);
// Runs a command text through the exported Unlha; `report` receives the output buffer.
int Lha(const std::string& command, std::string* report = nullptr);
fs::path FixturePath(const std::string& name);
fs::path VectorPath(const std::string& name);

// A fresh folder per test, made the current directory while the test runs.
class TScratch : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  fs::path dir_;

 private:
  fs::path previous_;
};

}  // namespace corvane::lha::test
