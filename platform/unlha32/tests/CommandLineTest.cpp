// Command texts as the archive layer builds them.
#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/unlha32/CommandLine.h"
#include "platform/unlha32/tests/TestSupport.h"
#include "platform/unlha32/unlha32.h"

namespace corvane::lha::test {
namespace {

TEST(LhaCommandLine, TheWizardsPackingCall) {
  TCommand c;
  ASSERT_EQ(
      ParseCommand("u -+ -n1 -p1 -x0 -jso1  \"STEM.KVX\" \"STEM.RJN\" \"/full/path/SOURCE.Enc\" ", true, c),
      0);
  EXPECT_EQ(c.letter, 'u');
  EXPECT_EQ(c.pathMode, 0);
  EXPECT_EQ(c.archive, "STEM.KVX");
  EXPECT_EQ(c.baseDir, "");
  EXPECT_EQ(c.files, (std::vector<std::string>{"STEM.RJN", "/full/path/SOURCE.Enc"}));
  EXPECT_EQ(c.method, "-lh5-");
}

TEST(LhaCommandLine, TheWizardsExtractionCall) {
  TCommand c;
  ASSERT_EQ(ParseCommand("x -+ -n1 -x0 -jse1 -jso1  \"/full/path/STEM.KVX\" ", true, c), 0);
  EXPECT_EQ(c.letter, 'x');
  EXPECT_EQ(c.pathMode, 0);
  EXPECT_EQ(c.archive, "/full/path/STEM.KVX");
  EXPECT_TRUE(c.files.empty());
}

TEST(LhaCommandLine, SwitchesBaseDirectoryAndQuoting) {
  TCommand c;
  ASSERT_EQ(ParseCommand(
                "A -lh7- -r -x1 -jx\"*.bak\" -w\"C:\\tmp\\\" -zz9 \"my archive.lzh\" out\\ plain \"-dash\"",
                true, c),
            0);
  EXPECT_EQ(c.letter, 'a');
  EXPECT_EQ(c.method, "-lh7-");
  EXPECT_TRUE(c.recurse);
  EXPECT_EQ(c.pathMode, 1);
  EXPECT_EQ(c.excludes, std::vector<std::string>{"*.bak"});
  EXPECT_EQ(c.archive, "my archive.lzh");
  EXPECT_EQ(c.baseDir, "out/");
  // A quoted name that starts with '-' is a name, not a switch.
  EXPECT_EQ(c.files, (std::vector<std::string>{"plain", "-dash"}));

  // Text switches as the archive layer writes them: the switch outside the quotes, the value inside.
  TCommand quoted;
  ASSERT_EQ(
      ParseCommand("u -+ -jx\"*.tmp\" -jo\"l20240101\" -w\"/tmp/\" -jso1  \"a.lzh\" \"f\" ", true, quoted),
      0);
  EXPECT_EQ(quoted.archive, "a.lzh");
  EXPECT_EQ(quoted.excludes, std::vector<std::string>{"*.tmp"});
  EXPECT_EQ(quoted.files, std::vector<std::string>{"f"});
}

// A quoted token is a name, whatever it starts with; only the unquoted -... and @... forms are switches and
// response files. Otherwise an archive "-x.lzh" would be read as a switch (and the first file packed over
// as the archive), and a member "@x_bob.RJN" as a response file in the current folder.
TEST(LhaCommandLine, QuotedTokensAreAlwaysNames) {
  struct Case {
    const char* text;
    const char* archive;
    std::vector<std::string> files;
  } cases[] = {
      {"u -x0 \"-x.lzh\" \"first.txt\"", "-x.lzh", {"first.txt"}},
      {"u \"-jx*.tmp\" \"a.lzh\" \"f\"", "-jx*.tmp", {"a.lzh", "f"}},
      {"x -x0 \"/c/s.KVX\" \"@x_bob.RJN\" \"@\" \"-x.txt.Enc\"",
       "/c/s.KVX",
       {"@x_bob.RJN", "@", "-x.txt.Enc"}},
      // Two quotes inside quotes are one; blanks and line breaks inside quotes belong to the name.
      {"u \"a\"\"b.lzh\" \"\"\"\" \"two\nlines\" \"x \"\"y\"\"\"",
       "a\"b.lzh",
       {"\"", "two\nlines", "x \"y\""}},
  };
  for (const auto& k : cases) {
    TCommand c;
    ASSERT_EQ(ParseCommand(k.text, true, c), 0) << k.text;
    EXPECT_EQ(c.archive, k.archive) << k.text;
    EXPECT_EQ(c.files, k.files) << k.text;
    EXPECT_EQ(c.pathMode, std::string(k.text).find("-x0") != std::string::npos ? 0 : -1) << k.text;
    EXPECT_TRUE(c.excludes.empty()) << k.text;
  }
}

TEST(LhaCommandLine, ResponseFiles) {
  const auto response = fs::temp_directory_path() / ("unlha32-response-" + std::to_string(::getpid()));
  struct Case {
    std::string content;
    int status;
    std::vector<std::string> files;
  } cases[] = {
      {"\"one name.txt\"\r\n\"two\"\r\n\r\n  three \n", 0, {"one name.txt", "two", "three"}},
      // As the archive layer writes names: quotes doubled, a line break kept inside the quotes.
      {"\"a\"\"b\"\r\n\"line\r\nbreak\"\r\n\"@x\"  \r\n", 0, {"a\"b", "line\r\nbreak", "@x"}},
      {"\"unclosed\r\n", UNLHA_ERROR_COMMAND, {}},
      {"\"a\"b\"\r\n", UNLHA_ERROR_COMMAND, {}},
  };
  for (const auto& k : cases) {
    WriteFile(response, k.content);
    TCommand r;
    EXPECT_EQ(ParseCommand(("u -jso1 \"a.lzh\" @\"" + response.string() + "\"").c_str(), true, r), k.status)
        << k.content;
    if (k.status == 0) {
      EXPECT_EQ(r.files, k.files) << k.content;
    }
  }
  fs::remove(response);
}

TEST(LhaCommandLine, Refusals) {
  TCommand c;
  EXPECT_EQ(ParseCommand(nullptr, true, c), UNLHA_ERROR_COMMAND);
  EXPECT_EQ(ParseCommand("", true, c), UNLHA_ERROR_COMMAND);
  EXPECT_EQ(ParseCommand("x -+ -n1", true, c), UNLHA_ERROR_COMMAND);         // no archive
  EXPECT_EQ(ParseCommand("\"a.lzh\" \"b\"", true, c), UNLHA_ERROR_COMMAND);  // no letter
  EXPECT_EQ(ParseCommand("u \"a.lzh\" @/nonexistent/list", true, c), UNLHA_ERROR_FILE_OPEN);
  EXPECT_EQ(ParseCommand("u \"a.lzh\" @\"/nonexistent/list\"", true, c), UNLHA_ERROR_FILE_OPEN);
  TCommand noLetter;
  ASSERT_EQ(ParseCommand(" -+ -jso1 \"a.lzh\" \"b.txt\"", false, noLetter), 0);
  EXPECT_EQ(noLetter.letter, 0);
  EXPECT_EQ(noLetter.files, std::vector<std::string>{"b.txt"});
}

TEST(LhaCommandLine, Wildcards) {
  struct {
    const char* pattern;
    const char* name;
    bool match;
  } cases[] = {{"*.*", "noext", true},
               {"*", "a/b", true},
               {"*.txt", "a.txt", true},
               {"*.txt", "a.txz", false},
               {"a?c", "abc", true},
               {"a?c", "ac", false},
               {"*b*c", "xxbyyc", true},
               {"*b*c", "xxbyyd", false},
               {"", "", true},
               // '?' is one character of a UTF-8 name, never one byte of it.
               {"?.txt", "表.txt", true},
               {"???.txt", "表.txt", false},
               {"見?書.txt", "見積書.txt", true},
               {"*?書.txt", "見積書.txt", true},
               {"*?積書.txt", "見積書.txt", true},
               {"*??積書.txt", "見積書.txt", false}};
  for (const auto& c : cases)
    EXPECT_EQ(MatchWildcard(c.pattern, c.name), c.match) << c.pattern << " " << c.name;
}

}  // namespace
}  // namespace corvane::lha::test
