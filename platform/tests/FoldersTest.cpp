#include "platform/Folders.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "platform/LibraryLoader.h"
#include "platform/tests/TempFolder.h"

namespace corvane {
namespace {
namespace fs = std::filesystem;

using testing::ScopedEnv;

TEST(Folders, ProgramFolderIsCorvaneHomeWhenSet) {
  ScopedEnv home("CORVANE_HOME", "/srv/corvane");
  EXPECT_EQ(ProgramFolder(), fs::path("/srv/corvane"));
  EXPECT_EQ(KeyFolder(), fs::path("/srv/corvane/Key"));
}

TEST(Folders, ARelativeCorvaneHomeIsTakenAgainstTheCurrentFolder) {
  ScopedEnv home("CORVANE_HOME", "mine");
  EXPECT_EQ(ProgramFolder(), fs::current_path() / "mine");
}

TEST(Folders, ProgramFolderFallsBackToTheExecutableFolderWhenWritable) {
  ScopedEnv home("CORVANE_HOME", nullptr);
  if (::access(ExecutableFolder().c_str(), W_OK) != 0) GTEST_SKIP() << "the build folder is read-only";
  EXPECT_EQ(ProgramFolder(), ExecutableFolder());
}

TEST(Folders, TheSystemsProgramFoldersNeverHoldOneUsersKeys) {
  for (const char* folder : {"/usr/bin", "/usr/local/bin", "/bin", "/opt/corvane/bin", "/usr"})
    EXPECT_TRUE(SystemProgramFolder(folder)) << folder;
  for (const char* folder : {"/home/u/corvane", "/usr2/bin", "/srv/tools", "/tmp/x/usr/bin"})
    EXPECT_FALSE(SystemProgramFolder(folder)) << folder;
}

TEST(Folders, XdgFoldersFollowTheEnvironmentAndIgnoreRelativeValues) {
  ScopedEnv userHome("HOME", "/home/u");
  {
    ScopedEnv config("XDG_CONFIG_HOME", "/cfg");
    ScopedEnv data("XDG_DATA_HOME", "/data");
    EXPECT_EQ(ConfigHome(), fs::path("/cfg"));
    EXPECT_EQ(DataHome(), fs::path("/data"));
    EXPECT_EQ(SettingsFile(), fs::path("/cfg/Tessaly/Corvane.ini"));
  }
  for (const char* ignored : {"", "relative/cfg"}) {
    ScopedEnv config("XDG_CONFIG_HOME", ignored);
    ScopedEnv data("XDG_DATA_HOME", ignored);
    EXPECT_EQ(ConfigHome(), fs::path("/home/u/.config"));
    EXPECT_EQ(DataHome(), fs::path("/home/u/.local/share"));
  }
}

}  // namespace
}  // namespace corvane
