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

bool TwoThreadsPay(uint64_t size) {
  return gUseTwoThreads && size >= kMinimumSize && std::thread::hardware_concurrency() >= 2;
}

// Fills a buffer of `capacity` bytes with the next piece: `got` < capacity means the end. Runs on the
// second thread. Returns 0 or an UNLHA_ERROR status.
using TFill = std::function<int(uint8_t* buffer, size_t capacity, size_t& got)>;
// Takes one piece on the calling thread; a nonzero status stops the copy.
using TDrain = std::function<int(const uint8_t* data, size_t size)>;

// Pieces go round the buffers in order; `read_` and `written_` count the pieces each thread has done
// (written_ <= read_ <= written_ + kPieces), which is all the two threads share besides the buffers.
class TRing {
 public:
  explicit TRing(const TFill& fill) : buffers_(kPieces, std::vector<uint8_t>(kPiece)), sizes_(kPieces) {
    thread_ = std::thread([this, &fill] { Fill(fill); });
  }
  ~TRing() {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    changed_.notify_all();
    thread_.join();
  }
  TRing(const TRing&) = delete;
  TRing& operator=(const TRing&) = delete;

  // Drains every piece as it arrives; then the CRC of all of them.
  int Drain(const TDrain& drain, uint16_t& crc) {
    for (;;) {
      size_t size;
      {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return read_ > written_ || end_; });
        if (read_ == written_) {
          crc = crc_;
          return status_;
        }
        size = sizes_[written_ % kPieces];
      }
      if (const int status = drain(buffers_[written_ % kPieces].data(), size)) return status;
      {
        std::lock_guard lock(mutex_);
        ++written_;
      }
      changed_.notify_all();
    }
  }

 private:
  void Fill(const TFill& fill) {
    uint16_t crc = 0;
    for (uint64_t piece = 0;; ++piece) {
      {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return stop_ || read_ < written_ + kPieces; });
        if (stop_) return;
      }
      std::vector<uint8_t>& buffer = buffers_[piece % kPieces];
      size_t got = 0;
      const int status = fill(buffer.data(), kPiece, got);
      if (!status) crc = Crc16(crc, buffer.data(), got);
      const bool end = got < kPiece || status;
      {
        std::lock_guard lock(mutex_);
        sizes_[piece % kPieces] = got;
        if (got > 0 && !status) ++read_;
        if (end) {
          end_ = true;
          status_ = status;
          crc_ = crc;
        }
      }
      changed_.notify_all();
      if (end) return;
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

int CopyOnTwoThreads(const TFill& fill, const TDrain& drain, uint16_t& crc) {
  TRing ring(fill);
  return ring.Drain(drain, crc);
}

}  // namespace

void UseTwoThreads(bool use) {
  gUseTwoThreads = use;
}

void SetReadForTesting(TReadFunction read) {
  gRead = read ? read : ::read;
}

int ReadChunk(int fd, uint8_t* buffer, size_t size, size_t& got) {
  got = 0;
  while (got < size) {
    const ssize_t n = gRead.load()(fd, buffer + got, size - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return UNLHA_ERROR_FILE_OPEN;
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  return 0;
}

int StoreOnTwoThreads(int fd, TFileWriter& out, TProgress& progress, uint16_t& crc, uint64_t& total) {
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !TwoThreadsPay(static_cast<uint64_t>(st.st_size))) return kOnOneThread;
  const TFill fill = [fd](uint8_t* buffer, size_t capacity, size_t& got) {
    return ReadChunk(fd, buffer, capacity, got);
  };
  total = 0;
  const TDrain drain = [&](const uint8_t* data, size_t size) {
    if (const int status = out.Write(data, size)) return status;
    total += size;
    return progress.Advance(total);
  };
  return CopyOnTwoThreads(fill, drain, crc);
}

int ExtractOnTwoThreads(const TByteSource& source, const TMember& member, TSink& sink, uint16_t& crc) {
  if (!TwoThreadsPay(member.originalSize)) return kOnOneThread;
  uint64_t offset = member.dataOffset, left = member.originalSize;
  const TFill fill = [&source, &offset, &left](uint8_t* buffer, size_t capacity, size_t& got) {
    got = static_cast<size_t>(std::min<uint64_t>(left, capacity));
    if (!source.ReadAt(offset, buffer, got)) {
      got = 0;
      return UNLHA_ERROR_FILE_OPEN;
    }
    offset += got;
    left -= got;
    return 0;
  };
  const TDrain drain = [&sink](const uint8_t* data, size_t size) { return sink.Write(data, size); };
  return CopyOnTwoThreads(fill, drain, crc);
}

}  // namespace corvane::lha
