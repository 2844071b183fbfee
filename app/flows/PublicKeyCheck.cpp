#include "app/flows/PublicKeyCheck.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "app/flows/FlowCommon.h"
#include "bigint/BigIntModular.h"
#include "bigint/BigIntText.h"
#include "pubkey/Sha1.h"

namespace corvane {
namespace fs = std::filesystem;

namespace {

constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

// A number of the key as an integer: digits only, so "+5", " 5" or "5\0" never pass as 5.
TBigInt ReadNumber(const std::string& text, const std::string& source, const char* name) {
  if (text.empty()) throw EPublicKeyFile(source + " の" + name + "が空です。");
  if (!IsDecimal(text)) {
    throw EPublicKeyFile(source + " の" + name + " \"" + ReadableText(text) +
                         "\" は 10 進数ではありません。");
  }
  return BigIntFromDecimalText(text);
}

int32_t ReadStrength(const std::string& text, const std::string& source) {
  if (text.empty()) throw EPublicKeyFile(source + " の鍵の強度が空です。");
  if (!IsDecimal(text)) {
    throw EPublicKeyFile(source + " の鍵の強度 \"" + ReadableText(text) + "\" は 10 進数ではありません。");
  }
  const std::size_t first = std::min(text.find_first_not_of('0'), text.size());
  const std::string digits = text.substr(first);
  const int32_t strength =
      digits.size() > 6 ? kMaxKeyStrength + 1 : static_cast<int32_t>(std::stol("0" + digits));
  if (strength < kMinKeyStrength || strength > kMaxKeyStrength) {
    throw EKeyStrength(source + " の鍵の強度 " + ReadableText(text) + " ビットは扱えません（" +
                       std::to_string(kMinKeyStrength) + "〜" + std::to_string(kMaxKeyStrength) + "）。");
  }
  return strength;
}

bool Equal(const TBigInt& a, const TBigInt& b) {
  return BigIntCompareMagnitude(a, b) == MagnitudeOrder::Equal;
}

void CheckModulus(const TBigInt& n, int32_t strength, const std::string& source) {
  // Encryption cuts blocks of up to S div 3 bits and needs them below the prime p of n = p^2 q: a key of
  // that strength has n above 2^(3 (S div 3)).
  const uint64_t needed = 3 * static_cast<uint64_t>(strength / 3) + 1;
  const uint64_t bits = BigIntIsZero(n) ? 0 : BigIntBitLength(n);
  if (bits < needed) {
    throw EPublicKeyFile(source + " の法 n（" + std::to_string(bits) + " ビット）は鍵の強度 " +
                         std::to_string(strength) + " ビットには小さすぎます（" + std::to_string(needed) +
                         " ビット以上必要です）。");
  }
  if ((n.digits[0] & 1) == 0) throw EPublicKeyFile(source + " の法 n が偶数です。");
}

// g = 0 or 1 makes every block the same number; g = n - 1 has L(g) = 0 for every prime, so nothing can be
// decrypted; a g not below n is not the g the owner's private key decrypts with; a g sharing a factor
// with n gives ciphertexts that are multiples of that factor.
void CheckBase(const TBigInt& g, const TBigInt& n, const std::string& source) {
  const TBigInt one = BigIntFromInt64(1);
  if (BigIntCompareMagnitude(g, BigIntFromInt64(2)) == MagnitudeOrder::FirstSmaller) {
    throw EPublicKeyFile(source + " の底 g が " + BigIntToDecimalText(g) + " です（2 以上が必要です）。");
  }
  if (BigIntCompareMagnitude(g, n) != MagnitudeOrder::FirstSmaller) {
    throw EPublicKeyFile(source + " の底 g が法 n 以上です（n より小さい値が必要です）。");
  }
  if (Equal(BigIntAdd(g, one), n)) {
    throw EPublicKeyFile(source + " の底 g が n - 1 です。この底で暗号化したものは誰も復号化できません。");
  }
  if (!Equal(BigIntGcd(g, n), one))
    throw EPublicKeyFile(source + " の底 g と法 n が互いに素ではありません。");
}

std::string HexEscape(unsigned char byte) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  return std::string("\\x") + kHex[byte >> 4] + kHex[byte & 0x0F];
}

// The length of the valid, printable UTF-8 sequence at text[at], or 0. Overlong forms, surrogates, values
// past U+10FFFF, C1 controls and the byte-order mark do not count.
std::size_t PrintableSequence(std::string_view text, std::size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
  if (length == 0 || lead > 0xF4 || at + length > text.size()) return 0;
  uint32_t code = lead & (0xFF >> (length + 1));
  for (std::size_t i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(text[at + i]);
    if ((next & 0xC0) != 0x80) return 0;
    code = (code << 6) | (next & 0x3F);
  }
  static constexpr uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (code < kSmallest[length] || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF ||
      (code >= 0x80 && code < 0xA0) || code == 0xFEFF) {
    return 0;
  }
  return length;
}

// The first character of text[at..] as it is shown, advancing at past it.
std::string NextReadable(std::string_view text, std::size_t& at) {
  const auto byte = static_cast<unsigned char>(text[at]);
  if (byte >= 0x80) {
    const std::size_t length = PrintableSequence(text, at);
    if (length == 0) {
      ++at;
      return HexEscape(byte);
    }
    at += length;
    return std::string(text.substr(at - length, length));
  }
  ++at;
  switch (byte) {
    case '"':
      return "\\\"";
    case '\\':
      return "\\\\";
    case '\r':
      return "\\r";
    case '\n':
      return "\\n";
    case '\t':
      return "\\t";
    default:
      break;
  }
  if (byte < 0x20 || byte == 0x7F) return HexEscape(byte);
  return std::string(1, static_cast<char>(byte));
}

}  // namespace

TPublicKey CheckPublicKey(const TPublicKeyText& text, const std::string& source) {
  if (text.N.starts_with(kUtf8ByteOrderMark)) {
    throw EPublicKeyFile(source +
                         " の先頭にバイト順マーク（BOM）があります。BOM のないテキストにして下さい。");
  }
  const TBigInt n = ReadNumber(text.N, source, "法 n（1 行目）");
  const TBigInt g = ReadNumber(text.G, source, "底 g（2 行目）");
  const int32_t strength = ReadStrength(text.KeyStrength, source);
  CheckModulus(n, strength, source);
  CheckBase(g, n, source);
  return {BigIntToDecimalText(n), BigIntToDecimalText(g), strength};
}

void CheckKeyFileKind(const fs::path& path, const std::string& what) {
  const std::string name = what + " " + path.string();
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    const int error = errno;
    if (error == ENOENT || error == ENOTDIR) throw EFileError(name + " が見つかりません。");
    if (error == EACCES) throw EFileError(name + " を開く権限がありません。");
    throw EFileError(name + " を開けません（" + SystemErrorText(error) + "）。");
  }
  if (S_ISDIR(info.st_mode)) throw EFileError(name + " はフォルダです。");
  if (S_ISFIFO(info.st_mode)) throw EFileError(name + " は名前付きパイプです。");
  if (!S_ISREG(info.st_mode)) throw EFileError(name + " は通常のファイルではありません。");
  if (::access(path.c_str(), R_OK) != 0) throw EFileError(name + " を読み取る権限がありません。");
}

TPublicKey LoadPublicKeyFile(const fs::path& path) {
  CheckKeyFileKind(path);
  return CheckPublicKey(ReadPublicKeyFile(path), "公開鍵ファイル " + path.string());
}

std::string KeyFingerprint(const TPublicKey& key) {
  std::string digest;
  DigestText(PublicKeyFileText({key.N, key.G, std::to_string(key.KeyStrength)}), digest);
  std::string grouped;
  for (std::size_t i = 0; i < digest.size(); i += 4) {
    if (i != 0) grouped += ' ';
    grouped += digest.substr(i, 4);
  }
  return grouped;
}

std::string ReadableText(std::string_view text, std::size_t maxCharacters) {
  // Two walks instead of a list of the characters: the text may be a whole file of several MiB.
  std::size_t count = 0;
  for (std::size_t at = 0; at < text.size(); ++count) NextReadable(text, at);
  const bool shortened = count > maxCharacters && maxCharacters >= 3;
  // The start and the end of a long number say most about it.
  const std::size_t head = shortened ? (maxCharacters - 1) * 2 / 3 : count;
  const std::size_t tailStart = shortened ? count - (maxCharacters - 1 - head) : count;
  std::string readable;
  std::size_t at = 0;
  for (std::size_t i = 0; i < count; ++i) {
    std::string character = NextReadable(text, at);
    if (i < head || i >= tailStart) readable += character;
    if (shortened && i + 1 == head) readable += "…";
  }
  return readable;
}

}  // namespace corvane
