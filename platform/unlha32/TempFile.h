#pragma once
// A file written under a temporary name beside its final path and renamed into place when complete;
// removed again when it is dropped before that.

#include <string>

namespace corvane::lha {

class TTempFile {
 public:
  TTempFile() = default;
  ~TTempFile();
  TTempFile(const TTempFile&) = delete;
  TTempFile& operator=(const TTempFile&) = delete;

  // Creates "<dir>/.<name>.XXXXXXXX.tmp" beside `finalPath`, mode 0666 less the umask; <name> is the final
  // name, shortened (on a character boundary) where the whole would pass the folder's longest name.
  bool Create(const std::string& finalPath);
  int Fd() const { return fd_; }
  // Closes the file and renames it to `finalPath`; false (and the file removed) on failure.
  bool Commit(const std::string& finalPath);
  // The errno value of the last failure of Create or Commit.
  int Error() const { return error_; }

 private:
  int fd_ = -1;
  int error_ = 0;
  std::string path_;
};

}  // namespace corvane::lha
