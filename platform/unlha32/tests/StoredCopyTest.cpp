// Stored members copied in the kernel: the same archive as the buffered copy, whatever the kernel says.
// The commands run through the archive code linked into this test (not the exported library), so the
// stand-ins for copy_file_range reach it.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include <gtest/gtest.h>

#include "platform/unlha32/CommandLine.h"
#include "platform/unlha32/Operations.h"
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

int gCalls = 0;
int gRefuseFrom = 0;  // the call (counted from 0) from which the stand-in refuses
int gErrno = 0;
std::string gGrowPath;

ssize_t Counting(int in, loff_t* inOffset, int out, loff_t* outOffset, size_t size) {
  if (!gGrowPath.empty() && gCalls == 0) WriteFile(gGrowPath, ReadFile(gGrowPath) + "grown while copied");
  if (gCalls++ >= gRefuseFrom) {
    errno = gErrno;
    return -1;
  }
  return ::copy_file_range(in, inOffset, out, outOffset, size, 0);
}

class LhaStoredCopy : public TScratch {
 protected:
  void TearDown() override {
    SetCopyRangeForTesting(nullptr);
    gGrowPath.clear();
    TScratch::TearDown();
  }

  // Packs `file` stored, through the stand-in refusing from call `refuseFrom` on with `error`.
  std::string Pack(const std::string& archive, const std::string& file, int refuseFrom, int error) {
    gCalls = 0;
    gRefuseFrom = refuseFrom;
    gErrno = error;
    SetCopyRangeForTesting(Counting);
    EXPECT_EQ(Command("a -lh0- \"" + archive + "\" \"" + file + "\""), 0);
    SetCopyRangeForTesting(nullptr);
    EXPECT_EQ(Command("t \"" + archive + "\""), 0);
    return ReadFile(archive);
  }

  void WriteSource(const std::string& name, const std::string& data) {
    WriteFile(name, data);
    const struct timespec times[2] = {{1700000000, 0}, {1700000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, name.c_str(), times, 0), 0);
  }
};

// Sizes below the threshold for the kernel copy, at it, and around its 2 MiB pieces: the archive is
// byte for byte the one the buffered copy writes, and extracts to the file.
TEST_F(LhaStoredCopy, SameArchiveAsTheBufferedCopy) {
  for (const size_t size : {size_t{0}, size_t{1}, (size_t{1} << 20) - 1, size_t{1} << 20,
                            (size_t{2} << 20) + 1, (size_t{5} << 20) + 3}) {
    SCOPED_TRACE(size);
    const std::string data = MakeNoise(size, static_cast<uint32_t>(size));
    WriteSource("f.bin", data);
    const std::string buffered = Pack("buffered.lzh", "f.bin", 0, ENOSYS);
    const std::string kernel = Pack("kernel.lzh", "f.bin", 1 << 30, 0);
    EXPECT_EQ(gCalls > 0, size >= (size_t{1} << 20));  // the kernel copy was used where it pays
    EXPECT_TRUE(kernel == buffered);
    ASSERT_EQ(Command("x \"kernel.lzh\" out/"), 0);
    EXPECT_TRUE(ReadFile("out/f.bin") == data);
    fs::remove_all("out");
  }
}

// Kernels and file systems that refuse (before Linux 5.3 across file systems, EINVAL or EOPNOTSUPP where a
// file system cannot, ENOSYS before the call existed), on the first piece or later, and any other failure:
// the buffered copy takes over and the archive is the same.
TEST_F(LhaStoredCopy, RefusalsFallBackToTheBufferedCopy) {
  const std::string data = MakeNoise((size_t{7} << 20) + 5, 77);
  WriteSource("f.bin", data);
  const std::string reference = Pack("reference.lzh", "f.bin", 1 << 30, 0);
  for (const int error : {EXDEV, EINVAL, ENOSYS, EOPNOTSUPP, EIO}) {
    for (const int from : {0, 2}) {
      SCOPED_TRACE(std::to_string(error) + " from call " + std::to_string(from));
      EXPECT_TRUE(Pack("t.lzh", "f.bin", from, error) == reference);
      EXPECT_EQ(gCalls, from + 1);
    }
  }
}

// A file that changes size while it is copied is not taken from the kernel copy, whose CRC comes from a
// second read: the single pass stores it as it then is, with its CRC.
TEST_F(LhaStoredCopy, AFileThatGrowsWhileCopiedIsStoredWithTheRightCrc) {
  const std::string data = MakeNoise(size_t{3} << 20, 78);
  WriteSource("f.bin", data);
  gGrowPath = (dir_ / "f.bin").string();
  Pack("t.lzh", "f.bin", 1 << 30, 0);
  ASSERT_EQ(Command("x \"t.lzh\" out/"), 0);
  EXPECT_TRUE(ReadFile("out/f.bin") == data + "grown while copied");
}

// The real call between two file systems (tmpfs and the scratch folder's): whatever this kernel does
// there, the archive is right.
TEST_F(LhaStoredCopy, AcrossFileSystems) {
  const fs::path other = "/dev/shm/unlha32-test-" + std::to_string(::getpid());
  if (!fs::is_directory("/dev/shm") || !fs::create_directories(other)) GTEST_SKIP() << "no tmpfs at /dev/shm";
  const std::string data = MakeNoise(size_t{3} << 20, 79);
  WriteFile(other / "f.bin", data);
  const int status = Command("a -lh0- -x0 \"t.lzh\" \"" + (other / "f.bin").string() + "\"");
  fs::remove_all(other);
  ASSERT_EQ(status, 0);
  ASSERT_EQ(Command("x \"t.lzh\" out/"), 0);
  EXPECT_TRUE(ReadFile("out/f.bin") == data);
}

}  // namespace
}  // namespace corvane::lha::test
