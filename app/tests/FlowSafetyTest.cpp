// The flows against what goes wrong around them: a container replaced while it is read, a source that
// changes size, archives that claim more than a container holds, processes killed midway, names a sender
// chose, names at the system's limit, the user's umask.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <functional>

#include "app/flows/WorkFolder.h"
#include "app/tests/FlowFixture.h"
#include "symmetric/Rijndael.h"

namespace corvane {
namespace {
namespace fs = std::filesystem;
using namespace flowtest;
using testing::ReadFile;
using testing::TempFolder;
using testing::WriteFile;

// --- one version of the container from start to end

struct SwapCase {
  const char* name;
  bool otherFileSystem;  // the container is a link to a file on another file system: no hard link there
  bool betweenSteps;     // replaced after the session key was recovered, not during the extraction
};

void PrintTo(const SwapCase& c, std::ostream* os) {
  *os << c.name;
}

class ReplacedContainerTest : public FlowTest, public ::testing::WithParamInterface<SwapCase> {};

TEST_P(ReplacedContainerTest, DecryptsTheVersionItStartedWith) {
  const SwapCase& c = GetParam();
  MakeKeyPair();
  // Two versions with the same member names and different session keys, as a sender re-encrypting makes.
  const std::string one = "version one " + RandomBytes(5000, 1), two = "version two " + RandomBytes(5000, 2);
  fs::rename(Encrypt("notes.txt", one), root / "one.KVX");
  fs::rename(Encrypt("notes.txt", two), root / "two.KVX");

  std::optional<testing::ScopedEnv> shm;
  if (c.otherFileSystem) shm.emplace("TMPDIR", "/dev/shm");
  TempFolder elsewhere;
  shm.reset();
  const fs::path folder = c.otherFileSystem ? elsewhere.path() : dst;
  struct stat here {
  }, there{};
  if (c.otherFileSystem && (::stat(folder.c_str(), &there) != 0 || ::stat(dst.c_str(), &here) != 0 ||
                            here.st_dev == there.st_dev)) {
    GTEST_SKIP() << "no second file system at /dev/shm";
  }
  const fs::path stored = folder / "notes_alice@example.com.KVX";
  fs::copy_file(root / "one.KVX", stored);
  fs::copy_file(root / "two.KVX", folder / "next.KVX");
  const fs::path container = dst / "notes_alice@example.com.KVX";
  if (c.otherFileSystem) fs::create_symlink(stored, container);

  bool swapped = false;
  const auto swap = [&] {
    if (!swapped) fs::rename(folder / "next.KVX", stored);
    swapped = true;
  };
  const auto swapWhileExtracting = [&](TFlowStage stage, uint64_t, uint64_t) {
    if (stage == TFlowStage::stExtracting && !c.betweenSteps) swap();
    return true;
  };
  const std::unique_ptr<TPreparedDecryption> prepared =
      PrepareDecryption(container, kova, settings, swapWhileExtracting);
  if (c.betweenSteps) swap();  // while the wizard asks its question, say
  const TDecryptResult result = prepared->Finish({}, swapWhileExtracting);
  ASSERT_TRUE(swapped);
  EXPECT_TRUE(ReadFile(result.OutputFile) == one);
  EXPECT_EQ(ReadFile(stored), ReadFile(root / "two.KVX"));  // the container itself is the new one
}

INSTANTIATE_TEST_SUITE_P(Swaps, ReplacedContainerTest,
                         ::testing::Values(SwapCase{"while extracting, linked", false, false},
                                           SwapCase{"between the steps, linked", false, true},
                                           SwapCase{"while extracting, copied", true, false},
                                           SwapCase{"between the steps, copied", true, true}));

// --- consent before replacing a container

TEST_F(FlowTest, AnExistingContainerIsReplacedOnlyWithConsent) {
  MakeKeyPair();
  const fs::path container = Encrypt("notes.txt", "first");
  const std::string before = ReadFile(container);
  WriteFile(src / "notes.txt", "second");
  EXPECT_THROW(EncryptFileForRecipient({keyFile, src / "notes.txt"}, kova), EOutputExists);
  EXPECT_EQ(ReadFile(container), before);
  EXPECT_EQ(Entries(src), Sorted({"notes.txt", "notes_alice@example.com.KVX"}));

  // One that appears while the work runs is not replaced either: the check is made again when placing.
  fs::remove(container);
  const auto appear = [&](TFlowStage stage, uint64_t, uint64_t) {
    if (stage == TFlowStage::stPacking && !NameTaken(container)) WriteFile(container, "appeared");
    return true;
  };
  EXPECT_THROW(EncryptFileForRecipient({keyFile, src / "notes.txt"}, kova, appear), EOutputExists);
  EXPECT_EQ(ReadFile(container), "appeared");
  EXPECT_EQ(Entries(src), Sorted({"notes.txt", "notes_alice@example.com.KVX"}));

  EXPECT_EQ(EncryptFileForRecipient({keyFile, src / "notes.txt", true}, kova).Container, container);
  Decrypt(Received(container));
  EXPECT_EQ(ReadFile(dst / "notes.txt"), "second");
}

// --- a source that changes size while it is read

TEST_F(FlowTest, ASourceWhoseSizeChangesWhileItIsReadIsRefused) {
  MakeKeyPair();
  WriteFile(src / "growing.log", RandomBytes(3 << 20, 4));
  // A special file whose size reads as 0 although it has content, reached through a link.
  fs::create_symlink("/proc/self/status", src / "status");
  bool grown = false;
  const auto grow = [&](TFlowStage stage, uint64_t done, uint64_t) {
    if (stage == TFlowStage::stEncrypting && done > 0 && !grown) {
      std::ofstream(src / "growing.log", std::ios::binary | std::ios::app) << std::string(1000, 'x');
      grown = true;
    }
    return true;
  };
  for (const char* name : {"growing.log", "status"}) {
    try {
      EncryptFileForRecipient({keyFile, src / name}, kova, grow);
      ADD_FAILURE() << name << " was encrypted";
    } catch (const ESourceChanged& error) {
      EXPECT_NE(std::string(error.what()).find(name), std::string::npos) << error.what();
      EXPECT_NE(std::string(error.what()).find("大きさが変わりました"), std::string::npos) << error.what();
    }
    EXPECT_EQ(Entries(src), Sorted({"growing.log", "status"})) << name;
  }
}

// --- members that claim more than a container's members hold

TEST_F(FlowTest, MembersClaimingMoreThanAContainerHoldsAreRefusedBeforeExtraction) {
  MakeKeyPair();
  const fs::path made = Encrypt("notes.txt", "x");
  const auto [line, payload] = MembersOf(made, {"notes_alice@example.com.RJN", "notes.txt.Enc"});
  struct Bomb {
    const char* what;
    std::string sessionKey;  // the session-key member's content
    std::string payload;
  };
  // Both compress to a few kilobytes with -lh5-.
  const Bomb bombs[] = {
      {"a session-key member over 64 KiB", line + std::string(100 << 10, '\n'), payload},
      {"a payload far larger than its packed size", line, std::string(8 << 20, '\0')},
  };
  for (const Bomb& bomb : bombs) {
    TempFolder packing;
    WriteFile(packing / "b_alice.RJN", bomb.sessionKey);
    WriteFile(packing / "b.txt.Enc", bomb.payload);
    PackContainer(dst / "b.KVX", {packing / "b_alice.RJN", packing / "b.txt.Enc"}, {});
    int extracting = 0;
    const auto watch = [&](TFlowStage stage, uint64_t, uint64_t) {
      extracting += stage == TFlowStage::stExtracting;
      return true;
    };
    EXPECT_THROW(DecryptContainer({dst / "b.KVX", false}, kova, settings, watch), EContainerError)
        << bomb.what;
    EXPECT_EQ(extracting, 0) << bomb.what;
    EXPECT_EQ(Entries(dst), Names{"b.KVX"}) << bomb.what;
    fs::remove(dst / "b.KVX");
  }
}

// --- work folders of processes that died

// A work folder made by a child process holding a would-be plaintext. A killed child ends without cleaning
// up, as after kill -9; a live one waits until Release().
struct ChildWorkFolder {
  pid_t pid = -1;
  fs::path path;
  int release = -1;

  void Release() {
    if (release >= 0) ::close(release);
    release = -1;
    if (pid > 0) ::waitpid(pid, nullptr, 0);
    pid = -1;
  }
};

ChildWorkFolder WorkFolderInChild(const fs::path& parent, bool killed) {
  int up[2], down[2];
  if (::pipe(up) != 0 || ::pipe(down) != 0) throw std::runtime_error("pipe");
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(up[0]);
    ::close(down[1]);
    try {
      auto* work = new TWorkFolder(parent);  // never destroyed: the process ends without cleaning up
      WriteFile(*work / "notes.txt.Enc", "plaintext left behind");
      const std::string path = work->Path().string();
      if (::write(up[1], path.data(), path.size()) < 0) ::_exit(1);
      ::close(up[1]);
      if (killed) ::raise(SIGKILL);
      char c;
      while (::read(down[0], &c, 1) > 0) {
      }
    } catch (...) {
    }
    ::_exit(0);
  }
  ::close(up[1]);
  ::close(down[0]);
  ChildWorkFolder child{pid, {}, down[1]};
  std::string path;
  char buffer[256];
  for (ssize_t got; (got = ::read(up[0], buffer, sizeof buffer)) > 0;)
    path.append(buffer, static_cast<std::size_t>(got));
  ::close(up[0]);
  child.path = path;
  if (killed) child.Release();
  return child;
}

struct SweepCase {
  const char* flow;
};

void PrintTo(const SweepCase& c, std::ostream* os) {
  *os << c.flow;
}

class AbandonedWorkFolderTest : public FlowTest, public ::testing::WithParamInterface<SweepCase> {};

TEST_P(AbandonedWorkFolderTest, EveryFlowRemovesThoseWhoseOwnerIsGoneAndNothingElse) {
  const std::string flow = GetParam().flow;
  MakeKeyPair();
  const fs::path container = flow == "decryption" ? Received(Encrypt("notes.txt", "x")) : fs::path();
  const fs::path folder = flow == "encryption" ? src : flow == "decryption" ? dst : home;

  // Made in this order since each child's own work folder removes the abandoned ones before it.
  ChildWorkFolder live = WorkFolderInChild(folder, false);
  ChildWorkFolder foreign = WorkFolderInChild(folder, true);
  const bool chowned = ::geteuid() == 0 && ::chown(foreign.path.c_str(), 65534, 65534) == 0;
  ChildWorkFolder abandoned = WorkFolderInChild(folder, true);
  ASSERT_TRUE(fs::exists(abandoned.path / "notes.txt.Enc"));
  // Not ours to remove: no marker, not a folder, not of the work folders' form, a link, another user's.
  fs::create_directory(folder / ".corvane-NoMark");
  WriteFile(folder / ".corvane-NoMark" / "mine", "kept");
  WriteFile(folder / ".corvane-AFile1", "kept");
  fs::create_directory(folder / ".corvane-short");
  WriteFile(folder / ".corvane-short" / ".owner", "");
  fs::create_directory(root / "outside");
  WriteFile(root / "outside" / ".owner", "");
  WriteFile(root / "outside" / "mine", "kept");
  fs::create_directory_symlink(root / "outside", folder / ".corvane-LinkTo");

  if (flow == "encryption") Encrypt("notes.txt", "x");
  if (flow == "decryption") Decrypt(container);
  if (flow == "key pair") MakeKeyPair();

  EXPECT_FALSE(fs::exists(abandoned.path));
  EXPECT_EQ(ReadFile(live.path / "notes.txt.Enc"), "plaintext left behind");
  EXPECT_EQ(ReadFile(folder / ".corvane-NoMark" / "mine"), "kept");
  EXPECT_EQ(ReadFile(folder / ".corvane-AFile1"), "kept");
  EXPECT_TRUE(fs::exists(folder / ".corvane-short" / ".owner"));
  EXPECT_TRUE(fs::is_symlink(folder / ".corvane-LinkTo"));
  EXPECT_EQ(ReadFile(root / "outside" / "mine"), "kept");
  EXPECT_TRUE(fs::exists(root / "outside" / ".owner"));
  if (chowned) {
    EXPECT_TRUE(fs::exists(foreign.path / "notes.txt.Enc"));
  }
  live.Release();
}

// A work folder its owner could not empty keeps its marker, unlocked once the owner ends, so the next flow
// in that folder removes it when it can.
TEST_F(FlowTest, AWorkFolderThatCouldNotBeEmptiedKeepsItsMarker) {
  fs::path path, deep;
  {
    TWorkFolder work(src);
    path = work.Path();
    deep = path;
    for (int i = 0; i < 12; ++i) deep /= "d";  // deeper than the removal descends
    fs::create_directories(deep);
    WriteFile(path / "notes.txt.Enc", "x");
  }
  EXPECT_TRUE(fs::exists(path / ".owner"));
  EXPECT_FALSE(fs::exists(path / "notes.txt.Enc"));
  fs::remove_all(path / "d");
  { TWorkFolder next(src); }
  EXPECT_FALSE(fs::exists(path));
}

INSTANTIATE_TEST_SUITE_P(Flows, AbandonedWorkFolderTest,
                         ::testing::Values(SweepCase{"encryption"}, SweepCase{"decryption"},
                                           SweepCase{"key pair"}));

// --- names the sender chose

TEST_F(FlowTest, AnOutputNameStartingWithADotIsWrittenOnlyWithConsent) {
  MakeKeyPair();
  // The question says why: a hidden file, or a name of this program's work folders' form.
  const std::pair<std::string, const char*> cases[] = {{".bashrc", "隠しファイル"},
                                                       {".corvane-AbCdEf", "作業フォルダ"},
                                                       {".corvane-notes.txt", "隠しファイル"},
                                                       {".x", "隠しファイル"}};
  for (const auto& [name, reason] : cases) {
    WriteFile(dst / "holiday_photos_me@x.KVX", ContainerNamed(name + ".Enc", "data"));
    try {
      Decrypt(dst / "holiday_photos_me@x.KVX");
      ADD_FAILURE() << name << " was written without consent";
    } catch (const EHiddenOutputName& error) {
      EXPECT_EQ(error.Path(), dst / name);
      EXPECT_NE(std::string(error.what()).find(name), std::string::npos) << error.what();
      EXPECT_NE(std::string(error.what()).find(reason), std::string::npos) << error.what();
    }
    EXPECT_EQ(Entries(dst), Names{"holiday_photos_me@x.KVX"}) << name;
    EXPECT_EQ(DecryptContainer({dst / "holiday_photos_me@x.KVX", false, true}, kova, settings).OutputFile,
              dst / name);
    EXPECT_EQ(ReadFile(dst / name), "data");
    fs::remove(dst / name);
  }
}

TEST_F(FlowTest, TheSessionKeyIsCheckedBeforeAnythingIsSaidAboutTheOutput) {
  MakeKeyPair();
  const std::string hidden = ContainerNamed(".bashrc.Enc", "data");
  const std::string plain = ContainerNamed("README.Enc", "data");
  MakeKeyPair();  // a new key: neither container is for it
  WriteFile(dst / ".bashrc", "mine");
  WriteFile(dst / "README", "mine");
  for (const std::string& bytes : {hidden, plain}) {
    WriteFile(dst / "c.KVX", bytes);
    EXPECT_THROW(Decrypt(dst / "c.KVX"), ENotForYourKey);
  }
  EXPECT_EQ(ReadFile(dst / ".bashrc"), "mine");
  EXPECT_EQ(ReadFile(dst / "README"), "mine");
  EXPECT_EQ(Entries(dst), Sorted({".bashrc", "README", "c.KVX"}));
}

// --- names at the system's limit

TEST_F(FlowTest, NamesTheFileSystemTakesAreNeverRefusedForATemporaryName) {
  // The temporary name of a file written whole is shortened to fit, a multi-byte character kept whole.
  std::string japanese(84, 'k');
  for (int i = 0; i < 57; ++i) japanese += "鍵";  // three bytes each: 255 in all
  for (const std::string& name : {std::string(255, 'k'), japanese}) {
    ASSERT_LE(name.size(), 255u);
    WriteFileAtomically(root / name, "key");
    EXPECT_EQ(ReadFile(root / name), "key");
    fs::remove(root / name);
  }

  // A source whose payload and container names are exactly 255 bytes encrypts and decrypts.
  keyFile = CreateKeyPair({256, "bob", true}, kova, settings, home).PublicKeyFile;
  const std::string longest = std::string(247, 'n') + ".txt";
  WriteFile(src / longest, "long");
  const fs::path container = EncryptFileForRecipient({keyFile, src / longest}, kova).Container;
  EXPECT_EQ(container.filename().string().size(), 255u);
  EXPECT_EQ(Decrypt(Received(container)).OutputFile, dst / longest);
  EXPECT_EQ(ReadFile(dst / longest), "long");

  // One byte more and the payload's member name cannot exist: refused at once, naming the source.
  const std::string tooLong = std::string(248, 'n') + ".txt";
  WriteFile(src / tooLong, "long");
  try {
    EncryptFileForRecipient({keyFile, src / tooLong}, kova);
    ADD_FAILURE() << "encrypted";
  } catch (const EFileError& error) {
    EXPECT_NE(std::string(error.what()).find(tooLong), std::string::npos);
    EXPECT_EQ(std::string(error.what()).find(".corvane-"), std::string::npos);
  }
  EXPECT_EQ(Entries(src), Sorted({longest, tooLong, container.filename().string()}));
}

TEST_F(FlowTest, FailuresInsideTheWorkFolderAreReportedAgainstTheUsersFolder) {
  TWorkFolder work(src);
  const fs::path inside = work / "notes.txt.Enc";
  const auto message = [&](const std::function<void()>& failure) {
    try {
      work.Run(failure);
    } catch (const Exception& error) {
      EXPECT_EQ(std::string(error.what()).find(".corvane-"), std::string::npos) << error.what();
      return std::string(error.what());
    }
    return std::string("nothing thrown");
  };
  const std::string folder = "\"" + src.string() + "\"";
  EXPECT_THROW(work.Run([&] { ThrowFileError(TFileAction::faWrite, inside, ENOSPC); }), EDiskFull);
  EXPECT_NE(message([&] { ThrowFileError(TFileAction::faWrite, inside, EDQUOT); }).find(folder),
            std::string::npos);
  EXPECT_EQ(message([&] { ThrowFileError(TFileAction::faWrite, inside, EIO); }),
            "フォルダ " + folder + " に書き込めません（入出力エラーが発生しました）。");
  EXPECT_EQ(message([&] { throw EArchiver("名前を渡せません: " + inside.string()); }),
            "名前を渡せません: " + (src / "notes.txt.Enc").string());
  // About a file outside the work folder, the message stays as it was.
  EXPECT_EQ(message([&] { ThrowFileError(TFileAction::faRead, src / "notes.txt", EIO); }),
            FileErrorText(TFileAction::faRead, src / "notes.txt", EIO));
}

// --- permissions

TEST_F(FlowTest, DecryptedFilesGetThePermissionsTheUmaskGives) {
  MakeKeyPair();
  const fs::path container = Received(Encrypt("notes.txt", "x"));
  for (const mode_t mask : {mode_t{022}, mode_t{077}, mode_t{002}}) {
    const mode_t old = ::umask(mask);
    Decrypt(container, true);
    ::umask(old);
    struct stat info {};
    ASSERT_EQ(::stat((dst / "notes.txt").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0666 & ~mask) << std::oct << mask;
  }
}

}  // namespace
}  // namespace corvane
