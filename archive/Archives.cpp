#include "archive/Archives.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <filesystem>
#include <utility>

#include "archive/ArchiverDll.h"
#include "archive/Arj32.h"
#include "archive/Bga32.h"
#include "archive/Cab32.h"
#include "archive/Filters.h"
#include "archive/Lha32.h"
#include "archive/Rar32.h"
#include "archive/SZip32.h"
#include "archive/Tar32.h"
#include "archive/Yz132.h"
#include "archive/Zip32.h"
#include "platform/LibraryLoader.h"

namespace corvane {

namespace fs = std::filesystem;

ESfxNoRequiredFile::ESfxNoRequiredFile(const std::string& kindWord, const std::string& target,
                                       const std::string& stubFile)
    : EArchiver(kindWord + " 書庫からの" + target + "自己解凍書庫の作成には '" + stubFile +
                "' ファイルが必要です。"),
      KindWord(kindWord),
      Target(target),
      StubFile(stubFile) {}

std::string ArchiveEntryName(const TArchiveEntry& entry) {
  return std::string(entry.szFileName, strnlen(entry.szFileName, sizeof(entry.szFileName)));
}

// ---- TArchiver: the refusals of the base class ----

void TArchiver::LoadDLL() {
  throw EArchiver("Abstract method 'TArchiver.LoadDLL' was called");
}

void TArchiver::FreeDLL() {
  throw EArchiver("Abstract method 'TArchiver.FreeDLL' was called");
}

TArchiveHandle TArchiver::OpenListing(TWindowHandle, const std::string&, std::uint32_t) {
  return nullptr;
}

int TArchiver::FirstEntry(TArchiveHandle, TArchiveEntry&, const std::string&) {
  return -1;
}

int TArchiver::NextEntry(TArchiveHandle, TArchiveEntry&) {
  return -1;
}

int TArchiver::CloseListing(TArchiveHandle) {
  return 0;
}

int TArchiver::Compress(TWindowHandle, const std::string&, std::string&, bool, const TFileItems&,
                        const std::string&, const TArchiverOptions&) {
  throw EArchiver("この形式では書庫ファイルの作成をサポートしておりません。");
}

int TArchiver::Remove(TWindowHandle, const std::string&, std::string&, bool, const TFileItems&,
                      const std::string&, const TArchiverOptions&) {
  throw EArchiver("この形式の書庫ではファイルの削除をサポートしておりません。");
}

int TArchiver::Freshen(TWindowHandle, const std::string&, std::string&, bool, const TFileItems&,
                       const std::string&, const TArchiverOptions&) {
  throw EArchiver("この形式の書庫では書庫の更新をサポートしておりません。");
}

int TArchiver::BuildSelfExtractor(TWindowHandle, const std::string&, std::string&, const std::string&,
                                  const TArchiverOptions&) {
  throw EArchiver("この形式では自己解凍書庫の作成をサポートしておりません。");
}

int TArchiver::ExpandToMemory(TWindowHandle, const std::string&, const TArchiverOptions&, const std::string&,
                              void*, std::uint32_t, std::uint64_t*, std::uint32_t*, std::uint32_t*) {
  throw EArchiver("この形式ではメモリへの展開をサポートしておりません。");
}

int TArchiver::Verify(const std::string&, int, int) {
  throw EArchiver("この形式では書庫チェック機能をサポートしておりません。");
}

std::unique_ptr<TArchiveMember> TArchiver::OpenMember(const std::string&, const std::string&, int& status) {
  status = UNLHA_ERROR_METHOD;
  return nullptr;
}

bool TArchiver::AttachOwnerWindow(TWindowHandle window, void*) {
  OwnerWindow = window;
  return false;
}

bool TArchiver::DetachOwnerWindow(TWindowHandle) {
  OwnerWindow = nullptr;
  return false;
}

void TArchiver::EnsureLoaded() {
  LoadDLL();
}

// ---- TDllArchiver ----

void TDllArchiver::FreeDLL() {
  if (!binding_) return;
  auto& slot = ArchiverDllSlot(binding_->LibraryName());
  if (slot == binding_) slot.reset();
  binding_.reset();
}

TArchiverDll& TDllArchiver::Binding() const {
  if (!binding_) throw EArchiver("書庫操作 DLL が解放されています。");
  return *binding_;
}

TArchiveHandle TDllArchiver::OpenListing(TWindowHandle owner, const std::string& archiveName,
                                         std::uint32_t mode) {
  return Binding().OpenArchive(owner, archiveName, mode);
}

int TDllArchiver::FirstEntry(TArchiveHandle handle, TArchiveEntry& entry, const std::string& wildcard) {
  return Binding().FindFirst(handle, wildcard, entry);
}

int TDllArchiver::NextEntry(TArchiveHandle handle, TArchiveEntry& entry) {
  return Binding().FindNext(handle, entry);
}

int TDllArchiver::CloseListing(TArchiveHandle handle) {
  return Binding().CloseArchive(handle);
}

int TDllArchiver::Expand(TWindowHandle owner, const std::string& archiveName, std::string& outputBuffer,
                         bool useResponseFile, const TFileItems& files, const std::string& baseDirectory,
                         const TArchiverOptions& options) {
  return RunLetter("x", owner, archiveName, outputBuffer, useResponseFile, files, baseDirectory, options);
}

std::unique_ptr<TArchiveMember> TDllArchiver::OpenMember(const std::string& archiveName,
                                                         const std::string& entryName, int& status) {
  std::uint64_t size = 0;
  void* handle = Binding().OpenMember(archiveName, entryName, size, status);
  return handle ? std::make_unique<TArchiveMember>(binding_, handle, size) : nullptr;
}

int TDllArchiver::Verify(const std::string& archiveName, int mode, int modeFlags) {
  return Binding().CheckArchive(archiveName, mode + modeFlags);
}

bool TDllArchiver::AttachOwnerWindow(TWindowHandle window, void* callback) {
  OwnerWindow = window;
  return Binding().SetOwnerWindowEx(window, callback) != 0;
}

bool TDllArchiver::DetachOwnerWindow(TWindowHandle window) {
  const int accepted = Binding().KillOwnerWindowEx(window);
  OwnerWindow = nullptr;
  return accepted != 0;
}

std::string TDllArchiver::BuildCommand(const std::string& letter, const std::string& archiveName,
                                       bool useResponseFile, const TFileItems& files,
                                       const std::string& baseDirectory, const TArchiverOptions& options) {
  TCmdOpt cmd;
  cmd.Append(options.UserOptions);
  cmd.AppendQuoted("", archiveName);
  cmd.AppendDirectory("", baseDirectory);
  if (useResponseFile && !options.ResFileName.empty() && options.ResFileName != kUnsetText)
    cmd.AppendResponseFile(files, options.ResFileName);
  else
    cmd.AppendFileList("", files);
  cmd.Append(options.UserFileList);
  return letter + cmd.Text;
}

int TDllArchiver::RunLetter(const std::string& letter, TWindowHandle owner, const std::string& archiveName,
                            std::string& outputBuffer, bool useResponseFile, const TFileItems& files,
                            const std::string& baseDirectory, const TArchiverOptions& options) {
  LastCommand = BuildCommand(letter, archiveName, useResponseFile, files, baseDirectory, options);
  return Run(owner, LastCommand, outputBuffer);
}

int TDllArchiver::Run(TWindowHandle owner, const std::string& command, std::string& outputBuffer) {
  return Binding().RunCommand(owner, command, outputBuffer.data(),
                              static_cast<std::uint32_t>(outputBuffer.size()));
}

int TDllArchiver::ExtractEntryToMemory(TWindowHandle owner, const std::string& archiveName,
                                       const TArchiverOptions& options, const std::string& entryName,
                                       void* buffer, std::uint32_t bufferSize, std::uint64_t* fileTime,
                                       std::uint32_t* attributes, std::uint32_t* writeSize) {
  LastCommand = BuildCommand("", archiveName, false, {entryName}, "", options);
  return Binding().ExtractMem(owner, LastCommand, buffer, bufferSize, fileTime, attributes, writeSize);
}

int TDllArchiver::RunSelfExtractor(TWindowHandle owner, const std::string& archiveName,
                                   std::string& outputBuffer, const std::string& target,
                                   const TArchiverOptions& options) {
  return RunLetter("s", owner, archiveName, outputBuffer, false, {std::string()}, target, options);
}

void TDllArchiver::RequireSfxStub(const std::string& kindWord, const std::string& target,
                                  const std::string& stubFile) {
  const fs::path folder = LibrarySearchFolder().empty() ? ExecutableFolder() : LibrarySearchFolder();
  std::error_code error;
  if (!fs::exists(folder / stubFile, error)) throw ESfxNoRequiredFile(kindWord, target, stubFile);
}

// ---- TArchiveFile ----

TArchiveFile::TArchiveFile() : fileName_(kUnsetText), options_(std::make_unique<TArchiverOptions>()) {}

TArchiveFile::~TArchiveFile() {
  // A listing left open would keep the library's handle (and the archive file) open for the whole run.
  try {
    CloseListing();
  } catch (const Exception&) {
  }
}

void TArchiveFile::SetFileName(const std::string& name) {
  SetArchiverType(DetectKind(name, true));
  fileName_ = name;
}

void TArchiveFile::SetOutputSize(std::int32_t size) {
  outputBuffer_.assign(static_cast<std::size_t>(std::max(size, 0)), ' ');
  if (!outputBuffer_.empty()) outputBuffer_[0] = '\0';
}

void TArchiveFile::SetArchiverType(TArchiverType type) {
  switch (type) {
    case TArchiverType::atNone:
      return;
    case TArchiverType::atAutoDetect:
      archiverType_ = type;
      return;
    case TArchiverType::atGCA:
    case TArchiverType::atBel:
      throw EArchiver("書庫の形式を特定できませんでした。");
    default:
      break;
  }
  auto fresh = CreateArchiver(type);
  if (!fresh) throw EArchiver("書庫の形式を特定できませんでした。");
  // An open listing's handle belongs to the archiver that opened it.
  CloseListing();
  archiver_ = std::move(fresh);
  archiverType_ = type;
}

void TArchiveFile::AutoDetect() {
  if (archiverType_ == TArchiverType::atAutoDetect) SetArchiverType(DetectKind(fileName_, false));
}

void TArchiveFile::RequireArchiver() const {
  if (!archiver_) throw EArchiver("書庫の形式を判別できません。");
}

const TArchiverOptions& TArchiveFile::OptionsOrDefault(const TArchiverOptions* options) const {
  return options ? *options : *options_;
}

std::int32_t TArchiveFile::CompressFiles(TWindowHandle owner, const TArchiverOptions* options,
                                         const std::string& baseDirectory, const TFileItems& files) {
  AutoDetect();
  RequireArchiver();
  const TArchiverOptions& given = OptionsOrDefault(options);
  archiver_->EnsureLoaded();
  if (given.PackFilter == TPackFilter::pfArchiver) return Pack(owner, files, baseDirectory, given);

  TArchiverOptions selection(given);
  bool cancel = false;
  const TSelectProgress progress = [this](std::int32_t state, TUnlhaProgress* record, bool& abort) {
    NotifyProgress(state, record, abort);
  };
  const TStringList selected = SelectFiles(selection, baseDirectory, files, progress, cancel);
  if (cancel) return kStatusCancelled;
  if (selected.Strings.empty()) {
    if (!outputBuffer_.empty()) outputBuffer_[0] = '\0';
    return 0;
  }
  selection.jx.clear();
  return Pack(owner, {selected}, baseDirectory, selection);
}

std::int32_t TArchiveFile::Pack(TWindowHandle owner, const TFileItems& files,
                                const std::string& baseDirectory, const TArchiverOptions& options) {
  return RunCommand([&] {
    return archiver_->Compress(owner, fileName_, outputBuffer_,
                               options.ResFileUsage.Contains(TResFileUse::ruOnPack), files, baseDirectory,
                               options);
  });
}

std::int32_t TArchiveFile::ExpandFiles(TWindowHandle owner, const TArchiverOptions* options,
                                       const std::string& baseDirectory, const TFileItems& files) {
  RequireArchiver();
  const TArchiverOptions& given = OptionsOrDefault(options);
  return RunCommand([&] {
    return archiver_->Expand(owner, fileName_, outputBuffer_,
                             given.ResFileUsage.Contains(TResFileUse::ruOnUnpack), files, baseDirectory,
                             given);
  });
}

std::int32_t TArchiveFile::RunCommand(const std::function<std::int32_t()>& command) {
  AttachProgressWindow();
  std::int32_t status = 0;
  try {
    status = command();
  } catch (...) {
    lastCommand_ = archiver_->LastCommand;
    DetachProgressWindow();
    throw;
  }
  lastCommand_ = archiver_->LastCommand;
  DetachProgressWindow();
  // A handler that raised stopped the library; its exception now continues in the caller.
  if (progressError_) std::rethrow_exception(std::exchange(progressError_, nullptr));
  return status;
}

int TArchiveFile::OpenListing(TWindowHandle owner, std::uint32_t mode) {
  AutoDetect();
  RequireArchiver();
  CloseListing();  // a listing opened before is not left behind
  listHandle_ = archiver_->OpenListing(owner, fileName_, mode);
  return listHandle_ ? 0 : 1;
}

int TArchiveFile::FirstEntry(const std::string& wildcard, TArchiveEntry& entry) {
  RequireArchiver();
  return archiver_->FirstEntry(listHandle_, entry, wildcard);
}

int TArchiveFile::NextEntry(TArchiveEntry& entry) {
  RequireArchiver();
  return archiver_->NextEntry(listHandle_, entry);
}

std::unique_ptr<TArchiveMember> TArchiveFile::OpenMember(const std::string& entryName, int& status) {
  AutoDetect();
  RequireArchiver();
  return archiver_->OpenMember(fileName_, entryName, status);
}

void TArchiveFile::CloseListing() {
  TArchiveHandle handle = std::exchange(listHandle_, nullptr);
  if (archiver_ && handle) archiver_->CloseListing(handle);
}

void TArchiveFile::NotifyProgress(std::int32_t State, TUnlhaProgress* lpEis, bool& Abort) {
  if (OnProgress) OnProgress(*this, State, lpEis, Abort);
}

void TArchiveFile::AttachProgressWindow() {
  if (!OnProgress) return;
  if (!progressWindow_)
    progressWindow_ = std::make_unique<TUnlhaOwnerWindow>(TUnlhaOwnerWindow{&ProgressProcedure, this});
  progressError_ = nullptr;
  try {
    archiver_->AttachOwnerWindow(progressWindow_.get(), nullptr);
  } catch (const Exception&) {
    // Progress is a convenience: an archiver that cannot report it still does its work.
  }
}

void TArchiveFile::DetachProgressWindow() {
  if (!progressWindow_) return;
  try {
    archiver_->DetachOwnerWindow(progressWindow_.get());
  } catch (const Exception&) {
  }
}

int TArchiveFile::ProgressProcedure(void* owner, std::uint32_t state, TUnlhaProgress* record) {
  if (!owner) return 0;
  auto* self = static_cast<TArchiveFile*>(static_cast<TUnlhaOwnerWindow*>(owner)->userData);
  bool abort = false;
  // An exception must not unwind through the library's C frames: it stops the operation instead.
  try {
    self->NotifyProgress(static_cast<std::int32_t>(state), record, abort);
  } catch (...) {
    self->progressError_ = std::current_exception();
    return 1;
  }
  return abort ? 1 : 0;
}

// ---- kinds ----

std::unique_ptr<TArchiver> CreateArchiver(TArchiverType type) {
  switch (type) {
    case TArchiverType::atLha:
      return std::make_unique<TLha32>();
    case TArchiverType::atZip:
      return std::make_unique<TZip32>();
    case TArchiverType::atCab:
      return std::make_unique<TCab32>();
    case TArchiverType::atArj:
      return std::make_unique<TArj32>();
    case TArchiverType::atTar:
      return std::make_unique<TTar32>();
    case TArchiverType::atTgz:
      return std::make_unique<TTgz32>();
    case TArchiverType::atBZ2:
      return std::make_unique<TBZ232>();
    case TArchiverType::atRar:
      return std::make_unique<TRar32>();
    case TArchiverType::atBga:
      return std::make_unique<TBGA32>();
    case TArchiverType::atYz1:
      return std::make_unique<TYZ1>();
    case TArchiverType::at7z:
      return std::make_unique<TSevenZip32>();
    default:
      return nullptr;
  }
}

namespace {

constexpr std::uint32_t kDetectOpenMode = 0x800002;

struct ExtensionKind {
  const char* extension;
  TArchiverType kind;
};

constexpr ExtensionKind kExtensions[] = {
    {".lzh", TArchiverType::atLha}, {".zip", TArchiverType::atZip}, {".jar", TArchiverType::atZip},
    {".war", TArchiverType::atZip}, {".cab", TArchiverType::atCab}, {".arj", TArchiverType::atArj},
    {".a", TArchiverType::atTar},   {".lib", TArchiverType::atTar}, {".tar", TArchiverType::atTar},
    {".deb", TArchiverType::atTar}, {".rpm", TArchiverType::atTar}, {".cpio", TArchiverType::atTar},
    {".z", TArchiverType::atTgz},   {".gz", TArchiverType::atTgz},  {".tgz", TArchiverType::atTgz},
    {".taz", TArchiverType::atTgz}, {".bz2", TArchiverType::atBZ2}, {".rar", TArchiverType::atRar},
    {".gza", TArchiverType::atBga}, {".bza", TArchiverType::atBga}, {".yz1", TArchiverType::atYz1},
    {".gca", TArchiverType::atGCA}, {".7z", TArchiverType::at7z},
};

// The extension of the name's last part, from its last dot, in lower case ("" when it has none).
std::string LowerExtension(const std::string& name) {
  const std::string last = NamePart(name);
  const auto dot = last.rfind('.');
  if (dot == std::string::npos) return "";
  std::string extension = last.substr(dot);
  for (auto& c : extension)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return extension;
}

std::string FullPath(const std::string& name) {
  std::error_code error;
  const auto full = fs::absolute(name, error);
  return error ? name : full.string();
}

bool FileExists(const std::string& name) {
  std::error_code error;
  return fs::exists(name, error);
}

// The binding of a kind, made and loaded; raises when its library is missing.
template <typename Kind>
TArchiverDll& LoadedBinding() {
  Kind probe;
  probe.Binding().Load();
  return probe.Binding();
}

// A content check answers no whenever its library is missing or raises.
template <typename Check>
bool Answers(Check check) {
  try {
    return check();
  } catch (const Exception&) {
    return false;
  }
}

bool OpenTest(TArchiverDll& dll, const std::string& fullPath, bool closeOnlyOpened) {
  void* handle = dll.OpenArchive(nullptr, fullPath, kDetectOpenMode);
  if (handle || !closeOnlyOpened) dll.CloseArchive(handle);
  return handle != nullptr;
}

template <typename Kind>
bool OpenTestOf(const std::string& name, bool onlyExisting) {
  return Answers([&] {
    if (onlyExisting && !FileExists(name)) return false;
    return OpenTest(LoadedBinding<Kind>(), FullPath(name), false);
  });
}

TArchiverType TarKind(const std::string& name) {
  try {
    switch (LoadedBinding<TTar32>().GetArchiveType(name)) {
      case 1:
        return TArchiverType::atTar;
      case 2:
      case 3:
      case 4:
      case 5:
        return TArchiverType::atTgz;
      case 6:
      case 7:
        return TArchiverType::atBZ2;
      default:
        return TArchiverType::atNone;
    }
  } catch (const Exception&) {
    return TArchiverType::atNone;
  }
}

TArchiverType DetectByContent(const std::string& name) {
  // Every check runs; a later check that answers yes wins, so LHA has the highest priority.
  TArchiverType kind = TarKind(name);
  if (OpenTestOf<TRar32>(name, false)) kind = TArchiverType::atRar;
  if (OpenTestOf<TArj32>(name, false)) kind = TArchiverType::atArj;
  const bool zip = Answers([&] {
    auto& dll = LoadedBinding<TZip32>();
    if (dll.CheckArchive(FullPath(name), 24) == 0) return false;
    return !FileExists(name) || OpenTest(dll, FullPath(name), true);
  });
  if (zip) kind = TArchiverType::atZip;
  if (OpenTestOf<TBGA32>(name, true)) kind = TArchiverType::atBga;
  if (OpenTestOf<TYZ1>(name, true)) kind = TArchiverType::atYz1;
  if (OpenTestOf<TCab32>(name, false)) kind = TArchiverType::atCab;
  const bool lha = Answers([&] {
    auto& dll = LoadedBinding<TLha32>();
    return dll.CheckArchive(FullPath(name), 16) != 0 && OpenTest(dll, FullPath(name), false);
  });
  if (lha) kind = TArchiverType::atLha;
  return kind;
}

}  // namespace

TArchiverType TArchiveFile::DetectKind(const std::string& name, bool byExtension) {
  if (!byExtension) return DetectByContent(name);
  const std::string extension = LowerExtension(name);
  if (extension == ".exe") return DetectByContent(name);
  for (const auto& entry : kExtensions)
    if (extension == entry.extension) return entry.kind;
  return TArchiverType::atNone;
}

}  // namespace corvane
