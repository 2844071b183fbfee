#include "platform/unlha32/Progress.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include "platform/unlha32/MemberName.h"

namespace corvane::lha {
namespace {

constexpr uint64_t kReportEvery = 256 * 1024;

std::mutex gOwnerMutex;
void* gOwner = nullptr;
UnlhaProgressProc gCallback = nullptr;
bool gRegistered = false;

}  // namespace

bool RegisterOwner(void* owner, void* callback) {
  std::lock_guard lock(gOwnerMutex);
  gOwner = owner;
  gCallback = reinterpret_cast<UnlhaProgressProc>(callback);
  gRegistered = true;
  return true;
}

bool UnregisterOwner(void* owner) {
  std::lock_guard lock(gOwnerMutex);
  if (!gRegistered || gOwner != owner) return false;
  gOwner = nullptr;
  gCallback = nullptr;
  gRegistered = false;
  return true;
}

void CopyField(char* field, size_t fieldSize, const std::string& text) {
  // Names are UTF-8: one too long for the field loses whole characters, never half of one.
  const std::string kept = Utf8Prefix(text, fieldSize - 1);
  std::memcpy(field, kept.data(), kept.size());
  field[kept.size()] = '\0';
}

TProgress::TProgress() {
  std::lock_guard lock(gOwnerMutex);
  if (!gRegistered) return;
  owner_ = gOwner;
  proc_ = gCallback;
  if (!proc_ && owner_) proc_ = static_cast<TUnlhaOwnerWindow*>(owner_)->procedure;
}

int TProgress::Send(uint32_t state) {
  if (!proc_) return 0;
  return proc_(owner_, state, &record_) ? UNLHA_ERROR_CANCELLED : 0;
}

int TProgress::Open(const std::string& archive) {
  record_ = TUnlhaProgress{};
  CopyField(record_.szDestFileName, sizeof record_.szDestFileName, archive);
  return Send(UNLHA_STATE_OPEN);
}

int TProgress::Begin(const TMember& m, const std::string& diskName) {
  record_ = TUnlhaProgress{};
  record_.dwFileSize = static_cast<uint32_t>(m.originalSize);
  record_.dwCompressedSize = static_cast<uint32_t>(m.compressedSize);
  record_.dwCRC = m.crc;
  record_.uOSType = m.os;
  record_.wDate = static_cast<uint16_t>(m.dosStamp >> 16);
  record_.wTime = static_cast<uint16_t>(m.dosStamp & 0xFFFF);
  CopyField(record_.szSourceFileName, sizeof record_.szSourceFileName, m.name);
  CopyField(record_.szDestFileName, sizeof record_.szDestFileName, diskName);
  CopyField(record_.szMode, sizeof record_.szMode, m.method);
  lastReported_ = 0;
  return Send(UNLHA_STATE_BEGIN);
}

int TProgress::Advance(uint64_t done) {
  if (!proc_ || done - lastReported_ < kReportEvery) return 0;
  lastReported_ = done;
  record_.dwWriteSize = static_cast<uint32_t>(done);
  return Send(UNLHA_STATE_INPROCESS);
}

void TProgress::End() {
  Send(UNLHA_STATE_END);
}

}  // namespace corvane::lha
