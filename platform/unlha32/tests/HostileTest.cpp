// Hostile archives and hostile surroundings: codes that decode past the declared size, a disk that fills
// up, links and repeated names among the members, files that are no regular files, names at the length
// limit. Each archive is built here, member by member, to show exactly what the library must refuse.
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/unlha32/Crc16.h"
#include "platform/unlha32/FileWriter.h"
#include "platform/unlha32/LhaArchive.h"
#include "platform/unlha32/LhaHeader.h"
#include "platform/unlha32/tests/FileSizeLimit.h"
#include "platform/unlha32/tests/TestSupport.h"
#include "platform/unlha32/unlha32.h"

namespace corvane::lha::test {
namespace {

using Names = std::vector<std::string>;

// The data of a file as the library packs it with -lh5-.
std::string Compressed(const std::string& file) {
  std::string packed;
  TFileSource source;
  std::vector<TMember> members;
  if (Lha("a -lh5- \"packed.lzh\" \"" + file + "\"") != 0 || !source.Open("packed.lzh") ||
      ScanArchive(source, members) != 0 || members.size() != 1)
    return packed;
  packed.resize(members[0].compressedSize);
  if (!source.ReadAt(members[0].dataOffset, reinterpret_cast<uint8_t*>(packed.data()), packed.size()))
    packed.clear();
  fs::remove("packed.lzh");
  return packed;
}

uint16_t CrcOf(const std::string& data) {
  return Crc16(0, reinterpret_cast<const uint8_t*>(data.data()), data.size());
}

// A member header saying what `m` says (a hostile archive chooses its sizes and CRC freely), followed by
// `packed` as the member's data.
std::string Member(TMember m, const std::string& packed) {
  m.compressedSize = packed.size();
  m.unixTime = 1700000000;
  return BuildLevel2Header(m) + packed;
}

TMember Stored(const std::string& name, const std::string& data, uint16_t mode = 0100644) {
  TMember m;
  m.name = name;
  m.method = "-lh0-";
  m.originalSize = data.size();
  m.crc = CrcOf(data);
  m.hasMode = true;
  m.mode = mode;
  return m;
}

// Every entry of a folder, sorted; none when it does not exist.
Names Entries(const fs::path& dir) {
  Names names;
  std::error_code ec;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec))
    names.push_back(it->path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

Names Members(const std::string& archive) {
  Names names;
  void* h = UnlhaOpenArchive(nullptr, archive.c_str(), 0);
  if (!h) return names;
  TArchiveEntry e{};
  for (int s = UnlhaFindFirst(h, "*", &e); s == 0; s = UnlhaFindNext(h, &e)) names.push_back(e.szFileName);
  UnlhaCloseArchive(h);
  return names;
}

bool ValidUtf8(const std::string& s) {
  for (size_t i = 0; i < s.size();) {
    const auto lead = static_cast<unsigned char>(s[i]);
    const size_t length = lead < 0x80         ? 1
                          : (lead >> 5) == 6  ? 2
                          : (lead >> 4) == 14 ? 3
                          : (lead >> 3) == 30 ? 4
                                              : 0;
    if (length == 0 || i + length > s.size()) return false;
    for (size_t k = 1; k < length; ++k)
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    i += length;
  }
  return true;
}

class LhaHostile : public TScratch {};

// An encoder never copies past the end of its input, so codes that would produce more than the header
// declares are damaged data. Cutting them off at the declared size (with a CRC made to match the cut)
// would pass a forged member off as intact.
TEST_F(LhaHostile, CodesThatDecodePastTheDeclaredSizeAreDamagedData) {
  const std::string text = MakeText(100000);
  WriteFile("text.txt", text);
  const std::string packed = Compressed("text.txt");
  ASSERT_FALSE(packed.empty());
  struct {
    size_t declared;
    int status;
  } cases[] = {{1, UNLHA_ERROR_BROKEN_DATA},
               {60000, UNLHA_ERROR_BROKEN_DATA},
               {text.size() - 1, UNLHA_ERROR_BROKEN_DATA},
               {text.size(), 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.declared);
    TMember m;
    m.name = "short.txt";
    m.method = "-lh5-";
    m.originalSize = c.declared;
    m.crc = CrcOf(text.substr(0, c.declared));
    WriteFile("lie.lzh", Member(m, packed) + std::string(1, '\0'));
    fs::remove_all("out");
    std::string report;
    EXPECT_EQ(Lha("e \"lie.lzh\" out/", &report), c.status) << report;
    EXPECT_EQ(Entries("out"), c.status ? Names{} : Names{"short.txt"});
    EXPECT_EQ(Lha("t \"lie.lzh\""), c.status);
    std::vector<char> buffer(text.size());
    uint32_t written = 1;
    EXPECT_EQ(UnlhaExtractMem(nullptr, "\"lie.lzh\"", buffer.data(), static_cast<uint32_t>(buffer.size()),
                              nullptr, nullptr, &written),
              c.status);
    EXPECT_EQ(written, c.status ? 0u : c.declared);
  }
}

// A few KiB that declare megabytes: extraction writes only up to the space the caller allows (here the
// file-size limit), then stops at once, removes the partial file and writes no later member.
TEST_F(LhaHostile, ABombStopsAtTheEndOfTheAllowedSpaceAndLeavesNothing) {
  WriteFile("bomb", std::string(8 << 20, '\0'));
  WriteFile("after.txt", "after");
  ASSERT_EQ(Lha("a -lh5- \"bomb.lzh\" bomb after.txt"), 0);
  ASSERT_LT(fs::file_size("bomb.lzh"), 64u * 1024);
  int status = 0;
  std::string report;
  {
    TFileSizeLimit limit(1 << 20);
    if (!limit.Active()) GTEST_SKIP() << "the file-size limit cannot be lowered here";
    status = Lha("x \"bomb.lzh\" out/", &report);
  }
  EXPECT_EQ(status, UNLHA_ERROR_DISK_FULL) << report;
  EXPECT_EQ(Entries("out"), Names{});
}

TEST_F(LhaHostile, PackingOntoAFullDiskLeavesTheArchiveAsItWas) {
  WriteFile("small.txt", "small");
  ASSERT_EQ(Lha("a \"keep.lzh\" small.txt"), 0);
  const std::string before = ReadFile("keep.lzh");
  WriteFile("noise.bin", MakeNoise(3 << 20));
  int intoExisting = 0, intoNew = 0;
  {
    TFileSizeLimit limit(1 << 20);
    if (!limit.Active()) GTEST_SKIP() << "the file-size limit cannot be lowered here";
    intoExisting = Lha("a \"keep.lzh\" noise.bin");
    intoNew = Lha("a \"new.lzh\" small.txt noise.bin");
  }
  EXPECT_EQ(intoExisting, UNLHA_ERROR_DISK_FULL);
  EXPECT_EQ(intoNew, UNLHA_ERROR_DISK_FULL);
  EXPECT_EQ(ReadFile("keep.lzh"), before);
  EXPECT_EQ(Entries("."), (Names{"keep.lzh", "noise.bin", "small.txt"}));
}

// A full file system (ENOSPC, which /dev/full gives on every write) is told apart from other failures.
TEST(LhaFileWriter, NoRoomIsADiskFullAndOtherFailuresAWriteError) {
  struct {
    const char* device;
    int flags;
    int status;
  } cases[] = {{"/dev/full", O_WRONLY, UNLHA_ERROR_DISK_FULL}, {"/dev/null", O_RDONLY, UNLHA_ERROR_WRITE}};
  const std::string large(1 << 20, 'x');  // more than the buffer holds: written at once
  for (const auto& c : cases) {
    SCOPED_TRACE(c.device);
    const int fd = ::open(c.device, c.flags | O_CLOEXEC);
    if (fd < 0) GTEST_SKIP() << c.device << " cannot be opened here";
    TFileWriter direct(fd), buffered(fd), at(fd);
    EXPECT_EQ(direct.Write(large), c.status);
    EXPECT_EQ(buffered.Write("x"), 0);
    EXPECT_EQ(buffered.Flush(), c.status);
    EXPECT_EQ(at.WriteAt(0, "x"), c.status);
    ::close(fd);
  }
  EXPECT_EQ(WriteFailure(EDQUOT), UNLHA_ERROR_DISK_FULL);
  EXPECT_EQ(WriteFailure(EFBIG), UNLHA_ERROR_DISK_FULL);
  EXPECT_EQ(WriteFailure(EACCES), UNLHA_ERROR_WRITE);
}

// Nothing is overwritten unnoticed and no link is created: each such member is a nonzero status, and the
// files that could be written safely are.
TEST_F(LhaHostile, LinksAndRepeatedNamesAreRefusedWithoutOverwriting) {
  struct Case {
    const char* what;
    std::vector<TMember> members;
    std::vector<std::string> data;
    const char* command;
    int status;
    std::vector<std::pair<std::string, std::string>> files;  // what the target folder holds afterwards
  };
  const Case cases[] = {
      {"one bare name under -x0",
       {Stored("a/x.txt", "first"), Stored("b/x.txt", "second")},
       {"first", "second"},
       "x -x0",
       UNLHA_ERROR_UNSAFE_NAME,
       {{"x.txt", "first"}}},
      {"one bare name with e",
       {Stored("a/x.txt", "first"), Stored("b/x.txt", "second")},
       {"first", "second"},
       "e",
       UNLHA_ERROR_UNSAFE_NAME,
       {{"x.txt", "first"}}},
      {"paths keep them apart",
       {Stored("a/x.txt", "first"), Stored("b/x.txt", "second")},
       {"first", "second"},
       "x -x1",
       0,
       {{"a", ""}, {"b", ""}}},
      {"one name twice",
       {Stored("x.txt", "first"), Stored("x.txt", "second")},
       {"first", "second"},
       "x",
       UNLHA_ERROR_UNSAFE_NAME,
       {{"x.txt", "first"}}},
      {"a symbolic link",
       {Stored("link", "", 0120777), Stored("file.txt", "f")},
       {"", "f"},
       "x",
       UNLHA_ERROR_UNSAFE_NAME,
       {{"file.txt", "f"}}},
  };
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::string archive;
    for (size_t k = 0; k < c.members.size(); ++k) archive += Member(c.members[k], c.data[k]);
    const std::string name = "case" + std::to_string(++n);
    WriteFile(name + ".lzh", archive + std::string(1, '\0'));
    std::string report;
    EXPECT_EQ(Lha(std::string(c.command) + " \"" + name + ".lzh\" " + name + "/", &report), c.status)
        << report;
    Names expected;
    for (const auto& [file, content] : c.files) {
      expected.push_back(file);
      if (fs::is_regular_file(name + "/" + file)) {
        EXPECT_EQ(ReadFile(name + "/" + file), content) << file;
      }
    }
    EXPECT_EQ(Entries(name), expected);
  }
  EXPECT_EQ(ReadFile("case3/b/x.txt"), "second");
}

// Packing takes regular files (and links to them) only. A FIFO would hold the open until some writer came
// along; a socket, a device or a link that leads nowhere has nothing to pack. Named, such a file fails the
// command before anything is written; found by a wildcard or in a folder, it is left out.
TEST_F(LhaHostile, PackingTakesRegularFilesOnly) {
  fs::create_directories("in");
  WriteFile("in/a.txt", "a");
  ASSERT_EQ(::mkfifo("in/fifo", 0600), 0);
  ASSERT_EQ(::symlink("nowhere", "in/gone"), 0);
  ASSERT_EQ(::symlink("a.txt", "in/alias"), 0);
  const int sock = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  ASSERT_GE(sock, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strcpy(address.sun_path, "in/sock");
  ASSERT_EQ(::bind(sock, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  // Should the library still open the FIFO, this writer lets the open return: the test then fails on the
  // members instead of hanging.
  std::thread writer([] {
    const int fd = ::open("in/fifo", O_WRONLY | O_CLOEXEC);
    if (fd >= 0) ::close(fd);
  });

  struct {
    const char* archive;
    const char* names;
    int status;
    Names members;
  } cases[] = {
      {"tree.lzh", "-r -x1 \"tree.lzh\" in", 0, {"in", "in/a.txt", "in/alias"}},
      {"glob.lzh", "-x1 \"glob.lzh\" in/*", 0, {"in/a.txt", "in/alias"}},
      {"fifo.lzh", "\"fifo.lzh\" in/fifo", UNLHA_ERROR_FILE_OPEN, {}},
      {"sock.lzh", "\"sock.lzh\" in/sock", UNLHA_ERROR_FILE_OPEN, {}},
      {"gone.lzh", "\"gone.lzh\" in/gone", UNLHA_ERROR_FILE_OPEN, {}},
  };
  for (const auto& c : cases) {
    std::string report;
    EXPECT_EQ(Lha(std::string("a ") + c.names, &report), c.status) << c.names << ": " << report;
    EXPECT_EQ(Members(c.archive), c.members) << c.names;
    EXPECT_EQ(fs::exists(c.archive), c.status == 0) << c.names;
  }

  const int reader = ::open("in/fifo", O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  writer.join();
  ::close(reader);
  ::close(sock);
}

struct TTemporaries {
  TUnlhaOwnerWindow window;
  Names names;
};

// Notes the temporary files in the current folder while a member is being packed.
int NoteTemporaries(void* owner, uint32_t state, TUnlhaProgress*) {
  auto* seen = static_cast<TTemporaries*>(static_cast<TUnlhaOwnerWindow*>(owner)->userData);
  if (state != UNLHA_STATE_BEGIN) return 0;
  for (const auto& name : Entries("."))
    if (name.size() > 4 && name[0] == '.' && name.ends_with(".tmp")) seen->names.push_back(name);
  return 0;
}

// A name the file system takes gets a temporary name it takes too: within NAME_MAX, and cut only between
// whole characters (a cut inside a UTF-8 sequence is refused by file systems that check their names).
TEST_F(LhaHostile, TemporaryNamesFitWhereverTheFinalNameFits) {
  std::string stem;
  for (int i = 0; i < 83; ++i) stem += "あ";
  const std::string archive = stem + ".lzh";  // 253 bytes
  WriteFile("a.txt", "a");
  TTemporaries seen;
  seen.window = {NoteTemporaries, &seen};
  ASSERT_NE(UnlhaSetOwnerWindowEx(&seen.window, nullptr), 0);
  const int status = Lha("a \"" + archive + "\" a.txt");
  UnlhaKillOwnerWindowEx(&seen.window);
  ASSERT_EQ(status, 0);
  EXPECT_EQ(Members(archive), Names{"a.txt"});
  ASSERT_EQ(seen.names.size(), 1u);
  EXPECT_LE(seen.names[0].size(), 255u);
  EXPECT_TRUE(ValidUtf8(seen.names[0])) << seen.names[0];

  // A member whose name takes all 255 bytes is extracted under that name.
  const std::string longest = stem + "ああ";
  WriteFile("long.lzh", Member(Stored(longest, "long"), "long") + std::string(1, '\0'));
  ASSERT_EQ(Lha("x \"long.lzh\" out/"), 0);
  EXPECT_EQ(ReadFile("out/" + longest), "long");
  EXPECT_EQ(Entries("out"), Names{longest});
}

}  // namespace
}  // namespace corvane::lha::test
