#include "app/flows/BufferedStreams.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "app/flows/WorkFolder.h"
#include "platform/tests/TempFolder.h"
#include "symmetric/Rijndael.h"

namespace corvane {
namespace {
using testing::ReadFile;
using testing::TempFolder;
using testing::WriteFile;

std::string RandomBytes(std::size_t size) {
  std::mt19937 engine(static_cast<unsigned>(size));
  std::string data(size, '\0');
  for (char& c : data) c = static_cast<char>(engine() & 0xFF);
  return data;
}

// The buffered file path must give the bytes of the plain in-memory path, at every buffer boundary.
TEST(BufferedStreams, FileEncryptionGivesTheBytesOfTheStreamEncryption) {
  TempFolder folder;
  for (std::size_t size :
       {0u, 1u, 8191u, 8192u, 8193u, (1u << 20) - 1, 1u << 20, (1u << 20) + 17, (3u << 20) + 5}) {
    const std::string plain = RandomBytes(size);
    TMemoryStream in(plain), expected;
    EncryptFileStream(in, expected, "session key");
    WriteFile(folder / "plain", plain);
    EncryptFileInto(folder / "plain", folder / "enc", "session key", {});
    ASSERT_EQ(ReadFile(folder / "enc"), expected.Data()) << size;
    DecryptFileInPlace(folder / "enc", "session key", {});
    ASSERT_EQ(ReadFile(folder / "enc"), plain) << size;
  }
}

// The pipelined file paths give the same bytes around their 1 MiB buffers, decrypt in place, and show
// the ciphertext to the hook as written and as read.
TEST(BufferedStreams, PipelinedFilesGiveTheBytesOfTheStreamEncryption) {
  TempFolder folder;
  for (std::size_t size : {0u, 1u, 8193u, (1u << 20) - 1, 1u << 20, (1u << 20) + 17, (5u << 20) + 5}) {
    const std::string plain = RandomBytes(size);
    TMemoryStream in(plain), expected;
    EncryptFileStream(in, expected, "session key");
    WriteFile(folder / "plain", plain);
    std::string written, read;
    TPipelineOptions options;
    options.payload = [&written](const uint8_t* data, std::size_t n) {
      written.append(reinterpret_cast<const char*>(data), n);
    };
    EXPECT_EQ(EncryptFilePipelined(folder / "plain", folder / "enc", "session key", options), size);
    ASSERT_EQ(ReadFile(folder / "enc"), expected.Data()) << size;
    ASSERT_EQ(written, expected.Data()) << size;
    options.payload = [&read](const uint8_t* data, std::size_t n) {
      read.append(reinterpret_cast<const char*>(data), n);
    };
    EXPECT_EQ(DecryptFileInPlacePipelined(folder / "enc", "session key", options), size);
    ASSERT_EQ(ReadFile(folder / "enc"), plain) << size;
    ASSERT_EQ(read, expected.Data()) << size;
  }
  EXPECT_THROW(EncryptFilePipelined(folder / "absent", folder / "enc", "k", {}), EFileError);
  EXPECT_THROW(DecryptFileInPlacePipelined(folder / "absent", "k", {}), EFileError);
}

// A source changed after it was opened, while it is encrypted: shrunk or grown, it is an error.
TEST(BufferedStreams, PipelinedEncryptionOfASourceThatShrinksOrGrows) {
  TempFolder folder;
  const std::string plain = RandomBytes(6u << 20);
  WriteFile(folder / "plain", plain);
  TPipelineOptions shrink;
  shrink.progress = [&](uint64_t done, uint64_t) {
    if (done == 0) std::filesystem::resize_file(folder / "plain", (3u << 20) / 2);
    return true;
  };
  EXPECT_THROW(EncryptFilePipelined(folder / "plain", folder / "enc", "k", shrink), ESourceChanged);

  WriteFile(folder / "plain", plain);
  TPipelineOptions grow;
  grow.progress = [&](uint64_t done, uint64_t) {
    if (done == 0) WriteFile(folder / "plain", plain + "more");
    return true;
  };
  EXPECT_THROW(EncryptFilePipelined(folder / "plain", folder / "enc", "k", grow), ESourceChanged);
}

}  // namespace
}  // namespace corvane
