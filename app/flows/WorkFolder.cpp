#include "app/flows/WorkFolder.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "app/flows/BufferedStreams.h"
#include "app/flows/FlowCommon.h"
#include "common/SystemRandom.h"
#include "symmetric/Rijndael.h"

namespace corvane {
namespace fs = std::filesystem;

namespace {

std::string RandomSuffix() {
  static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::string suffix;
  for (int i = 0; i < 8; ++i) suffix += kLetters[SystemRandomBelow(sizeof kLetters - 1)];
  return suffix;
}

// A link to the new name fails when the name is taken; used where the file system has no RENAME_NOREPLACE.
bool LinkThenUnlink(const fs::path& from, const fs::path& to) {
  if (::link(from.c_str(), to.c_str()) != 0) return false;
  ::unlink(from.c_str());
  return true;
}

}  // namespace

TWorkFolder::TWorkFolder(const fs::path& parent) {
  std::string pattern = (parent / ".corvane-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) ThrowFileError("Cannot create folder", parent, errno);
  fPath = pattern;
}

TWorkFolder::~TWorkFolder() {
  std::error_code ignored;
  fs::remove_all(fPath, ignored);
}

void PlaceFile(const fs::path& from, const fs::path& to, bool replace) {
  if (replace) {
    if (::rename(from.c_str(), to.c_str()) != 0) ThrowFileError("Cannot create file", to, errno);
    return;
  }
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return;
  int error = errno;
  if (error == EINVAL || error == ENOSYS) {
    if (LinkThenUnlink(from, to)) return;
    error = errno;
  }
  if (error == EEXIST) throw EOutputExists(to);
  ThrowFileError("Cannot create file", to, error);
}

void EncryptFileInto(const fs::path& source, const fs::path& destination, const std::string& keyText,
                     const TStreamProgress& progress) {
  TBufferedFileReader in(source);
  TBufferedFileWriter out(destination);
  EncryptFileStream(in, out, keyText, progress);
  out.Close();
}

void DecryptFileInPlace(const fs::path& file, const std::string& keyText, const TStreamProgress& progress) {
  fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
  TBufferedFileReader in(file);
  TBufferedFileWriter out(file, TFileMode::fmOpenWrite);
  DecryptFileStream(in, out, keyText, progress);
  out.Close();
}

void WriteFileAtomically(const fs::path& path, const std::string& data) {
  const fs::path temporary = path.parent_path() / ("." + path.filename().string() + "." + RandomSuffix());
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) ThrowFileError("Cannot create file", path, errno);
  std::size_t done = 0;
  int error = 0;
  while (done < data.size() && error == 0) {
    const ssize_t put = ::write(fd, data.data() + done, data.size() - done);
    if (put < 0 && errno != EINTR) error = errno;
    if (put > 0) done += static_cast<std::size_t>(put);
  }
  if (error == 0 && ::fsync(fd) != 0) error = errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && ::rename(temporary.c_str(), path.c_str()) != 0) error = errno;
  if (error != 0) {
    ::unlink(temporary.c_str());
    ThrowFileError("Cannot write file", path, error);
  }
}

}  // namespace corvane
