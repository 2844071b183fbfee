#include "platform/unlha32/StoredCopy.h"

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <thread>
#include <vector>

#include "platform/unlha32/Crc16.h"
#include "platform/unlha32/unlha32.h"

namespace corvane::lha {
namespace {

// Below this, starting a second thread costs more than the copy it saves.
constexpr uint64_t kMinimumSize = 1 << 20;
constexpr size_t kCopyChunk = 2 << 20;  // between progress reports
constexpr size_t kCrcChunk = 1 << 20;   // stays in the second processor's cache while its CRC is taken

ssize_t KernelCopyRange(int in, loff_t* inOffset, int out, loff_t* outOffset, size_t size) {
  return ::copy_file_range(in, inOffset, out, outOffset, size, 0);
}

std::atomic<TCopyRange> gCopyRange{KernelCopyRange};

// Reads the whole file from its start on its own thread and takes its CRC. Stopped (and joined) when it
// goes out of scope before the end.
class TCrcReader {
 public:
  explicit TCrcReader(int fd) : thread_([this, fd] { Run(fd); }) {}
  ~TCrcReader() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
  }
  TCrcReader(const TCrcReader&) = delete;
  TCrcReader& operator=(const TCrcReader&) = delete;

  // Waits for the end of the file; false when a read failed.
  bool Finish(uint16_t& crc, uint64_t& total) {
    thread_.join();
    crc = crc_;
    total = total_;
    return ok_;
  }

 private:
  void Run(int fd) {
    std::vector<uint8_t> buffer(kCrcChunk);
    while (!stop_) {
      const ssize_t n = ::pread(fd, buffer.data(), buffer.size(), static_cast<off_t>(total_));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        ok_ = n == 0;
        return;
      }
      crc_ = Crc16(crc_, buffer.data(), static_cast<size_t>(n));
      total_ += static_cast<uint64_t>(n);
    }
    ok_ = false;
  }

  std::atomic<bool> stop_{false};
  uint16_t crc_ = 0;
  uint64_t total_ = 0;
  bool ok_ = false;
  std::thread thread_;  // last, so it starts once the fields above are set
};

}  // namespace

ssize_t CopyRange(int in, loff_t* inOffset, int out, loff_t* outOffset, size_t size) {
  return gCopyRange.load()(in, inOffset, out, outOffset, size);
}

void SetCopyRangeForTesting(TCopyRange copy) {
  gCopyRange = copy ? copy : KernelCopyRange;
}

int StoreInKernel(int fd, TFileWriter& out, TProgress& progress, uint16_t& crc, uint64_t& total) {
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || static_cast<uint64_t>(st.st_size) < kMinimumSize ||
      std::thread::hardware_concurrency() < 2)
    return kKernelCopyUnavailable;
  const uint64_t start = out.Position();
  // Any refusal (EXDEV between file systems on older kernels, EINVAL or EOPNOTSUPP where a file system
  // cannot, ENOSYS before the call existed) and any failure at all sends the work back to the buffered
  // copy, which reports a real error as it always did.
  const auto giveUp = [&out, start] {
    return out.Truncate(start) == 0 ? kKernelCopyUnavailable : UNLHA_ERROR_WRITE;
  };
  TCrcReader reader(fd);
  uint64_t copied = 0;
  for (;;) {
    const ssize_t n = out.CopyFrom(fd, &copied, kCopyChunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return giveUp();
    if (n == 0) break;
    if (const int status = progress.Advance(copied)) return status;
  }
  uint16_t readCrc = 0;
  uint64_t read = 0;
  // Both passes must have seen the file as it was at the start, or the CRC might not be the data's.
  if (!reader.Finish(readCrc, read) || read != copied || copied != static_cast<uint64_t>(st.st_size))
    return giveUp();
  crc = readCrc;
  total = copied;
  return 0;
}

}  // namespace corvane::lha
