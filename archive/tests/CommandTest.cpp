// Option sets, the text builder and the LHA command texts.

#include <gtest/gtest.h>

#include "archive/ArchiverOptions.h"
#include "archive/Lha32.h"
#include "archive/tests/ArchiveTestSupport.h"

namespace corvane {
namespace {

TEST(ArchiverOptions, NewSetHasEverySwitchUnset) {
  const TArchiverOptions set;
  EXPECT_EQ(set.a, -1);
  EXPECT_EQ(set.gw, -1);
  EXPECT_EQ(set.w, kUnsetText);
  EXPECT_EQ(set.jo.size(), 1u);
  EXPECT_EQ(set.jo[0], '\0');
  EXPECT_TRUE(set.jx.empty());
  EXPECT_EQ(set.UserOptions, "");
  EXPECT_EQ(set.PackFilter, TPackFilter::pfComponent);
  EXPECT_EQ(set.ResFileUsage.Bits(), 7);
  // An unset set builds a command with no switches at all beyond "-+" and jso.
  TArchiverOptions jsoOnly;
  jsoOnly.jso = 1;
  EXPECT_EQ(BuildLhaCommand("u", "a.lzh", false, {}, "", jsoOnly, false), "u -+ -jso1  \"a.lzh\" ");
}

TEST(ArchiverOptions, AssignCopiesEverySwitchAndOwnsItsExclusions) {
  TArchiverOptions source;
  source.x = 0;
  source.jo = "20240101";
  source.jx = {"*.tmp", "*.bak"};
  source.UserOptions = "-gm1";
  source.PackFilter = TPackFilter::pfArchiver;
  source.ResFileUsage = TResFileUsage{TResFileUse::ruOnUpdate};

  TArchiverOptions copy;
  copy.Assign(source);
  source.jx.push_back("*.old");
  EXPECT_EQ(copy.jx, (std::vector<std::string>{"*.tmp", "*.bak"}));
  EXPECT_EQ(copy.x, 0);
  EXPECT_EQ(copy.jo, "20240101");
  EXPECT_EQ(copy.UserOptions, "-gm1");
  EXPECT_EQ(copy.PackFilter, TPackFilter::pfArchiver);
  EXPECT_EQ(copy.ResFileUsage.Bits(), 8);

  copy.Reset();
  EXPECT_EQ(copy.x, -1);
  EXPECT_TRUE(copy.jx.empty());
  EXPECT_EQ(copy.ResFileUsage.Bits(), 7);
}

TEST(FlattenFileList, KeepsOrderAndDuplicatesAndSkipsEmptyNames) {
  const TFileItems items{std::string("a"), std::vector<std::string>{"b", "", "a"}, TStringList{{"c", ""}},
                         std::string(), std::vector<std::string>{}};
  EXPECT_EQ(FlattenFileList(items), (std::vector<std::string>{"a", "b", "a", "c"}));
}

TEST(TCmdOpt, ItemsAndSwitches) {
  struct Case {
    const char* what;
    std::function<void(TCmdOpt&)> build;
    const char* text;
  };
  const Case cases[] = {
      {"empty item still adds a blank", [](TCmdOpt& c) { c.Append(""); }, " "},
      {"number 0 is written", [](TCmdOpt& c) { c.AppendNumber("x", 0); }, " -x0"},
      {"number -1 and -2 are not", [](TCmdOpt& c) { c.AppendNumber("x", -1), c.AppendNumber("x", -2); }, ""},
      {"flag", [](TCmdOpt& c) { c.AppendFlag("r", true), c.AppendFlag("s", false); }, " -r"},
      {"unset text writes nothing", [](TCmdOpt& c) { c.AppendQuoted("jo", kUnsetText); }, ""},
      {"empty text is a value", [](TCmdOpt& c) { c.AppendQuoted("jo", ""); }, " -jo\"\""},
      {"switch outside the quotes", [](TCmdOpt& c) { c.AppendQuoted("jx", "*.tmp"); }, " -jx\"*.tmp\""},
      {"no name: just the quoted value", [](TCmdOpt& c) { c.AppendQuoted("", "a b"); }, " \"a b\""},
      {"a quote inside is written twice", [](TCmdOpt& c) { c.AppendQuoted("", "a\"b\""); },
       " \"a\"\"b\"\"\""},
      {"leading blank: no dash", [](TCmdOpt& c) { c.AppendQuoted(" -o", "x"); }, " -o\"x\""},
      {"separate value",
       [](TCmdOpt& c) {
         c.SeparateValue = true;
         c.AppendQuoted("w", "dir");
       },
       " -w \"dir\""},
      {"directory gets a slash", [](TCmdOpt& c) { c.AppendDirectory("w", "/tmp/work"); },
       " -w\"/tmp/work/\""},
      {"directory keeps its slash", [](TCmdOpt& c) { c.AppendDirectory("", "/tmp/"); }, " \"/tmp/\""},
      {"empty or unset directory",
       [](TCmdOpt& c) { c.AppendDirectory("w", ""), c.AppendDirectory("w", kUnsetText); }, ""},
      {"name mapper",
       [](TCmdOpt& c) {
         c.NameMapper = [](const std::string& n) { return "m/" + n; };
         c.AppendFileName("", "f");
       },
       " \"m/f\""},
  };
  for (const auto& c : cases) {
    TCmdOpt cmd;
    c.build(cmd);
    EXPECT_EQ(cmd.Text, c.text) << c.what;
  }
}

TEST(TCmdOpt, ACodeZeroIsRefusedAndQuotesAndLineBreaksAreCarried) {
  // A code 0 would cut the command there, silently dropping everything after it.
  TCmdOpt cmd;
  EXPECT_THROW(cmd.Append(std::string("-a1\0-x", 7)), EArchiver);
  EXPECT_THROW(cmd.AppendFileName("", std::string("a\0b", 3)), EArchiver);
  EXPECT_EQ(cmd.Text, "");

  // A quote is doubled, so it can neither end the name early nor start another name or switch.
  TArchiverOptions set;
  set.jso = 1;
  EXPECT_EQ(BuildLhaCommand("u", "a\".lzh", false, {std::string("x\" \"/etc/passwd"), std::string("l\nb")},
                            "", set, false),
            "u -+ -jso1  \"a\"\".lzh\" \"x\"\" \"\"/etc/passwd\" \"l\nb\" ");

  // The response file takes both too, one quoted name per line.
  test::TempDir dir;
  const auto file = (dir / "names.rsp").string();
  EXPECT_EQ(cmd.AppendResponseFile({std::string("my\"file"), std::string("two\nlines")}, file), 2);
  EXPECT_EQ(test::ReadFile(file), "\"my\"\"file\"\r\n\"two\nlines\"\r\n");
  EXPECT_THROW(cmd.AppendResponseFile({std::string("a\0b", 3)}, file), EArchiver);
}

TEST(TCmdOpt, ResponseFileHoldsOneQuotedNamePerLine) {
  test::TempDir dir;
  const auto file = (dir / "names.rsp").string();
  test::WriteFile(file, "old content that must go");
  TCmdOpt cmd;
  EXPECT_EQ(cmd.AppendResponseFile({std::vector<std::string>{"a.txt", "dir/b c.txt", "a.txt"}}, file), 3);
  EXPECT_EQ(test::ReadFile(file), "\"a.txt\"\r\n\"dir/b c.txt\"\r\n\"a.txt\"\r\n");
  EXPECT_EQ(cmd.Text, " @\"" + file + "\"");
  EXPECT_THROW(cmd.AppendResponseFile({std::string("a")}, (dir / "missing" / "x.rsp").string()), EFileError);
}

TEST(BuildLhaCommand, TheWizardsTwoCommands) {
  // Packing, after the selection set p := 1 (and unset r, jo, job) on the wizard's n := 1, x := 0, jso := 1.
  TArchiverOptions pack;
  pack.n = 1;
  pack.x = 0;
  pack.jso = 1;
  pack.p = 1;
  const TFileItems selected{TStringList{{"letter_bob.RJN", "/home/a/letter.txt.Enc"}}};
  EXPECT_EQ(BuildLhaCommand("u", "letter_bob.KVX", false, selected, "", pack, false),
            "u -+ -n1 -p1 -x0 -jso1  \"letter_bob.KVX\" \"letter_bob.RJN\" \"/home/a/letter.txt.Enc\" ");

  TArchiverOptions extract;
  extract.x = 0;
  extract.jse = 1;
  extract.jso = 1;
  extract.n = 1;
  EXPECT_EQ(
      BuildLhaCommand("x", "/home/b/letter_bob.KVX", true, {std::vector<std::string>{}}, "", extract, false),
      "x -+ -n1 -x0 -jse1 -jso1  \"/home/b/letter_bob.KVX\" ");
}

TEST(BuildLhaCommand, ContractChecksComeBeforeAnything) {
  TArchiverOptions set;
  set.jse = 1;
  try {
    BuildLhaCommand("u", "a.lzh", false, {}, "", set, false);
    FAIL() << "no assertion";
  } catch (const EAssertionFailed& e) {
    EXPECT_STREQ(e.what(), "jso オプションが設定されていません。");
  }
  set.jse = -1;
  set.jso = 1;
  try {
    BuildLhaCommand("x", "a.lzh", false, {}, "", set, false);
    FAIL() << "no assertion";
  } catch (const EAssertionFailed& e) {
    EXPECT_STREQ(e.what(), "jse オプションが設定されていません。");
  }
  // jse matters for extraction only.
  EXPECT_NO_THROW(BuildLhaCommand("u", "a.lzh", false, {}, "", set, false));
  EXPECT_NO_THROW(BuildLhaCommand("", "a.lzh", false, {}, "", set, false));
}

TEST(BuildLhaCommand, SwitchesInTheirFixedOrder) {
  TArchiverOptions set;
  set.gw = 9;
  set.a = 1;
  set.jyo = 2;
  set.w = "/tmp/w";
  set.jo = "l20240101";
  set.job = "";
  set.jx = {"*.tmp", "*.bak"};
  set.jz = "z";
  set.gr = "r";
  set.jso = 1;
  set.jse = 0;
  set.UserOptions = "-extra";
  set.UserFileList = "tail";
  EXPECT_EQ(BuildLhaCommand("x", "a.lzh", false, {std::string("f1"), std::string("f1")}, "/base", set, false),
            "x -+ -a1 -w\"/tmp/w/\" -jo\"l20240101\" -job\"\" -jse0 -jso1 -jx\"*.tmp\" -jx\"*.bak\" -jyo2 "
            "-jz\"z\" -gr\"r\" -gw9 -extra \"a.lzh\" \"/base/\" \"f1\" \"f1\" tail");
}

TEST(BuildLhaCommand, AttachedOwnerWindowForcesNOne) {
  TArchiverOptions set;
  set.jso = 1;
  EXPECT_EQ(BuildLhaCommand("u", "a", false, {}, "", set, true), "u -+ -n1 -jso1  \"a\" ");
  set.n = 0;
  EXPECT_EQ(BuildLhaCommand("u", "a", false, {}, "", set, false), "u -+ -n0 -jso1  \"a\" ");
  EXPECT_EQ(BuildLhaCommand("u", "a", false, {}, "", set, true), "u -+ -n1 -jso1  \"a\" ");
}

TEST(BuildLhaCommand, ResponseFileReplacesTheNamesOnlyWhenNamedAndAsked) {
  test::TempDir dir;
  TArchiverOptions set;
  set.jso = 1;
  const TFileItems names{std::vector<std::string>{"a.txt", "b.txt"}};
  // Asked for, but no file named: the names go on the command.
  EXPECT_EQ(BuildLhaCommand("u", "x.lzh", true, names, "", set, false),
            "u -+ -jso1  \"x.lzh\" \"a.txt\" \"b.txt\" ");
  set.ResFileName = (dir / "r.txt").string();
  EXPECT_EQ(BuildLhaCommand("u", "x.lzh", false, names, "", set, false),
            "u -+ -jso1  \"x.lzh\" \"a.txt\" \"b.txt\" ");
  EXPECT_FALSE(std::filesystem::exists(set.ResFileName));
  EXPECT_EQ(BuildLhaCommand("u", "x.lzh", true, names, "", set, false),
            "u -+ -jso1  \"x.lzh\" @\"" + set.ResFileName + "\" ");
  EXPECT_EQ(test::ReadFile(set.ResFileName), "\"a.txt\"\r\n\"b.txt\"\r\n");
}

}  // namespace
}  // namespace corvane
