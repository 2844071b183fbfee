#include "symmetric/StreamPipeline.h"

#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <exception>
#include <memory>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

#include "common/SecureWipe.h"

namespace corvane {

namespace {

constexpr std::size_t kPage = 4096;

struct TFree {
  void operator()(uint8_t* p) const { std::free(p); }
};
using TBuffer = std::unique_ptr<uint8_t, TFree>;

TBuffer AlignedBuffer(std::size_t size) {
  auto* p = static_cast<uint8_t*>(std::aligned_alloc(kPage, (size + kPage - 1) / kPage * kPage));
  if (p == nullptr) throw std::bad_alloc();
  return TBuffer(p);
}

// Pieces go round the buffers in order: piece p lives in buffer p % count. Three counters say how far
// each stage has come (written <= transformed <= read <= written + count), so the two threads need to
// share nothing else. The second thread reads, does the second stage and writes; the calling thread does
// the first stage.
class TPipeline {
 public:
  TPipeline(TStream& source, TStream& destination, uint64_t count, const TPieceWork& beforeWrite,
            const TPipelineOptions& options)
      : fSource(source),
        fDestination(destination),
        fCount(count),
        fBeforeWrite(beforeWrite),
        fOptions(options),
        fBufferSize(std::max<std::size_t>(16, (options.bufferSize + 15) / 16 * 16)),
        fSizes(std::max<std::size_t>(2, options.bufferCount)),
        fUsed(fSizes.size()) {
    for (std::size_t i = 0; i < fSizes.size(); ++i) fBuffers.push_back(AlignedBuffer(fBufferSize));
    fSourceDone = count == 0;
  }

  ~TPipeline() {
    Stop();
    for (std::size_t i = 0; i < fBuffers.size(); ++i) SecureWipe(fBuffers[i].get(), fUsed[i]);
  }

  TPipeline(const TPipeline&) = delete;
  TPipeline& operator=(const TPipeline&) = delete;

  uint64_t Run(const TPieceWork& first) {
    Report(0);
    fThread = std::thread([this] { SecondThread(); });
    uint64_t done = 0;
    for (uint64_t piece = 0;; ++piece) {
      std::size_t size;
      bool last;
      {
        std::unique_lock lock(fMutex);
        fChanged.wait(lock, [&] { return fError || fRead > piece || (fSourceDone && fRead == piece); });
        if (fError) break;
        if (fRead == piece) break;  // the source has no more
        size = fSizes[piece % fSizes.size()];
        last = fSourceDone && fRead == piece + 1;
      }
      uint8_t* data = fBuffers[piece % fBuffers.size()].get();
      if (first) first(data, size);
      {
        std::lock_guard lock(fMutex);
        ++fTransformed;
      }
      fChanged.notify_all();
      done += size;
      if (!last) Report(done);
    }
    {
      std::unique_lock lock(fMutex);
      fChanged.wait(lock, [&] { return fError || fWritten == fTransformed; });
    }
    Stop();
    if (fError) std::rethrow_exception(fError);
    if (fCount > 0) Report(done);
    return done;
  }

 private:
  void Report(uint64_t done) {
    if (fOptions.progress && !fOptions.progress(done, fCount)) throw ECancelled();
  }

  // Ends the second thread; safe to call more than once, and on every way out of Run.
  void Stop() {
    {
      std::lock_guard lock(fMutex);
      fStopping = true;
    }
    fChanged.notify_all();
    if (fThread.joinable()) fThread.join();
  }

  bool CanRead() const { return !fSourceDone && fRead < fWritten + fSizes.size(); }
  bool CanWrite() const { return fWritten < fTransformed; }

  void SecondThread() {
    try {
      for (;;) {
        bool read;
        uint64_t piece;
        {
          std::unique_lock lock(fMutex);
          fChanged.wait(lock, [&] { return fStopping || CanRead() || CanWrite(); });
          if (fStopping) return;
          // The calling thread must never wait for input while there is room to read: reading comes
          // first unless a piece is already waiting for it.
          read = CanRead() && (fRead - fTransformed < 2 || !CanWrite());
          piece = read ? fRead : fWritten;
        }
        if (read)
          ReadPiece(piece);
        else
          WritePiece(piece);
      }
    } catch (...) {
      {
        std::lock_guard lock(fMutex);
        fError = std::current_exception();
      }
      fChanged.notify_all();
    }
  }

  void ReadPiece(uint64_t piece) {
    const uint64_t left = fCount - fRequested;
    const std::size_t want = left < fBufferSize ? static_cast<std::size_t>(left) : fBufferSize;
    const std::size_t slot = piece % fBuffers.size();
    // Counted before reading, so a read that fails halfway is wiped too.
    fUsed[slot] = std::max(fUsed[slot], want);
    const std::size_t got = fSource.Read(fBuffers[slot].get(), want);
    fRequested += want;
    {
      std::lock_guard lock(fMutex);
      fSizes[piece % fSizes.size()] = got;
      if (got > 0) ++fRead;
      // A short read is the end of the source; a later piece would start off the block grid.
      if (got < want || fRequested == fCount) fSourceDone = true;
    }
    fChanged.notify_all();
  }

  void WritePiece(uint64_t piece) {
    uint8_t* data = fBuffers[piece % fBuffers.size()].get();
    std::size_t size;
    {
      std::lock_guard lock(fMutex);
      size = fSizes[piece % fSizes.size()];
    }
    if (fBeforeWrite) fBeforeWrite(data, size);
    fDestination.Write(data, size);
    {
      std::lock_guard lock(fMutex);
      ++fWritten;
    }
    fChanged.notify_all();
  }

  TStream& fSource;
  TStream& fDestination;
  const uint64_t fCount;
  const TPieceWork& fBeforeWrite;
  const TPipelineOptions& fOptions;
  const std::size_t fBufferSize;
  std::vector<TBuffer> fBuffers;
  std::thread fThread;

  std::mutex fMutex;
  std::condition_variable fChanged;
  // Guarded by fMutex.
  std::vector<std::size_t> fSizes;  // bytes in each buffer
  uint64_t fRead = 0, fTransformed = 0, fWritten = 0;
  bool fSourceDone = false, fStopping = false;
  std::exception_ptr fError;
  // The second thread's own (the calling thread reads fUsed only once the second thread has ended).
  std::vector<std::size_t> fUsed;  // bytes of each buffer that held data, to be wiped
  uint64_t fRequested = 0;
};

}  // namespace

uint64_t PipeStream(TStream& source, TStream& destination, uint64_t count, const TPieceWork& first,
                    const TPieceWork& beforeWrite, const TPipelineOptions& options) {
  TPipeline pipeline(source, destination, count, beforeWrite, options);
  return pipeline.Run(first);
}

}  // namespace corvane
