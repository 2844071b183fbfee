#pragma once
// Moves a stream through an in-place transformation with the reading and writing on a second thread, so
// that they overlap the transformation (a CBC chain, which no one can run in parallel) instead of adding
// to it. The second thread reads ahead into a few large page-aligned buffers and writes each transformed
// buffer behind; the transformation is done in two stages, one on each thread (see PipeStream). Every
// byte is read into its buffer once, transformed there and written from there: no other copy is made.

#include <cstddef>
#include <cstdint>
#include <functional>

#include "symmetric/Streams.h"

namespace corvane {

// Sees the payload's bytes, piece by piece, each exactly once and in order.
using TPayloadHook = std::function<void(const uint8_t* data, std::size_t size)>;

struct TPipelineOptions {
  // Called on the calling thread: (0, total) first, then after each piece's first stage, and last
  // (done, total) once everything is written; false cancels (ECancelled).
  TStreamProgress progress;
  // For the cipher's pipelined streams, which say where it runs (Rijndael.h); PipeStream does not call it.
  // Whatever it throws stops the work and is raised on the calling thread.
  TPayloadHook payload;
  // Rounded up to a multiple of 16 bytes (pieces other than the last stay on the cipher's block grid);
  // at least two buffers. Memory in use is about bufferSize * bufferCount, whatever the stream's size.
  std::size_t bufferSize = std::size_t{1} << 20;
  std::size_t bufferCount = 4;
};

// Work on one piece, in place.
using TPieceWork = std::function<void(uint8_t* data, std::size_t size)>;

// Reads `count` bytes from the source's position and writes them, transformed, at the destination's
// position; returns the bytes moved. Exactly `count` bytes are asked for, never more, so a source that
// grew keeps its new bytes unread (its position ends `count` further on). A source that ends early
// (a short read) ends the work there: the bytes read are transformed and written and the smaller total
// is returned, so the caller decides what a shrunken source means.
//
// Each piece goes through two stages, in order, in place: `first` on the calling thread once the piece is
// read, then `beforeWrite` on the second thread just before the piece is written (either may be empty).
// Every piece but the last is a whole number of buffers. Giving the longer work to `first` and the shorter
// to `beforeWrite` balances the two threads. While the call runs, the two streams are used by the second
// thread only (one call at a time on each), so they need no locking; the caller must not touch them
// meanwhile. A failure on either thread (a read or write error, either stage, the progress callback)
// stops both: the second thread finishes the system call it is in and ends, and the exception is raised on
// the calling thread. The destination then holds a prefix of the result. The buffers are wiped before
// they are released.
uint64_t PipeStream(TStream& source, TStream& destination, uint64_t count, const TPieceWork& first,
                    const TPieceWork& beforeWrite, const TPipelineOptions& options);

}  // namespace corvane
