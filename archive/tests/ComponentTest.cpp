// The archive component: kind selection and detection, listing, command calls, progress and cancellation,
// driven against the complete stand-in library.

#include <gtest/gtest.h>

#include <cstring>

#include "archive/ArchiverDll.h"
#include "archive/Archives.h"
#include "archive/Lha32.h"
#include "archive/tests/ArchiveTestSupport.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

class ComponentTest : public ::testing::Test {
 protected:
  ComponentTest() : cwd_(dir_.Path()) {
    test::UseLibraryFolder(test::FakeFolder("complete"));
    fake_.Reset();
  }
  ~ComponentTest() override { test::ResetLibraries(); }

  TempDir dir_;
  test::CurrentDirectory cwd_;
  test::FakeLibrary fake_{"complete"};
};

TEST(DetectKind, ByExtension) {
  struct Case {
    const char* name;
    TArchiverType kind;
  };
  const Case cases[] = {
      {"a.lzh", TArchiverType::atLha},      {"A.LZH", TArchiverType::atLha},
      {"x/a.Jar", TArchiverType::atZip},    {"a.war", TArchiverType::atZip},
      {"a.cab", TArchiverType::atCab},      {"a.arj", TArchiverType::atArj},
      {"lib.a", TArchiverType::atTar},      {"a.cpio", TArchiverType::atTar},
      {"a.tar.gz", TArchiverType::atTgz},   {"a.Z", TArchiverType::atTgz},
      {"a.taz", TArchiverType::atTgz},      {"a.bz2", TArchiverType::atBZ2},
      {"a.rar", TArchiverType::atRar},      {"a.gza", TArchiverType::atBga},
      {"a.bza", TArchiverType::atBga},      {"a.yz1", TArchiverType::atYz1},
      {"a.gca", TArchiverType::atGCA},      {"a.7z", TArchiverType::at7z},
      {"c.KVX", TArchiverType::atNone},     {"noext", TArchiverType::atNone},
      {"dir.zip/x", TArchiverType::atNone}, {"a.lzh.bak", TArchiverType::atNone},
      {"", TArchiverType::atNone},          {"\0", TArchiverType::atNone},
  };
  for (const auto& c : cases) EXPECT_EQ(TArchiveFile::DetectKind(c.name, true), c.kind) << c.name;
}

TEST(DetectKind, ExeWithoutAnyLibraryIsNoKind) {
  test::UseLibraryFolder(test::NoLibraryFolder());
  TempDir dir;
  const auto exe = (dir / "setup.exe").string();
  test::WriteFile(exe, "MZ");
  TArchiveFile file;
  file.SetFileName(exe);
  EXPECT_EQ(file.FileName(), exe);
  EXPECT_EQ(file.ArchiverType(), TArchiverType::atAutoDetect);
  EXPECT_EQ(file.Archiver(), nullptr);
  test::ResetLibraries();
}

TEST_F(ComponentTest, ExeIsLookedIntoAndFoundByTheLhaCheck) {
  test::WriteFile(dir_ / "self.exe", "sfx");
  EXPECT_EQ(TArchiveFile::DetectKind("self.exe", true), TArchiverType::atLha);
  EXPECT_EQ(TArchiveFile::DetectKind("absent.exe", true), TArchiverType::atNone);
  EXPECT_EQ(fake_.OpenedPath(), (dir_ / "self.exe").string()) << "the open test gets the full path";
}

TEST_F(ComponentTest, KindSelection) {
  TArchiveFile file;
  EXPECT_EQ(file.FileName(), kUnsetText);
  EXPECT_EQ(file.ArchiverType(), TArchiverType::atAutoDetect);

  file.SetArchiverType(TArchiverType::atLha);
  TArchiver* lha = file.Archiver();
  ASSERT_NE(lha, nullptr);

  file.SetFileName("c.KVX");  // not an archive extension: the kind stays
  EXPECT_EQ(file.Archiver(), lha);
  EXPECT_EQ(file.FileName(), "c.KVX");

  try {
    file.SetFileName("c.gca");
    FAIL() << "no EArchiver";
  } catch (const EArchiver& e) {
    EXPECT_STREQ(e.what(), "書庫の形式を特定できませんでした。");
  }
  EXPECT_EQ(file.FileName(), "c.KVX");
  EXPECT_THROW(file.SetArchiverType(TArchiverType::atBel), EArchiver);

  file.SetArchiverType(TArchiverType::atNone);
  EXPECT_EQ(file.ArchiverType(), TArchiverType::atLha);
  EXPECT_EQ(file.Archiver(), lha);

  file.SetFileName("c.lzh");  // the same kind again still builds a fresh archiver
  EXPECT_NE(file.Archiver(), lha);

  file.SetArchiverType(TArchiverType::atAutoDetect);
  EXPECT_EQ(file.ArchiverType(), TArchiverType::atAutoDetect);
  EXPECT_NE(file.Archiver(), nullptr) << "the archiver stays until detection picks a kind";
}

TEST_F(ComponentTest, ExpandWithoutKindRaisesWithoutDetecting) {
  test::WriteFile(dir_ / "a.bin", "x");
  TArchiveFile file;
  file.SetFileName("a.bin");
  try {
    file.ExpandFiles(nullptr, nullptr, "", {});
    FAIL() << "no EArchiver";
  } catch (const EArchiver& e) {
    EXPECT_STREQ(e.what(), "書庫の形式を判別できません。");
  }
  EXPECT_EQ(fake_.OpenedPath(), "") << "no content check ran";
  EXPECT_THROW(file.FirstEntry("*", *std::make_unique<TArchiveEntry>()), EArchiver);

  // Listing detects the kind from the content first.
  EXPECT_EQ(file.OpenListing(nullptr, 0), 0);
  EXPECT_EQ(file.ArchiverType(), TArchiverType::atLha);
  file.CloseListing();
}

TEST_F(ComponentTest, ListingAnArchive) {
  test::WriteFile(dir_ / "c.KVX", "x");
  TArchiveFile file;
  file.SetFileName("c.KVX");
  file.SetArchiverType(TArchiverType::atLha);
  ASSERT_EQ(file.OpenListing(nullptr, 0), 0);
  EXPECT_EQ(fake_.OpenedPath(), (dir_ / "c.KVX").string());
  std::vector<std::string> names;
  TArchiveEntry entry{};
  for (int status = file.FirstEntry("*.*", entry); status == 0; status = file.NextEntry(entry))
    names.push_back(ArchiveEntryName(entry));
  file.CloseListing();
  EXPECT_EQ(names, (std::vector<std::string>{"one.txt", "two.txt"}));
  EXPECT_EQ(file.ListHandle(), nullptr);
}

TEST_F(ComponentTest, NoListingIsLeftOpen) {
  test::WriteFile(dir_ / "c.lzh", "x");
  {
    TArchiveFile file;
    file.SetFileName("c.lzh");
    ASSERT_EQ(file.OpenListing(nullptr, 0), 0);
    ASSERT_EQ(file.OpenListing(nullptr, 0), 0);
    EXPECT_EQ(fake_.OpenListings(), 1) << "opening again closes the first handle";
    file.SetArchiverType(TArchiverType::atLha);
    EXPECT_EQ(fake_.OpenListings(), 0) << "a new archiver does not inherit the old one's handle";
    ASSERT_EQ(file.OpenListing(nullptr, 0), 0);
  }
  EXPECT_EQ(fake_.OpenListings(), 0) << "destroying the component closes its listing";
}

TEST_F(ComponentTest, ListingAFileTheLibraryCannotOpen) {
  TArchiveFile file;
  file.SetArchiverType(TArchiverType::atLha);
  file.SetFileName("missing.lzh");
  EXPECT_EQ(file.OpenListing(nullptr, 0), 1);
  EXPECT_EQ(file.ListHandle(), nullptr);
  TArchiveEntry entry{};
  EXPECT_EQ(file.FirstEntry("*.*", entry), UNLHA_ERROR_HANDLE) << "handle 0 reaches the library";
}

TEST(ArchiveEntryName, StopsAtTheFieldEnd) {
  TArchiveEntry entry{};
  std::memset(entry.szFileName, 'a', sizeof(entry.szFileName));
  EXPECT_EQ(ArchiveEntryName(entry), std::string(513, 'a'));
  entry.szFileName[3] = '\0';
  EXPECT_EQ(ArchiveEntryName(entry), "aaa");
}

TEST_F(ComponentTest, OutputBufferReachesTheLibraryOnlyWhenItHasALength) {
  TArchiveFile file;
  file.SetArchiverType(TArchiverType::atLha);
  file.SetFileName("a.lzh");
  file.Options().jso = 1;
  file.Options().jse = 1;
  EXPECT_EQ(file.OutputSize(), 0);
  file.ExpandFiles(nullptr, nullptr, "", {});
  EXPECT_EQ(fake_.LastOutput(), nullptr);
  EXPECT_EQ(fake_.LastOutputSize(), 0u);

  file.SetOutputSize(64);
  EXPECT_EQ(file.OutputSize(), 64);
  EXPECT_EQ(file.OutputBuffer()[0], '\0');
  file.ExpandFiles(nullptr, nullptr, "", {});
  EXPECT_EQ(fake_.LastOutputSize(), 64u);
  EXPECT_STREQ(file.OutputBuffer().c_str(), "done");

  file.SetOutputSize(-5);
  EXPECT_EQ(file.OutputSize(), 0);
}

TEST_F(ComponentTest, TheWizardsPackingSequence) {
  test::WriteFile(dir_ / "letter_bob.RJN", "line");
  fs::create_directory(dir_ / "src");
  const std::string enc = (dir_ / "src" / "letter.txt.Enc").string();
  test::WriteFile(enc, "payload");

  TArchiveFile file;
  file.SetArchiverType(TArchiverType::atLha);
  file.Options().n = 1;
  file.SetFileName("letter_bob.KVX");
  file.Options().x = 0;
  file.Options().jso = 1;
  EXPECT_EQ(file.CompressFiles(nullptr, nullptr, "", {TStringList{{"letter_bob.RJN", enc}}}), 0);
  const std::string expected =
      "u -+ -n1 -p1 -x0 -jso1  \"letter_bob.KVX\" \"" + enc + "\" \"letter_bob.RJN\" ";
  EXPECT_EQ(fake_.LastCommand(), expected);
  EXPECT_EQ(file.LastCommand(), expected);
  EXPECT_EQ(file.Options().p, -1) << "the selection adjusted a copy";
}

TEST_F(ComponentTest, TheWizardsExtractionSequence) {
  test::WriteFile(dir_ / "letter_bob.KVX", "x");
  const std::string container = (dir_ / "letter_bob.KVX").string();
  TArchiveFile file;
  file.SetFileName(container);
  file.Options().x = 0;
  file.Options().jse = 1;
  file.Options().jso = 1;
  file.SetArchiverType(TArchiverType::atLha);
  file.Options().n = 1;
  ASSERT_EQ(file.OpenListing(nullptr, 0), 0);
  file.CloseListing();
  fake_.SetStatus(UNLHA_ERROR_CRC);
  EXPECT_EQ(file.ExpandFiles(nullptr, nullptr, "", {std::vector<std::string>{}}), UNLHA_ERROR_CRC)
      << "the library's status comes back unchanged";
  EXPECT_EQ(file.LastCommand(), "x -+ -n1 -x0 -jse1 -jso1  \"" + container + "\" ");
}

TEST_F(ComponentTest, NothingSelectedCallsNoLibrary) {
  TArchiveFile file;
  file.SetArchiverType(TArchiverType::atLha);
  file.SetFileName("a.lzh");
  file.Options().jso = 1;
  file.SetOutputSize(8);
  EXPECT_EQ(file.CompressFiles(nullptr, nullptr, "", {std::string("no-such-*")}), 0);
  EXPECT_EQ(fake_.CommandCalls(), 0);
  EXPECT_EQ(file.OutputBuffer()[0], '\0');
  EXPECT_FALSE(fs::exists(dir_ / "a.lzh"));
}

TEST_F(ComponentTest, PackFilterArchiverHandsTheNamesOver) {
  TArchiveFile file;
  file.SetArchiverType(TArchiverType::atLha);
  file.SetFileName("a.lzh");
  TArchiverOptions set;
  set.jso = 1;
  set.PackFilter = TPackFilter::pfArchiver;
  set.jx = {"*.tmp"};
  EXPECT_EQ(file.CompressFiles(nullptr, &set, "", {std::string("f.txt"), std::string("f.txt")}), 0);
  EXPECT_EQ(fake_.LastCommand(), "u -+ -jso1 -jx\"*.tmp\"  \"a.lzh\" \"f.txt\" \"f.txt\" ");
}

TEST_F(ComponentTest, CancellingTheSelection) {
  test::WriteFile(dir_ / "a.txt", "a");
  test::WriteFile(dir_ / "b.txt", "b");
  TArchiveFile file;
  file.SetArchiverType(TArchiverType::atLha);
  file.SetFileName("a.lzh");
  file.Options().jso = 1;
  std::vector<std::string> reported;
  file.OnProgress = [&](TArchiveFile& sender, std::int32_t state, TUnlhaProgress* record, bool& abort) {
    EXPECT_EQ(&sender, &file);
    EXPECT_EQ(state, 0x805);
    reported.push_back(record->szSourceFileName);
    abort = true;
  };
  EXPECT_EQ(file.CompressFiles(nullptr, nullptr, "", {std::string("*.txt")}), 0x8020);
  EXPECT_EQ(reported, std::vector<std::string>{"a.txt"});
  EXPECT_EQ(fake_.CommandCalls(), 0);
  EXPECT_EQ(file.LastCommand(), "");
}

TEST_F(ComponentTest, ProgressFromTheLibraryAndCancellation) {
  test::WriteFile(dir_ / "a.txt", "a");
  TArchiveFile file;
  file.SetArchiverType(TArchiverType::atLha);
  file.SetFileName("a.lzh");
  file.Options().jso = 1;
  std::vector<std::pair<std::int32_t, std::string>> reports;
  bool stopInLibrary = false;
  file.OnProgress = [&](TArchiveFile&, std::int32_t state, TUnlhaProgress* record, bool& abort) {
    reports.emplace_back(state, record->szSourceFileName);
    abort = stopInLibrary && state != 0x805;
  };
  EXPECT_EQ(file.CompressFiles(nullptr, nullptr, "", {std::string("a.txt")}), 0);
  EXPECT_EQ(reports, (std::vector<std::pair<std::int32_t, std::string>>{{0x805, "a.txt"}, {0, "one.txt"}}));
  EXPECT_EQ(fake_.LastCommand(), "u -+ -n1 -p1 -jso1  \"a.lzh\" \"a.txt\" ") << "an owner window forces -n1";
  EXPECT_EQ(fake_.RegisteredOwner(), nullptr) << "detached after the command";

  stopInLibrary = true;
  EXPECT_EQ(file.CompressFiles(nullptr, nullptr, "", {std::string("a.txt")}), UNLHA_ERROR_CANCELLED);

  // A handler that raises stops the library; the exception reaches the caller after the library returns.
  file.OnProgress = [](TArchiveFile&, std::int32_t state, TUnlhaProgress*, bool&) {
    if (state != 0x805) throw EArchiver("stop");
  };
  EXPECT_THROW(file.CompressFiles(nullptr, nullptr, "", {std::string("a.txt")}), EArchiver);
  EXPECT_EQ(fake_.RegisteredOwner(), nullptr);
}

TEST_F(ComponentTest, LhaOperationsAndTheirCommands) {
  TLha32 lha;
  std::string buffer;
  TArchiverOptions set;
  set.jso = 1;
  set.ResFileName = (dir_ / "names.rsp").string();
  const TFileItems names{std::string("a.txt")};
  const std::string response = "@\"" + set.ResFileName + "\"";
  struct Case {
    const char* what;
    std::function<int()> call;
    std::string command;
  };
  const Case cases[] = {
      {"remove: no base directory, names through the response file",
       [&] { return lha.Remove(nullptr, "a.lzh", buffer, false, names, "/base", set); },
       "d -+ -jso1  \"a.lzh\" " + response + " "},
      {"freshen: the response file is not used for updates",
       [&] { return lha.Freshen(nullptr, "a.lzh", buffer, true, names, "/base", set); },
       "f -+ -jso1  \"a.lzh\" \"/base/\" \"a.txt\" "},
      {"self-extractor: the target in place of the base directory",
       [&] { return lha.BuildSelfExtractor(nullptr, "a.lzh", buffer, "/out", set); },
       "s -+ -jso1  \"a.lzh\" \"/out/\" "},
      {"to memory: no letter, the one entry named",
       [&] {
         return lha.ExpandToMemory(nullptr, "a.lzh", set, "e.txt", nullptr, 0, nullptr, nullptr, nullptr);
       },
       " -+ -jso1  \"a.lzh\" \"e.txt\" "},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.call(), 0) << c.what;
    EXPECT_EQ(fake_.LastCommand(), c.command) << c.what;
    EXPECT_EQ(lha.LastCommand, c.command) << c.what;
  }
  test::WriteFile(dir_ / "a.lzh", "x");
  EXPECT_EQ(lha.Verify((dir_ / "a.lzh").string(), 16, 0), 1);
  int window = 0;
  EXPECT_TRUE(lha.AttachOwnerWindow(&window, nullptr));
  EXPECT_EQ(fake_.RegisteredOwner(), &window);
  EXPECT_TRUE(lha.DetachOwnerWindow(&window));
  EXPECT_EQ(fake_.RegisteredOwner(), nullptr);
  EXPECT_EQ(lha.OwnerWindow, nullptr);
}

TEST(TArchiver, BaseRefusals) {
  struct Bare : TArchiver {
    int Expand(TWindowHandle, const std::string&, std::string&, bool, const TFileItems&, const std::string&,
               const TArchiverOptions&) override {
      return 0;
    }
  } bare;
  std::string buffer;
  const TArchiverOptions set;
  const auto message = [](const std::function<void()>& call) {
    try {
      call();
    } catch (const EArchiver& e) {
      return std::string(e.what());
    }
    return std::string("no EArchiver");
  };
  EXPECT_EQ(message([&] { bare.LoadDLL(); }), "Abstract method 'TArchiver.LoadDLL' was called");
  EXPECT_EQ(message([&] { bare.FreeDLL(); }), "Abstract method 'TArchiver.FreeDLL' was called");
  EXPECT_EQ(message([&] { bare.EnsureLoaded(); }), "Abstract method 'TArchiver.LoadDLL' was called");
  EXPECT_EQ(message([&] { bare.Compress(nullptr, "", buffer, false, {}, "", set); }),
            "この形式では書庫ファイルの作成をサポートしておりません。");
  EXPECT_EQ(message([&] { bare.Remove(nullptr, "", buffer, false, {}, "", set); }),
            "この形式の書庫ではファイルの削除をサポートしておりません。");
  EXPECT_EQ(message([&] { bare.Freshen(nullptr, "", buffer, false, {}, "", set); }),
            "この形式の書庫では書庫の更新をサポートしておりません。");
  EXPECT_EQ(message([&] { bare.BuildSelfExtractor(nullptr, "", buffer, "", set); }),
            "この形式では自己解凍書庫の作成をサポートしておりません。");
  EXPECT_EQ(
      message([&] { bare.ExpandToMemory(nullptr, "", set, "", nullptr, 0, nullptr, nullptr, nullptr); }),
      "この形式ではメモリへの展開をサポートしておりません。");
  EXPECT_EQ(message([&] { bare.Verify("", 0, 0); }),
            "この形式では書庫チェック機能をサポートしておりません。");

  TArchiveEntry entry{};
  EXPECT_EQ(bare.OpenListing(nullptr, "a", 0), nullptr);
  EXPECT_EQ(bare.FirstEntry(nullptr, entry, "*"), -1);
  EXPECT_EQ(bare.NextEntry(nullptr, entry), -1);
  EXPECT_EQ(bare.CloseListing(nullptr), 0);
  int window = 0;
  EXPECT_FALSE(bare.AttachOwnerWindow(&window, nullptr));
  EXPECT_EQ(bare.OwnerWindow, &window);
  EXPECT_FALSE(bare.DetachOwnerWindow(&window));
  EXPECT_EQ(bare.OwnerWindow, nullptr);
}

TEST(ESfxNoRequiredFile, MessageAndFields) {
  const ESfxNoRequiredFile e("ZIP", "Win32 ", "sfx32gui.dat");
  EXPECT_STREQ(e.what(), "ZIP 書庫からのWin32 自己解凍書庫の作成には 'sfx32gui.dat' ファイルが必要です。");
  EXPECT_EQ(e.StubFile, "sfx32gui.dat");
  EXPECT_EQ(e.Target, "Win32 ");
  EXPECT_EQ(e.KindWord, "ZIP");
}

}  // namespace
}  // namespace corvane
