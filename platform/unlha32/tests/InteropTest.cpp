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
  std::string stored;  // the name's bytes in our header, where they differ from the UTF-8 name
  const std::string& Stored() const { return stored.empty() ? name : stored; }
};

const std::vector<TFile>& OurFiles() {
  static const std::vector<TFile> files = [] {
    std::string binary;
    for (int i = 0; i < 40000; ++i)
      binary += std::string(1, static_cast<char>(i * 7)) + "\x00\x01\xFF"[i % 3];
    return std::vector<TFile>{
        {"empty.txt", "", ""},
        {"small.txt", "a small text\n", ""},
        {"binary.bin", binary, ""},
        {"text10m.txt", MakeText(10 << 20, 21), ""},
        {"noise.bin", MakeNoise(1 << 20, 22), ""},
        {"日本語の名前.txt", "日本語の内容\n", "\x93\xfa\x96\x7b\x8c\xea\x82\xcc\x96\xbc\x91\x4f.txt"},
        // 表, ソ and 能 end in the byte of '\' in code page 932.
        {"表計算ソフト能力.csv", "a,b\n1,2\n",
         "\x95\x5c\x8c\x76\x8e\x5a\x83\x5c\x83\x74\x83\x67\x94\x5c\x97\xcd.csv"},
        // Not in code page 932: stored in UTF-8.
        {"표와 한글.txt", "한글\n", ""}};
  }();
  return files;
}

// What a peer makes of a name we store in code page 932 with a code-page record.
enum class TNameView {
  kCodePage,          // honours the record: the UTF-8 name
  kBytes,             // the header's bytes as they are
  kBytesBackslashes,  // the header's bytes, every 0x5C byte a folder separator, even inside a character
  kLatin1,            // the header's bytes taken as ISO-8859-1
};

struct TPeer {
  const char* program;
  const char* list;     // %a: archive
  const char* extract;  // %a: archive, %d: folder
  std::vector<std::string> methods;
  TNameView names;
};

const std::vector<TPeer>& Peers() {
  static const std::vector<TPeer> peers = {
      {"lhasa",
       "lhasa l '%a'",
       "cd '%d' && lhasa xq '%a'",
       {"-lh4-", "-lh5-", "-lh6-", "-lh7-"},
       TNameView::kBytes},
      {"bsdtar",
       "bsdtar -tf '%a'",
       "bsdtar -xf '%a' -C '%d'",
       {"-lh5-", "-lh6-", "-lh7-"},
       TNameView::kCodePage},
      {"7z",
       "7z l '%a'",
       "7z x -y '-o%d' '%a'",
       {"-lh4-", "-lh5-", "-lh6-", "-lh7-"},
       TNameView::kBytesBackslashes},
      {"jlha",
       "jlha l '%a'",
       "cd '%d' && jlha x '%a'",
       {"-lh4-", "-lh5-", "-lh6-", "-lh7-"},
       TNameView::kLatin1},
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

// The path below its folder under which the peer writes the file.
std::string OnDisk(const TPeer& peer, const TFile& f) {
  std::string bytes = f.Stored();
  switch (peer.names) {
    case TNameView::kCodePage:
      return f.name;
    case TNameView::kBytes:
      return bytes;
    case TNameView::kBytesBackslashes:
      std::replace(bytes.begin(), bytes.end(), '\\', '/');
      return bytes;
    case TNameView::kLatin1:
      return Latin1AsUtf8(bytes);
  }
  return bytes;
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
      // Only a peer that honours the code-page record can show the names that are not ASCII.
      for (const auto& f : OurFiles()) {
        if (!Included(f, method)) continue;
        if (peer.names == TNameView::kCodePage || IsAscii(f.name)) {
          EXPECT_NE(listing.find(f.name), std::string::npos) << f.name;
        }
      }
      const fs::path out = dir_ / ("out-" + std::string(peer.program) + method);
      fs::create_directories(out);
      std::string log;
      ASSERT_EQ(Shell(Fill(peer.extract, archive, out.string()), &log), 0) << log;
      for (const auto& f : OurFiles()) {
        if (!Included(f, method)) continue;
        const std::string name = OnDisk(peer, f);
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
