#pragma once
// Storing a file unchanged (-lh0-) with an in-kernel copy: the data goes from the file's pages to the
// archive's without passing through the library's buffers, while a second thread reads the file once
// more for its CRC-16 (which the processor computes many times faster than the copy runs).

#include <sys/types.h>

#include <cstdint>

#include "platform/unlha32/FileWriter.h"
#include "platform/unlha32/Progress.h"

namespace corvane::lha {

// Returned when the kernel copy is not used (a small file, one processor, or a kernel or file system
// that cannot copy between these files): nothing was written, and the caller copies through its buffers.
inline constexpr int kKernelCopyUnavailable = -1;

// Appends the whole file `fd` (a regular file, read from its start) to `out`, giving `crc` and `total`
// exactly as reading it through buffers would, and reporting progress; 0 or an UNLHA_ERROR status. A
// file whose size changes while it is copied is not stored this way: the output is cut back to where
// it was and kKernelCopyUnavailable returned, so the single-pass copy decides what the file holds.
int StoreInKernel(int fd, TFileWriter& out, TProgress& progress, uint16_t& crc, uint64_t& total);

// copy_file_range, or a stand-in the tests put there to play a kernel that refuses (nullptr restores
// the real one).
using TCopyRange = ssize_t (*)(int in, loff_t* inOffset, int out, loff_t* outOffset, size_t size);
ssize_t CopyRange(int in, loff_t* inOffset, int out, loff_t* outOffset, size_t size);
void SetCopyRangeForTesting(TCopyRange copy);

}  // namespace corvane::lha
