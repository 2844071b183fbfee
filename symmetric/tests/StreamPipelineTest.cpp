#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "symmetric/CryptBase.h"
#include "symmetric/CryptoPath.h"
#include "symmetric/Rijndael.h"
#include "symmetric/tests/SymmetricTestSupport.h"

namespace corvane::test {
namespace {

std::string Unpipelined(const std::string& keyText, const std::string& data, bool encrypt) {
  TMemoryStream source(data), destination;
  if (encrypt)
    EncryptFileStream(source, destination, keyText);
  else
    DecryptFileStream(source, destination, keyText);
  return destination.Data();
}

struct TRun {
  std::string output, hooked;
};

TRun Pipelined(const std::string& keyText, const std::string& data, bool encrypt, std::size_t bufferSize,
               std::size_t bufferCount) {
  TMemoryStream source(data), destination;
  TRun run;
  TPipelineOptions options;
  options.bufferSize = bufferSize;
  options.bufferCount = bufferCount;
  options.payload = [&run](const uint8_t* bytes, std::size_t size) {
    run.hooked.append(reinterpret_cast<const char*>(bytes), size);
  };
  if (encrypt)
    EncryptFileStreamPipelined(source, destination, keyText, options);
  else
    DecryptFileStreamPipelined(source, destination, keyText, options);
  run.output = destination.Data();
  return run;
}

class PipelineTest : public BothPaths {
  bool Accelerated() const override { return CpuHasAesNi(); }
};

// Every size around the buffer boundaries, for several buffer shapes (a buffer size that is not a
// multiple of 16 is rounded up), gives the unpipelined payload and decrypts back; the hook sees exactly
// the ciphertext, in order, both ways.
TEST_P(PipelineTest, SameBytesAsTheUnpipelinedStreamsAroundBufferBoundaries) {
  std::mt19937_64 rng(15);
  struct Shape {
    std::size_t size, count;
  };
  for (const Shape shape : {Shape{16, 2}, Shape{40, 3}, Shape{4096, 2}, Shape{65536, 4}}) {
    const std::size_t b = (shape.size + 15) / 16 * 16;
    for (const std::size_t size :
         {std::size_t{0}, std::size_t{1}, std::size_t{15}, std::size_t{16}, std::size_t{17}, b - 1, b, b + 1,
          2 * b, 3 * b + 5, 5 * b + static_cast<std::size_t>(rng() % b)}) {
      SCOPED_TRACE(std::to_string(shape.size) + "x" + std::to_string(shape.count) + ", " +
                   std::to_string(size));
      const std::string key = RandomBytes(rng, 1 + rng() % 40), plain = RandomBytes(rng, size);
      const std::string payload = Unpipelined(key, plain, true);
      const TRun encrypted = Pipelined(key, plain, true, shape.size, shape.count);
      ASSERT_EQ(Hex(encrypted.output), Hex(payload));
      ASSERT_EQ(Hex(encrypted.hooked), Hex(payload));
      const TRun decrypted = Pipelined(key, payload, false, shape.size, shape.count);
      ASSERT_TRUE(decrypted.output == plain);
      ASSERT_EQ(Hex(decrypted.hooked), Hex(payload));
    }
  }
}

// The known answers, through buffers smaller than most of them, so most cross a buffer boundary.
TEST_P(PipelineTest, KnownPayloadVectors) {
  const auto cases = LoadPayloadVectors();
  ASSERT_GE(cases.size(), 40u) << "payload.json not found or not understood";
  for (const auto& c : cases) {
    EXPECT_EQ(Hex(Pipelined(c.keyText, c.plain, true, 16, 2).output), Hex(c.payload)) << c.plain.size();
    EXPECT_EQ(Hex(Pipelined(c.keyText, c.payload, false, 16, 2).output), Hex(c.plain)) << c.plain.size();
  }
}

TEST_P(PipelineTest, LargeStreamWithTheDefaultBuffers) {
  std::mt19937_64 rng(16);
  const std::string plain = RandomBytes(rng, (9u << 20) + 7), key = "<<<<";
  const TRun encrypted = Pipelined(key, plain, true, TPipelineOptions{}.bufferSize, 4);
  ASSERT_TRUE(encrypted.output == ReferencePayload(key, plain));
  ASSERT_TRUE(encrypted.hooked == encrypted.output);
  ASSERT_TRUE(Pipelined(key, encrypted.output, false, TPipelineOptions{}.bufferSize, 4).output == plain);
}

INSTANTIATE_TEST_SUITE_P(Pipeline, PipelineTest, ::testing::Values(Path::portable, Path::accelerated),
                         PathName);

// The stream that the pipeline reads: its size may disagree with what it delivers (a file that shrank
// or grew after its size was taken), and reading or writing may fail after a given number of bytes.
class TTestStream : public TMemoryStream {
 public:
  using TMemoryStream::TMemoryStream;
  uint64_t Size() const override { return claimedSize ? *claimedSize : TMemoryStream::Size(); }
  std::size_t Read(void* buffer, std::size_t count) override {
    if (Position() + count > failAfter) throw EFileError("read failed");
    return TMemoryStream::Read(buffer, count);
  }
  void Write(const void* buffer, std::size_t count) override {
    if (Position() + count > failAfter) throw EFileError("write failed");
    TMemoryStream::Write(buffer, count);
  }
  std::optional<uint64_t> claimedSize;
  uint64_t failAfter = UINT64_MAX;
};

TPipelineOptions SmallBuffers() {
  TPipelineOptions options;
  options.bufferSize = 4096;
  options.bufferCount = 3;
  return options;
}

// A source whose size changed after it was taken: the bytes it had are transformed and written, and
// then the change is an error, raised on the calling thread. One that shrank ends early; one that grew
// is read exactly as far as its size said, and one byte more tells.
TEST(Pipeline, ASourceThatShrankOrGrewIsAnErrorAfterWhatItHadIsWritten) {
  const std::string plain(10000, 's');
  TTestStream shrunk(plain);
  shrunk.claimedSize = 20000;
  TMemoryStream first;
  EXPECT_THROW(EncryptFileStreamPipelined(shrunk, first, "k", SmallBuffers()), ESourceChanged);
  EXPECT_EQ(first.Data(), Unpipelined("k", plain, true));

  TTestStream grown(plain + "grown");
  grown.claimedSize = 10000;
  TMemoryStream second;
  EXPECT_THROW(EncryptFileStreamPipelined(grown, second, "k", SmallBuffers()), ESourceChanged);
  EXPECT_EQ(second.Data(), Unpipelined("k", plain, true));
  EXPECT_EQ(grown.Position(), 10001u);
}

// Failures on the second thread (reading, writing, the hook) and on the calling thread (progress) all
// reach the caller as the exception raised, without hanging, whichever thread is ahead at that moment.
TEST(Pipeline, FailuresOnEitherThreadReachTheCaller) {
  const std::string plain(100000, 'f');
  for (int encrypt = 0; encrypt < 2; ++encrypt) {
    for (const uint64_t at : {0u, 5000u, 12288u, 99999u}) {
      SCOPED_TRACE(std::to_string(encrypt) + " " + std::to_string(at));
      TTestStream badSource(plain);
      badSource.failAfter = at;
      TMemoryStream sink;
      const auto run = [&](TStream& source, TStream& destination, const TPipelineOptions& options) {
        if (encrypt)
          EncryptFileStreamPipelined(source, destination, "k", options);
        else
          DecryptFileStreamPipelined(source, destination, "k", options);
      };
      EXPECT_THROW(run(badSource, sink, SmallBuffers()), EFileError);

      TMemoryStream source(plain);
      TTestStream badDestination;
      badDestination.failAfter = at;
      EXPECT_THROW(run(source, badDestination, SmallBuffers()), EFileError);
      EXPECT_LE(badDestination.Size(), at);

      TMemoryStream again(plain), out;
      TPipelineOptions hooked = SmallBuffers();
      uint64_t seen = 0;
      hooked.payload = [&seen, at](const uint8_t*, std::size_t size) {
        if ((seen += size) > at) throw ECipher("hook failed");
      };
      EXPECT_THROW(run(again, out, hooked), ECipher);

      TMemoryStream third(plain), cancelled;
      TPipelineOptions cancelling = SmallBuffers();
      cancelling.progress = [at](uint64_t done, uint64_t) { return done <= at; };
      EXPECT_THROW(run(third, cancelled, cancelling), ECancelled);
      EXPECT_LE(cancelled.Size(), at + 4096);  // nothing written beyond the piece that was reported
    }
  }
}

// Progress comes on the calling thread (the wizard updates its window from it): from 0 to the total,
// never backwards, the total only once everything is written.
TEST(Pipeline, ProgressComesOnTheCallingThreadFromZeroToTheTotal) {
  const std::string plain(50000, 'p');
  for (const std::size_t size : {std::size_t{50000}, std::size_t{0}}) {
    TMemoryStream source(plain.substr(0, size));
    TTestStream destination;
    TPipelineOptions options = SmallBuffers();
    std::vector<std::pair<uint64_t, uint64_t>> calls;
    const std::thread::id caller = std::this_thread::get_id();
    options.progress = [&](uint64_t done, uint64_t total) {
      EXPECT_EQ(std::this_thread::get_id(), caller);
      if (done == total) {
        EXPECT_EQ(destination.Size(), size);
      }
      calls.emplace_back(done, total);
      return true;
    };
    EncryptFileStreamPipelined(source, destination, "k", options);
    ASSERT_GE(calls.size(), size ? 3u : 1u);
    EXPECT_EQ(calls.front(), std::make_pair(uint64_t{0}, uint64_t{size}));
    EXPECT_EQ(calls.back(), std::make_pair(uint64_t{size}, uint64_t{size}));
    for (std::size_t i = 1; i < calls.size(); ++i) EXPECT_LT(calls[i - 1].first, calls[i].first);
  }
}

}  // namespace
}  // namespace corvane::test
