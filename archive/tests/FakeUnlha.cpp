// A stand-in archiver library for the binding tests. It exports the LHA library's entry points (some left
// out by compile definitions), records what it was called with, and lists two fixed entries for any
// archive file that exists. The Fake* exports let a test read the record and set the next status.

#include <sys/stat.h>

#include <cstring>
#include <string>

#include "platform/unlha32/unlha32.h"

namespace {

struct Record {
  std::string command;
  void* output = nullptr;
  uint32_t outputSize = 0;
  void* commandOwner = nullptr;
  void* registeredOwner = nullptr;
  std::string openedPath;
  int commandCalls = 0;
  int status = 0;
  int openListings = 0;
};
Record record;

struct Listing {
  int next = 0;
};

bool Exists(const char* path) {
  struct stat info {};
  return path && stat(path, &info) == 0;
}

void FillEntry(int index, TArchiveEntry* entry) {
  std::memset(entry, 0xEE, sizeof(*entry));  // shows which bytes nobody wrote
  entry->dwOriginalSize = index == 0 ? 1000u : 2000u;
  entry->dwCompressedSize = index == 0 ? 500u : 700u;
  entry->wDate = static_cast<uint16_t>(((2024 - 1980) << 9) | (2 << 5) | 29);  // 2024-02-29
  entry->wTime = static_cast<uint16_t>((13 << 11) | (45 << 5) | (58 / 2));     // 13:45:58
  std::memset(entry->szFileName, 0, sizeof(entry->szFileName));
  std::strcpy(entry->szFileName, index == 0 ? "one.txt" : "two.txt");
}

int Report(uint32_t state) {
  if (!record.registeredOwner) return 0;
  auto* window = static_cast<TUnlhaOwnerWindow*>(record.registeredOwner);
  if (!window->procedure) return 0;
  TUnlhaProgress progress{};
  std::strcpy(progress.szSourceFileName, "one.txt");
  return window->procedure(window, state, &progress);
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) void FakeReset() {
  record = Record();
}
__attribute__((visibility("default"))) const char* FakeLastCommand() {
  return record.command.c_str();
}
__attribute__((visibility("default"))) void* FakeLastOutput() {
  return record.output;
}
__attribute__((visibility("default"))) uint32_t FakeLastOutputSize() {
  return record.outputSize;
}
__attribute__((visibility("default"))) int FakeCommandCalls() {
  return record.commandCalls;
}
__attribute__((visibility("default"))) const char* FakeOpenedPath() {
  return record.openedPath.c_str();
}
__attribute__((visibility("default"))) void* FakeRegisteredOwner() {
  return record.registeredOwner;
}
__attribute__((visibility("default"))) int FakeOpenListings() {
  return record.openListings;
}
__attribute__((visibility("default"))) void FakeSetStatus(int status) {
  record.status = status;
}

__attribute__((visibility("default"))) int Unlha(void* owner, const char* command, char* output,
                                                 uint32_t outputSize) {
  ++record.commandCalls;
  record.command = command ? command : "";
  record.output = output;
  record.outputSize = outputSize;
  record.commandOwner = owner;
  if (Report(UNLHA_STATE_BEGIN) != 0) return UNLHA_ERROR_CANCELLED;
  if (output && outputSize > 0) std::strncpy(output, "done", outputSize - 1);
  return record.status;
}

__attribute__((visibility("default"))) void* UnlhaOpenArchive(void*, const char* archivePath, uint32_t) {
  record.openedPath = archivePath ? archivePath : "";
  if (!Exists(archivePath)) return nullptr;
  ++record.openListings;
  return new Listing;
}

__attribute__((visibility("default"))) int UnlhaCloseArchive(void* archive) {
  if (!archive) return UNLHA_ERROR_HANDLE;
  --record.openListings;
  delete static_cast<Listing*>(archive);
  return 0;
}

__attribute__((visibility("default"))) int UnlhaFindFirst(void* archive, const char*, TArchiveEntry* entry) {
  if (!archive) return UNLHA_ERROR_HANDLE;
  auto* listing = static_cast<Listing*>(archive);
  listing->next = 1;
  FillEntry(0, entry);
  return 0;
}

#ifndef FAKE_WITHOUT_FIND_NEXT
__attribute__((visibility("default"))) int UnlhaFindNext(void* archive, TArchiveEntry* entry) {
  if (!archive) return UNLHA_ERROR_HANDLE;
  auto* listing = static_cast<Listing*>(archive);
  if (listing->next >= 2) return -1;
  FillEntry(listing->next++, entry);
  return 0;
}
#endif

__attribute__((visibility("default"))) int UnlhaCheckArchive(const char* archivePath, int) {
  return Exists(archivePath) ? 1 : 0;
}

__attribute__((visibility("default"))) int UnlhaGetArchiveType(const char* archivePath) {
  return Exists(archivePath) ? 1 : 0;
}

__attribute__((visibility("default"))) int UnlhaSetOwnerWindowEx(void* owner, void*) {
  record.registeredOwner = owner;
  return 1;
}

__attribute__((visibility("default"))) int UnlhaKillOwnerWindowEx(void* owner) {
  if (record.registeredOwner != owner) return 0;
  record.registeredOwner = nullptr;
  return 1;
}

#ifndef FAKE_WITHOUT_WRITE_TIME
__attribute__((visibility("default"))) int UnlhaGetWriteTimeEx(void*, uint64_t* fileTime) {
  *fileTime = 0x01D0000000000001ull;
  return 1;
}
#endif

__attribute__((visibility("default"))) int UnlhaGetCreateTimeEx(void*, uint64_t*) {
  return 0;  // "not available": the caller falls back to the MS-DOS time stamp
}

__attribute__((visibility("default"))) int UnlhaGetAccessTimeEx(void*, uint64_t* fileTime) {
  *fileTime = 0x01D0000000000002ull;
  return 1;
}

__attribute__((visibility("default"))) int UnlhaGetOriginalSizeEx(void*, uint64_t* size) {
  *size = 0x100000000ull + 1000u;
  return 1;
}

__attribute__((visibility("default"))) int UnlhaExtractMem(void*, const char* command, void*, uint32_t,
                                                           uint64_t*, uint32_t*, uint32_t*) {
  record.command = command ? command : "";
  return record.status;
}

}  // extern "C"
