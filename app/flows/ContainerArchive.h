#pragma once
// The container's archive work through the archive component, with the LHA kind and the switches the
// container format uses: packing two files under bare names, listing the member names, extracting all
// members into a folder. Library statuses are examined: a failure is an exception, never a silent result.

#include <filesystem>
#include <string>
#include <vector>

#include "app/flows/FlowCommon.h"

namespace corvane {

// Packs the files (full paths) into a new archive under their bare names. Raises EArchiver when the
// library reports a failure, ECancelled when progress cancels.
void PackContainer(const std::filesystem::path& container, const std::vector<std::filesystem::path>& files,
                   const TFlowProgress& progress);

// The member names, in the archive's order. Raises EContainerError kBadContainerText when the file is not
// an archive and kDamagedContainerText when its headers are damaged.
std::vector<std::string> ListContainer(const std::filesystem::path& container);

// Extracts the named members (every member when none is named) into folder. Raises EContainerError
// kDamagedContainerText when the library reports any failure (CRC mismatch, damaged data, unsafe name,
// write error), ECancelled when progress cancels, EArchiver when a name cannot be put into a command.
void ExtractContainer(const std::filesystem::path& container, const std::filesystem::path& folder,
                      const TFlowProgress& progress, const std::vector<std::string>& members = {});

}  // namespace corvane
