#include "app/flows/BufferedStreams.h"

#include <algorithm>

#include "symmetric/Rijndael.h"

namespace corvane {

uint64_t EncryptFilePipelined(const std::filesystem::path& source, const std::filesystem::path& destination,
                              std::string_view keyText, const TPipelineOptions& options) {
  TFileStream in(source, TFileMode::fmOpenRead);
  TFileStream out(destination, TFileMode::fmCreate);
  out.Reserve(in.Size());
  EncryptFileStreamPipelined(in, out, keyText, options);
  out.Close();
  return in.Position();
}

uint64_t DecryptStreamPipelined(TStream& source, const std::filesystem::path& destination,
                                std::string_view keyText, const TPipelineOptions& options) {
  TFileStream out(destination, TFileMode::fmCreate);
  const uint64_t start = source.Position();
  out.Reserve(source.Size() - std::min(start, source.Size()));
  DecryptFileStreamPipelined(source, out, keyText, options);
  out.Close();
  return source.Position() - start;
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
