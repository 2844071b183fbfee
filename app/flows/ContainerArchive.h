#pragma once
// The container's archive work through the archive component, with the LHA kind and the switches the
// container format uses: packing two files under bare names, listing the member names, extracting all
// members into a folder. Library statuses are examined: a failure is an exception, never a silent result.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/flows/FlowCommon.h"
#include "symmetric/Streams.h"

namespace corvane {

// Packs the files (full paths) into a new archive under their bare names. Raises EFileError naming the
// container (with ENOSPC when the library found the disk full) when writing it failed, EArchiver for other
// failures the library reports, ECancelled when progress cancels.
void PackContainer(const std::filesystem::path& container, const std::vector<std::filesystem::path>& files,
                   const TFlowProgress& progress);

// One member as the archive's header lists it. The sizes are what the header claims, before anything is
// extracted.
struct TContainerEntry {
  std::string Name;
  uint64_t OriginalSize = 0;  // bytes the member extracts to
  uint64_t PackedSize = 0;    // bytes it takes in the archive
};

// The members, in the archive's order. Raises EContainerError kBadContainerText when the file is not an
// archive and kDamagedContainerText when its headers are damaged.
std::vector<TContainerEntry> ListContainer(const std::filesystem::path& container);
// Their names only.
std::vector<std::string> ContainerMemberNames(const std::filesystem::path& container);

// Extracts the named members (every member when none is named) into folder. Raises EFileError naming the
// folder (with ENOSPC when the library found the disk full) when writing failed, EContainerError
// kDamagedContainerText for the other failures the library reports (CRC mismatch, damaged data, unsafe
// name), ECancelled when progress cancels, EArchiver when a name cannot be put into a command.
void ExtractContainer(const std::filesystem::path& container, const std::filesystem::path& folder,
                      const TFlowProgress& progress, const std::vector<std::string>& members = {});

// The named member as a read-only stream straight from the container, when the library can read it so
// (a stored member); null when it is to be extracted instead, which then reports whatever is wrong with
// it. The stream's reads raise EContainerError kDamagedContainerText when its bytes do not match its CRC
// (at the read that reaches its end) and EFileError naming the container when it cannot be read.
std::unique_ptr<TStream> OpenStoredMember(const std::filesystem::path& container, const std::string& member);

}  // namespace corvane
