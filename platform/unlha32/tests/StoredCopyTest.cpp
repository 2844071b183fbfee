// Large stored members are read (with their CRC) on a second thread while the first writes: the same
// archive as the one-pass store, and every failure and cancellation ends both threads. The commands run
// through the archive code linked into this test (not the exported library), so the stand-ins reach it.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/unlha32/CommandLine.h"
#include "platform/unlha32/Operations.h"
#include "platform/unlha32/Progress.h"
#include "platform/unlha32/StoredCopy.h"
#include "platform/unlha32/tests/TestSupport.h"

namespace corvane::lha::test {
namespace {

int Command(const std::string& text) {
  TCommand command;
  if (const int status = ParseCommand(text.c_str(), true, command)) return status;
  std::string report;
  return RunCommand(command, report);
}

// A read(2) that counts its calls (and those on a thread other than the test's), fails once `failAfter`
// bytes were read, and can make the file grow.
int gReads = 0, gOtherThreadReads = 0;
std::thread::id gTestThread;
uint64_t gReadBytes = 0, gFailAfter = UINT64_MAX;
std::string gGrowPath, gShrinkPath;

ssize_t TestRead(int fd, void* buffer, size_t size) {
  if (std::this_thread::get_id() != gTestThread) ++gOtherThreadReads;
  if (gReads++ == 0 && !gGrowPath.empty()) WriteFile(gGrowPath, ReadFile(gGrowPath) + "grown while stored");
  if (gReads == 1 && !gShrinkPath.empty()) fs::resize_file(gShrinkPath, 3 << 19);
  if (gReadBytes + size > gFailAfter) {
    errno = EIO;
    return -1;
  }
  const ssize_t n = ::read(fd, buffer, size);
  if (n > 0) gReadBytes += static_cast<uint64_t>(n);
  return n;
}

class LhaStoredCopy : public TScratch {
 protected:
  void SetUp() override {
    TScratch::SetUp();
    gReads = 0;
    gTestThread = std::this_thread::get_id();
    gReadBytes = 0;
    gFailAfter = UINT64_MAX;
    gGrowPath.clear();
    gShrinkPath.clear();
    SetReadForTesting(TestRead);
  }
  void TearDown() override {
    SetReadForTesting(nullptr);
    UseTwoThreads(true);
    TScratch::TearDown();
  }

  void WriteSource(const std::string& name, const std::string& data) {
    WriteFile(name, data);
    const struct timespec times[2] = {{1700000000, 0}, {1700000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, name.c_str(), times, 0), 0);
  }

  std::string Pack(const std::string& archive, bool twoThreads) {
    UseTwoThreads(twoThreads);
    gReads = gOtherThreadReads = 0;
    EXPECT_EQ(Command("a -lh0- \"" + archive + "\" f.bin"), 0);
    EXPECT_EQ(Command("t \"" + archive + "\""), 0);
    return ReadFile(archive);
  }
};

// Sizes below the threshold for the second thread, at it, and around its four 1 MiB buffers: the
// archive is byte for byte the one-pass store's, and extracts to the file.
TEST_F(LhaStoredCopy, SameArchiveAsTheOnePassStore) {
  for (const size_t size : {size_t{0}, size_t{1}, (size_t{1} << 20) - 1, size_t{1} << 20, size_t{4} << 20,
                            (size_t{4} << 20) + 1, (size_t{9} << 20) + 3}) {
    SCOPED_TRACE(size);
    const std::string data = MakeNoise(size, static_cast<uint32_t>(size));
    WriteSource("f.bin", data);
    const std::string onePass = Pack("one.lzh", false);
    EXPECT_EQ(gOtherThreadReads, 0);  // one pass: every read on the calling thread
    const std::string twoThreads = Pack("two.lzh", true);
    EXPECT_EQ(gOtherThreadReads > 0, size >= (size_t{1} << 20));
    EXPECT_TRUE(twoThreads == onePass);
    ASSERT_EQ(Command("x \"two.lzh\" out/"), 0);
    EXPECT_TRUE(ReadFile("out/f.bin") == data);
    fs::remove_all("out");
  }
}

// Extracting a large stored member on two threads gives the file, and a damaged byte anywhere in it is
// still a CRC error, with nothing left under the member's name.
TEST_F(LhaStoredCopy, ExtractionOnTwoThreadsGivesTheFileAndCatchesDamage) {
  const std::string data = MakeNoise((size_t{5} << 20) + 7, 83);
  WriteSource("f.bin", data);
  Pack("t.lzh", true);
  for (const bool twoThreads : {false, true}) {
    UseTwoThreads(twoThreads);
    ASSERT_EQ(Command("x \"t.lzh\" out/"), 0) << twoThreads;
    EXPECT_TRUE(ReadFile("out/f.bin") == data) << twoThreads;
    fs::remove_all("out");
  }
  std::string archive = ReadFile("t.lzh");
  const size_t dataStart = archive.size() - 1 - data.size();
  for (const size_t at : {size_t{0}, size_t{3} << 20, data.size() - 1}) {
    std::string damaged = archive;
    damaged[dataStart + at] = static_cast<char>(damaged[dataStart + at] ^ 0x20);
    WriteFile("bad.lzh", damaged);
    for (const bool twoThreads : {false, true}) {
      UseTwoThreads(twoThreads);
      EXPECT_EQ(Command("x \"bad.lzh\" out/"), UNLHA_ERROR_CRC) << at << " " << twoThreads;
      EXPECT_FALSE(fs::exists("out/f.bin"));
    }
  }
}

// A read error (in one pass, or on the second thread) and a cancellation on the first both end the command
// with their status, leave the archive as it was and no temporary file behind.
TEST_F(LhaStoredCopy, AReadErrorOrACancellationLeavesTheArchiveAsItWas) {
  WriteSource("small.txt", "kept");
  ASSERT_EQ(Command("a \"t.lzh\" small.txt"), 0);
  const std::string before = ReadFile("t.lzh");
  WriteSource("f.bin", MakeNoise(size_t{9} << 20, 80));
  for (const bool twoThreads : {false, true}) {
    UseTwoThreads(twoThreads);
    for (const uint64_t at : {uint64_t{0}, uint64_t{3} << 20, (uint64_t{9} << 20) - 1}) {
      gReadBytes = 0;
      gFailAfter = at;
      EXPECT_EQ(Command("a \"t.lzh\" f.bin"), UNLHA_ERROR_FILE_OPEN) << at << " " << twoThreads;
    }
  }
  UseTwoThreads(true);
  gFailAfter = UINT64_MAX;

  static uint32_t cancelAt;
  static TUnlhaOwnerWindow owner{
      [](void*, uint32_t state, TUnlhaProgress* record) {
        return state == UNLHA_STATE_INPROCESS && record->dwWriteSize >= cancelAt ? 1 : 0;
      },
      nullptr};
  for (const uint32_t at : {1u << 20, 8u << 20}) {
    cancelAt = at;
    RegisterOwner(&owner, nullptr);
    EXPECT_EQ(Command("a \"t.lzh\" f.bin"), UNLHA_ERROR_CANCELLED) << at;
    UnregisterOwner(&owner);
  }
  EXPECT_TRUE(ReadFile("t.lzh") == before);
  std::vector<std::string> left;
  for (const auto& e : fs::directory_iterator(".")) left.push_back(e.path().filename().string());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"f.bin", "small.txt", "t.lzh"}));
}

// A file that grows while it is stored is read to its end, as the one-pass store reads it, and the CRC
// is that of the bytes written.
TEST_F(LhaStoredCopy, AFileThatGrowsWhileStoredKeepsItsCrc) {
  const std::string data = MakeNoise(size_t{3} << 20, 81);
  WriteSource("f.bin", data);
  gGrowPath = (dir_ / "f.bin").string();
  Pack("t.lzh", true);
  ASSERT_EQ(Command("x \"t.lzh\" out/"), 0);
  EXPECT_TRUE(ReadFile("out/f.bin") == data + "grown while stored");
}

// One that shrinks is stored as far as it goes, and the archive keeps no blocks reserved for the rest.
TEST_F(LhaStoredCopy, AFileThatShrinksWhileStoredLeavesNoReservedBlocks) {
  const std::string data = MakeNoise(size_t{6} << 20, 82);
  WriteSource("f.bin", data);
  gShrinkPath = (dir_ / "f.bin").string();
  Pack("t.lzh", true);
  ASSERT_EQ(Command("x \"t.lzh\" out/"), 0);
  EXPECT_TRUE(ReadFile("out/f.bin") == data.substr(0, 3 << 19));
  struct stat st {};
  ASSERT_EQ(::stat("t.lzh", &st), 0);
  EXPECT_LT(static_cast<uint64_t>(st.st_blocks) * 512, static_cast<uint64_t>(st.st_size) + (64 << 10));
}

}  // namespace
}  // namespace corvane::lha::test
