// Other LHA programs read what we write, and we read what they write. Each peer is skipped when its
// program is not installed.
#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/unlha32/tests/TestSupport.h"
#include "platform/unlha32/unlha32.h"

namespace corvane::lha::test {
namespace {

struct TFile {
  std::string name;
  std::string data;
};

const std::vector<TFile>& OurFiles() {
  static const std::vector<TFile> files = [] {
    std::string binary;
    for (int i = 0; i < 40000; ++i)
      binary += std::string(1, static_cast<char>(i * 7)) + "\x00\x01\xFF"[i % 3];
    return std::vector<TFile>{{"empty.txt", ""},
                              {"small.txt", "a small text\n"},
                              {"binary.bin", binary},
                              {"text10m.txt", MakeText(10 << 20, 21)},
                              {"noise.bin", MakeNoise(1 << 20, 22)},
                              {"日本語の名前.txt", "日本語の内容\n"}};
  }();
  return files;
}

struct TPeer {
  const char* program;
  const char* list;     // %a: archive
  const char* extract;  // %a: archive, %d: folder
  std::vector<std::string> methods;
  bool listsNonAscii;  // lhasa lists other bytes as '?'
  bool utf8Names;      // jlha reads member names as ISO-8859-1
};

const std::vector<TPeer>& Peers() {
  static const std::vector<TPeer> peers = {
      {"lhasa",
       "lhasa l '%a'",
       "cd '%d' && lhasa xq '%a'",
       {"-lh4-", "-lh5-", "-lh6-", "-lh7-"},
       false,
       true},
      {"bsdtar", "bsdtar -tf '%a'", "bsdtar -xf '%a' -C '%d'", {"-lh5-", "-lh6-", "-lh7-"}, true, true},
      {"7z", "7z l '%a'", "7z x -y '-o%d' '%a'", {"-lh4-", "-lh5-", "-lh6-", "-lh7-"}, true, true},
      {"jlha", "jlha l '%a'", "cd '%d' && jlha x '%a'", {"-lh4-", "-lh5-", "-lh6-", "-lh7-"}, false, false},
  };
  return peers;
}

// Peers print and write names in the UTF-8 locale.
std::string Fill(std::string pattern, const std::string& archive, const std::string& dir) {
  pattern = "export LC_ALL=C.UTF-8; " + pattern;
  for (size_t at; (at = pattern.find("%a")) != std::string::npos;) pattern.replace(at, 2, archive);
  for (size_t at; (at = pattern.find("%d")) != std::string::npos;) pattern.replace(at, 2, dir);
  return pattern;
}

// How a program that takes names as ISO-8859-1 writes a UTF-8 name back out.
std::string Latin1AsUtf8(const std::string& name) {
  std::string out;
  for (unsigned char c : name) {
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

bool IsAscii(const std::string& s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

class LhaInterop : public TScratch {
 protected:
  void SetUp() override {
    TScratch::SetUp();
    fs::create_directories("in");
    for (const auto& f : OurFiles()) WriteFile("in/" + f.name, f.data);
  }

  // The 10 MiB member goes into the default method's archive only, to keep the run short.
  static bool Included(const TFile& f, const std::string& method) {
    return method == "-lh5-" || f.data.size() < (8u << 20);
  }

  std::string PackAll(const std::string& archive, const std::string& method) {
    std::string command = "a " + method + " \"" + archive + "\" in/";
    for (const auto& f : OurFiles())
      if (Included(f, method)) command += " \"" + f.name + "\"";
    std::string report;
    EXPECT_EQ(Lha(command, &report), 0) << report;
    return (dir_ / archive).string();
  }
};

TEST_F(LhaInterop, PeersListAndExtractOurArchives) {
  size_t ran = 0;
  for (const auto& peer : Peers()) {
    if (!HaveProgram(peer.program)) continue;
    ++ran;
    for (const auto& method : peer.methods) {
      SCOPED_TRACE(std::string(peer.program) + " " + method);
      const std::string archive = PackAll("ours" + method + ".lzh", method);
      std::string listing;
      ASSERT_EQ(Shell(Fill(peer.list, archive, ""), &listing), 0) << listing;
      for (const auto& f : OurFiles()) {
        if (!Included(f, method)) continue;
        if ((peer.listsNonAscii && peer.utf8Names) || IsAscii(f.name)) {
          EXPECT_NE(listing.find(f.name), std::string::npos) << f.name;
        }
      }
      const fs::path out = dir_ / ("out-" + std::string(peer.program) + method);
      fs::create_directories(out);
      std::string log;
      ASSERT_EQ(Shell(Fill(peer.extract, archive, out.string()), &log), 0) << log;
      for (const auto& f : OurFiles()) {
        if (!Included(f, method)) continue;
        const std::string name = peer.utf8Names ? f.name : Latin1AsUtf8(f.name);
        ASSERT_TRUE(fs::exists(out / name)) << f.name;
        EXPECT_TRUE(ReadFile(out / name) == f.data) << f.name;
      }
      fs::remove_all(out);
    }
  }
  if (ran == 0) GTEST_SKIP() << "no other LHA program installed";
}

TEST_F(LhaInterop, WeReadArchivesWrittenByJlha) {
  if (!HaveProgram("jlha")) GTEST_SKIP() << "jlha not installed";
  // jlha takes names as ISO-8859-1, so its archives use the plain names here.
  std::vector<TFile> files;
  for (const auto& f : OurFiles())
    if (IsAscii(f.name)) files.push_back(f);
  std::string names;
  for (const auto& f : files) names += " '" + f.name + "'";
  for (const char* options : {"a0", "a1", "a2", "a2o6", "a2o7"}) {
    SCOPED_TRACE(options);
    const std::string archive = (dir_ / (std::string(options) + ".lzh")).string();
    std::string log;
    ASSERT_EQ(Shell("cd in && jlha " + std::string(options) + " '" + archive + "'" + names, &log), 0) << log;
    std::vector<std::string> listed;
    void* h = UnlhaOpenArchive(nullptr, archive.c_str(), 0);
    ASSERT_NE(h, nullptr);
    TArchiveEntry e{};
    for (int s = UnlhaFindFirst(h, "*.*", &e); s == 0; s = UnlhaFindNext(h, &e))
      listed.push_back(e.szFileName);
    UnlhaCloseArchive(h);
    ASSERT_EQ(listed.size(), files.size());
    const std::string out = (dir_ / ("out-" + std::string(options))).string() + "/";
    std::string report;
    ASSERT_EQ(Lha("x \"" + archive + "\" " + out, &report), 0) << report;
    for (const auto& f : files) EXPECT_TRUE(ReadFile(out + f.name) == f.data) << f.name;
  }
}

TEST(LhaFixtures, ArchivesOfOtherProgramsExtractByteForByte) {
  const std::string text = ReadFile(FixturePath("text.txt"));
  ASSERT_EQ(text.size(), 20000u);
  for (const char* name :
       {"level0-lh5.lzh", "level1-lh5.lzh", "level1-lh7.lzh", "level2-lh6.lzh", "level2-lh7.lzh"}) {
    SCOPED_TRACE(name);
    const std::string archive = FixturePath(name).string();
    EXPECT_NE(UnlhaCheckArchive(archive.c_str(), 16), 0);
    std::vector<char> buffer(30000);
    uint32_t written = 0;
    ASSERT_EQ(UnlhaExtractMem(nullptr, ("\"" + archive + "\" text.txt").c_str(), buffer.data(), 30000,
                              nullptr, nullptr, &written),
              0);
    EXPECT_EQ(std::string(buffer.data(), written), text);
    ASSERT_EQ(UnlhaExtractMem(nullptr, ("\"" + archive + "\" small.txt").c_str(), buffer.data(), 30000,
                              nullptr, nullptr, &written),
              0);
    EXPECT_EQ(std::string(buffer.data(), written), "abc");
    std::string report;
    EXPECT_EQ(Lha("t \"" + archive + "\"", &report), 0) << report;
  }
}

}  // namespace
}  // namespace corvane::lha::test
