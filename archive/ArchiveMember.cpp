#include "archive/ArchiveMember.h"

#include "archive/ArchiverDll.h"

namespace corvane {

TArchiveMember::TArchiveMember(std::shared_ptr<TArchiverDll> binding, void* handle, std::uint64_t size)
    : binding_(std::move(binding)), handle_(handle), size_(size) {}

TArchiveMember::~TArchiveMember() {
  binding_->CloseMember(handle_);
}

int TArchiveMember::Read(void* buffer, std::uint32_t size, std::uint32_t& got) {
  return binding_->ReadMember(handle_, buffer, size, got);
}

}  // namespace corvane
