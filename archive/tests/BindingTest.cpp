// Library bindings against the stand-in libraries of bin/archive-fakes/ and a folder with no library.

#include <gtest/gtest.h>

#include "archive/ArchiverDll.h"
#include "archive/Archives.h"
#include "archive/tests/ArchiveTestSupport.h"

namespace corvane {
namespace {

using test::FakeFolder;
using test::TempDir;

// 2024-02-29 13:45:58, the stand-in's MS-DOS time stamp, as FILETIME.
constexpr std::uint64_t kStampFileTime = 0x1da6b159fc7af00ull;

// A copy of a field of the packed record (a reference to it could be misaligned).
std::uint64_t Value(std::uint64_t field) {
  return field;
}

class BindingTest : public ::testing::Test {
 protected:
  ~BindingTest() override { test::ResetLibraries(); }

  // An existing file the stand-in lists two entries for.
  std::string ArchivePath() {
    const auto path = dir_ / "any.lzh";
    test::WriteFile(path, "x");
    return path.string();
  }

  TempDir dir_;
};

TEST_F(BindingTest, ListingFillsAndCompletesTheRecord) {
  test::UseLibraryFolder(FakeFolder("complete"));
  TArchiverDll dll("LHA 形式書庫", "UNLHA32.DLL", "Unlha");
  dll.Load();
  EXPECT_EQ(dll.ModulePath(), (FakeFolder("complete") / "libunlha32.so").string());

  void* archive = dll.OpenArchive(nullptr, ArchivePath(), 0);
  ASSERT_NE(archive, nullptr);
  TArchiveEntry entry{};
  ASSERT_EQ(dll.FindFirst(archive, "*.*", entry), 0);
  EXPECT_EQ(ArchiveEntryName(entry), "one.txt");
  EXPECT_EQ(Value(entry.ftWriteTime), 0x01D0000000000001ull) << "from the export";
  EXPECT_EQ(Value(entry.ftAccessTime), 0x01D0000000000002ull) << "from the export";
  EXPECT_EQ(Value(entry.ftCreateTime), kStampFileTime) << "the export answered false";
  EXPECT_EQ(Value(entry.llOriginalSize), 0x100000000ull + 1000u) << "64-bit size from the export";
  EXPECT_EQ(Value(entry.llCompressedSize), 500u) << "no export: the 32-bit size";

  ASSERT_EQ(dll.FindNext(archive, entry), 0);
  EXPECT_EQ(ArchiveEntryName(entry), "two.txt");
  EXPECT_EQ(Value(entry.llCompressedSize), 700u);
  EXPECT_EQ(dll.FindNext(archive, entry), -1);
  EXPECT_EQ(dll.CloseArchive(archive), 0);

  // Found exports are cached; a missing optional one is not, so it is looked for again.
  EXPECT_NE(dll.Entry(TDllEntry::deFindNext), nullptr);
  EXPECT_EQ(dll.Entry(TDllEntry::deGetCompressedSizeEx), nullptr);

  dll.Unload();
  EXPECT_FALSE(dll.Loaded());
  for (std::size_t slot = 0; slot < kDllEntryCount; ++slot)
    EXPECT_EQ(dll.Entry(static_cast<TDllEntry>(slot)), nullptr);
}

// A library without the member-reading exports answers as for a member that is to be extracted instead.
TEST_F(BindingTest, WithoutMemberReadingEveryMemberIsExtracted) {
  test::UseLibraryFolder(FakeFolder("complete"));
  TArchiveFile file;
  file.SetFileName(ArchivePath());
  int status = 0;
  EXPECT_EQ(file.OpenMember("one.txt", status), nullptr);
  EXPECT_EQ(status, UNLHA_ERROR_METHOD);
  TArchiverDll dll("LHA 形式書庫", "UNLHA32.DLL", "Unlha");
  std::uint32_t got = 1;
  EXPECT_EQ(dll.ReadMember(nullptr, nullptr, 0, got), UNLHA_ERROR_HANDLE);
  EXPECT_EQ(got, 0u);
  EXPECT_EQ(dll.CloseMember(nullptr), UNLHA_ERROR_HANDLE);
}

TEST_F(BindingTest, WithoutWriteTimeTheRecordTakesTheMsDosStamp) {
  test::UseLibraryFolder(FakeFolder("no-write-time"));
  TArchiverDll dll("LHA 形式書庫", "UNLHA32.DLL", "Unlha");
  void* archive = dll.OpenArchive(nullptr, ArchivePath(), 0);  // loads on demand
  TArchiveEntry entry{};
  ASSERT_EQ(dll.FindFirst(archive, "*", entry), 0);
  EXPECT_EQ(Value(entry.ftWriteTime), kStampFileTime);
  dll.CloseArchive(archive);
}

TEST_F(BindingTest, MissingRequiredExportNamesTheModuleAndLeavesTheRestUsable) {
  test::UseLibraryFolder(FakeFolder("no-find-next"));
  TArchiverDll dll("LHA 形式書庫", "UNLHA32.DLL", "Unlha");
  void* archive = dll.OpenArchive(nullptr, ArchivePath(), 0);
  TArchiveEntry entry{};
  ASSERT_EQ(dll.FindFirst(archive, "*", entry), 0);
  try {
    dll.FindNext(archive, entry);
    FAIL() << "no EEntryNotFound";
  } catch (const EEntryNotFound& e) {
    EXPECT_EQ(std::string(e.what()), (FakeFolder("no-find-next") / "libunlha32.so").string() +
                                         " に UnlhaFindNext のエントリが見つかりません。");
  }
  EXPECT_EQ(dll.CloseArchive(archive), 0);
}

TEST_F(BindingTest, MissingLibrary) {
  test::UseLibraryFolder(test::NoLibraryFolder());
  TArchiverDll dll("LHA 形式書庫", "UNLHA32.DLL", "Unlha");
  try {
    dll.Load();
    FAIL() << "no ENoArchiverDLL";
  } catch (const ENoArchiverDLL& e) {
    EXPECT_STREQ(e.what(), "LHA 形式書庫 を扱うには UNLHA32.DLL が 必要です。");
  }
  EXPECT_THROW(dll.RunCommand(nullptr, "x", nullptr, 0), ENoArchiverDLL);
  EXPECT_THROW(dll.CheckArchive("a", 16), ENoArchiverDLL);
  EXPECT_THROW(dll.GetArchiveType("a"), ENoArchiverDLL);
}

TEST_F(BindingTest, ZeroLengthOutputIsPassedAsNullBuffer) {
  test::UseLibraryFolder(FakeFolder("complete"));
  const test::FakeLibrary fake("complete");
  TArchiverDll dll("LHA 形式書庫", "UNLHA32.DLL", "Unlha");
  char buffer[16] = "unchanged";
  fake.Reset();
  dll.RunCommand(nullptr, "l \"a\"", buffer, 0);
  EXPECT_EQ(fake.LastOutput(), nullptr);
  EXPECT_EQ(fake.LastOutputSize(), 0u);
  EXPECT_STREQ(buffer, "unchanged");
  dll.RunCommand(nullptr, "l \"a\"", buffer, sizeof(buffer));
  EXPECT_EQ(fake.LastOutput(), buffer);
  EXPECT_EQ(fake.LastOutputSize(), sizeof(buffer));
  EXPECT_EQ(fake.LastCommand(), "l \"a\"");
}

TEST_F(BindingTest, SecondSelectionSucceedsAndTheFirstCallFails) {
  test::UseLibraryFolder(test::NoLibraryFolder());
  TArchiveFile first;
  EXPECT_THROW(first.SetArchiverType(TArchiverType::atLha), ENoArchiverDLL);
  EXPECT_EQ(first.ArchiverType(), TArchiverType::atAutoDetect);
  EXPECT_EQ(first.Archiver(), nullptr);

  TArchiveFile second;
  second.SetArchiverType(TArchiverType::atLha);
  EXPECT_EQ(second.ArchiverType(), TArchiverType::atLha);
  second.SetFileName("c.KVX");
  EXPECT_THROW(second.OpenListing(nullptr, 0), ENoArchiverDLL);
  second.Options().jso = 1;
  second.Options().PackFilter = TPackFilter::pfArchiver;
  EXPECT_THROW(second.CompressFiles(nullptr, nullptr, "", {std::string("a")}), ENoArchiverDLL);
}

TEST_F(BindingTest, KindsWithoutTheirLibraries) {
  test::UseLibraryFolder(test::NoLibraryFolder());
  TArchiveFile file;
  for (auto kind : {TArchiverType::atCab, TArchiverType::atArj, TArchiverType::atTar, TArchiverType::atRar,
                    TArchiverType::atBga, TArchiverType::at7z})
    EXPECT_THROW(file.SetArchiverType(kind), ENoArchiverDLL) << static_cast<int>(kind);
  // The tar family shares TAR32.DLL's binding, left in its slot by the failed selection above.
  for (auto kind : {TArchiverType::atTar, TArchiverType::atTgz, TArchiverType::atBZ2}) {
    EXPECT_NO_THROW(file.SetArchiverType(kind));
    EXPECT_EQ(file.ArchiverType(), kind);
  }
  EXPECT_THROW(file.OpenListing(nullptr, 0), ENoArchiverDLL) << "the first call that loads";
  try {
    file.SetArchiverType(TArchiverType::atYz1);
    FAIL() << "no EArchiver";
  } catch (const EArchiver& e) {
    EXPECT_STREQ(e.what(), "Yz1 形式書庫を扱うには YYZ32.DLL か YZ1.DLL が必要です。");
  }
  EXPECT_THROW(file.SetArchiverType(TArchiverType::atYz1), EArchiver) << "tried again, still missing";

  // The ZIP kind is created without its libraries and names them when asked to work.
  file.SetArchiverType(TArchiverType::atZip);
  file.SetFileName("a.zip");
  std::string buffer;
  try {
    file.ExpandFiles(nullptr, nullptr, "", {});
    FAIL() << "no EArchiver";
  } catch (const EArchiver& e) {
    EXPECT_STREQ(e.what(), "ZIP 形式書庫の解凍には UNZIP32.DLL または LMZIP32.DLL が必要です。");
  }
  try {
    file.Archiver()->Compress(nullptr, "a.zip", buffer, false, {}, "", file.Options());
    FAIL() << "no EArchiver";
  } catch (const EArchiver& e) {
    EXPECT_STREQ(e.what(), "ZIP 形式書庫の作成には ZIP32J.DLL または LMZIP32.DLL が必要です。");
  }
}

TEST_F(BindingTest, ZipBindingNamesAMissingExport) {
  test::UseLibraryFolder(test::NoLibraryFolder());
  TZipDll zip;
  EXPECT_NO_THROW(zip.Load()) << "each ZIP library is loaded only when present";
  EXPECT_FALSE(zip.CanExpand());
  EXPECT_FALSE(zip.CanCompress());
  try {
    zip.CheckArchive("a.zip", 24);
    FAIL() << "no EEntryNotFound";
  } catch (const EEntryNotFound& e) {
    EXPECT_STREQ(e.what(), "UnZipCheckArchive のエントリが DLL に見つかりませんでした。");
  }
}

TEST(LinuxLibraryName, LowerCaseWithLibPrefixAndSoExtension) {
  EXPECT_EQ(LinuxLibraryName("UNLHA32.DLL"), "libunlha32.so");
  EXPECT_EQ(LinuxLibraryName("7-zip32.dll"), "lib7-zip32.so");
  EXPECT_EQ(LinuxLibraryName("UNARJ32J.DLL"), "libunarj32j.so");
}

TEST(DosDateTimeToFileTime, ConvertsWithoutTimeZoneAndRejectsInvalidStamps) {
  EXPECT_EQ(DosDateTimeToFileTime((0 << 9) | (1 << 5) | 1, 0), 0x1a8e79fe1d58000ull);  // 1980-01-01 00:00:00
  EXPECT_EQ(DosDateTimeToFileTime(((2024 - 1980) << 9) | (2 << 5) | 29, (13 << 11) | (45 << 5) | 29),
            kStampFileTime);
  EXPECT_EQ(DosDateTimeToFileTime(0, 0), 0u) << "month and day 0";
  EXPECT_EQ(DosDateTimeToFileTime(((2023 - 1980) << 9) | (2 << 5) | 29, 0), 0u) << "2023-02-29";
  EXPECT_EQ(DosDateTimeToFileTime((1 << 5) | 1, 24 << 11), 0u) << "hour 24";
  EXPECT_EQ(DosDateTimeToFileTime((1 << 5) | 1, 60 << 5), 0u) << "minute 60";
}

}  // namespace
}  // namespace corvane
