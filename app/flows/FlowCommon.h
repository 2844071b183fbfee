#pragma once
// What the key-pair, encryption and decryption flows share: progress reports, the refusals a front end
// tells apart, key strengths, text lines and the name rule that cuts four characters off a file name.
//
// The flows are front-end neutral: inputs are values, long work reports progress through a callback that
// may cancel, outcomes are result values or exceptions whose messages are the texts shown to the user.

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "common/Exception.h"
#include "common/FileErrors.h"
#include "symmetric/Streams.h"  // ECancelled, raised when a progress callback cancels

namespace corvane {

enum class TFlowStage {
  stKeyGeneration,  // done: prime candidates tested so far; total 0 (unknown)
  stEncrypting,     // bytes of the source encrypted
  stPacking,        // bytes of the current member packed into the container
  stExtracting,     // bytes of the current member extracted
  stDecrypting,     // bytes of the payload decrypted
};

// Called from the thread running the flow. Returning false cancels: the flow removes what it made and
// raises ECancelled.
using TFlowProgress = std::function<bool(TFlowStage stage, uint64_t done, uint64_t total)>;

// The texts the flows show.
inline constexpr const char* kNotForYourKeyText =
    "これは、今のあなたの鍵用に暗号化されたものではありません。";
inline constexpr const char* kReplaceKeyQuestionText =
    "既に鍵が存在します。新しい鍵を作成すると、以前の公開鍵で暗号化したファイルは復号化出来なくなります。"
    "新しい鍵を作成しますか？";
inline constexpr const char* kKeyExistsText = "既に鍵が存在します。";
inline constexpr const char* kDamagedContainerText = "暗号ファイルが壊れています。";
inline constexpr const char* kBadContainerText = "暗号ファイルの形式が正しくありません。";
inline constexpr const char* kUnreadableNameText =
    "暗号ファイルに、文字コードを判別できないファイル名が含まれています。";
inline constexpr const char* kNameNotUtf8Text =
    "ファイル名の文字コードが UTF-8 ではないため、暗号ファイルに格納できません。";

// The session key did not come back: the container was made for another key, or no key pair is stored.
class ENotForYourKey : public Exception {
 public:
  ENotForYourKey() : Exception(kNotForYourKeyText) {}
};

// A private key is stored and the request did not allow replacing it (the front end asks first).
class EKeyExists : public Exception {
 public:
  EKeyExists() : Exception(kKeyExistsText) {}
};

// The file a flow would write exists and the request did not allow replacing it.
class EOutputExists : public Exception {
 public:
  explicit EOutputExists(std::filesystem::path path)
      : Exception("ファイル " + path.string() + " は既に存在します。"), fPath(std::move(path)) {}
  const std::filesystem::path& Path() const { return fPath; }

 private:
  std::filesystem::path fPath;
};

// The disk holding a folder has no room left (or the user's quota is used up, or a file grew past what the
// file system allows). Names the user's folder, never the flow's work folder inside it.
class EDiskFull : public EFileError {
 public:
  EDiskFull(const std::filesystem::path& folder, int error);
};

// Whether a system error means the disk cannot take more: ENOSPC, EDQUOT or EFBIG.
bool DiskFullError(int error);

// A container that is not one session-key member and one payload member under safe bare names, or whose
// extraction failed (damaged data).
class EContainerError : public Exception {
  using Exception::Exception;
};

// A public-key file that cannot serve as a key (too few lines, numbers that give no usable key).
class EPublicKeyFile : public Exception {
  using Exception::Exception;
};

// An unusable key strength (outside kMinKeyStrength .. kMaxKeyStrength).
class EKeyStrength : public Exception {
  using Exception::Exception;
};

// The strengths a key file or the settings may carry. Below 48 a block holds no character; above 16384
// key generation and decryption would take hours.
inline constexpr int32_t kMinKeyStrength = 48;
inline constexpr int32_t kMaxKeyStrength = 16384;
// The strengths offered when a key pair is created.
inline constexpr int32_t kMinNewKeyStrength = 256;
inline constexpr int32_t kMaxNewKeyStrength = 2048;
inline constexpr int32_t kDefaultKeyStrength = 1024;

// A decimal integer text (optional sign, digits; nothing else) as a key strength. Raises EConvertError
// "'<text>' は正しい整数値ではありません" for other text and EKeyStrength outside the usable range.
int32_t KeyStrengthFromText(const std::string& text);
// Raises EKeyStrength when strength is outside kMinKeyStrength .. kMaxKeyStrength.
void CheckKeyStrength(int32_t strength);

// Whether something has this name: a file, a folder, a link (even one that leads nowhere).
bool NameTaken(const std::filesystem::path& path);
// Whether text ends with end.
bool EndsWith(const std::string& text, const std::string& end);
// Whether text is one or more ASCII digits and nothing else (no sign, no blank, no NUL).
bool IsDecimal(std::string_view text);
// ASCII letters lowered, every other byte as it is (names compared as the file system's other users do).
std::string Lower(std::string_view text);

// Lines of a text ended by CR, LF or CR LF; a last line without an end counts, a final end adds none.
std::vector<std::string> SplitLines(const std::string& text);
// Closes the descriptor on every path.
struct TDescriptor {
  int fd = -1;
  ~TDescriptor() {
    if (fd >= 0) ::close(fd);
  }
};

// Opens a regular file for reading and gives its descriptor (and what fstat says of it, when asked). Raises
// EFileError naming the file when it cannot be opened or is not a regular file; it never waits, as opening
// a pipe for reading otherwise would until a writer comes.
int OpenRegularFile(const std::filesystem::path& path, struct stat* info = nullptr);
// Raises EFileError naming the file when it cannot be opened for reading or is not a regular file (a
// folder, a device, a pipe: none has a size to work on). Never blocks, whatever the path names.
void CheckReadableFile(const std::filesystem::path& path);
// A whole small file as bytes; raises EFileError when it cannot be read and EFileError when it is larger
// than maxSize (key and session-key files are small; anything bigger is not one).
std::string ReadSmallFile(const std::filesystem::path& path, std::size_t maxSize);

// The name less its last four characters (UTF-8 characters, so a multi-byte character is never split);
// empty for a name of four characters or fewer.
std::string CutLastFour(const std::string& name);

}  // namespace corvane
