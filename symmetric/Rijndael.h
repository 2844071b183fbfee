#pragma once
// Whole-stream encryption under a key text: AES-192-CBC with the key and IV derived from the text's SHA-1
// (see TCipher::KeyFromText), output exactly as long as the input, no header.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "common/Exception.h"
#include "symmetric/StreamPipeline.h"
#include "symmetric/Streams.h"

namespace corvane {

// The source did not end where its size said when the work began: it shrank or grew while being read.
class ESourceChanged : public EFileError {
 public:
  explicit ESourceChanged(const std::string& message = "ファイルの大きさが読み込みの途中で変わりました。")
      : EFileError(message) {}
};

// Transforms everything from the source's position to its end and writes it at the destination's
// position. Neither stream is opened, closed, truncated or repositioned beforehand. The source is read to
// its real end: ESourceChanged when that is not where its size said (it shrank or grew while being read).
void EncryptFileStream(TStream& source, TStream& destination, std::string_view keyText,
                       const TStreamProgress& progress = {});
void DecryptFileStream(TStream& source, TStream& destination, std::string_view keyText,
                       const TStreamProgress& progress = {});

// The same bytes as the two above, with the reading and the writing on a second thread overlapping the
// cipher (see PipeStream for the threads, the buffers and how failures travel). Everything from the
// source's position to the size it has at the call is transformed and written; a source that ended
// earlier or goes on beyond it (it shrank or grew meanwhile) then throws ESourceChanged, as above, on
// the calling thread once the second thread has ended. The payload hook sees the ciphertext in order: for
// encryption each piece as it is written (on the second thread, beside the chain), for decryption each
// piece as it is read, before it is decrypted (on the calling thread, while the second thread decrypts
// and writes the pieces before it: decryption runs many blocks at once, so the hook is the longer part).
void EncryptFileStreamPipelined(TStream& source, TStream& destination, std::string_view keyText,
                                const TPipelineOptions& options = {});
void DecryptFileStreamPipelined(TStream& source, TStream& destination, std::string_view keyText,
                                const TPipelineOptions& options = {});

// The same from one regular file into another. The destination is written under a temporary name in its
// folder (mode 0600) and renamed into place when complete, replacing any file of that name, so source and
// destination may be the same file; on any failure (including cancelling) no destination file is left
// behind and an existing one is untouched.
void EncryptFileStream(const std::filesystem::path& source, const std::filesystem::path& destination,
                       std::string_view keyText, const TStreamProgress& progress = {});
void DecryptFileStream(const std::filesystem::path& source, const std::filesystem::path& destination,
                       std::string_view keyText, const TStreamProgress& progress = {});

}  // namespace corvane
