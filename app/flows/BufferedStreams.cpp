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

void DecryptStreamPipelined(TStream& source, const std::filesystem::path& destination,
                            std::string_view keyText, const TPipelineOptions& options) {
  TFileStream out(destination, TFileMode::fmCreate);
  out.Reserve(source.Size() - std::min(source.Position(), source.Size()));
  DecryptFileStreamPipelined(source, out, keyText, options);
  out.Close();
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
