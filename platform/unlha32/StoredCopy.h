#pragma once
// Moving a large stored (-lh0-) member on two threads: a second thread reads ahead into a few large
// buffers and takes the CRC-16 of each piece, while the calling thread writes the pieces before it, to
// the archive when packing or to the member's file when extracting. Reading and writing then overlap
// instead of adding up; every byte is still read once, and the CRC is that of exactly the bytes written,
// whatever happens to the file meanwhile.

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <functional>

#include "platform/unlha32/ByteSource.h"
#include "platform/unlha32/FileWriter.h"
#include "platform/unlha32/LhaHeader.h"
#include "platform/unlha32/Progress.h"
#include "platform/unlha32/Sink.h"

namespace corvane::lha {

// Returned when the two threads do not pay (less than 1 MiB, one processor): nothing was read or
// written, and the caller moves the data in one pass through its own buffer.
inline constexpr int kOnOneThread = -1;

// Packing: reads `fd` from its current offset to its end (growth included, as a single pass would) and
// appends it to `out`, giving its CRC and size and reporting progress. 0, kOnOneThread, or an UNLHA_ERROR
// status (UNLHA_ERROR_FILE_OPEN for a read error, the writer's status, UNLHA_ERROR_CANCELLED).
int StoreOnTwoThreads(int fd, TFileWriter& out, TProgress& progress, uint16_t& crc, uint64_t& total);

// Extracting: the member's stored bytes from `source` into `sink`, giving their CRC (which the caller
// checks). 0, kOnOneThread, UNLHA_ERROR_FILE_OPEN when the archive cannot be read, or the sink's status.
int ExtractOnTwoThreads(const TByteSource& source, const TMember& member, TSink& sink, uint16_t& crc);

// Reads `size` bytes of fd into buffer (fewer only at its end), giving the count; 0, or
// UNLHA_ERROR_FILE_OPEN for a read error. Every read of a file being packed goes through it.
int ReadChunk(int fd, uint8_t* buffer, size_t size, size_t& got);

// For the tests: false makes both answer kOnOneThread always; and a stand-in for read(2) in every read
// of a file being packed (nullptr restores the real one).
void UseTwoThreads(bool use);
using TReadFunction = ssize_t (*)(int fd, void* buffer, size_t size);
void SetReadForTesting(TReadFunction read);

}  // namespace corvane::lha
