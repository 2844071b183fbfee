#pragma once
// Progress reports to the registered owner, and its answer to stop.

#include <cstdint>
#include <string>

#include "platform/unlha32/LhaHeader.h"
#include "platform/unlha32/unlha32.h"

namespace corvane::lha {

bool RegisterOwner(void* owner, void* callback);
bool UnregisterOwner(void* owner);

// One operation's reporter: takes the owner registered when the operation starts.
class TProgress {
 public:
  TProgress();
  // Each returns UNLHA_ERROR_CANCELLED when the owner asked to stop, else 0.
  int Open(const std::string& archive);
  int Begin(const TMember& member, const std::string& diskName);
  int Advance(uint64_t done);
  void End();

 private:
  int Send(uint32_t state);

  void* owner_ = nullptr;
  UnlhaProgressProc proc_ = nullptr;
  TUnlhaProgress record_{};
  uint64_t lastReported_ = 0;
};

// Copies `text` into a fixed field, truncated and NUL-terminated.
void CopyField(char* field, size_t fieldSize, const std::string& text);

}  // namespace corvane::lha
