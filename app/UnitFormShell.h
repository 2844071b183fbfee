#pragma once
// The desktop's "open" on a folder, through QDesktopServices (xdg-open on Linux).

#include "platform/Shell.h"

namespace corvane {

class TDesktopShell : public TShell {
 public:
  bool OpenFolder(const std::filesystem::path& folder) override;
};

}  // namespace corvane
