#include "symmetric/Rijndael.h"

#include <string>

#include "common/SystemRandom.h"
#include "symmetric/RijndaelCipher.h"
#include "symmetric/Sha1Hash.h"

namespace corvane {

namespace {

// Everything from the current position to the end; a stream positioned past its end has nothing left.
uint64_t BytesLeft(const TStream& source) {
  const uint64_t size = source.Size();
  const uint64_t position = source.Position();
  return size > position ? size - position : 0;
}

// A source that shrank or grew while being read would otherwise yield a silently truncated result: the
// bytes are read to the real end, which must be where the size said. (A file whose size reads as 0 but
// that has content, such as those under /proc, counts as grown.)
void RequireWhole(TStream& source, uint64_t done, uint64_t count) {
  char beyond;
  if (done != count || source.Read(&beyond, 1) != 0) throw ESourceChanged();
}

void TransformFileStream(TStream& source, TStream& destination, std::string_view keyText,
                         const TStreamProgress& progress, bool encrypt) {
  TRijndael cipher;
  cipher.KeyFromText(keyText, HashClass<TSha1>);
  const uint64_t count = BytesLeft(source);
  if (progress && !progress(0, count)) throw ECancelled();
  const uint64_t done = encrypt ? cipher.EncryptStreamPart(source, destination, count, progress)
                                : cipher.DecryptStreamPart(source, destination, count, progress);
  RequireWhole(source, done, count);
}

void PipelineFileStream(TStream& source, TStream& destination, std::string_view keyText,
                        const TPipelineOptions& options, bool encrypt) {
  TRijndael cipher;
  cipher.KeyFromText(keyText, HashClass<TSha1>);
  const uint64_t count = BytesLeft(source);
  const TPieceWork cipherWork = [&cipher, encrypt](uint8_t* data, std::size_t size) {
    if (encrypt)
      cipher.EncryptBuffer(data, data, size);
    else
      cipher.DecryptBuffer(data, data, size);
  };
  TPieceWork hook;
  if (options.payload)
    hook = [&payload = options.payload](uint8_t* data, std::size_t size) { payload(data, size); };
  // The chain is the long part of encrypting, so it has the calling thread and the hook sees each piece of
  // ciphertext beside it. Decrypting runs many blocks at once and is quick; a hook (an HMAC, as slow as
  // the encrypting chain) must see the ciphertext before it is decrypted, so it takes the calling thread
  // and the decryption moves beside the writing.
  const uint64_t done = encrypt ? PipeStream(source, destination, count, cipherWork, hook, options)
                        : hook  ? PipeStream(source, destination, count, hook, cipherWork, options)
                                : PipeStream(source, destination, count, cipherWork, {}, options);
  RequireWhole(source, done, count);
}

// A hidden name in the destination's folder, short enough whatever the destination's name is.
std::filesystem::path TemporaryBeside(const std::filesystem::path& destination) {
  uint64_t random;
  SystemRandomBytes(&random, sizeof random);
  std::string name = ".corvane-";
  for (int i = 0; i < 16; ++i) name += "0123456789abcdef"[(random >> (4 * i)) & 15];
  return destination.parent_path() / (name + ".tmp");
}

void TransformFile(const std::filesystem::path& sourcePath, const std::filesystem::path& destinationPath,
                   std::string_view keyText, const TStreamProgress& progress, bool encrypt) {
  // A device or pipe reports no size and would silently give an empty result; it is refused before it is
  // opened, since opening a pipe waits for a writer. A missing file is left to the open to report.
  std::error_code unknown;
  const std::filesystem::file_status status = std::filesystem::status(sourcePath, unknown);
  if (!unknown && !std::filesystem::is_regular_file(status))
    ThrowNotRegularFile(TFileAction::faOpen, sourcePath);
  TFileStream source(sourcePath, TFileMode::fmOpenRead);
  const std::filesystem::path temporary = TemporaryBeside(destinationPath);
  try {
    TFileStream destination(temporary, TFileMode::fmCreate);
    TransformFileStream(source, destination, keyText, progress, encrypt);
    destination.Sync();
    destination.Close();
    std::error_code error;
    std::filesystem::rename(temporary, destinationPath, error);
    if (error) ThrowFileError(TFileAction::faCreate, destinationPath, error.value());
  } catch (...) {
    std::error_code ignored;
    std::filesystem::remove(temporary, ignored);
    throw;
  }
}

}  // namespace

void EncryptFileStream(TStream& source, TStream& destination, std::string_view keyText,
                       const TStreamProgress& progress) {
  TransformFileStream(source, destination, keyText, progress, true);
}

void DecryptFileStream(TStream& source, TStream& destination, std::string_view keyText,
                       const TStreamProgress& progress) {
  TransformFileStream(source, destination, keyText, progress, false);
}

void EncryptFileStreamPipelined(TStream& source, TStream& destination, std::string_view keyText,
                                const TPipelineOptions& options) {
  PipelineFileStream(source, destination, keyText, options, true);
}

void DecryptFileStreamPipelined(TStream& source, TStream& destination, std::string_view keyText,
                                const TPipelineOptions& options) {
  PipelineFileStream(source, destination, keyText, options, false);
}

void EncryptFileStream(const std::filesystem::path& source, const std::filesystem::path& destination,
                       std::string_view keyText, const TStreamProgress& progress) {
  TransformFile(source, destination, keyText, progress, true);
}

void DecryptFileStream(const std::filesystem::path& source, const std::filesystem::path& destination,
                       std::string_view keyText, const TStreamProgress& progress) {
  TransformFile(source, destination, keyText, progress, false);
}

}  // namespace corvane
