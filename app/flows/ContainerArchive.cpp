#include "app/flows/ContainerArchive.h"

#include <algorithm>
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

// A stored member read through the archive component; the pipelined streams read it on their second
// thread, one call at a time.
class TStoredMemberStream final : public TStream {
 public:
  TStoredMemberStream(std::unique_ptr<TArchiveMember> member, fs::path container)
      : fMember(std::move(member)), fContainer(std::move(container)) {}

  std::size_t Read(void* buffer, std::size_t count) override {
    auto* out = static_cast<uint8_t*>(buffer);
    std::size_t done = 0;
    while (done < count) {
      const std::size_t want = std::min<std::size_t>(count - done, std::size_t{1} << 30);
      uint32_t got = 0;
      const int status = fMember->Read(out + done, static_cast<uint32_t>(want), got);
      done += got;
      fPosition += got;
      if (status == UNLHA_ERROR_CRC) throw EContainerError(kDamagedContainerText);
      if (status != 0) ThrowFileError(TFileAction::faRead, fContainer, EIO);
      if (got == 0) break;
    }
    return done;
  }
  void Write(const void*, std::size_t) override { ThrowFileError(TFileAction::faWrite, fContainer, EBADF); }
  uint64_t Size() const override { return fMember->Size(); }
  uint64_t Position() const override { return fPosition; }
  void Seek(uint64_t) override { ThrowFileError(TFileAction::faRead, fContainer, ESPIPE); }

 private:
  std::unique_ptr<TArchiveMember> fMember;
  fs::path fContainer;
  uint64_t fPosition = 0;
};

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

std::unique_ptr<TStream> OpenStoredMember(const fs::path& container, const std::string& member) {
  TArchiveFile archive;
  PrepareArchive(archive, container);
  int status = 0;
  std::unique_ptr<TArchiveMember> opened = archive.OpenMember(member, status);
  if (!opened) return nullptr;
  return std::make_unique<TStoredMemberStream>(std::move(opened), container);
}

}  // namespace corvane
