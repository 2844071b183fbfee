#pragma once
// One stored member of an archive, open for reading in pieces straight into the caller's buffers, for a
// caller that transforms the bytes on their way and so needs no extracted copy of them.

#include <cstdint>
#include <memory>

namespace corvane {

class TArchiverDll;

class TArchiveMember {
 public:
  // Takes over a handle the binding's OpenMember gave.
  TArchiveMember(std::shared_ptr<TArchiverDll> binding, void* handle, std::uint64_t size);
  ~TArchiveMember();
  TArchiveMember(const TArchiveMember&) = delete;
  TArchiveMember& operator=(const TArchiveMember&) = delete;

  std::uint64_t Size() const { return size_; }
  // The library's status (see UnlhaReadMember); `got` is the count of bytes read, 0 at the end.
  int Read(void* buffer, std::uint32_t size, std::uint32_t& got);

 private:
  std::shared_ptr<TArchiverDll> binding_;
  void* handle_;
  std::uint64_t size_;
};

}  // namespace corvane
