#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <set>
#include <vector>

#include "platform/unlha32/FileWriter.h"
#include "platform/unlha32/LhaArchive.h"
#include "platform/unlha32/LhaDecoder.h"
#include "platform/unlha32/LhaMethod.h"
#include "platform/unlha32/Operations.h"
#include "platform/unlha32/Progress.h"
#include "platform/unlha32/TempFile.h"
#include "platform/unlha32/unlha32.h"

namespace corvane::lha {
namespace {

// Passes bytes on and reports progress; the owner's answer can stop the decoder.
class TProgressSink final : public TSink {
 public:
  TProgressSink(TSink* inner, TProgress& progress) : inner_(inner), progress_(progress) {}
  int Write(const uint8_t* data, size_t size) override {
    if (inner_)
      if (const int status = inner_->Write(data, size)) return status;
    done_ += size;
    return progress_.Advance(done_);
  }

 private:
  TSink* inner_;
  TProgress& progress_;
  uint64_t done_ = 0;
};

class TMemorySink final : public TSink {
 public:
  TMemorySink(uint8_t* buffer, size_t capacity) : buffer_(buffer), capacity_(capacity) {}
  int Write(const uint8_t* data, size_t size) override {
    if (size > capacity_ - used_) return UNLHA_ERROR_BUFFER;
    std::memcpy(buffer_ + used_, data, size);
    used_ += size;
    return 0;
  }
  size_t used_ = 0;

 private:
  uint8_t* buffer_;
  size_t capacity_;
};

int OpenArchiveFile(const std::string& path, TFileSource& source, std::vector<TMember>& members,
                    std::string& report) {
  if (!source.Open(path)) {
    report = "cannot open: " + path;
    return UNLHA_ERROR_FILE_OPEN;
  }
  if (const int status = ScanArchive(source, members)) {
    report = "not an LHA archive or damaged: " + path;
    return status;
  }
  return 0;
}

bool Selected(const TCommand& c, const TMember& m) {
  const auto matches = [&](const std::string& p) { return NamesMember(p, m.name); };
  if (std::any_of(c.excludes.begin(), c.excludes.end(), matches)) return false;
  return c.files.empty() || std::any_of(c.files.begin(), c.files.end(), matches);
}

// Adds a line for each name of the command that names no member: UNLHA_ERROR_NOT_FOUND when there is one,
// so that a caller who asked for a member never takes its absence for success.
int ReportMissing(const TCommand& c, const std::vector<TMember>& members, std::string& problems) {
  int status = 0;
  for (const auto& p : c.files) {
    const auto named = [&](const TMember& m) { return NamesMember(p, m.name); };
    if (std::none_of(members.begin(), members.end(), named)) {
      problems += "not found: " + p + "\n";
      status = UNLHA_ERROR_NOT_FOUND;
    }
  }
  return status;
}

bool Within(const std::string& root, const std::string& path) {
  return path == root || (path.size() > root.size() && path.compare(0, root.size(), root) == 0 &&
                          (root.back() == '/' || path[root.size()] == '/'));
}

// Creates the folders of `dirs` below `target`. An existing symbolic link is followed only when it stays
// inside the target folder.
int MakeFolders(const std::string& target, const std::string& targetReal,
                const std::vector<std::string>& dirs, std::string& path) {
  path = target;
  for (const auto& d : dirs) {
    path += "/" + d;
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
      if (::mkdir(path.c_str(), 0777) != 0 && errno != EEXIST) return WriteFailure(errno);
      continue;
    }
    if (S_ISLNK(st.st_mode)) {
      char resolved[PATH_MAX];
      if (!::realpath(path.c_str(), resolved) || !Within(targetReal, resolved))
        return UNLHA_ERROR_UNSAFE_NAME;
      if (::stat(resolved, &st) != 0 || !S_ISDIR(st.st_mode)) return UNLHA_ERROR_WRITE;
    } else if (!S_ISDIR(st.st_mode)) {
      return UNLHA_ERROR_WRITE;
    }
  }
  return 0;
}

int WriteMemberFile(const TFileSource& source, const TMember& m, const std::string& path,
                    TProgress& progress) {
  TTempFile temp;
  if (!temp.Create(path)) return WriteFailure(temp.Error());
  TFileWriter out(temp.Fd());
  // A stored member's size is backed by bytes in the archive; a compressed one's is only claimed.
  if (m.method == "-lh0-") out.Reserve(m.originalSize);
  TProgressSink sink(&out, progress);
  if (const int status = DecodeMember(source, m, sink)) return status;
  if (const int status = out.TrimReserve()) return status;
  if (m.hasMode) ::fchmod(temp.Fd(), m.mode & 0777);
  const struct timespec times[2] = {{static_cast<time_t>(m.unixTime), 0},
                                    {static_cast<time_t>(m.unixTime), 0}};
  ::futimens(temp.Fd(), times);
  return temp.Commit(path) ? 0 : WriteFailure(temp.Error());
}

const char* Describe(int status) {
  switch (status) {
    case UNLHA_ERROR_CRC:
      return "CRC error";
    case UNLHA_ERROR_UNSAFE_NAME:
      return "unsafe name refused";
    case UNLHA_ERROR_BAD_NAME:
      return "name in an unknown encoding refused";
    case UNLHA_ERROR_METHOD:
      return "unsupported method";
    case UNLHA_ERROR_BROKEN_DATA:
      return "damaged data";
    case UNLHA_ERROR_WRITE:
      return "cannot write";
    case UNLHA_ERROR_DISK_FULL:
      return "disk full";
    case UNLHA_ERROR_FILE_OPEN:
      return "cannot read";
    case UNLHA_ERROR_CANCELLED:
      return "cancelled";
    default:
      return "error";
  }
}

}  // namespace

int ExtractMembers(const TCommand& c, std::string& report) {
  TFileSource source;
  std::vector<TMember> members;
  if (const int status = OpenArchiveFile(c.archive, source, members, report)) return status;
  const bool paths = c.pathMode == -1 ? c.letter == 'x' : c.pathMode != 0;
  std::string target = c.baseDir.empty() ? std::string(".") : c.baseDir;
  while (target.size() > 1 && target.back() == '/') target.pop_back();
  if (!c.baseDir.empty()) {
    std::error_code ec;
    std::filesystem::create_directories(target, ec);
  }
  char real[PATH_MAX];
  if (!::realpath(target.c_str(), real)) {
    report = "cannot open folder: " + target;
    return UNLHA_ERROR_FILE_OPEN;
  }
  TProgress progress;
  if (const int status = progress.Open(c.archive)) return status;
  int first = 0;
  size_t done = 0;
  std::string problems;
  // The files this command has written, relative to the target: a later member with the same name (two
  // members with one bare name under -x0) would replace one of them unnoticed.
  std::set<std::string> written;
  for (const auto& m : members) {
    if (!Selected(c, m)) continue;
    int status = 0;
    std::string path, problem;
    if (m.IsSymlink()) {
      // A link could lead anywhere, and a later member written through it with it.
      status = UNLHA_ERROR_UNSAFE_NAME;
      problem = "symbolic link not created";
    } else if (!m.nameDecoded) {
      status = UNLHA_ERROR_BAD_NAME;  // never written under a guessed name
    } else if (!IsSafeMemberName(m.name)) {
      status = UNLHA_ERROR_UNSAFE_NAME;
    } else {
      std::vector<std::string> parts = Components(m.name);
      if (!paths) parts = {parts.back()};
      if (m.IsDirectory()) {
        if (paths) status = MakeFolders(target, real, parts, path);
      } else if (!written.insert(StoredName(m.name, !paths)).second) {
        status = UNLHA_ERROR_UNSAFE_NAME;
        problem = "not written over a file extracted before";
      } else {
        const std::string file = parts.back();
        parts.pop_back();
        status = MakeFolders(target, real, parts, path);
        if (!status) status = progress.Begin(m, path + "/" + file);
        if (!status) status = WriteMemberFile(source, m, path + "/" + file, progress);
      }
    }
    // Neither a cancel nor a full disk lets any later member be written.
    if (status == UNLHA_ERROR_CANCELLED || status == UNLHA_ERROR_DISK_FULL) {
      report = problems + Describe(status) + ": " + m.name;
      return status;
    }
    if (status) {
      problems += (problem.empty() ? std::string(Describe(status)) : problem) + ": " + m.name + "\n";
      if (!first) first = status;
    } else {
      ++done;
    }
  }
  progress.End();
  if (const int missing = ReportMissing(c, members, problems); !first) first = missing;
  report = problems + std::to_string(done) + " extracted from " + c.archive;
  return first;
}

int TestArchive(const TCommand& c, std::string& report) {
  TFileSource source;
  std::vector<TMember> members;
  if (const int status = OpenArchiveFile(c.archive, source, members, report)) return status;
  TProgress progress;
  if (const int status = progress.Open(c.archive)) return status;
  int first = 0;
  std::string problems;
  for (const auto& m : members) {
    if (!Selected(c, m)) continue;
    TProgressSink sink(nullptr, progress);
    int status = progress.Begin(m, std::string());
    if (!status) status = DecodeMember(source, m, sink);
    if (status == UNLHA_ERROR_CANCELLED) return status;
    if (status) {
      problems += std::string(Describe(status)) + ": " + m.name + "\n";
      if (!first) first = status;
    }
  }
  progress.End();
  if (const int missing = ReportMissing(c, members, problems); !first) first = missing;
  report = problems + (first ? "errors found in " : "no errors in ") + c.archive;
  return first;
}

int ListArchive(const TCommand& c, std::string& report) {
  TFileSource source;
  std::vector<TMember> members;
  if (const int status = OpenArchiveFile(c.archive, source, members, report)) return status;
  std::string text = "  Original    Packed  Ratio  Date       Time     Method  CRC   Name\n";
  uint64_t totalOriginal = 0, totalPacked = 0;
  size_t count = 0;
  for (const auto& m : members) {
    if (!Selected(c, m)) continue;
    char line[160];
    const time_t t = static_cast<time_t>(m.unixTime);
    struct tm tm {};
    localtime_r(&t, &tm);
    const double ratio =
        m.originalSize ? 100.0 * static_cast<double>(m.compressedSize) / static_cast<double>(m.originalSize)
                       : 100.0;
    std::snprintf(line, sizeof line, "%10llu %9llu %5.1f%%  %04d-%02d-%02d %02d:%02d:%02d %s  %04X  ",
                  static_cast<unsigned long long>(m.originalSize),
                  static_cast<unsigned long long>(m.compressedSize), ratio, tm.tm_year + 1900, tm.tm_mon + 1,
                  tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, m.method.c_str(), m.crc);
    text += line + m.name + "\n";
    totalOriginal += m.originalSize;
    totalPacked += m.compressedSize;
    ++count;
  }
  text += std::to_string(count) + " files, " + std::to_string(totalOriginal) + " bytes, " +
          std::to_string(totalPacked) + " packed\n";
  report = text;
  return 0;
}

int ExtractToMemory(const TCommand& c, uint8_t* buffer, uint32_t bufferSize, uint64_t* fileTime,
                    uint32_t* attributes, uint32_t* writeSize) {
  if (writeSize) *writeSize = 0;
  TFileSource source;
  std::vector<TMember> members;
  std::string report;
  if (const int status = OpenArchiveFile(c.archive, source, members, report)) return status;
  const TMember* chosen = nullptr;
  for (const auto& m : members) {
    if (m.IsDirectory()) continue;
    if (c.files.empty() || Selected(c, m)) {
      chosen = &m;
      break;
    }
  }
  if (!chosen) return UNLHA_ERROR_NOT_FOUND;
  if (chosen->originalSize > bufferSize || (!buffer && chosen->originalSize > 0)) return UNLHA_ERROR_BUFFER;
  TProgress progress;
  TMemorySink memory(buffer, bufferSize);
  TProgressSink sink(&memory, progress);
  if (const int status = progress.Begin(*chosen, std::string())) return status;
  const int status = DecodeMember(source, *chosen, sink);
  progress.End();
  if (status) return status;
  if (fileTime) *fileTime = chosen->hasWindowsTimes ? chosen->writeTime : UnixToFileTime(chosen->unixTime);
  if (attributes) *attributes = chosen->hasMode ? chosen->mode : 0100644u;
  if (writeSize) *writeSize = static_cast<uint32_t>(memory.used_);
  return 0;
}

int RunCommand(const TCommand& c, std::string& report) {
  switch (c.letter) {
    case 'a':
    case 'u':
    case 'f':
      return UpdateArchive(c, report);
    case 'd':
      return DeleteMembers(c, report);
    case 'x':
    case 'e':
      return ExtractMembers(c, report);
    case 't':
      return TestArchive(c, report);
    case 'l':
    case 'v':
      return ListArchive(c, report);
    default:
      report = std::string("unknown command: ") + c.letter;
      return UNLHA_ERROR_COMMAND;
  }
}

}  // namespace corvane::lha
