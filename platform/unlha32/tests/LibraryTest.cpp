// The exported interface: commands, listing handles, memory extraction, progress and the refusals.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/unlha32/Crc16.h"
#include "platform/unlha32/LhaHeader.h"
#include "platform/unlha32/tests/TestSupport.h"
#include "platform/unlha32/unlha32.h"

namespace corvane::lha::test {
namespace {

struct TListed {
  std::string name;
  uint32_t size = 0;
  std::string method;
};

std::vector<TListed> List(const std::string& archive) {
  std::vector<TListed> out;
  void* h = UnlhaOpenArchive(nullptr, archive.c_str(), 0);
  if (!h) return out;
  TArchiveEntry e{};
  for (int s = UnlhaFindFirst(h, "*.*", &e); s == 0; s = UnlhaFindNext(h, &e))
    out.push_back({e.szFileName, e.dwOriginalSize, e.szMode});
  UnlhaCloseArchive(h);
  return out;
}

std::vector<std::string> Names(const std::string& archive) {
  std::vector<std::string> names;
  for (const auto& e : List(archive)) names.push_back(e.name);
  return names;
}

// Files in the folder other than the given ones: catches left-over temporary files.
std::vector<std::string> Leftovers(const fs::path& dir, const std::vector<std::string>& expected) {
  std::vector<std::string> extra;
  for (const auto& e : fs::directory_iterator(dir)) {
    const std::string name = e.path().filename().string();
    if (std::find(expected.begin(), expected.end(), name) == expected.end()) extra.push_back(name);
  }
  return extra;
}

// An archive of stored members with any names and data, for the refusal tests.
std::string CraftArchive(const std::vector<std::pair<std::string, std::string>>& members,
                         const std::string& method = "-lh0-") {
  std::string out;
  for (const auto& [name, data] : members) {
    TMember m;
    m.name = name;
    m.method = method;
    m.compressedSize = m.originalSize = data.size();
    m.unixTime = 1700000000;
    m.crc = Crc16(0, reinterpret_cast<const uint8_t*>(data.data()), data.size());
    out += BuildLevel2Header(m) + data;
  }
  return out + std::string(1, '\0');
}

void SetMtime(const fs::path& path, time_t when) {
  const struct timespec times[2] = {{when, 0}, {when, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

class LhaLibrary : public TScratch {};

TEST_F(LhaLibrary, PackListAndExtractWithAndWithoutPaths) {
  fs::create_directories("src/sub");
  const std::string text = MakeText(300000), noise = MakeNoise(70000);
  WriteFile("src/empty", "");
  WriteFile("src/text.txt", text);
  WriteFile("src/sub/noise.bin", noise);
  WriteFile("src/日本語の名前.txt", "こんにちは");
  std::string report;
  ASSERT_EQ(Lha("a \"t.lzh\" src/ empty text.txt sub/noise.bin 日本語の名前.txt", &report), 0) << report;

  const auto listed = List("t.lzh");
  ASSERT_EQ(listed.size(), 4u);
  EXPECT_EQ(listed[0].name, "empty");
  EXPECT_EQ(listed[1].name, "text.txt");
  EXPECT_EQ(listed[1].method, "-lh5-");
  EXPECT_EQ(listed[1].size, text.size());
  EXPECT_EQ(listed[2].name, "sub/noise.bin");
  EXPECT_EQ(listed[2].method, "-lh0-");  // a sample showed it does not compress
  EXPECT_EQ(listed[3].name, "日本語の名前.txt");

  ASSERT_EQ(Lha("x \"t.lzh\" out/", &report), 0) << report;
  EXPECT_EQ(ReadFile("out/empty"), "");
  EXPECT_EQ(ReadFile("out/text.txt"), text);
  EXPECT_EQ(ReadFile("out/sub/noise.bin"), noise);
  EXPECT_EQ(ReadFile("out/日本語の名前.txt"), "こんにちは");

  ASSERT_EQ(Lha("e \"t.lzh\" flat\\", &report), 0) << report;
  EXPECT_EQ(ReadFile("flat/noise.bin"), noise);
  EXPECT_FALSE(fs::exists("flat/sub"));

  // Without a base directory: the current directory; -x0 turns x into bare names.
  fs::create_directories("here");
  fs::current_path("here");
  ASSERT_EQ(Lha("x -x0 \"../t.lzh\" noise.bin", &report), 0) << report;
  EXPECT_EQ(ReadFile("noise.bin"), noise);
  ASSERT_EQ(Lha("x \"../t.lzh\" sub/noise.bin", &report), 0) << report;
  EXPECT_EQ(ReadFile("sub/noise.bin"), noise);
  ASSERT_EQ(Lha("e \"../t.lzh\" text.txt", &report), 0) << report;
  EXPECT_EQ(ReadFile("text.txt"), text);
  EXPECT_EQ(Leftovers(".", {"noise.bin", "sub", "text.txt"}), std::vector<std::string>{});
  // A name that is not in the archive is reported; the names that are still come out.
  EXPECT_EQ(Lha("e \"../t.lzh\" empty absent.txt", &report), UNLHA_ERROR_NOT_FOUND) << report;
  EXPECT_NE(report.find("absent.txt"), std::string::npos) << report;
  EXPECT_EQ(ReadFile("empty"), "");
  EXPECT_EQ(Lha("t \"../t.lzh\" absent.txt"), UNLHA_ERROR_NOT_FOUND);
}

TEST_F(LhaLibrary, LargeIncompressibleFileIsStoredWhole) {
  // Many store chunks, and more than the first sample.
  const std::string noise = MakeNoise(9 << 20, 31);
  WriteFile("big.bin", noise);
  std::string report;
  ASSERT_EQ(Lha("a \"t.lzh\" big.bin", &report), 0) << report;
  const auto listed = List("t.lzh");
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(listed[0].method, "-lh0-");
  ASSERT_EQ(Lha("t \"t.lzh\"", &report), 0) << report;
  ASSERT_EQ(Lha("x \"t.lzh\" out/", &report), 0) << report;
  EXPECT_TRUE(ReadFile("out/big.bin") == noise);
  EXPECT_LT(fs::file_size("t.lzh"), noise.size() + 100);  // header and end mark only
}

TEST_F(LhaLibrary, FileThatGrowsDespiteItsSampleIsStored) {
  // The first 64 KiB (seven-bit noise) compress a little, so the whole file is compressed; the full-range
  // noise after it grows by more than that, so the member is written again as stored.
  std::string data = MakeNoise(64 * 1024, 41);
  for (auto& c : data) c = static_cast<char>(c & 0x7F);
  data += MakeNoise(6 << 20, 42);
  WriteFile("mixed.bin", data);
  std::string report;
  ASSERT_EQ(Lha("a \"t.lzh\" mixed.bin", &report), 0) << report;
  const auto listed = List("t.lzh");
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(listed[0].method, "-lh0-");
  EXPECT_LT(fs::file_size("t.lzh"), data.size() + 100);
  ASSERT_EQ(Lha("x \"t.lzh\" out/", &report), 0) << report;
  EXPECT_TRUE(ReadFile("out/mixed.bin") == data);
}

TEST_F(LhaLibrary, TimesAndPermissionsRoundTrip) {
  WriteFile("f.txt", "content");
  ::chmod("f.txt", 0640);
  SetMtime("f.txt", 1600000000);
  ASSERT_EQ(Lha("a \"t.lzh\" f.txt"), 0);
  void* h = UnlhaOpenArchive(nullptr, "t.lzh", 0);
  ASSERT_NE(h, nullptr);
  TArchiveEntry e{};
  ASSERT_EQ(UnlhaFindFirst(h, "*", &e), 0);
  uint64_t ft = 0, size = 0;
  ASSERT_NE(UnlhaGetWriteTimeEx(h, &ft), 0);
  EXPECT_EQ(ft, (1600000000ull + 11644473600ull) * 10000000ull);
  ASSERT_NE(UnlhaGetOriginalSizeEx(h, &size), 0);
  EXPECT_EQ(size, 7u);
  EXPECT_EQ(e.wDate, UnixToDosStamp(1600000000) >> 16);
  EXPECT_STREQ(e.szAttribute, "-0640");
  EXPECT_EQ(UnlhaFindNext(h, &e), UNLHA_NO_MORE_ENTRIES);
  EXPECT_EQ(UnlhaGetWriteTimeEx(h, &ft), 0);  // no current entry any more
  EXPECT_EQ(UnlhaCloseArchive(h), 0);
  EXPECT_EQ(UnlhaCloseArchive(h), UNLHA_ERROR_HANDLE);

  ASSERT_EQ(Lha("x \"t.lzh\" out/"), 0);
  struct stat st {};
  ASSERT_EQ(::stat("out/f.txt", &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_EQ(st.st_mtime, 1600000000);
}

TEST_F(LhaLibrary, UpdateReplacesNewerKeepsOthersAndDeleteRemoves) {
  WriteFile("a.txt", "old a");
  WriteFile("b.txt", "old b");
  SetMtime("a.txt", 1500000000);
  SetMtime("b.txt", 1500000000);
  ASSERT_EQ(Lha("u \"t.lzh\" a.txt b.txt"), 0);
  // An older file leaves the member alone; one rewritten within the same second (same size, too) and a
  // newer one replace theirs.
  WriteFile("a.txt", "older a");
  SetMtime("a.txt", 1400000000);
  WriteFile("b.txt", "new b");
  SetMtime("b.txt", 1500000000);
  WriteFile("c.txt", "c");
  ASSERT_EQ(Lha("u \"t.lzh\" a.txt b.txt c.txt"), 0);
  EXPECT_EQ(Names("t.lzh"), (std::vector<std::string>{"a.txt", "b.txt", "c.txt"}));
  ASSERT_EQ(Lha("x \"t.lzh\" out/"), 0);
  EXPECT_EQ(ReadFile("out/a.txt"), "old a");
  EXPECT_EQ(ReadFile("out/b.txt"), "new b");

  // f replaces only members that exist; a always replaces.
  WriteFile("d.txt", "d");
  ASSERT_EQ(Lha("f \"t.lzh\" d.txt"), 0);
  EXPECT_EQ(Names("t.lzh").size(), 3u);
  ASSERT_EQ(Lha("a \"t.lzh\" a.txt"), 0);
  ASSERT_EQ(Lha("e \"t.lzh\" out2/ a.txt"), 0);
  EXPECT_EQ(ReadFile("out2/a.txt"), "older a");

  ASSERT_EQ(Lha("d \"t.lzh\" b.txt"), 0);
  EXPECT_EQ(Names("t.lzh"), (std::vector<std::string>{"a.txt", "c.txt"}));
  EXPECT_EQ(Lha("d \"t.lzh\" nothing.txt"), UNLHA_ERROR_NOT_FOUND);
  EXPECT_EQ(Leftovers(".", {"a.txt", "b.txt", "c.txt", "d.txt", "t.lzh", "out", "out2"}),
            std::vector<std::string>{});
}

TEST_F(LhaLibrary, TheWizardsTwoCalls) {
  fs::create_directories("full/path");
  const std::string payload = MakeNoise(5000);
  WriteFile("STEM.RJN", "session line;\r\n");
  WriteFile("full/path/SOURCE.Enc", payload);
  const std::string source = (dir_ / "full/path/SOURCE.Enc").string();
  std::string report;
  ASSERT_EQ(Lha("u -+ -n1 -p1 -x0 -jso1  \"STEM.KVX\" \"STEM.RJN\" \"" + source + "\" ", &report), 0)
      << report;
  EXPECT_EQ(Names("STEM.KVX"), (std::vector<std::string>{"STEM.RJN", "SOURCE.Enc"}));

  fs::create_directories("elsewhere");
  fs::current_path("elsewhere");
  const std::string container = (dir_ / "STEM.KVX").string();
  ASSERT_EQ(Lha("x -+ -n1 -x0 -jse1 -jso1  \"" + container + "\" ", &report), 0) << report;
  EXPECT_EQ(ReadFile("STEM.RJN"), "session line;\r\n");
  EXPECT_EQ(ReadFile("SOURCE.Enc"), payload);
}

TEST_F(LhaLibrary, MethodSwitches) {
  const std::string text = MakeText(200000);
  WriteFile("t.txt", text);
  for (const char* method : {"-lh0-", "-lh4-", "-lh5-", "-lh6-", "-lh7-"}) {
    fs::remove("m.lzh");
    ASSERT_EQ(Lha(std::string("a ") + method + " \"m.lzh\" t.txt"), 0) << method;
    const auto listed = List("m.lzh");
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed[0].method, method);
    std::vector<char> buffer(text.size());
    uint32_t written = 0;
    ASSERT_EQ(UnlhaExtractMem(nullptr, "\"m.lzh\" \"t.txt\"", buffer.data(),
                              static_cast<uint32_t>(buffer.size()), nullptr, nullptr, &written),
              0);
    EXPECT_EQ(std::string(buffer.data(), written), text) << method;
  }
}

TEST_F(LhaLibrary, OutputBufferIsTruncatedAndTerminated) {
  WriteFile("a.txt", "a");
  ASSERT_EQ(Lha("a \"t.lzh\" a.txt"), 0);
  char small[8];
  std::memset(small, 'x', sizeof small);
  EXPECT_EQ(Unlha(nullptr, "l \"t.lzh\"", small, sizeof small), 0);
  EXPECT_EQ(std::strlen(small), 7u);
  char one = 'x';
  EXPECT_EQ(Unlha(nullptr, "l \"t.lzh\"", &one, 1), 0);
  EXPECT_EQ(one, '\0');
  EXPECT_EQ(Unlha(nullptr, "l \"t.lzh\"", nullptr, 0), 0);
  EXPECT_EQ(Unlha(nullptr, "q \"t.lzh\"", nullptr, 0), UNLHA_ERROR_COMMAND);
}

struct TRecorder {
  TUnlhaOwnerWindow window{};
  std::vector<uint32_t> states;
  std::vector<std::string> names;
  int cancelAt = -1;  // answer 1 at this many BEGIN states
};

int RecordProgress(void* owner, uint32_t state, TUnlhaProgress* record) {
  auto* r = static_cast<TRecorder*>(static_cast<TUnlhaOwnerWindow*>(owner)->userData);
  r->states.push_back(state);
  if (state == UNLHA_STATE_BEGIN) {
    // The name lies at offset 8 of the record.
    r->names.push_back(reinterpret_cast<const char*>(record) + 8);
    if (static_cast<int>(r->names.size()) == r->cancelAt) return 1;
  }
  return 0;
}

TEST_F(LhaLibrary, ProgressReachesTheOwnerAndCancelStops) {
  WriteFile("a.txt", MakeText(1 << 20));
  WriteFile("b.txt", "b");
  TRecorder recorder;
  recorder.window = {RecordProgress, &recorder};
  ASSERT_NE(UnlhaSetOwnerWindowEx(&recorder.window, nullptr), 0);
  ASSERT_EQ(Lha("a \"t.lzh\" a.txt b.txt"), 0);
  EXPECT_EQ(recorder.names, (std::vector<std::string>{"a.txt", "b.txt"}));
  EXPECT_EQ(recorder.states.front(), static_cast<uint32_t>(UNLHA_STATE_OPEN));
  EXPECT_EQ(recorder.states.back(), static_cast<uint32_t>(UNLHA_STATE_END));
  EXPECT_NE(std::count(recorder.states.begin(), recorder.states.end(), UNLHA_STATE_INPROCESS), 0);
  const std::string before = ReadFile("t.lzh");

  // Cancelling at the second member leaves the archive as it was and no temporary file.
  recorder.names.clear();
  recorder.cancelAt = 2;
  WriteFile("c.txt", "c");
  EXPECT_EQ(Lha("a \"t.lzh\" c.txt a.txt"), UNLHA_ERROR_CANCELLED);
  EXPECT_EQ(ReadFile("t.lzh"), before);
  // Cancelling an extraction leaves no file under the member's name.
  recorder.names.clear();
  recorder.cancelAt = 1;
  EXPECT_EQ(Lha("x \"t.lzh\" out/"), UNLHA_ERROR_CANCELLED);
  EXPECT_EQ(Leftovers("out", {}), std::vector<std::string>{});
  EXPECT_NE(UnlhaKillOwnerWindowEx(&recorder.window), 0);
  EXPECT_EQ(UnlhaKillOwnerWindowEx(&recorder.window), 0);

  // Once the owner is gone nothing is reported.
  recorder.states.clear();
  ASSERT_EQ(Lha("t \"t.lzh\""), 0);
  EXPECT_TRUE(recorder.states.empty());
  EXPECT_EQ(Leftovers(".", {"a.txt", "b.txt", "c.txt", "t.lzh", "out"}), std::vector<std::string>{});
}

TEST_F(LhaLibrary, UnsafeNamesAreRefused) {
  fs::create_directories("target");
  fs::create_directories("outside");
  ::symlink((dir_ / "outside").c_str(), "target/link");
  const std::vector<std::pair<std::string, std::string>> members = {{"../escape.txt", "x"},
                                                                    {"/tmp/unlha32-absolute.txt", "x"},
                                                                    {"a/../../escape2.txt", "x"},
                                                                    {"C:drive.txt", "x"},
                                                                    {std::string("nul\0.txt", 8), "x"},
                                                                    {"link/through.txt", "x"},
                                                                    {"..\\escape3.txt", "x"},
                                                                    {".", "x"},
                                                                    {"./.", "x"},
                                                                    {"fine.txt", "fine"}};
  WriteFile("evil.lzh", CraftArchive(members));
  std::string report;
  EXPECT_EQ(Lha("x \"evil.lzh\" target/", &report), UNLHA_ERROR_UNSAFE_NAME) << report;
  // The one safe member is extracted; nothing lands outside the target folder.
  EXPECT_EQ(ReadFile("target/fine.txt"), "fine");
  EXPECT_EQ(Leftovers("outside", {}), std::vector<std::string>{});
  EXPECT_FALSE(fs::exists("escape.txt"));
  EXPECT_FALSE(fs::exists("/tmp/unlha32-absolute.txt"));
  // In a level-2 header '\' is a character of the name, so "..\escape3.txt" is one file in the target.
  EXPECT_EQ(Leftovers("target", {"fine.txt", "link", "a", "..\\escape3.txt"}), std::vector<std::string>{});
  // Bare-name extraction refuses them too.
  EXPECT_EQ(Lha("e \"evil.lzh\" bare/"), UNLHA_ERROR_UNSAFE_NAME);
  EXPECT_EQ(Leftovers("bare", {"fine.txt", "through.txt", "..\\escape3.txt"}), std::vector<std::string>{});
}

TEST_F(LhaLibrary, CrcErrorWritesNothingUnderTheMemberName) {
  WriteFile("good.txt", MakeText(50000));
  ASSERT_EQ(Lha("a \"t.lzh\" good.txt"), 0);
  std::string archive = ReadFile("t.lzh");
  archive[archive.size() - 100] ^= 0x40;  // inside the compressed data
  WriteFile("bad.lzh", archive);
  std::string report;
  const int status = Lha("x \"bad.lzh\" out/", &report);
  EXPECT_TRUE(status == UNLHA_ERROR_CRC || status == UNLHA_ERROR_BROKEN_DATA) << report;
  EXPECT_EQ(Leftovers("out", {}), std::vector<std::string>{});
  EXPECT_NE(Lha("t \"bad.lzh\""), 0);
  std::vector<char> buffer(60000);
  uint32_t written = 1;
  EXPECT_NE(UnlhaExtractMem(nullptr, "\"bad.lzh\"", buffer.data(), 60000, nullptr, nullptr, &written), 0);
  EXPECT_EQ(written, 0u);

  // A stored member with one flipped byte: the CRC code exactly.
  std::string stored = CraftArchive({{"s.txt", "stored data"}});
  stored[stored.size() - 3] ^= 1;
  WriteFile("stored.lzh", stored);
  EXPECT_EQ(Lha("x \"stored.lzh\" out/"), UNLHA_ERROR_CRC);
  EXPECT_EQ(Leftovers("out", {}), std::vector<std::string>{});
}

TEST_F(LhaLibrary, DamagedAndForeignArchives) {
  WriteFile("a.txt", MakeText(20000));
  ASSERT_EQ(Lha("a \"t.lzh\" a.txt"), 0);
  const std::string archive = ReadFile("t.lzh");
  WriteFile("cut.lzh", archive.substr(0, archive.size() / 2));
  WriteFile("text.lzh", "this is not an archive");
  WriteFile("empty.lzh", "");
  WriteFile("zero.lzh", std::string("\0binary data", 12));
  ASSERT_EQ(::mkfifo("pipe.lzh", 0600), 0);  // opening it must not wait for a writer
  for (const char* name : {"cut.lzh", "text.lzh", "empty.lzh", "zero.lzh", "pipe.lzh", "missing.lzh"}) {
    EXPECT_EQ(UnlhaCheckArchive(name, 16), 0) << name;
    EXPECT_NE(Lha(std::string("x \"") + name + "\" out/"), 0) << name;
    EXPECT_NE(Lha(std::string("l \"") + name + "\""), 0) << name;
  }
  EXPECT_NE(UnlhaCheckArchive("t.lzh", 16), 0);
  EXPECT_EQ(UnlhaGetArchiveType("t.lzh"), 1);
  EXPECT_EQ(UnlhaOpenArchive(nullptr, "text.lzh", 0x800002), nullptr);
  EXPECT_EQ(UnlhaOpenArchive(nullptr, "zero.lzh", 0x800002), nullptr);
  EXPECT_EQ(UnlhaFindFirst(nullptr, "*.*", nullptr), UNLHA_ERROR_HANDLE);
  EXPECT_EQ(UnlhaFindNext(nullptr, nullptr), UNLHA_ERROR_HANDLE);
  // The cut archive opens (its first header is whole) but listing reports the damage.
  void* h = UnlhaOpenArchive(nullptr, "cut.lzh", 0);
  if (h) {
    TArchiveEntry e{};
    EXPECT_EQ(UnlhaFindFirst(h, "*.*", &e), UNLHA_ERROR_NOT_ARCHIVE);
    UnlhaCloseArchive(h);
  }
  // Adding to a file that is not an archive never replaces it.
  EXPECT_EQ(Lha("a \"text.lzh\" a.txt"), UNLHA_ERROR_NOT_ARCHIVE);
  EXPECT_EQ(ReadFile("text.lzh"), "this is not an archive");
  EXPECT_EQ(Lha("a \"zero.lzh\" a.txt"), UNLHA_ERROR_NOT_ARCHIVE);
  EXPECT_EQ(ReadFile("zero.lzh"), std::string("\0binary data", 12));
  // An archive whose members were all deleted is the end mark alone, and still an archive.
  ASSERT_EQ(Lha("d \"t.lzh\" a.txt"), 0);
  EXPECT_EQ(ReadFile("t.lzh"), std::string(1, '\0'));
  EXPECT_NE(UnlhaCheckArchive("t.lzh", 16), 0);
  EXPECT_EQ(Lha("a \"t.lzh\" a.txt"), 0);
  // An unknown method is reported as such.
  WriteFile("method.lzh", CraftArchive({{"m.txt", "abc"}}, "-lz5-"));
  EXPECT_EQ(Lha("x \"method.lzh\" out/"), UNLHA_ERROR_METHOD);
}

TEST_F(LhaLibrary, FailedUpdateKeepsThePreviousArchive) {
  WriteFile("a.txt", "a");
  ASSERT_EQ(Lha("a \"t.lzh\" a.txt"), 0);
  const std::string before = ReadFile("t.lzh");
  EXPECT_EQ(Lha("u \"t.lzh\" a.txt missing.txt"), UNLHA_ERROR_FILE_OPEN);
  EXPECT_EQ(ReadFile("t.lzh"), before);
  EXPECT_EQ(Lha("u \"new.lzh\" missing.txt"), UNLHA_ERROR_FILE_OPEN);
  EXPECT_FALSE(fs::exists("new.lzh"));
  // A folder that cannot be written: no archive, no temporary file.
  fs::create_directories("ro");
  ::chmod("ro", 0555);
  if (::access("ro", W_OK) != 0) {
    EXPECT_NE(Lha("a \"ro/x.lzh\" a.txt"), 0);
  }
  ::chmod("ro", 0755);
  EXPECT_EQ(Leftovers("ro", {}), std::vector<std::string>{});
  EXPECT_EQ(Leftovers(".", {"a.txt", "t.lzh", "ro"}), std::vector<std::string>{});
}

TEST_F(LhaLibrary, ExtractToMemory) {
  WriteFile("a.txt", "first");
  WriteFile("b.txt", MakeText(10000));
  ::chmod("b.txt", 0600);
  ASSERT_EQ(Lha("a \"t.lzh\" a.txt b.txt"), 0);
  std::vector<char> buffer(20000);
  uint32_t written = 0, attributes = 0;
  uint64_t time = 0;
  ASSERT_EQ(UnlhaExtractMem(nullptr, "-+ -jso1 \"t.lzh\" \"b.txt\"", buffer.data(), 20000, &time, &attributes,
                            &written),
            0);
  EXPECT_EQ(std::string(buffer.data(), written), MakeText(10000));
  EXPECT_EQ(attributes & 0777, 0600u);
  EXPECT_GT(time, 0u);
  // No name: the first member.
  ASSERT_EQ(UnlhaExtractMem(nullptr, "\"t.lzh\"", buffer.data(), 20000, nullptr, nullptr, &written), 0);
  EXPECT_EQ(std::string(buffer.data(), written), "first");
  EXPECT_EQ(UnlhaExtractMem(nullptr, "\"t.lzh\" b.txt", buffer.data(), 100, nullptr, nullptr, &written),
            UNLHA_ERROR_BUFFER);
  EXPECT_EQ(written, 0u);
  EXPECT_EQ(UnlhaExtractMem(nullptr, "\"t.lzh\" none.txt", buffer.data(), 100, nullptr, nullptr, &written),
            UNLHA_ERROR_NOT_FOUND);
  EXPECT_EQ(UnlhaExtractMem(nullptr, nullptr, buffer.data(), 100, nullptr, nullptr, nullptr),
            UNLHA_ERROR_COMMAND);
}

// Reads a whole member through the member-reading exports in pieces of `piece` bytes; the status of the
// open or of the first failing read.
int ReadMember(const std::string& archive, const std::string& name, size_t piece, std::string& data) {
  data.clear();
  uint64_t size = 0;
  int status = -1;
  void* member = UnlhaOpenMember(archive.c_str(), name.c_str(), &size, &status);
  if (!member) return status;
  std::vector<char> buffer(piece);
  uint32_t got = 0;
  do {
    status = UnlhaReadMember(member, buffer.data(), static_cast<uint32_t>(piece), &got);
    data.append(buffer.data(), got);
  } while (status == 0 && got > 0);
  EXPECT_EQ(UnlhaCloseMember(member), 0);
  EXPECT_TRUE(status != 0 || data.size() == size);
  return status;
}

TEST_F(LhaLibrary, StoredMembersReadInPieces) {
  const std::string noise = MakeNoise(3 << 20);
  WriteFile("big.bin", noise);
  WriteFile("empty", "");
  ASSERT_EQ(Lha("a -lh0 \"s.lzh\" big.bin empty"), 0);
  std::string data;
  // Pieces that end on the member's end, pass it, and split it unevenly; each gives exactly its bytes.
  for (size_t piece : {size_t{1} << 20, size_t{4} << 20, size_t{65537}}) {
    ASSERT_EQ(ReadMember("s.lzh", "big.bin", piece, data), 0) << piece;
    EXPECT_TRUE(data == noise) << piece;
  }
  EXPECT_EQ(ReadMember("s.lzh", "empty", 16, data), 0);
  EXPECT_EQ(data, "");
  // Names are matched whole (no wildcards); compressed members are for extraction.
  EXPECT_EQ(ReadMember("s.lzh", "*.bin", 16, data), UNLHA_ERROR_NOT_FOUND);
  WriteFile("text.txt", MakeText(20000));
  ASSERT_EQ(Lha("a -lh5 \"c.lzh\" text.txt"), 0);
  EXPECT_EQ(ReadMember("c.lzh", "text.txt", 16, data), UNLHA_ERROR_METHOD);
  EXPECT_EQ(ReadMember("missing.lzh", "big.bin", 16, data), UNLHA_ERROR_FILE_OPEN);
  WriteFile("plain.txt", "not an archive");
  EXPECT_EQ(ReadMember("plain.txt", "big.bin", 16, data), UNLHA_ERROR_NOT_ARCHIVE);
  uint32_t got = 7;
  EXPECT_EQ(UnlhaReadMember(nullptr, data.data(), 1, &got), UNLHA_ERROR_HANDLE);
  EXPECT_EQ(got, 0u);
  EXPECT_EQ(UnlhaCloseMember(&got), UNLHA_ERROR_HANDLE);
  EXPECT_EQ(UnlhaOpenMember(nullptr, "big.bin", nullptr, nullptr), nullptr);
}

TEST_F(LhaLibrary, MemberReadingRefusesWhatExtractionRefuses) {
  // A flipped byte: the read that reaches the end says so, and so does every read after it.
  std::string stored = CraftArchive({{"s.txt", MakeNoise(5000)}});
  stored[stored.size() - 30] ^= 1;
  WriteFile("flipped.lzh", stored);
  std::string data;
  EXPECT_EQ(ReadMember("flipped.lzh", "s.txt", 1000, data), UNLHA_ERROR_CRC);
  EXPECT_EQ(data.size(), 5000u);
  void* member = UnlhaOpenMember("flipped.lzh", "s.txt", nullptr, nullptr);
  ASSERT_NE(member, nullptr);
  std::vector<char> buffer(8000);
  uint32_t got = 0;
  EXPECT_EQ(UnlhaReadMember(member, buffer.data(), 8000, &got), UNLHA_ERROR_CRC);
  EXPECT_EQ(UnlhaReadMember(member, buffer.data(), 8000, &got), UNLHA_ERROR_CRC);
  EXPECT_EQ(got, 0u);
  EXPECT_EQ(UnlhaReadMember(member, nullptr, 8000, &got), UNLHA_ERROR_BUFFER);
  UnlhaCloseMember(member);

  // Stored sizes that disagree, and a link, are not read.
  TMember odd;
  odd.name = "odd.bin";
  odd.method = "-lh0-";
  odd.compressedSize = 4;
  odd.originalSize = 8;
  WriteFile("odd.lzh", BuildLevel2Header(odd) + "abcd" + std::string(1, '\0'));
  EXPECT_EQ(ReadMember("odd.lzh", "odd.bin", 16, data), UNLHA_ERROR_BROKEN_DATA);
  TMember link = odd;
  link.name = "link";
  link.compressedSize = link.originalSize = 4;
  link.hasMode = true;
  link.mode = 0120777;
  WriteFile("link.lzh", BuildLevel2Header(link) + "abcd" + std::string(1, '\0'));
  EXPECT_EQ(ReadMember("link.lzh", "link", 16, data), UNLHA_ERROR_UNSAFE_NAME);
}

TEST_F(LhaLibrary, RecursionAndExclusion) {
  fs::create_directories("tree/a/b");
  WriteFile("tree/a/b/deep.txt", "deep");
  WriteFile("tree/top.txt", "top");
  WriteFile("tree/skip.bak", "skip");
  // A link back up the tree is not followed, or the tree would be stored again below it.
  ASSERT_EQ(::symlink("..", "tree/a/up"), 0);
  ASSERT_EQ(Lha("a -r -jx\"*.bak\" \"t.lzh\" tree"), 0);
  const auto names = Names("t.lzh");
  EXPECT_EQ(names,
            (std::vector<std::string>{"tree", "tree/a", "tree/a/b", "tree/a/b/deep.txt", "tree/top.txt"}));
  ASSERT_EQ(Lha("x \"t.lzh\" out/"), 0);
  EXPECT_EQ(ReadFile("out/tree/a/b/deep.txt"), "deep");
  EXPECT_FALSE(fs::exists("out/tree/skip.bak"));
  // "." adds what lies below the folder, with paths or bare names.
  ASSERT_EQ(Lha("a -r \"dot.lzh\" tree/ ."), 0);
  EXPECT_EQ(Names("dot.lzh"), (std::vector<std::string>{"a", "a/b", "a/b/deep.txt", "skip.bak", "top.txt"}));
  ASSERT_EQ(Lha("a -r -x0 \"bare.lzh\" tree/ ."), 0);
  EXPECT_EQ(Names("bare.lzh"), (std::vector<std::string>{"deep.txt", "skip.bak", "top.txt"}));
  // A folder that cannot be read fails the command rather than leaving its files out.
  ::chmod("tree/a/b", 0);
  if (::access("tree/a/b", R_OK) != 0) {
    EXPECT_EQ(Lha("a -r \"u.lzh\" tree"), UNLHA_ERROR_FILE_OPEN);
    EXPECT_FALSE(fs::exists("u.lzh"));
  }
  ::chmod("tree/a/b", 0755);
}

TEST_F(LhaLibrary, ContainerVectorsPackedByJlha) {
  for (const char* name : {"container/letter_alice@example.com.KVX",
                           "container/enc-first-level0/letter_alice@example.com.KVX"}) {
    const std::string archive = VectorPath(name).string();
    auto names = Names(archive);
    std::sort(names.begin(), names.end());
    ASSERT_EQ(names, (std::vector<std::string>{"letter.txt.Enc", "letter_alice@example.com.RJN"})) << name;
    fs::remove_all("out");
    std::string report;
    ASSERT_EQ(Lha("x -x0 \"" + archive + "\" out/", &report), 0) << report;
    // The session-key line is one radix-64 text ended by CR LF; every member has its listed size.
    const std::string line = ReadFile("out/letter_alice@example.com.RJN");
    ASSERT_GE(line.size(), 3u);
    EXPECT_EQ(line.substr(line.size() - 3), ";\r\n");
    for (const auto& e : List(archive)) EXPECT_EQ(fs::file_size("out/" + e.name), e.size) << e.name;
    if (HaveProgram("lhasa")) {
      fs::create_directories("peer");
      ASSERT_EQ(Shell("cd peer && lhasa xq '" + archive + "'"), 0);
      EXPECT_EQ(ReadFile("out/letter.txt.Enc"), ReadFile("peer/letter.txt.Enc"));
      EXPECT_EQ(line, ReadFile("peer/letter_alice@example.com.RJN"));
      fs::remove_all("peer");
    }
  }
}

}  // namespace
}  // namespace corvane::lha::test
