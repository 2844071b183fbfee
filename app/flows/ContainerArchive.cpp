#include "app/flows/ContainerArchive.h"

#include <cerrno>
#include <cstdio>

#include "archive/Archives.h"

namespace corvane {
namespace fs = std::filesystem;

namespace {

// The library's status for a write failure other than a full disk (kStatusDiskFull).
constexpr int32_t kStatusWriteFailed = UNLHA_ERROR_WRITE;

// A write failure the library reported, as a file error about path.
[[noreturn]] void ThrowWriteFailure(int32_t status, const fs::path& path) {
  const int error = status == kStatusDiskFull ? ENOSPC : 0;
  ThrowFileError(TFileAction::faWrite, path, error);
}

std::string StatusText(int32_t status) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(status));
  return text;
}

// Routes the library's per-member progress to the flow's progress; a false answer asks the library to stop.
void ConnectProgress(TArchiveFile& archive, TFlowStage stage, const TFlowProgress& progress) {
  if (!progress) return;
  archive.OnProgress = [stage, &progress](TArchiveFile&, int32_t, TUnlhaProgress* record, bool& abort) {
    if (record == nullptr) return;
    if (!progress(stage, record->dwWriteSize, record->dwFileSize)) abort = true;
  };
}

// The container's kind and switches as the format fixes them: LHA, bare names (-x0), owner reports (-n1).
void PrepareArchive(TArchiveFile& archive, const fs::path& container) {
  archive.SetFileName(container.string());
  archive.Options().x = 0;
  archive.Options().jse = 1;
  archive.Options().jso = 1;
  archive.SetArchiverType(TArchiverType::atLha);
  archive.Options().n = 1;
}

}  // namespace

void PackContainer(const fs::path& container, const std::vector<fs::path>& files,
                   const TFlowProgress& progress) {
  TArchiveFile archive;
  archive.SetArchiverType(TArchiverType::atLha);
  archive.Options().n = 1;
  archive.SetFileName(container.string());
  archive.Options().x = 0;
  archive.Options().jso = 1;
  ConnectProgress(archive, TFlowStage::stPacking, progress);
  TStringList list;
  for (const fs::path& file : files) {
    list.Strings.push_back(file.string());
    // The selection skips hidden files unless told otherwise, and a source such as ".profile" gives two
    // hidden members; the switch is set only then, so every other container gets the usual command text.
    if (file.filename().string().starts_with('.')) archive.Options().a = 1;
  }
  const int32_t status = archive.CompressFiles(nullptr, nullptr, "", {list});
  if (status == kStatusCancelled) throw ECancelled();
  if (status == UNLHA_ERROR_BAD_NAME) throw EArchiver(kNameNotUtf8Text);
  if (status == kStatusDiskFull || status == kStatusWriteFailed) ThrowWriteFailure(status, container);
  if (status != 0 || !fs::exists(container)) {
    throw EArchiver("暗号ファイル " + container.filename().string() + " を作成できませんでした（" +
                    StatusText(status) + "）。");
  }
}

std::vector<TContainerEntry> ListContainer(const fs::path& container) {
  TArchiveFile archive;
  PrepareArchive(archive, container);
  if (archive.OpenListing(nullptr, 0) != 0) throw EContainerError(kBadContainerText);
  std::vector<TContainerEntry> entries;
  TArchiveEntry entry{};
  int status = archive.FirstEntry("*.*", entry);
  // A container has two members; a listing that runs far past that is not one of ours.
  while (status == 0 && entries.size() <= 16) {
    entries.push_back({ArchiveEntryName(entry), entry.llOriginalSize, entry.llCompressedSize});
    status = archive.NextEntry(entry);
  }
  archive.CloseListing();
  if (status == UNLHA_ERROR_BAD_NAME) throw EContainerError(kUnreadableNameText);
  if (status != UNLHA_NO_MORE_ENTRIES && status != 0) throw EContainerError(kDamagedContainerText);
  return entries;
}

std::vector<std::string> ContainerMemberNames(const fs::path& container) {
  std::vector<std::string> names;
  for (TContainerEntry& entry : ListContainer(container)) names.push_back(std::move(entry.Name));
  return names;
}

void ExtractContainer(const fs::path& container, const fs::path& folder, const TFlowProgress& progress,
                      const std::vector<std::string>& members) {
  TArchiveFile archive;
  PrepareArchive(archive, container);
  ConnectProgress(archive, TFlowStage::stExtracting, progress);
  const int32_t status = archive.ExpandFiles(nullptr, nullptr, folder.string(), {members});
  if (status == kStatusCancelled) throw ECancelled();
  if (status == kStatusDiskFull || status == kStatusWriteFailed) ThrowWriteFailure(status, folder);
  if (status != 0) throw EContainerError(kDamagedContainerText);
}

}  // namespace corvane
