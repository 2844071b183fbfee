#include "app/flows/WorkFolder.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <system_error>
#include <utility>
#include <vector>

#include "app/flows/BufferedStreams.h"
#include "common/SystemRandom.h"
#include "symmetric/Rijndael.h"

namespace corvane {
namespace fs = std::filesystem;

namespace {

// The marker inside a work folder, locked by its owner; made under another name and renamed once locked,
// so a marker that exists is never one whose owner has not locked it yet.
constexpr const char* kOwnerMarker = ".owner";
constexpr const char* kNewOwnerMarker = ".owner-new";
// Work folders hold files only; anything deeper than this is not ours to descend into.
constexpr int kMaxRemoveDepth = 8;

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

// The names in a folder opened as fd, without "." and "..".
std::vector<std::string> NamesIn(int fd) {
  std::vector<std::string> names;
  const int copy = ::dup(fd);
  if (copy < 0) return names;
  DIR* dir = ::fdopendir(copy);
  if (dir == nullptr) {
    ::close(copy);
    return names;
  }
  ::rewinddir(dir);
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  ::closedir(dir);
  return names;
}

// Removes everything in the folder opened as fd except the entry named keep. Works through descriptors
// and never follows a link, so a name swapped for a link meanwhile cannot lead the removal elsewhere.
void RemoveContents(int fd, const char* keep, int depth = 0) {
  for (const std::string& name : NamesIn(fd)) {
    if (keep != nullptr && name == keep) continue;
    if (::unlinkat(fd, name.c_str(), 0) == 0) continue;
    if (errno != EISDIR && errno != EPERM) continue;
    const TDescriptor sub{::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)};
    if (sub.fd >= 0 && depth < kMaxRemoveDepth) RemoveContents(sub.fd, nullptr, depth + 1);
    ::unlinkat(fd, name.c_str(), AT_REMOVEDIR);
  }
}

// Empties a work folder opened as fd whose marker is open as owner (-1 when unmarked), and closes owner.
// True when only the marker was left and it is gone too, so the folder can go. The marker is closed before
// it is removed: a file system such as NFS keeps a removed file that is still open under a new name until
// it is closed, which would keep the folder from going. A folder with something left in it keeps its
// marker, so a later flow tries again.
bool EmptyWorkFolder(int fd, int& owner) {
  RemoveContents(fd, kOwnerMarker);
  const std::vector<std::string> left = NamesIn(fd);
  if (owner >= 0) ::close(std::exchange(owner, -1));
  if (!left.empty() && left != std::vector<std::string>{kOwnerMarker}) return false;
  ::unlinkat(fd, kOwnerMarker, 0);
  return true;
}

// Removes the work folder `name` in the folder opened as parent when it is a folder of this user holding a
// marker whose lock is free (its owner has ended). The lock is held while removing, so two flows never
// remove the same folder at once and a live owner's folder is never touched.
void RemoveIfAbandoned(int parent, const std::string& name) {
  const TDescriptor folder{::openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)};
  if (folder.fd < 0) return;
  struct stat info {};
  if (::fstat(folder.fd, &info) != 0 || info.st_uid != ::geteuid()) return;
  TDescriptor owner{::openat(folder.fd, kOwnerMarker, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC)};
  if (owner.fd < 0) return;
  if (::fstat(owner.fd, &info) != 0 || !S_ISREG(info.st_mode)) return;
  if (::flock(owner.fd, LOCK_EX | LOCK_NB) != 0) return;  // alive (or locks do not work here)
  if (EmptyWorkFolder(folder.fd, owner.fd)) ::unlinkat(parent, name.c_str(), AT_REMOVEDIR);
}

// Locks a new marker in the folder opened as fd; -1 when the file system offers no locks (the folder then
// stays unmarked: nobody else removes it, and its owner does on every path it survives).
int MarkAsOwned(int fd) {
  const int marker = ::openat(fd, kNewOwnerMarker, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (marker < 0) return -1;
  if (::flock(marker, LOCK_EX | LOCK_NB) != 0 || ::renameat(fd, kNewOwnerMarker, fd, kOwnerMarker) != 0) {
    ::close(marker);
    ::unlinkat(fd, kNewOwnerMarker, 0);
    return -1;
  }
  return marker;
}

[[noreturn]] void ThrowFolderError(const fs::path& folder, int error) {
  if (DiskFullError(error)) throw EDiskFull(folder, error);
  ThrowFileError(TFileAction::faWriteFolder, folder, error);
}

// Whether path is folder or names something inside it (both absolute, as the flows build them).
bool Inside(const fs::path& path, const fs::path& folder) {
  const std::string p = path.string(), f = folder.string();
  return p.size() >= f.size() && p.compare(0, f.size(), f) == 0 &&
         (p.size() == f.size() || p[f.size()] == '/');
}

// At most `size` bytes of the start of a UTF-8 name, never ending inside a character.
std::string NameStart(const std::string& name, std::size_t size) {
  if (name.size() <= size) return name;
  std::size_t end = size;
  while (end > 0 && (static_cast<unsigned char>(name[end]) & 0xC0) == 0x80) --end;
  return name.substr(0, end);
}

}  // namespace

std::size_t MaxNameLength(const fs::path& folder) {
  const long max = ::pathconf(folder.c_str(), _PC_NAME_MAX);
  return max > 0 ? static_cast<std::size_t>(max) : NAME_MAX;
}

bool WorkFolderName(const std::string& name) {
  const std::string prefix = kWorkFolderPrefix;
  if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0) return false;
  for (std::size_t i = prefix.size(); i < name.size(); ++i) {
    const char c = name[i];
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) return false;
  }
  return true;
}

void RemoveAbandonedWorkFolders(const fs::path& parent) {
  const TDescriptor folder{::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
  if (folder.fd < 0) return;
  for (const std::string& name : NamesIn(folder.fd)) {
    if (WorkFolderName(name)) RemoveIfAbandoned(folder.fd, name);
  }
}

TWorkFolder::TWorkFolder(const fs::path& parent) : fParent(parent) {
  RemoveAbandonedWorkFolders(parent);
  std::string pattern = (parent / (std::string(kWorkFolderPrefix) + "XXXXXX")).string();
  if (::mkdtemp(pattern.data()) == nullptr) ThrowFolderError(parent, errno);
  fPath = pattern;
  fFolder = ::open(fPath.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fFolder < 0) {
    const int error = errno;
    ::rmdir(fPath.c_str());
    ThrowFolderError(parent, error);
  }
  fOwner = MarkAsOwned(fFolder);
}

TWorkFolder::~TWorkFolder() {
  // The marker goes last, so a folder is never left unmarked with something in it.
  if (EmptyWorkFolder(fFolder, fOwner)) ::rmdir(fPath.c_str());
  ::close(fFolder);
}

void TWorkFolder::ThrowForFolder(const EFileError& error) const {
  if (Inside(error.Path(), fPath)) ThrowFolderError(fParent, error.Error());
}

void TWorkFolder::ThrowForFolder(const EArchiver& error) const {
  std::string message = error.what();
  const std::string work = fPath.string() + "/", user = fParent.string() + "/";
  bool named = false;
  for (std::size_t at; (at = message.find(work)) != std::string::npos; named = true) {
    message.replace(at, work.size(), user);
  }
  if (named) throw EArchiver(message);
}

mode_t TWorkFolder::NewFileMode() const {
  const std::string probe = ".mode-" + RandomSuffix();
  const int fd = ::openat(fFolder, probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) ThrowFolderError(fParent, errno);
  struct stat info {};
  const int got = ::fstat(fd, &info);
  const int error = errno;
  ::close(fd);
  ::unlinkat(fFolder, probe.c_str(), 0);
  if (got != 0) ThrowFolderError(fParent, error);
  return info.st_mode & 0777;
}

void PlaceFile(const fs::path& from, const fs::path& to, bool replace) {
  if (replace) {
    if (::rename(from.c_str(), to.c_str()) != 0) ThrowFileError(TFileAction::faCreate, to, errno);
    return;
  }
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return;
  int error = errno;
  if (error == EINVAL || error == ENOSYS) {
    if (LinkThenUnlink(from, to)) return;
    error = errno;
  }
  if (error == EEXIST) throw EOutputExists(to);
  ThrowFileError(TFileAction::faCreate, to, error);
}

namespace {

// Copies the open file into a new file at target, reporting progress as extraction.
void CopyInto(int from, const fs::path& source, uint64_t size, const fs::path& target,
              const TFlowProgress& progress) {
  TDescriptor to{::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600)};
  if (to.fd < 0) ThrowFileError(TFileAction::faCreate, target, errno);
  std::vector<char> buffer(1 << 20);
  uint64_t done = 0;
  for (;;) {
    const ssize_t got = ::read(from, buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) ThrowFileError(TFileAction::faRead, source, errno);
    if (got == 0) break;
    for (ssize_t put = 0; put < got;) {
      const ssize_t n = ::write(to.fd, buffer.data() + put, static_cast<std::size_t>(got - put));
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) ThrowFileError(TFileAction::faWrite, target, errno);
      put += n;
    }
    done += static_cast<uint64_t>(got);
    if (progress && !progress(TFlowStage::stExtracting, done, size)) throw ECancelled();
  }
  // Closing reports a deferred write error (a full disk on a network file system, say).
  if (::close(std::exchange(to.fd, -1)) != 0) ThrowFileError(TFileAction::faWrite, target, errno);
}

}  // namespace

fs::path KeepCurrentVersion(const fs::path& file, const TWorkFolder& work, const std::string& name,
                            const TFlowProgress& progress) {
  // What is checked is what is kept.
  struct stat opened {};
  const TDescriptor from{OpenRegularFile(file, &opened)};

  const fs::path target = work / name;
  // Linking the open descriptor links exactly the file checked, even if the name changed since.
  const std::string self = "/proc/self/fd/" + std::to_string(from.fd);
  if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, target.c_str(), AT_SYMLINK_FOLLOW) == 0) {
    struct stat linked {};
    if (::lstat(target.c_str(), &linked) == 0 && linked.st_dev == opened.st_dev &&
        linked.st_ino == opened.st_ino) {
      return target;
    }
    ::unlink(target.c_str());
  }
  CopyInto(from.fd, file, static_cast<uint64_t>(opened.st_size), target, progress);
  return target;
}

void EncryptFileInto(const fs::path& source, const fs::path& destination, const std::string& keyText,
                     const TStreamProgress& progress, const TPayloadHook& payload) {
  try {
    EncryptFilePipelined(source, destination, keyText, {.progress = progress, .payload = payload});
  } catch (const ESourceChanged&) {
    throw ESourceChanged("ファイル \"" + source.string() +
                         "\" は読み込むうちに大きさが変わりました。書き込み中のファイルか、大きさの分からない"
                         "特殊なファイルです。");
  }
}

void DecryptFileInPlace(const fs::path& file, const std::string& keyText, const TStreamProgress& progress,
                        const TPayloadHook& payload) {
  fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
  DecryptFileInPlacePipelined(file, keyText, {.progress = progress, .payload = payload});
}

void DecryptStreamInto(TStream& source, const fs::path& destination, const std::string& keyText,
                       const TStreamProgress& progress, const TPayloadHook& payload) {
  DecryptStreamPipelined(source, destination, keyText, {.progress = progress, .payload = payload});
}

namespace {

// Writes all of data to fd; the error number of a failure, else 0.
int WriteAll(int fd, const std::string& data) {
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t put = ::write(fd, data.data() + done, data.size() - done);
    if (put < 0 && errno != EINTR) return errno;
    if (put > 0) done += static_cast<std::size_t>(put);
  }
  return 0;
}

}  // namespace

void WriteWorkFile(const fs::path& path, const std::string& data, bool flush) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) ThrowFileError(TFileAction::faCreate, path, errno);
  int error = WriteAll(fd, data);
  if (error == 0 && flush && ::fsync(fd) != 0) error = errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error != 0) ThrowFileError(TFileAction::faWrite, path, error);
}

void WriteFileAtomically(const fs::path& path, const std::string& data) {
  // "." + name + "." + 8 letters, the name shortened so the whole fits the file system's limit.
  const fs::path folder = path.parent_path();
  const std::size_t room = MaxNameLength(folder.empty() ? fs::path(".") : folder) - 10;
  const fs::path temporary =
      folder / ("." + NameStart(path.filename().string(), room) + "." + RandomSuffix());
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) ThrowFileError(TFileAction::faCreate, path, errno);
  int error = WriteAll(fd, data);
  if (error == 0 && ::fsync(fd) != 0) error = errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && ::rename(temporary.c_str(), path.c_str()) != 0) error = errno;
  if (error != 0) {
    ::unlink(temporary.c_str());
    ThrowFileError(TFileAction::faWrite, path, error);
  }
}

}  // namespace corvane
