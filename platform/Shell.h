#pragma once
// The desktop shell as the wizard uses it: show a folder in the file manager.
// The implementation lives with the wizard (it needs Qt Gui); tests substitute a recorder.

#include <filesystem>
#include <string>

namespace corvane {

class TShell {
 public:
  virtual ~TShell() = default;
  // Opens a file-manager window on the folder; false when the desktop could not do it.
  virtual bool OpenFolder(const std::filesystem::path& folder) = 0;
  // Why the last OpenFolder failed, in words for the user (UTF-8); empty when not known.
  virtual std::string FailureReason() const { return {}; }
};

}  // namespace corvane
