#include "app/flows/BufferedStreams.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "symmetric/Rijndael.h"

namespace corvane {

namespace {

constexpr std::size_t kBufferSize = 1 << 20;

}  // namespace

TBufferedFileReader::TBufferedFileReader(const std::filesystem::path& path)
    : fFile(path, TFileMode::fmOpenRead), fBuffer(kBufferSize, '\0') {}

std::size_t TBufferedFileReader::Read(void* buffer, std::size_t count) {
  auto* out = static_cast<char*>(buffer);
  std::size_t done = 0;
  while (done < count) {
    if (fStart == fEnd) {
      fStart = 0;
      fEnd = fFile.Read(fBuffer.data(), fBuffer.size());
      if (fEnd == 0) break;
    }
    const std::size_t piece = std::min(count - done, fEnd - fStart);
    std::memcpy(out + done, fBuffer.data() + fStart, piece);
    fStart += piece;
    done += piece;
  }
  fPosition += done;
  return done;
}

void TBufferedFileReader::Write(const void*, std::size_t) {
  throw EFileError("ファイル \"" + fFile.Path().string() + "\" は読み込み用に開かれています。", fFile.Path(),
                   EBADF);
}

void TBufferedFileReader::Seek(uint64_t position) {
  fFile.Seek(position);
  fStart = fEnd = 0;
  fPosition = position;
}

TBufferedFileWriter::TBufferedFileWriter(const std::filesystem::path& path, TFileMode mode)
    : fFile(path, mode) {
  fBuffer.reserve(kBufferSize);
}

std::size_t TBufferedFileWriter::Read(void*, std::size_t) {
  throw EFileError("ファイル \"" + fFile.Path().string() + "\" は書き込み用に開かれています。", fFile.Path(),
                   EBADF);
}

void TBufferedFileWriter::Write(const void* buffer, std::size_t count) {
  const auto* in = static_cast<const char*>(buffer);
  if (fBuffer.size() + count > kBufferSize) Flush();
  if (count >= kBufferSize) {
    fFile.Write(in, count);
    return;
  }
  fBuffer.append(in, count);
}

uint64_t TBufferedFileWriter::Size() const {
  return std::max(fFile.Size(), Position());
}

void TBufferedFileWriter::Seek(uint64_t position) {
  Flush();
  fFile.Seek(position);
}

void TBufferedFileWriter::Flush() {
  if (fBuffer.empty()) return;
  fFile.Write(fBuffer.data(), fBuffer.size());
  fBuffer.clear();
}

void TBufferedFileWriter::Close() {
  Flush();
  fFile.Close();
}

uint64_t EncryptFilePipelined(const std::filesystem::path& source, const std::filesystem::path& destination,
                              std::string_view keyText, const TPipelineOptions& options) {
  TFileStream in(source, TFileMode::fmOpenRead);
  TFileStream out(destination, TFileMode::fmCreate);
  out.Reserve(in.Size());
  EncryptFileStreamPipelined(in, out, keyText, options);
  out.Close();
  return in.Position();
}

uint64_t DecryptFileInPlacePipelined(const std::filesystem::path& file, std::string_view keyText,
                                     const TPipelineOptions& options) {
  TFileStream in(file, TFileMode::fmOpenRead);
  TFileStream out(file, TFileMode::fmOpenWrite);
  DecryptFileStreamPipelined(in, out, keyText, options);
  out.Close();
  return in.Position();
}

}  // namespace corvane
