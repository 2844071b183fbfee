#pragma once
// Whole-file encryption and decryption through the pipelined streams, which read and write straight from
// their own large buffers on a second thread beside the cipher.

#include <cstdint>
#include <filesystem>
#include <string_view>

#include "symmetric/StreamPipeline.h"
#include "symmetric/Streams.h"

namespace corvane {

// Encrypts a regular file into a new file (mode 0600; an existing one is truncated) under a key text:
// the bytes of EncryptFileStream, with options.payload seeing the ciphertext as it is written (on the
// second thread) and options.progress reporting on the calling thread. Returns the bytes encrypted: the
// source's size when it was opened. A source that shrank or grew meanwhile raises ESourceChanged (with
// the stream layer's message; the flow may replace it with one naming the file). The destination's blocks are
// reserved in one step first; it is not flushed to the device, and on a failure it is left as far as it
// was written (the caller removes it).
uint64_t EncryptFilePipelined(const std::filesystem::path& source, const std::filesystem::path& destination,
                              std::string_view keyText, const TPipelineOptions& options);

// Decrypts what is left of a stream into a new file (mode 0600; an existing one is truncated), its blocks
// reserved first: the bytes of DecryptFileStream, with options.payload seeing the ciphertext as read, on
// the calling thread. A source that ends early or grows raises ESourceChanged. The destination is not
// flushed, and is left as far as it was written on a failure.
void DecryptStreamPipelined(TStream& source, const std::filesystem::path& destination,
                            std::string_view keyText, const TPipelineOptions& options);

// Decrypts a file over itself: each piece is written back only after it was read (the second thread
// reads ahead of its own writing), so no ciphertext is overwritten before it is used. options.payload
// sees the ciphertext as read, before it is decrypted, on the calling thread. Returns the bytes decrypted,
// as above. The mode of the file is not changed.
uint64_t DecryptFileInPlacePipelined(const std::filesystem::path& file, std::string_view keyText,
                                     const TPipelineOptions& options);

}  // namespace corvane
