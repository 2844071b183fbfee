// Any bytes as an archive: listing every header, decoding every member into memory and reading every
// member in pieces must end without a crash, a hang or a read outside the input.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/unlha32/ByteSource.h"
#include "platform/unlha32/LhaArchive.h"
#include "platform/unlha32/LhaDecoder.h"
#include "platform/unlha32/LhaHeader.h"
#include "platform/unlha32/MemberReader.h"
#include "platform/unlha32/Sink.h"

namespace {

// Stops a member after a few MiB: a small input can describe far more output than is worth producing.
class TCappedSink final : public corvane::lha::TSink {
 public:
  int Write(const uint8_t*, size_t size) override {
    total_ += size;
    return total_ > (4u << 20) ? 1 : 0;
  }

 private:
  uint64_t total_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace corvane::lha;
  const TMemorySource source(data, size);
  std::vector<TMember> members;
  ScanArchive(source, members);
  // Also walk the headers one by one, as a listing handle does, up to the first damaged one.
  uint64_t offset = 0;
  for (int i = 0; i < 10000; ++i) {
    TMember m;
    if (ReadHeader(source, offset, m) != THeaderResult::kMember) break;
    offset = m.DataEnd();
    members.push_back(m);
    IsSafeMemberName(m.name);
  }
  std::vector<uint8_t> piece(4096);
  for (const auto& m : members) {
    TCappedSink sink;
    DecodeMember(source, m, sink);
    TMemberReader reader;
    if (reader.Open(source, m.name) != 0) continue;
    // At most 4 MiB of it, as for decoding.
    size_t got = 1;
    for (int i = 0; i < 1024 && got > 0; ++i)
      if (reader.Read(piece.data(), piece.size(), got) != 0) break;
  }
  return 0;
}
