#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>

#include "symmetric/CryptoPath.h"
#include "symmetric/Rijndael.h"
#include "symmetric/RijndaelCipher.h"
#include "symmetric/Sha1Hash.h"
#include "symmetric/tests/SymmetricTestSupport.h"

namespace corvane::test {
namespace {

namespace fs = std::filesystem;

std::string EncryptText(const std::string& keyText, const std::string& plain) {
  TMemoryStream source(plain), destination;
  EncryptFileStream(source, destination, keyText);
  return destination.Data();
}

std::string DecryptText(const std::string& keyText, const std::string& payload) {
  TMemoryStream source(payload), destination;
  DecryptFileStream(source, destination, keyText);
  return destination.Data();
}

class FileStreamTest : public BothPaths {
  bool Accelerated() const override { return CpuHasAesNi(); }
};

TEST_P(FileStreamTest, KnownPayloadVectors) {
  const auto cases = LoadPayloadVectors();
  ASSERT_GE(cases.size(), 40u) << "payload.json not found or not understood";
  for (const auto& c : cases) {
    EXPECT_EQ(Hex(EncryptText(c.keyText, c.plain)), Hex(c.payload)) << c.keyText << " " << c.plain.size();
    EXPECT_EQ(Hex(DecryptText(c.keyText, c.payload)), Hex(c.plain)) << c.keyText << " " << c.plain.size();
  }
}

// Around the 8192-byte piece size and beyond: one CBC chain over the whole content, never broken at a
// piece boundary, the tail handled once at the very end.
TEST_P(FileStreamTest, PayloadIsOneChainOverTheWholeStream) {
  std::mt19937_64 rng(4);
  for (std::size_t size : {0u, 5u, 15u, 16u, 17u, 8191u, 8192u, 8193u, 16384u + 31u, (3u << 20) + 11u}) {
    const std::string key = RandomBytes(rng, 1 + rng() % 40), plain = RandomBytes(rng, size);
    const std::string payload = EncryptText(key, plain);
    ASSERT_EQ(payload.size(), plain.size());
    ASSERT_EQ(Hex(payload), Hex(ReferencePayload(key, plain))) << size;
    ASSERT_TRUE(DecryptText(key, payload) == plain) << size;
  }
}

INSTANTIATE_TEST_SUITE_P(FileStream, FileStreamTest, ::testing::Values(Path::portable, Path::accelerated),
                         PathName);

// The streams are used from where they stand: the source's remaining bytes become the destination's next
// bytes, which is how a caller appends a payload after data of its own.
TEST(FileStream, StartsAtTheCurrentPositions) {
  const std::string plain = "prefix:the rest of the file, longer than one block";
  TMemoryStream source(plain), destination(std::string("HEAD"));
  source.Seek(7);
  destination.Seek(4);
  EncryptFileStream(source, destination, "KLMN");
  EXPECT_EQ(destination.Data(), "HEAD" + EncryptText("KLMN", plain.substr(7)));
  EXPECT_EQ(source.Position(), plain.size());
}

// Stream pieces keep the chain when the source delivers less than asked only at the end.
TEST(FileStream, StreamPartReturnsBytesReadAndStopsAtTheEnd) {
  TRijndael cipher;
  cipher.KeyFromText("k", HashClass<TSha1>);
  TMemoryStream source(std::string(20000, 'z')), destination;
  EXPECT_EQ(cipher.EncryptStreamPart(source, destination, 30000), 20000u);
  EXPECT_EQ(destination.Data(), ReferencePayload("k", std::string(20000, 'z')));

  cipher.ResetChain();
  TMemoryStream again(std::string(20000, 'z')), part;
  EXPECT_EQ(cipher.EncryptStreamPart(again, part, 8192 + 16), 8208u);
  EXPECT_EQ(part.Data(), destination.Data().substr(0, 8208));
}

class TempDir {
 public:
  TempDir() : fPath(fs::temp_directory_path() / ("corvane-sym-" + std::to_string(::getpid()))) {
    fs::remove_all(fPath);
    fs::create_directories(fPath);
  }
  ~TempDir() { fs::remove_all(fPath); }
  fs::path operator/(const std::string& name) const { return fPath / name; }
  std::size_t Count() const {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(fPath), {}));
  }

 private:
  fs::path fPath;
};

void WriteFile(const fs::path& path, const std::string& data) {
  std::ofstream(path, std::ios::binary) << data;
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST(FileStream, FilesByPathRoundTripWithProgress) {
  TempDir dir;
  std::mt19937_64 rng(5);
  const std::string plain = RandomBytes(rng, 100000);
  WriteFile(dir / "letter.txt", plain);
  std::vector<std::pair<uint64_t, uint64_t>> calls;
  EncryptFileStream(dir / "letter.txt", dir / "letter.txt.Enc", "<<<<", [&](uint64_t done, uint64_t total) {
    calls.emplace_back(done, total);
    return true;
  });
  EXPECT_EQ(ReadFile(dir / "letter.txt.Enc"), ReferencePayload("<<<<", plain));
  ASSERT_GE(calls.size(), 3u);
  EXPECT_EQ(calls.front(), std::make_pair(uint64_t{0}, uint64_t{100000}));
  EXPECT_EQ(calls.back(), std::make_pair(uint64_t{100000}, uint64_t{100000}));
  for (std::size_t i = 1; i < calls.size(); ++i) EXPECT_LT(calls[i - 1].first, calls[i].first);

  DecryptFileStream(dir / "letter.txt.Enc", dir / "letter.out", "<<<<");
  EXPECT_TRUE(ReadFile(dir / "letter.out") == plain);
  EXPECT_EQ(dir.Count(), 3u);  // no temporary left

  // The temporary name does not grow with the destination's: a name at the system's limit works.
  const std::string longName(255, 'n');
  EncryptFileStream(dir / "letter.txt", dir / longName, "<<<<");
  EXPECT_EQ(ReadFile(dir / longName), ReferencePayload("<<<<", plain));
  fs::remove(dir / longName);

  // One file as both source and destination is transformed whole, not read while being overwritten.
  DecryptFileStream(dir / "letter.txt.Enc", dir / "letter.txt.Enc", "<<<<");
  EXPECT_TRUE(ReadFile(dir / "letter.txt.Enc") == plain);
}

TEST(FileStream, FailuresAndCancellingLeaveNoDestination) {
  TempDir dir;
  WriteFile(dir / "big", std::string(50000, 'b'));
  WriteFile(dir / "existing", "keep me");

  int calls = 0;
  EXPECT_THROW(
      EncryptFileStream(dir / "big", dir / "out", "k", [&](uint64_t, uint64_t) { return ++calls < 3; }),
      ECancelled);
  EXPECT_FALSE(fs::exists(dir / "out"));

  try {
    EncryptFileStream(dir / "missing", dir / "out", "k");
    FAIL() << "a missing source was accepted";
  } catch (const EFileError& e) {
    EXPECT_NE(std::string(e.what()).find("missing"), std::string::npos) << e.what();
  }
  EXPECT_THROW(EncryptFileStream(dir / "big", dir / "no-such-folder" / "out", "k"), EFileError);
  EXPECT_THROW(EncryptFileStream(dir / "", dir / "out", "k"), EFileError);     // a folder as source
  EXPECT_THROW(EncryptFileStream("/dev/zero", dir / "out", "k"), EFileError);  // no size to go by
  // A pipe is refused before it is opened: opening it would wait for a writer forever.
  ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0600), 0);
  EXPECT_THROW(EncryptFileStream(dir / "pipe", dir / "out", "k"), EFileError);
  fs::remove(dir / "pipe");
  // A failed system call is told by its own reason, not as a file that is not a regular file.
  TFileStream stream(dir / "big", TFileMode::fmOpenRead);
  try {
    stream.Seek(UINT64_MAX);
    ADD_FAILURE() << "sought past the largest offset";
  } catch (const EFileError& error) {
    EXPECT_EQ(std::string(error.what()).find("通常のファイル"), std::string::npos) << error.what();
  }

  // A failing run replaces nothing.
  EXPECT_THROW(
      EncryptFileStream(dir / "big", dir / "existing", "k", [](uint64_t, uint64_t) { return false; }),
      ECancelled);
  EXPECT_EQ(ReadFile(dir / "existing"), "keep me");
  EXPECT_EQ(dir.Count(), 2u);
}

// A source whose size claims more than it delivers (a file shrinking while read) is an error, not a
// silently truncated payload.
class TShrinkingStream : public TMemoryStream {
 public:
  using TMemoryStream::TMemoryStream;
  uint64_t Size() const override { return TMemoryStream::Size() + 100; }
};

// And one that delivers more than its size claims (a file growing while read, or one whose size reads as 0
// although it has content) is read to its end and refused, not cut at the size it first had.
class TGrowingStream : public TMemoryStream {
 public:
  using TMemoryStream::TMemoryStream;
  uint64_t Size() const override { return TMemoryStream::Size() - 100; }
};

class TEmptyLookingStream : public TMemoryStream {
 public:
  using TMemoryStream::TMemoryStream;
  uint64_t Size() const override { return 0; }
};

TEST(FileStream, SourceNotEndingWhereItsSizeSaidIsAnError) {
  TShrinkingStream shrinking(std::string(1000, 's'));
  TGrowingStream growing(std::string(1000, 's'));
  TEmptyLookingStream emptyLooking(std::string(1000, 's'));
  for (TStream* source : std::initializer_list<TStream*>{&shrinking, &growing, &emptyLooking}) {
    TMemoryStream destination;
    EXPECT_THROW(EncryptFileStream(*source, destination, "k"), ESourceChanged);
  }
  // Through the file interface: a link to a file under /proc, whose size reads as 0.
  TempDir dir;
  std::filesystem::create_symlink("/proc/self/status", dir / "status");
  EXPECT_THROW(EncryptFileStream(dir / "status", dir / "out", "k"), ESourceChanged);
  EXPECT_FALSE(std::filesystem::exists(dir / "out"));
}

// Counts are 64-bit: a source of 4 GiB and a few bytes is processed whole, and its tail after the last
// full block is XORed with E_K of that block. Decryption is used for speed (its blocks run in parallel);
// the count handling is the same code. The source makes up constant bytes; the sink keeps only its tail.
class TConstantSource : public TStream {
 public:
  explicit TConstantSource(uint64_t size) : fSize(size) {}
  std::size_t Read(void* buffer, std::size_t count) override {
    const auto n = static_cast<std::size_t>(std::min<uint64_t>(count, fSize - fPosition));
    std::memset(buffer, kByte, n);
    fPosition += n;
    return n;
  }
  void Write(const void*, std::size_t) override { ADD_FAILURE() << "the source was written"; }
  uint64_t Size() const override { return fSize; }
  uint64_t Position() const override { return fPosition; }
  void Seek(uint64_t position) override { fPosition = position; }
  static constexpr char kByte = 0x5A;

 private:
  uint64_t fSize, fPosition = 0;
};

class TTailSink : public TStream {
 public:
  std::size_t Read(void*, std::size_t) override { return 0; }
  void Write(const void* buffer, std::size_t count) override {
    fTail.append(static_cast<const char*>(buffer), count);
    if (fTail.size() > 64) fTail.erase(0, fTail.size() - 64);
    fWritten += count;
  }
  uint64_t Size() const override { return fWritten; }
  uint64_t Position() const override { return fWritten; }
  void Seek(uint64_t) override {}
  std::string fTail;
  uint64_t fWritten = 0;
};

TEST(FileStream, SourcesOfFourGibibytesAndMoreAreProcessedWhole) {
  if (!CpuHasAesNi()) GTEST_SKIP() << "too slow on the portable code";
  const uint64_t size = (uint64_t{1} << 32) + 21;
  TConstantSource source(size);
  TTailSink sink;
  DecryptFileStream(source, sink, "KLMN");
  ASSERT_EQ(sink.fWritten, size);
  const std::string key = OpenSslSha1("KLMN") + std::string(4, '\0');
  const std::string pad =
      OpenSslCipher(EVP_aes_192_ecb(), key, "", std::string(16, TConstantSource::kByte), true);
  for (int i = 0; i < 5; ++i)
    EXPECT_EQ(sink.fTail[59 + i], static_cast<char>(TConstantSource::kByte ^ pad[i])) << i;
}

TEST(FileStream, FileStreamReportsErrorsWithThePath) {
  TempDir dir;
  try {
    TFileStream stream(dir / "absent", TFileMode::fmOpenRead);
    FAIL();
  } catch (const EFileError& e) {
    EXPECT_NE(std::string(e.what()).find("absent"), std::string::npos);
  }
  TFileStream created(dir / "new", TFileMode::fmCreate);
  struct stat info;
  ASSERT_EQ(::stat((dir / "new").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  char byte;
  EXPECT_THROW(created.Read(&byte, 1), EFileError);  // write-only
}

}  // namespace
}  // namespace corvane::test
