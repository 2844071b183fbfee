#pragma once
// Storing a large file unchanged (-lh0-) on two threads: a second thread reads the file ahead into a few
// large buffers and takes the CRC-16 of each piece, while the calling thread writes the pieces before it
// to the archive. Reading and writing then overlap instead of adding up; every byte is still read once,
// and the CRC is that of exactly the bytes written, whatever happens to the file meanwhile.

#include <sys/types.h>

#include <cstdint>

#include "platform/unlha32/FileWriter.h"
#include "platform/unlha32/Progress.h"

namespace corvane::lha {

// Returned when the two threads do not pay (a small file, one processor): nothing was read or written,
// and the caller stores the file in one pass through its own buffer.
inline constexpr int kStoreOnOneThread = -1;

// Reads `fd` from its current offset to its end (growth included, as a single pass would) and appends
// it to `out`, giving its CRC and size and reporting progress. 0, kStoreOnOneThread, or an UNLHA_ERROR
// status (UNLHA_ERROR_FILE_OPEN for a read error, the writer's status, UNLHA_ERROR_CANCELLED); on an
// error the second thread has ended when it returns.
int StoreOnTwoThreads(int fd, TFileWriter& out, TProgress& progress, uint16_t& crc, uint64_t& total);

// For the tests: false makes StoreOnTwoThreads answer kStoreOnOneThread always; and a stand-in for read(2)
// (nullptr restores the real one) to fail on the second thread.
void UseTwoThreadStore(bool use);
using TReadFunction = ssize_t (*)(int fd, void* buffer, size_t size);
void SetReadForTesting(TReadFunction read);

}  // namespace corvane::lha
