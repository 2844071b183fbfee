// The C interface: command texts, listing handles, owner registration, memory extraction and member
// reading.
#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/unlha32/CommandLine.h"
#include "platform/unlha32/LhaArchive.h"
#include "platform/unlha32/MemberReader.h"
#include "platform/unlha32/Operations.h"
#include "platform/unlha32/Progress.h"
#include "platform/unlha32/unlha32.h"

namespace corvane::lha {
namespace {

// An open listing: the archive file, the wildcard and where the next header is read.
struct TListing {
  TFileSource source;
  std::string wildcard = "*";
  uint64_t next = 0;
  bool haveCurrent = false;
  TMember current;
};

// The open handles of one kind; a pointer the library did not hand out (or has closed) is never used.
template <typename Object>
struct THandles {
  std::mutex mutex;
  std::set<Object*> open;

  void* Add(std::unique_ptr<Object> object) {
    std::lock_guard lock(mutex);
    Object* raw = object.release();
    open.insert(raw);
    return raw;
  }
  bool Close(void* handle) {
    std::lock_guard lock(mutex);
    auto* object = static_cast<Object*>(handle);
    if (!open.erase(object)) return false;
    delete object;
    return true;
  }
  // Runs `use` on the object behind `handle` while holding the lock, so that another thread cannot close
  // it in the meantime; `closed` when the handle is not open.
  template <typename Result, typename Use>
  Result With(void* handle, Result closed, Use use) {
    std::lock_guard lock(mutex);
    auto* object = static_cast<Object*>(handle);
    return open.count(object) ? use(*object) : closed;
  }
};

THandles<TListing> gListings;
THandles<TMemberReader> gMembers;

void WriteReport(const std::string& text, char* output, uint32_t size) {
  if (!output || size == 0) return;
  CopyField(output, size, text);
}

void FillEntry(const TMember& m, TArchiveEntry* e) {
  std::memset(e, 0, offsetof(TArchiveEntry, ftWriteTime));
  e->dwOriginalSize = static_cast<uint32_t>(m.originalSize);
  e->dwCompressedSize = static_cast<uint32_t>(m.compressedSize);
  e->dwCRC = m.crc;
  e->uOSType = m.os;
  e->wRatio = static_cast<uint16_t>(
      m.originalSize ? std::min<uint64_t>(1000, m.compressedSize * 1000 / m.originalSize) : 1000);
  e->headerLevel = m.level;
  e->wDate = static_cast<uint16_t>(m.dosStamp >> 16);
  e->wTime = static_cast<uint16_t>(m.dosStamp & 0xFFFF);
  CopyField(e->szFileName, sizeof e->szFileName, m.name);
  char attribute[8];
  std::snprintf(attribute, sizeof attribute, "%c%04o", m.IsDirectory() ? 'd' : '-',
                m.hasMode ? (m.mode & 07777) : 0644);
  CopyField(e->szAttribute, sizeof e->szAttribute, attribute);
  CopyField(e->szMode, sizeof e->szMode, m.method);
}

// Reads headers from the listing's position until one matches its wildcard.
int NextMatching(TListing& l, TArchiveEntry* entry) {
  for (;;) {
    TMember m;
    const THeaderResult r = ReadHeader(l.source, l.next, m);
    if (r == THeaderResult::kEnd) {
      l.haveCurrent = false;
      return UNLHA_NO_MORE_ENTRIES;
    }
    if (r == THeaderResult::kDamaged) {
      l.haveCurrent = false;
      return UNLHA_ERROR_NOT_ARCHIVE;
    }
    l.next = m.DataEnd();
    if (MatchWildcard(l.wildcard, m.name)) {
      l.current = std::move(m);
      l.haveCurrent = true;
      if (entry) FillEntry(l.current, entry);
      // The entry is there to be shown, but its name is not one to act on.
      return l.current.nameDecoded ? 0 : UNLHA_ERROR_BAD_NAME;
    }
  }
}

template <typename Get>
int AnswerCurrent(void* archive, uint64_t* out, Get get) {
  return gListings.With(archive, 0, [&](TListing& l) {
    if (!l.haveCurrent || !out) return 0;
    *out = get(l.current);
    return 1;
  });
}

uint64_t WriteTimeOf(const TMember& m) {
  return m.hasWindowsTimes ? m.writeTime : UnixToFileTime(m.unixTime);
}

}  // namespace
}  // namespace corvane::lha

using namespace corvane::lha;

extern "C" {

__attribute__((visibility("default"))) int Unlha(void*, const char* command, char* output,
                                                 uint32_t outputSize) {
  if (output && outputSize) output[0] = '\0';
  TCommand c;
  std::string report;
  int status = ParseCommand(command, true, c);
  if (status) {
    report = status == UNLHA_ERROR_COMMAND ? "bad command" : "cannot read the response file";
  } else {
    status = RunCommand(c, report);
  }
  WriteReport(report, output, outputSize);
  return status;
}

__attribute__((visibility("default"))) void* UnlhaOpenArchive(void*, const char* archivePath, uint32_t) {
  if (!archivePath) return nullptr;
  auto listing = std::make_unique<TListing>();
  if (!listing->source.Open(archivePath)) return nullptr;
  TMember first;
  const uint64_t size = listing->source.Size();
  const THeaderResult r = size == 0 ? THeaderResult::kDamaged : ReadHeader(listing->source, 0, first);
  if (r == THeaderResult::kDamaged || (r == THeaderResult::kEnd && size > 1)) return nullptr;
  return gListings.Add(std::move(listing));
}

__attribute__((visibility("default"))) int UnlhaCloseArchive(void* archive) {
  return gListings.Close(archive) ? 0 : UNLHA_ERROR_HANDLE;
}

__attribute__((visibility("default"))) int UnlhaFindFirst(void* archive, const char* wildcard,
                                                          TArchiveEntry* entry) {
  return gListings.With(archive, UNLHA_ERROR_HANDLE, [&](TListing& l) {
    l.wildcard = wildcard && *wildcard ? wildcard : "*";
    l.next = 0;
    return NextMatching(l, entry);
  });
}

__attribute__((visibility("default"))) int UnlhaFindNext(void* archive, TArchiveEntry* entry) {
  return gListings.With(archive, UNLHA_ERROR_HANDLE, [&](TListing& l) {
    return l.haveCurrent ? NextMatching(l, entry) : UNLHA_NO_MORE_ENTRIES;
  });
}

__attribute__((visibility("default"))) int UnlhaCheckArchive(const char* archivePath, int) {
  if (!archivePath) return 0;
  TFileSource source;
  std::vector<TMember> members;
  return source.Open(archivePath) && ScanArchive(source, members) == 0 ? 1 : 0;
}

__attribute__((visibility("default"))) int UnlhaGetArchiveType(const char* archivePath) {
  return UnlhaCheckArchive(archivePath, 0) ? 1 : 0;
}

__attribute__((visibility("default"))) int UnlhaSetOwnerWindowEx(void* owner, void* callback) {
  return RegisterOwner(owner, callback) ? 1 : 0;
}

__attribute__((visibility("default"))) int UnlhaKillOwnerWindowEx(void* owner) {
  return UnregisterOwner(owner) ? 1 : 0;
}

__attribute__((visibility("default"))) int UnlhaGetWriteTimeEx(void* archive, uint64_t* fileTime) {
  return AnswerCurrent(archive, fileTime, WriteTimeOf);
}

__attribute__((visibility("default"))) int UnlhaGetCreateTimeEx(void* archive, uint64_t* fileTime) {
  return AnswerCurrent(archive, fileTime,
                       [](const TMember& m) { return m.hasWindowsTimes ? m.createTime : WriteTimeOf(m); });
}

__attribute__((visibility("default"))) int UnlhaGetAccessTimeEx(void* archive, uint64_t* fileTime) {
  return AnswerCurrent(archive, fileTime,
                       [](const TMember& m) { return m.hasWindowsTimes ? m.accessTime : WriteTimeOf(m); });
}

__attribute__((visibility("default"))) int UnlhaGetOriginalSizeEx(void* archive, uint64_t* size) {
  return AnswerCurrent(archive, size, [](const TMember& m) { return m.originalSize; });
}

__attribute__((visibility("default"))) int UnlhaGetCompressedSizeEx(void* archive, uint64_t* size) {
  return AnswerCurrent(archive, size, [](const TMember& m) { return m.compressedSize; });
}

__attribute__((visibility("default"))) int UnlhaExtractMem(void*, const char* command, void* buffer,
                                                           uint32_t bufferSize, uint64_t* fileTime,
                                                           uint32_t* attributes, uint32_t* writeSize) {
  if (writeSize) *writeSize = 0;
  TCommand c;
  if (const int status = ParseCommand(command, false, c)) return status;
  return ExtractToMemory(c, static_cast<uint8_t*>(buffer), bufferSize, fileTime, attributes, writeSize);
}

__attribute__((visibility("default"))) void* UnlhaOpenMember(const char* archivePath, const char* memberName,
                                                             uint64_t* size, int* status) {
  if (size) *size = 0;
  auto reader = std::make_unique<TMemberReader>();
  const int opened = archivePath && memberName ? reader->Open(archivePath, memberName) : UNLHA_ERROR_COMMAND;
  if (status) *status = opened;
  if (opened) return nullptr;
  if (size) *size = reader->Size();
  return gMembers.Add(std::move(reader));
}

__attribute__((visibility("default"))) int UnlhaReadMember(void* member, void* buffer, uint32_t bufferSize,
                                                           uint32_t* got) {
  if (got) *got = 0;
  if (!buffer && bufferSize > 0) return UNLHA_ERROR_BUFFER;
  return gMembers.With(member, UNLHA_ERROR_HANDLE, [&](TMemberReader& reader) {
    size_t count = 0;
    const int status = reader.Read(static_cast<uint8_t*>(buffer), bufferSize, count);
    if (got) *got = static_cast<uint32_t>(count);
    return status;
  });
}

__attribute__((visibility("default"))) int UnlhaCloseMember(void* member) {
  return gMembers.Close(member) ? 0 : UNLHA_ERROR_HANDLE;
}

}  // extern "C"
