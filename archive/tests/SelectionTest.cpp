// The component's file selection, in temporary folder trees.

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>

#include "archive/Filters.h"
#include "archive/tests/ArchiveTestSupport.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using test::WriteFile;

TDateTime Seconds(int y, unsigned m, unsigned d, int hh = 0, int mm = 0, int ss = 0) {
  using namespace std::chrono;
  const sys_days days{year{y} / month{m} / day{d}};
  return days.time_since_epoch().count() * 86400LL + hh * 3600 + mm * 60 + ss;
}

struct Selection {
  std::vector<std::string> names;
  std::vector<std::string> reported;
  bool cancelled = false;
};

// Runs a selection, collecting the names reported through progress (and cancelling after cancelAfter).
Selection Select(TArchiverOptions& options, const TFileItems& items, const std::string& base = "",
                 int cancelAfter = -1) {
  Selection result;
  const TSelectProgress progress = [&](std::int32_t state, TUnlhaProgress* record, bool& cancel) {
    EXPECT_EQ(state, 0x805);
    result.reported.push_back(record->szSourceFileName);
    if (static_cast<int>(result.reported.size()) == cancelAfter) cancel = true;
  };
  result.names = SelectFiles(options, base, items, progress, result.cancelled).Strings;
  return result;
}

class SelectFilesTest : public ::testing::Test {
 protected:
  SelectFilesTest() : cwd_(dir_.Path()) {}
  void Touch(const std::string& name) {
    fs::create_directories((dir_ / name).parent_path());
    WriteFile(dir_ / name, name);
  }
  TempDir dir_;
  test::CurrentDirectory cwd_;
  TArchiverOptions options_;
};

TEST_F(SelectFilesTest, TheWizardsBareNameAndFullPath) {
  Touch("letter_bob.RJN");
  Touch("src/letter.txt.Enc");
  const std::string enc = (dir_ / "src/letter.txt.Enc").string();
  options_.n = 1;
  options_.x = 0;
  options_.jso = 1;
  options_.r = 2;
  options_.jo = "20000101";
  const auto s = Select(options_, {TStringList{{"letter_bob.RJN", enc}}});
  // Sorted without regard to case: the absolute path ("/...") comes before the bare name.
  EXPECT_EQ(s.names, (std::vector<std::string>{enc, "letter_bob.RJN"}));
  EXPECT_EQ(s.reported, (std::vector<std::string>{"letter_bob.RJN", enc}));
  EXPECT_EQ(options_.p, 1);
  EXPECT_EQ(options_.r, -1);
  EXPECT_EQ(options_.jo, kUnsetText);
  EXPECT_EQ(options_.job, kUnsetText);
  EXPECT_EQ(options_.n, 1);
  EXPECT_EQ(options_.x, 0);
}

// Only regular files are packed: a FIFO would make the library wait for a writer forever, and a link that
// leads nowhere, a socket or a device has no content. A link to a regular file counts as that file.
TEST_F(SelectFilesTest, OnlyRegularFilesAreSelected) {
  Touch("a.txt");
  fs::create_symlink("a.txt", dir_ / "alias");
  fs::create_symlink("nowhere", dir_ / "gone");
  fs::create_symlink("/dev/null", dir_ / "device");
  ASSERT_EQ(::mkfifo((dir_ / "fifo").c_str(), 0600), 0);
  const int sock = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  ASSERT_GE(sock, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strcpy(address.sun_path, "sock");
  ASSERT_EQ(::bind(sock, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  const auto s = Select(options_, {std::string("*"), std::string("fifo"), std::string("gone"),
                                   std::string("device"), std::string("sock"), std::string("alias")});
  EXPECT_EQ(s.names, (std::vector<std::string>{"a.txt", "alias"}));
  ::close(sock);
}

TEST_F(SelectFilesTest, OrderIgnoresCaseAndKeepsNamesThatDifferOnlyInCase) {
  for (const char* name : {"b.txt", "A.txt", "a.txt", "C.txt"}) Touch(name);
  const auto s = Select(options_, {std::string("*.txt")});
  EXPECT_EQ(s.names, (std::vector<std::string>{"A.txt", "a.txt", "b.txt", "C.txt"}));
}

TEST_F(SelectFilesTest, SameFileThroughTwoPatternsIsSelectedAndReportedOnce) {
  Touch("a.txt");
  Touch("b.dat");
  const auto s = Select(options_, {std::string("a.txt"), std::string("*.txt"), std::string("a.txt")});
  EXPECT_EQ(s.names, std::vector<std::string>{"a.txt"});
  EXPECT_EQ(s.reported, std::vector<std::string>{"a.txt"});
}

TEST_F(SelectFilesTest, HiddenFilesOnlyWithSwitchA) {
  Touch(".hidden");
  Touch("shown");
  EXPECT_EQ(Select(options_, {std::string("*")}).names, std::vector<std::string>{"shown"});
  EXPECT_TRUE(Select(options_, {std::string(".hidden")}).names.empty());
  options_.a = 1;
  EXPECT_EQ(Select(options_, {std::string("*")}).names, (std::vector<std::string>{".hidden", "shown"}));
}

TEST_F(SelectFilesTest, DirectoryPatternsAndRecursion) {
  Touch("top.txt");
  Touch("sub/b.txt");
  Touch("sub/c.dat");
  Touch("sub/deeper/d.txt");
  Touch("sub/.hid/e.txt");  // hidden folders are searched: the folder search always includes them

  EXPECT_TRUE(Select(options_, {std::string("sub")}).names.empty()) << "a folder is not a file";

  options_.r = 2;
  EXPECT_EQ(Select(options_, {std::string("sub")}).names,
            (std::vector<std::string>{"sub/.hid/e.txt", "sub/b.txt", "sub/c.dat", "sub/deeper/d.txt"}));

  options_.Reset();
  options_.r = 1;
  EXPECT_EQ(Select(options_, {std::string("*.txt")}).names,
            (std::vector<std::string>{"sub/.hid/e.txt", "sub/b.txt", "sub/deeper/d.txt", "top.txt"}));

  // With p set a plain name is not looked for below; a wildcard still is.
  options_.Reset();
  options_.r = 1;
  options_.p = 1;
  EXPECT_EQ(Select(options_, {std::string("b.txt")}).names, std::vector<std::string>{});
  options_.r = 1;
  options_.p = 1;
  EXPECT_EQ(Select(options_, {std::string("b.tx?")}).names, std::vector<std::string>{"sub/b.txt"});
}

TEST_F(SelectFilesTest, LinkedFoldersAreNotFollowed) {
  Touch("sub/a.txt");
  fs::create_directory_symlink(dir_.Path(), dir_ / "sub/loop");
  options_.r = 1;
  EXPECT_EQ(Select(options_, {std::string("*.txt")}).names, std::vector<std::string>{"sub/a.txt"});
}

TEST_F(SelectFilesTest, NoPatternsSelectsTheCurrentFolder) {
  Touch("a");
  Touch("b");
  Touch("sub/c");
  EXPECT_EQ(Select(options_, {}).names, (std::vector<std::string>{"a", "b"}));
  EXPECT_TRUE(Select(options_, {std::string("nothing*")}).names.empty());
}

TEST_F(SelectFilesTest, DateBoundsAreInclusive) {
  struct Stamp {
    const char* name;
    int y, mo, d, h, mi, s;
  };
  const Stamp stamps[] = {{"before", 2023, 12, 31, 23, 59, 59},
                          {"first", 2024, 1, 1, 0, 0, 0},
                          {"last", 2024, 1, 31, 23, 59, 59},
                          {"after", 2024, 2, 1, 0, 0, 0}};
  for (const auto& t : stamps) {
    Touch(t.name);
    test::SetLocalWriteTime(dir_ / t.name, t.y, t.mo, t.d, t.h, t.mi, t.s);
  }
  options_.jo = "l20240101";  // from 2024-01-01 00:00:00
  options_.job = "240131";    // to 2024-01-31 23:59:59, the year completed by the century window
  EXPECT_EQ(Select(options_, {std::string("*")}).names, (std::vector<std::string>{"first", "last"}));
  options_.jo = "20240101000001";
  options_.job = kUnsetText;
  EXPECT_EQ(Select(options_, {std::string("*")}).names, (std::vector<std::string>{"after", "last"}));
  options_.jo = "2024013x";
  EXPECT_THROW(Select(options_, {std::string("*")}), EConvertError) << "not a date";
}

TEST_F(SelectFilesTest, ExcludedFilesAreNeitherSelectedNorReported) {
  Touch("keep.txt");
  Touch("drop.tmp");
  Touch("sub/deep.tmp");
  options_.jx = {"*.tmp", "sub/*.tmp"};
  options_.r = 1;
  const auto s = Select(options_, {std::string("*")});
  EXPECT_EQ(s.names, std::vector<std::string>{"keep.txt"});
  EXPECT_EQ(s.reported, std::vector<std::string>{"keep.txt"});
  EXPECT_EQ(options_.jx.size(), 2u) << "the selection leaves jx to the caller";
}

TEST_F(SelectFilesTest, CancelStopsTheSearch) {
  for (const char* name : {"a", "b", "c", "d"}) Touch(name);
  const auto s = Select(options_, {std::string("*"), std::string("a")}, "", 2);
  EXPECT_TRUE(s.cancelled);
  EXPECT_EQ(s.reported.size(), 2u);
  EXPECT_EQ(s.names.size(), 2u);
}

TEST_F(SelectFilesTest, BaseDirectoryIsCurrentOnlyWhileSearching) {
  Touch("base/in.txt");
  Touch("base/sub/deep.txt");
  const std::string base = (dir_ / "base").string();
  const auto before = fs::current_path();
  EXPECT_EQ(Select(options_, {std::string("*.txt")}, base).names, std::vector<std::string>{"in.txt"});
  EXPECT_EQ(fs::current_path(), before);

  // jf -2 makes absolute names relative to the base directory.
  options_.jf = -2;
  EXPECT_EQ(Select(options_, {base + "/sub/deep.txt", std::string("in.txt")}, base).names,
            (std::vector<std::string>{"in.txt", "sub/deep.txt"}));

  EXPECT_THROW(Select(options_, {std::string("*")}, (dir_ / "missing").string()), EFileError);
  EXPECT_EQ(fs::current_path(), before);
}

TEST_F(SelectFilesTest, LongNamesAreCutInTheProgressRecordOnly) {
  const std::string deep =
      "d1/" + std::string(200, 'a') + "/" + std::string(200, 'b') + "/" + std::string(200, 'c');
  Touch(deep);
  options_.r = 2;
  const auto s = Select(options_, {std::string("d1")});
  ASSERT_EQ(s.names, std::vector<std::string>{deep});
  ASSERT_EQ(s.reported.size(), 1u);
  EXPECT_EQ(s.reported[0], deep.substr(0, 512));
}

TEST(ParseDateBound, Forms) {
  struct Case {
    const char* text;
    const char* defaultTime;
    TDateTime expected;
  };
  const Case cases[] = {
      {"20240229", "000000", Seconds(2024, 2, 29)},
      {"l20240229", "235959", Seconds(2024, 2, 29, 23, 59, 59)},
      {"20240229123456", "235959", Seconds(2024, 2, 29, 12, 34, 56)},
      {"l240229", "000000", Seconds(2024, 2, 29)},
      {"991231235959", "000000", Seconds(1999, 12, 31, 23, 59, 59)},
      {"", "000000", 0},
      {"l", "000000", 0},
      {"2024022", "000000", 0},
      {"202402291", "000000", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseDateBound(c.text, c.defaultTime), c.expected) << c.text;
  EXPECT_EQ(ParseDateBound(kUnsetText, "000000"), 0);
  for (const char* bad : {"20230229", "20241301", "20240100", "20240101240000", "20240101006000", "2024x101",
                          "00000101", "l-40101"})
    EXPECT_THROW(ParseDateBound(bad, "000000"), EConvertError) << bad;
}

TEST(ExpandTwoDigitYear, FiftyYearWindow) {
  EXPECT_EQ(ExpandTwoDigitYear(76, 2026), 1976);
  EXPECT_EQ(ExpandTwoDigitYear(75, 2026), 2075);
  EXPECT_EQ(ExpandTwoDigitYear(0, 2026), 2000);
  EXPECT_EQ(ExpandTwoDigitYear(99, 2026), 1999);
  EXPECT_EQ(ExpandTwoDigitYear(49, 2000), 2049);
  EXPECT_EQ(ExpandTwoDigitYear(50, 2000), 1950);
}

TEST(InDateRange, BoundsAreInclusiveAndZeroIsNoBound) {
  EXPECT_TRUE(InDateRange(5, 0, 0));
  EXPECT_TRUE(InDateRange(5, 5, 5));
  EXPECT_FALSE(InDateRange(4, 5, 0));
  EXPECT_FALSE(InDateRange(6, 0, 5));
}

TEST(MatchesMask, Wildcards) {
  struct Case {
    const char* name;
    const char* mask;
    bool matches;
  };
  const Case cases[] = {{"a.txt", "*.*", true},   {"noext", "*.*", true},    {"noext", "*", true},
                        {"a.txt", "*.txt", true}, {"a.TXT", "*.txt", false}, {"ab.txt", "?.txt", false},
                        {"a.txt", "?.txt", true}, {"abcabd", "*abd", true},  {"abc", "a*b*c*", true},
                        {"abc", "", false},       {"", "*", true},           {"a.tx", "a.tx?", false}};
  for (const auto& c : cases) EXPECT_EQ(MatchesMask(c.name, c.mask), c.matches) << c.name << " ~ " << c.mask;
}

}  // namespace
}  // namespace corvane
