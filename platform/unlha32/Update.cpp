#include <fcntl.h>
#include <glob.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <map>
#include <vector>

#include "platform/unlha32/Crc16.h"
#include "platform/unlha32/FileWriter.h"
#include "platform/unlha32/LhaArchive.h"
#include "platform/unlha32/LhaEncoder.h"
#include "platform/unlha32/LhaMethod.h"
#include "platform/unlha32/MemberName.h"
#include "platform/unlha32/Operations.h"
#include "platform/unlha32/Progress.h"
#include "platform/unlha32/StoredCopy.h"
#include "platform/unlha32/TempFile.h"
#include "platform/unlha32/unlha32.h"

namespace corvane::lha {
namespace {

namespace fs = std::filesystem;

constexpr size_t kSampleSize = 64 * 1024;
constexpr size_t kCopyChunk = 1 << 20;
constexpr size_t kStoreChunk = 256 * 1024;
// A sample that does not shrink below this share of its size is not worth compressing.
constexpr double kWorthCompressing = 0.95;

struct TInput {
  std::string diskPath;
  std::string name;  // as stored
  bool directory = false;
};

bool Excluded(const TCommand& c, const std::string& name) {
  return std::any_of(c.excludes.begin(), c.excludes.end(),
                     [&](const std::string& pattern) { return NamesMember(pattern, name); });
}

bool HasWildcard(const std::string& s) {
  return s.find_first_of("*?") != std::string::npos;
}

// Adds what lies below the folder `disk`. A folder that cannot be read fails the command, as a missing
// file does, instead of leaving its files out unnoticed.
int AddTree(const TCommand& c, const std::string& given, const std::string& disk, bool bare,
            std::vector<TInput>& inputs, std::string& report) {
  std::error_code ec;
  std::vector<fs::path> children;
  for (fs::directory_iterator it(disk, ec), end; !ec && it != end; it.increment(ec))
    children.push_back(it->path().filename());
  if (ec) {
    report = "cannot read folder: " + given;
    return UNLHA_ERROR_FILE_OPEN;
  }
  std::sort(children.begin(), children.end());
  for (const auto& child : children) {
    const std::string childGiven = given + "/" + child.string();
    const std::string childDisk = disk + "/" + child.string();
    struct stat st {};
    if (::stat(childDisk.c_str(), &st) != 0) continue;
    const std::string name = StoredName(childGiven, bare);
    if (Excluded(c, name)) continue;
    if (S_ISDIR(st.st_mode)) {
      // A link to a folder is not followed: one that points back up the tree would store it again and
      // again below itself.
      struct stat link {};
      if (::lstat(childDisk.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) continue;
      if (!bare) inputs.push_back({childDisk, name, true});
      if (const int status = AddTree(c, childGiven, childDisk, bare, inputs, report)) return status;
    } else if (S_ISREG(st.st_mode)) {
      inputs.push_back({childDisk, name, false});
    }
  }
  return 0;
}

// The files named by the command, each with the name it gets in the archive.
int CollectInputs(const TCommand& c, std::vector<TInput>& inputs, std::string& report) {
  const bool bare = c.pathMode == 0;
  for (const auto& file : c.files) {
    std::vector<std::string> givens;
    bool matched = false;  // the givens came from a wildcard: those that are no regular files are skipped
    const std::string disk0 = file[0] == '/' ? file : c.baseDir + file;
    struct stat st {};
    if (::stat(disk0.c_str(), &st) != 0 && HasWildcard(file)) {
      glob_t g{};
      if (::glob(disk0.c_str(), 0, nullptr, &g) == 0)
        for (size_t k = 0; k < g.gl_pathc; ++k) {
          std::string match = g.gl_pathv[k];
          givens.push_back(file[0] == '/' ? match : match.substr(c.baseDir.size()));
        }
      ::globfree(&g);
      matched = true;
      if (givens.empty()) {
        report = "no file matches: " + file;
        return UNLHA_ERROR_NOT_FOUND;
      }
    } else {
      givens.push_back(file);
    }
    for (const auto& given : givens) {
      const std::string disk = given[0] == '/' ? given : c.baseDir + given;
      const bool found = ::stat(disk.c_str(), &st) == 0;
      // Only regular files are packed: opening a FIFO would wait for a writer forever, and a socket, a
      // device or a link that leads nowhere has no content to pack. A file named as such must not be
      // missing from the archive unnoticed; one a wildcard found is left out.
      if (matched && (!found || !(S_ISREG(st.st_mode) || S_ISDIR(st.st_mode)))) continue;
      if (!found) {
        report = "cannot open: " + given;
        return UNLHA_ERROR_FILE_OPEN;
      }
      if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) {
        report = "not a regular file: " + given;
        return UNLHA_ERROR_FILE_OPEN;
      }
      const std::string name = StoredName(given, bare);
      // A folder without a name of its own ("." or "/") contributes only what lies below it.
      if (name.empty() && !S_ISDIR(st.st_mode)) {
        report = "no name to store for: " + given;
        return UNLHA_ERROR_COMMAND;
      }
      if (!name.empty() && Excluded(c, name)) continue;
      if (S_ISDIR(st.st_mode)) {
        if (!bare && !name.empty()) inputs.push_back({disk, name, true});
        if (c.recurse)
          if (const int status = AddTree(c, given, disk, bare, inputs, report)) return status;
      } else {
        inputs.push_back({disk, name, false});
      }
    }
  }
  return 0;
}

// Reads the whole file in chunks of `chunk` bytes, keeping its CRC and size and reporting progress; each
// chunk is handed to `sink` (which returns a status) before the next is read.
template <typename Sink>
int PumpFile(int fd, size_t chunk, TProgress& progress, Sink sink, uint16_t& crc, uint64_t& total) {
  std::vector<uint8_t> buffer(chunk);
  crc = 0;
  total = 0;
  for (;;) {
    size_t got = 0;
    if (const int status = ReadChunk(fd, buffer.data(), buffer.size(), got)) return status;
    if (got == 0) return 0;
    crc = Crc16(crc, buffer.data(), got);
    if (const int status = sink(buffer.data(), got)) return status;
    total += got;
    if (const int status = progress.Advance(total)) return status;
  }
}

// Stores the file as it is, at copy speed: a large file with the reading and its CRC on a second thread
// beside the writing, a small one in one pass through a buffer small enough to stay in the processor's
// cache between the CRC and the write; the archive's blocks for it are reserved in one step first. (An
// in-kernel copy_file_range, with the CRC from a second read, was slower here: on ext4 it copies page by
// page through a pipe; a mapped read was slower still, as every page of the mapping faults.)
int StoreData(int fd, TFileWriter& out, TProgress& progress, TMember& m) {
  ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  struct stat st {};
  if (::fstat(fd, &st) == 0) out.Reserve(static_cast<uint64_t>(st.st_size));
  uint16_t crc = 0;
  uint64_t total = 0;
  int status = StoreOnTwoThreads(fd, out, progress, crc, total);
  if (status == kOnOneThread) {
    const auto write = [&out](const uint8_t* data, size_t size) { return out.Write(data, size); };
    status = PumpFile(fd, kStoreChunk, progress, write, crc, total);
  }
  if (!status) status = out.TrimReserve();
  if (status) return status;
  m.method = "-lh0-";
  m.crc = crc;
  m.originalSize = m.compressedSize = total;
  return 0;
}

int CompressData(int fd, const TMethod& method, TFileWriter& out, TProgress& progress, TMember& m) {
  const uint64_t start = out.Position();
  TLzhEncoder encoder(method, out);
  uint16_t crc = 0;
  uint64_t total = 0;
  const auto encode = [&encoder](const uint8_t* data, size_t size) { return encoder.Write(data, size); };
  if (const int status = PumpFile(fd, kCopyChunk, progress, encode, crc, total)) return status;
  if (const int status = encoder.Finish()) return status;
  m.method = method.name;
  m.crc = crc;
  m.originalSize = total;
  m.compressedSize = out.Position() - start;
  return 0;
}

// Compresses a sample of the file's start; true when it shrinks enough to be worth the whole effort.
bool SampleCompresses(int fd, const TMethod& method) {
  std::vector<uint8_t> sample(kSampleSize);
  const ssize_t n = ::pread(fd, sample.data(), sample.size(), 0);
  if (n <= 0) return false;
  TCountingSink counter;
  TLzhEncoder encoder(method, counter);
  encoder.Write(sample.data(), static_cast<size_t>(n));
  encoder.Finish();
  return static_cast<double>(counter.bytes) < static_cast<double>(n) * kWorthCompressing;
}

int PackFile(const TInput& in, const std::string& methodName, TFileWriter& out, TProgress& progress) {
  struct stat st {};
  TMember m;
  m.name = in.name;
  // Non-blocking, so that a file replaced by a FIFO since it was chosen cannot hold the open; it is then
  // refused as no regular file.
  const int fd = in.directory ? -1 : ::open(in.diskPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if ((!in.directory && fd < 0) || ::stat(in.diskPath.c_str(), &st) != 0 ||
      (fd >= 0 && (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)))) {
    if (fd >= 0) ::close(fd);
    return UNLHA_ERROR_FILE_OPEN;
  }
  m.unixTime = static_cast<int64_t>(st.st_mtime);
  m.hasMode = true;
  m.mode = static_cast<uint16_t>(st.st_mode & 0177777);
  m.originalSize = in.directory ? 0 : static_cast<uint64_t>(st.st_size);
  m.method = in.directory ? "-lhd-" : methodName;
  int status = progress.Begin(m, in.diskPath);
  const uint64_t headerAt = out.Position();
  const std::string placeholder = BuildLevel2Header(m);
  if (!status) status = out.Write(placeholder);
  if (!status && !in.directory) {
    const TMethod* method = FindMethod(methodName);
    const bool compress =
        method && method->dictionaryBits > 0 && st.st_size > 0 && SampleCompresses(fd, *method);
    if (compress) {
      status = CompressData(fd, *method, out, progress, m);
      // Data that grew after all is stored instead.
      if (!status && m.compressedSize >= m.originalSize) {
        status = out.Truncate(headerAt + placeholder.size());
        if (!status && ::lseek(fd, 0, SEEK_SET) != 0) status = UNLHA_ERROR_FILE_OPEN;
        if (!status) status = StoreData(fd, out, progress, m);
      }
    } else {
      status = StoreData(fd, out, progress, m);
    }
  }
  if (fd >= 0) ::close(fd);
  if (status) return status;
  const std::string header = BuildLevel2Header(m);
  if (header.size() != placeholder.size()) return UNLHA_ERROR_WRITE;  // size crossed 4 GiB while reading
  return out.WriteAt(headerAt, header);
}

int CopyMember(const TByteSource& source, const TMember& m, TFileWriter& out) {
  std::vector<uint8_t> buffer(kCopyChunk);
  uint64_t offset = m.headerOffset;
  while (offset < m.DataEnd()) {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(buffer.size(), m.DataEnd() - offset));
    if (!source.ReadAt(offset, buffer.data(), n)) return UNLHA_ERROR_FILE_OPEN;
    if (const int status = out.Write(buffer.data(), n)) return status;
    offset += n;
  }
  return 0;
}

struct TPlanItem {
  const TMember* existing = nullptr;  // copied as it is
  const TInput* input = nullptr;      // packed from disk
};

// Writes the planned members to a new file beside the archive and renames it over the archive.
int WriteArchive(const std::string& archive, const TByteSource* old, const std::vector<TPlanItem>& plan,
                 const std::string& method, TProgress& progress) {
  TTempFile temp;
  if (!temp.Create(archive))
    return WriteFailure(temp.Error()) == UNLHA_ERROR_DISK_FULL ? UNLHA_ERROR_DISK_FULL
                                                               : UNLHA_ERROR_FILE_OPEN;
  struct stat st {};
  if (::stat(archive.c_str(), &st) == 0) ::fchmod(temp.Fd(), st.st_mode & 07777);
  TFileWriter out(temp.Fd());
  for (const auto& item : plan) {
    const int status =
        item.existing ? CopyMember(*old, *item.existing, out) : PackFile(*item.input, method, out, progress);
    if (status) return status;
  }
  const uint8_t end = 0;
  if (const int status = out.Write(&end, 1)) return status;
  if (const int status = out.Flush()) return status;
  return temp.Commit(archive) ? 0 : WriteFailure(temp.Error());
}

// Opens the archive if it exists. A missing file gives an empty member list; a file that is not an
// archive is an error, so an unrelated file is never replaced.
int OpenExisting(const std::string& archive, TFileSource& source, std::vector<TMember>& members,
                 bool& exists) {
  struct stat st {};
  exists = ::stat(archive.c_str(), &st) == 0;
  if (!exists) return 0;
  if (!source.Open(archive)) return UNLHA_ERROR_FILE_OPEN;
  if (source.Size() == 0) return 0;
  return ScanArchive(source, members);
}

}  // namespace

int UpdateArchive(const TCommand& c, std::string& report) {
  if (!FindMethod(c.method)) return UNLHA_ERROR_COMMAND;
  std::vector<TInput> inputs;
  if (const int status = CollectInputs(c, inputs, report)) return status;
  if (inputs.empty()) {
    report = "no files to add";
    return UNLHA_ERROR_NOT_FOUND;
  }
  // A stored name must say what it is: one whose bytes are not UTF-8 could be read back as nothing.
  for (const auto& in : inputs) {
    if (!IsValidUtf8(in.name)) {
      report = "file name is not UTF-8: " + ReplaceInvalidUtf8(in.name);
      return UNLHA_ERROR_BAD_NAME;
    }
  }
  TFileSource source;
  std::vector<TMember> members;
  bool exists = false;
  if (const int status = OpenExisting(c.archive, source, members, exists)) {
    report = "not an LHA archive: " + c.archive;
    return status;
  }
  if (c.letter == 'f' && !exists) {
    report = "cannot open: " + c.archive;
    return UNLHA_ERROR_FILE_OPEN;
  }

  std::vector<TPlanItem> plan;
  std::map<std::string, size_t> planIndex;
  for (const auto& m : members) {
    // A member whose name does not decode is kept as it is; no file replaces it by its shown name.
    if (m.nameDecoded) planIndex.emplace(m.name, plan.size());
    plan.push_back({&m, nullptr});
  }
  size_t added = 0, replaced = 0;
  for (const auto& in : inputs) {
    const auto found = planIndex.find(in.name);
    if (found == planIndex.end()) {
      if (c.letter == 'f') continue;
      planIndex.emplace(in.name, plan.size());
      plan.push_back({nullptr, &in});
      ++added;
      continue;
    }
    TPlanItem& item = plan[found->second];
    if (!item.existing) continue;  // the same name given twice: the first one wins
    struct stat st {};
    // Only a file older than its member keeps the member: time stamps have whole seconds (two for
    // MS-DOS ones), and a file rewritten within the same second, often with the same size, must not
    // leave its old content in the archive.
    const bool notOlder = ::stat(in.diskPath.c_str(), &st) == 0 && st.st_mtime >= item.existing->unixTime;
    if (c.letter == 'a' || notOlder) {
      item = {nullptr, &in};
      ++replaced;
    }
  }
  if (added == 0 && replaced == 0 && exists) {
    report = "nothing to update in " + c.archive;
    return 0;
  }
  TProgress progress;
  if (const int status = progress.Open(c.archive)) return status;
  const int status = WriteArchive(c.archive, exists ? &source : nullptr, plan, c.method, progress);
  progress.End();
  if (status) {
    report = status == UNLHA_ERROR_CANCELLED ? "cancelled; archive unchanged" : "failed; archive unchanged";
    return status;
  }
  report = std::to_string(added) + " added, " + std::to_string(replaced) + " replaced in " + c.archive;
  return 0;
}

int DeleteMembers(const TCommand& c, std::string& report) {
  if (c.files.empty()) {
    report = "no names to delete";
    return UNLHA_ERROR_COMMAND;
  }
  TFileSource source;
  std::vector<TMember> members;
  bool exists = false;
  if (const int status = OpenExisting(c.archive, source, members, exists)) return status;
  if (!exists) return UNLHA_ERROR_FILE_OPEN;
  std::vector<TPlanItem> plan;
  size_t removed = 0;
  for (const auto& m : members) {
    const bool match = std::any_of(c.files.begin(), c.files.end(),
                                   [&](const std::string& p) { return NamesMember(p, m.name); });
    if (match) {
      ++removed;
    } else {
      plan.push_back({&m, nullptr});
    }
  }
  if (removed == 0) {
    report = "no member matches";
    return UNLHA_ERROR_NOT_FOUND;
  }
  TProgress progress;
  if (const int status = progress.Open(c.archive)) return status;
  const int status = WriteArchive(c.archive, &source, plan, c.method, progress);
  progress.End();
  if (status) return status;
  report = std::to_string(removed) + " deleted from " + c.archive;
  return 0;
}

}  // namespace corvane::lha
