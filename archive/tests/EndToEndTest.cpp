// The wizard's two sequences against the real LHA library (bin/libunlha32.so); skipped when it is not built.

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

#include "archive/Archives.h"
#include "archive/tests/ArchiveTestSupport.h"
#include "platform/unlha32/tests/FileSizeLimit.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;
using Names = std::vector<std::string>;

std::string Noise(std::size_t size) {
  std::mt19937 engine(7);
  std::string data(size, '\0');
  for (char& c : data) c = static_cast<char>(engine());
  return data;
}

class EndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!test::RealLibraryBuilt()) GTEST_SKIP() << "libunlha32.so is not built";
    test::UseLibraryFolder(test::RealLibraryFolder());
  }
  void TearDown() override { test::ResetLibraries(); }

  // The encryption flow's packing, with the current directory at the source file's folder.
  static std::int32_t PackLikeTheWizard(const std::string& stem, const std::string& encPath,
                                        TArchiveFile::TArchiverProgressEvent progress = nullptr) {
    TArchiveFile file;
    file.OnProgress = std::move(progress);
    file.SetArchiverType(TArchiverType::atLha);
    file.Options().n = 1;
    file.SetFileName(stem + ".KVX");
    file.Options().x = 0;
    file.Options().jso = 1;
    return file.CompressFiles(nullptr, nullptr, "", {TStringList{{stem + ".RJN", encPath}}});
  }

  // The decryption flow's listing and extraction; the entry names listed and the extraction's status.
  static std::pair<std::vector<std::string>, std::int32_t> ListAndExtract(const fs::path& container) {
    TArchiveFile file;
    file.SetFileName(container.string());
    file.Options().x = 0;
    file.Options().jse = 1;
    file.Options().jso = 1;
    file.SetArchiverType(TArchiverType::atLha);
    file.Options().n = 1;
    file.OpenListing(nullptr, 0);
    std::vector<std::string> names;
    TArchiveEntry entry{};
    for (int status = file.FirstEntry("*.*", entry); status == 0; status = file.NextEntry(entry))
      names.push_back(ArchiveEntryName(entry));
    file.CloseListing();
    test::CurrentDirectory beside(container.parent_path());
    const std::int32_t status = file.ExpandFiles(nullptr, nullptr, "", {std::vector<std::string>{}});
    std::sort(names.begin(), names.end());
    return {names, status};
  }

  TempDir dir_;
};

TEST_F(EndToEndTest, PackListAndExtractTheTwoMembersUnderBareNames) {
  fs::create_directories(dir_ / "src");
  const std::string enc = (dir_ / "src" / "letter.txt.Enc").string();
  const std::string payload(100000, '\x5a');
  WriteFile(dir_ / "src" / "letter_bob.RJN", "ciphertext;");
  WriteFile(enc, payload);
  {
    test::CurrentDirectory source(dir_ / "src");
    ASSERT_EQ(PackLikeTheWizard("letter_bob", enc), 0);
  }
  const fs::path container = dir_ / "src" / "letter_bob.KVX";
  ASSERT_TRUE(fs::exists(container));
  fs::remove(dir_ / "src" / "letter_bob.RJN");
  fs::remove(enc);

  const auto [names, status] = ListAndExtract(container);
  EXPECT_EQ(names, (std::vector<std::string>{"letter.txt.Enc", "letter_bob.RJN"}));
  EXPECT_EQ(status, 0);
  EXPECT_EQ(ReadFile(dir_ / "src" / "letter_bob.RJN"), "ciphertext;");
  EXPECT_EQ(ReadFile(enc), payload);
}

TEST_F(EndToEndTest, ContainersMadeByAnotherLhaProgram) {
  const char* vectors = std::getenv("CORVANE_VECTORS");
  const fs::path folder = fs::path(vectors ? vectors : CORVANE_VECTORS_FALLBACK) / "container";
  for (const auto& source : {folder / "letter_alice@example.com.KVX",
                             folder / "enc-first-level0" / "letter_alice@example.com.KVX"}) {
    TempDir copy;
    fs::copy_file(source, copy / source.filename().string());
    const auto [names, status] = ListAndExtract(copy / source.filename().string());
    EXPECT_EQ(names, (std::vector<std::string>{"letter.txt.Enc", "letter_alice@example.com.RJN"})) << source;
    EXPECT_EQ(status, 0) << source;
    EXPECT_EQ(fs::file_size(copy / "letter.txt.Enc"), fs::file_size(folder / "letter.txt")) << source;
  }
}

// A stored member read in pieces through the component gives its bytes; a compressed one is refused so
// that the caller extracts it instead.
TEST_F(EndToEndTest, StoredMembersReadInPieces) {
  const std::string payload = Noise(300000);
  WriteFile(dir_ / "m.RJN", std::string(4000, 'k'));
  WriteFile(dir_ / "m.txt.Enc", payload);
  {
    test::CurrentDirectory here(dir_.Path());
    ASSERT_EQ(PackLikeTheWizard("m", (dir_ / "m.txt.Enc").string()), 0);
  }
  TArchiveFile file;
  file.SetFileName((dir_ / "m.KVX").string());
  int status = -1;
  const std::unique_ptr<TArchiveMember> member = file.OpenMember("m.txt.Enc", status);
  ASSERT_NE(member, nullptr) << status;
  EXPECT_EQ(member->Size(), payload.size());
  std::string read, piece(100000, '\0');
  std::uint32_t got = 0;
  while ((status = member->Read(piece.data(), 65536, got)) == 0 && got > 0) read.append(piece.data(), got);
  EXPECT_EQ(status, 0);
  EXPECT_TRUE(read == payload);
  // The repeated session-key text compresses, so the packer did not store it.
  EXPECT_EQ(file.OpenMember("m.RJN", status), nullptr);
  EXPECT_EQ(status, UNLHA_ERROR_METHOD);
  EXPECT_EQ(file.OpenMember("none", status), nullptr);
  EXPECT_EQ(status, UNLHA_ERROR_NOT_FOUND);
}

TEST_F(EndToEndTest, DamagedContainerGivesANonzeroStatus) {
  WriteFile(dir_ / "a.RJN", "line");
  WriteFile(dir_ / "a.txt.Enc", std::string(5000, 'q'));
  {
    test::CurrentDirectory here(dir_.Path());
    ASSERT_EQ(PackLikeTheWizard("a", (dir_ / "a.txt.Enc").string()), 0);
  }
  std::string bytes = ReadFile(dir_ / "a.KVX");
  bytes.resize(bytes.size() - 20);
  TempDir other;
  WriteFile(other / "a.KVX", bytes);
  EXPECT_NE(ListAndExtract(other / "a.KVX").second, 0);
}

TEST_F(EndToEndTest, NothingSelectedMakesNoArchive) {
  test::CurrentDirectory here(dir_.Path());
  EXPECT_EQ(PackLikeTheWizard("gone", (dir_ / "gone.txt.Enc").string()), 0);
  EXPECT_FALSE(fs::exists(dir_ / "gone.KVX"));
}

TEST_F(EndToEndTest, CancellingThroughOnProgress) {
  WriteFile(dir_ / "c.RJN", "line");
  WriteFile(dir_ / "c.txt.Enc", std::string(300000, 'c'));
  test::CurrentDirectory here(dir_.Path());
  const auto stopAt = [](std::int32_t wanted) {
    return [wanted](TArchiveFile&, std::int32_t state, TUnlhaProgress*, bool& abort) {
      abort = state == wanted;
    };
  };
  EXPECT_EQ(PackLikeTheWizard("c", (dir_ / "c.txt.Enc").string(), stopAt(0x805)), 0x8020)
      << "during selection";
  EXPECT_FALSE(fs::exists(dir_ / "c.KVX"));
  EXPECT_EQ(PackLikeTheWizard("c", (dir_ / "c.txt.Enc").string(), stopAt(UNLHA_STATE_BEGIN)), 0x8020)
      << "inside the library";
  EXPECT_FALSE(fs::exists(dir_ / "c.KVX")) << "the library removes what it had begun";

  std::vector<std::int32_t> states;
  const auto record = [&](TArchiveFile&, std::int32_t state, TUnlhaProgress*, bool&) {
    states.push_back(state);
  };
  EXPECT_EQ(PackLikeTheWizard("c", (dir_ / "c.txt.Enc").string(), record), 0);
  EXPECT_TRUE(fs::exists(dir_ / "c.KVX"));
  EXPECT_EQ(std::count(states.begin(), states.end(), 0x805), 2);
  EXPECT_NE(std::find(states.begin(), states.end(), UNLHA_STATE_END), states.end());
}

// Names that look like switches or response files, quotes and line breaks: what the component writes, the
// library reads back as the same names, on the command and through a response file. The archive's own name
// starts with "-", and the first file is empty: it must not be taken for the archive and packed over.
TEST_F(EndToEndTest, AnyNameTravelsThroughTheCommandAsItself) {
  const Names names = {"@x.txt", "-x.txt", "@", "a\"b.txt", "line\nbreak.txt", "\"", "-", "say \"\"hi\"\""};
  for (const bool responseFile : {false, true}) {
    SCOPED_TRACE(responseFile ? "response file" : "command");
    TempDir dir;
    test::CurrentDirectory here(dir.Path());
    for (std::size_t k = 0; k < names.size(); ++k) WriteFile(dir / names[k], std::string(k, 'a' + k));
    TArchiveFile file;
    file.SetArchiverType(TArchiverType::atLha);
    file.SetFileName("-x.KVX");
    file.Options().x = 0;
    file.Options().jse = 1;
    file.Options().jso = 1;
    if (responseFile) file.Options().ResFileName = (dir_ / "names.rsp").string();
    ASSERT_EQ(file.CompressFiles(nullptr, nullptr, "", {names}), 0) << file.LastCommand();
    EXPECT_EQ(ReadFile(dir / names[0]), "");

    ASSERT_EQ(file.OpenListing(nullptr, 0), 0);
    Names listed;
    TArchiveEntry entry{};
    for (int status = file.FirstEntry("*", entry); status == 0; status = file.NextEntry(entry))
      listed.push_back(ArchiveEntryName(entry));
    file.CloseListing();
    Names expected = names;
    std::sort(listed.begin(), listed.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(listed, expected);

    // Each member named on its own, then all of them at once.
    for (std::size_t k = 0; k < names.size(); ++k) {
      TempDir out;
      EXPECT_EQ(file.ExpandFiles(nullptr, nullptr, out.Path().string(), {names[k]}), 0) << file.LastCommand();
      EXPECT_EQ(ReadFile(out / names[k]), std::string(k, 'a' + k)) << names[k];
    }
    TempDir all;
    EXPECT_EQ(file.ExpandFiles(nullptr, nullptr, all.Path().string(), {names}), 0) << file.LastCommand();
    for (std::size_t k = 0; k < names.size(); ++k)
      EXPECT_EQ(ReadFile(all / names[k]), std::string(k, 'a' + k));
  }
}

// A full disk (here the file-size limit) is its own status, passed through unchanged, and never leaves a
// half-written container nor harms the good one already there.
TEST_F(EndToEndTest, AFullDiskIsItsOwnStatusAndTheContainerStaysAsItWas) {
  test::CurrentDirectory here(dir_.Path());
  const std::string enc = (dir_ / "a.txt.Enc").string();
  WriteFile(dir_ / "a.RJN", "line");
  WriteFile(enc, "small");
  ASSERT_EQ(PackLikeTheWizard("a", enc), 0);
  const std::string good = ReadFile(dir_ / "a.KVX");
  WriteFile(enc, Noise(3 << 20));
  std::int32_t packed = 0;
  {
    lha::test::TFileSizeLimit limit(1 << 20);
    if (!limit.Active()) GTEST_SKIP() << "the file-size limit cannot be lowered here";
    packed = PackLikeTheWizard("a", enc);
  }
  EXPECT_EQ(packed, kStatusDiskFull);
  EXPECT_EQ(ReadFile(dir_ / "a.KVX"), good);

  ASSERT_EQ(PackLikeTheWizard("a", enc), 0);
  TempDir out;
  TArchiveFile file;
  file.SetFileName((dir_ / "a.KVX").string());
  file.Options().x = 0;
  file.Options().jse = 1;
  file.Options().jso = 1;
  file.SetArchiverType(TArchiverType::atLha);
  std::int32_t extracted = 0;
  {
    lha::test::TFileSizeLimit limit(1 << 20);
    extracted = file.ExpandFiles(nullptr, nullptr, out.Path().string(), {Names{}});
  }
  EXPECT_EQ(extracted, kStatusDiskFull);
  EXPECT_TRUE(fs::is_empty(out.Path()));
}

}  // namespace
}  // namespace corvane
