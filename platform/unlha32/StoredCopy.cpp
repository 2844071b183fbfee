#include "platform/unlha32/StoredCopy.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/unlha32/Crc16.h"
#include "platform/unlha32/unlha32.h"

namespace corvane::lha {
namespace {

// Below this, starting a second thread costs more than the overlap saves.
constexpr uint64_t kMinimumSize = 1 << 20;
constexpr size_t kPiece = 1 << 20;
constexpr size_t kPieces = 4;

std::atomic<bool> gUseTwoThreads{true};
std::atomic<TReadFunction> gRead{::read};

// Pieces go round the buffers in order; `read_` and `written_` count the pieces each thread has done
// (written_ <= read_ <= written_ + kPieces), which is all the two threads share besides the buffers.
class TStoreRing {
 public:
  explicit TStoreRing(int fd) : buffers_(kPieces, std::vector<uint8_t>(kPiece)), sizes_(kPieces) {
    thread_ = std::thread([this, fd] { Read(fd); });
  }
  ~TStoreRing() {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    changed_.notify_all();
    thread_.join();
  }
  TStoreRing(const TStoreRing&) = delete;
  TStoreRing& operator=(const TStoreRing&) = delete;

  // Writes every piece as it arrives; then the CRC and size of what was written.
  int Write(TFileWriter& out, TProgress& progress, uint16_t& crc, uint64_t& total) {
    total = 0;
    for (;;) {
      size_t size;
      {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return read_ > written_ || end_; });
        if (read_ == written_) {
          if (status_) return status_;
          crc = crc_;
          return 0;
        }
        size = sizes_[written_ % kPieces];
      }
      if (const int status = out.Write(buffers_[written_ % kPieces].data(), size)) return status;
      {
        std::lock_guard lock(mutex_);
        ++written_;
      }
      changed_.notify_all();
      total += size;
      if (const int status = progress.Advance(total)) return status;
    }
  }

 private:
  void Read(int fd) {
    uint16_t crc = 0;
    for (uint64_t piece = 0;; ++piece) {
      {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return stop_ || read_ < written_ + kPieces; });
        if (stop_) return;
      }
      std::vector<uint8_t>& buffer = buffers_[piece % kPieces];
      size_t got = 0;
      int status = 0;
      while (got < kPiece) {
        const ssize_t n = gRead.load()(fd, buffer.data() + got, kPiece - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) status = UNLHA_ERROR_FILE_OPEN;
        if (n <= 0) break;
        got += static_cast<size_t>(n);
      }
      crc = Crc16(crc, buffer.data(), got);
      {
        std::lock_guard lock(mutex_);
        sizes_[piece % kPieces] = got;
        if (got > 0 && !status) ++read_;
        if (got < kPiece || status) {
          end_ = true;
          status_ = status;
          crc_ = crc;
        }
      }
      changed_.notify_all();
      if (got < kPiece || status) return;
    }
  }

  std::vector<std::vector<uint8_t>> buffers_;
  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable changed_;
  // Guarded by mutex_.
  std::vector<size_t> sizes_;
  uint64_t read_ = 0, written_ = 0;
  bool end_ = false, stop_ = false;
  int status_ = 0;
  uint16_t crc_ = 0;
};

}  // namespace

void UseTwoThreadStore(bool use) {
  gUseTwoThreads = use;
}

void SetReadForTesting(TReadFunction read) {
  gRead = read ? read : ::read;
}

int StoreOnTwoThreads(int fd, TFileWriter& out, TProgress& progress, uint16_t& crc, uint64_t& total) {
  struct stat st {};
  if (!gUseTwoThreads || ::fstat(fd, &st) != 0 || static_cast<uint64_t>(st.st_size) < kMinimumSize ||
      std::thread::hardware_concurrency() < 2)
    return kStoreOnOneThread;
  TStoreRing ring(fd);
  return ring.Write(out, progress, crc, total);
}

}  // namespace corvane::lha
