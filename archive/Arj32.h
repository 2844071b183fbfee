#pragma once
// The ARJ kind: UNARJ32J.DLL, exports prefixed "Unarj"; listing and extraction only.

#include "archive/Archives.h"

namespace corvane {

class TArj32 : public TDllArchiver {
 public:
  TArj32();

  void LoadDLL() override;
};

}  // namespace corvane
