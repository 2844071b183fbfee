// Header levels 0, 1 and 2, read from hand-made bytes and from what we write.
#include <string>

#include <gtest/gtest.h>

#include "platform/unlha32/Crc16.h"
#include "platform/unlha32/LhaArchive.h"
#include "platform/unlha32/LhaHeader.h"

namespace corvane::lha::test {
namespace {

void Put16(std::string& s, uint32_t v) {
  s.push_back(static_cast<char>(v & 0xFF));
  s.push_back(static_cast<char>((v >> 8) & 0xFF));
}
void Put32(std::string& s, uint32_t v) {
  Put16(s, v & 0xFFFF);
  Put16(s, v >> 16);
}

// A level-0 header with the optional Unix extension, followed by the stored data.
std::string Level0(const std::string& name, const std::string& data, bool unixExtension) {
  std::string h;
  h += "-lh0-";
  Put32(h, static_cast<uint32_t>(data.size()));
  Put32(h, static_cast<uint32_t>(data.size()));
  Put32(h, (45u << 25) | (3u << 21) | (14u << 16) | (12u << 11) | (30u << 5));  // 2025-03-14 12:30:00
  h.push_back(0x20);
  h.push_back(0);
  h.push_back(static_cast<char>(name.size()));
  h += name;
  Put16(h, Crc16(0, reinterpret_cast<const uint8_t*>(data.data()), data.size()));
  if (unixExtension) {
    h += "U";
    h.push_back(0);
    Put32(h, 1700000000u);
    Put16(h, 0100640);
    Put16(h, 1000);
    Put16(h, 1000);
  }
  uint8_t sum = 0;
  for (unsigned char c : h) sum = static_cast<uint8_t>(sum + c);
  return std::string(1, static_cast<char>(h.size())) + std::string(1, static_cast<char>(sum)) + h + data;
}

// A level-1 header whose directory comes in an extension record.
std::string Level1(const std::string& dir, const std::string& name, const std::string& data) {
  std::string ext;
  ext.push_back(0x02);
  ext += dir;
  Put16(ext, 0);  // last record
  const uint32_t extSize = static_cast<uint32_t>(ext.size());
  std::string h;
  h += "-lh0-";
  Put32(h, static_cast<uint32_t>(data.size()) + extSize);
  Put32(h, static_cast<uint32_t>(data.size()));
  Put32(h, (45u << 25) | (1u << 21) | (2u << 16));
  h.push_back(0x20);
  h.push_back(1);
  h.push_back(static_cast<char>(name.size()));
  h += name;
  Put16(h, Crc16(0, reinterpret_cast<const uint8_t*>(data.data()), data.size()));
  h += "M";
  Put16(h, extSize);
  uint8_t sum = 0;
  for (unsigned char c : h) sum = static_cast<uint8_t>(sum + c);
  return std::string(1, static_cast<char>(h.size())) + std::string(1, static_cast<char>(sum)) + h + ext +
         data;
}

TEST(LhaHeader, Level0WithAndWithoutUnixExtension) {
  const std::string plain = Level0("DIR\\FILE.TXT", "hello", false) + std::string(1, '\0');
  TMemorySource src(reinterpret_cast<const uint8_t*>(plain.data()), plain.size());
  TMember m;
  ASSERT_EQ(ReadHeader(src, 0, m), THeaderResult::kMember);
  EXPECT_EQ(m.name, "DIR/FILE.TXT");  // MS-DOS separators become '/'
  EXPECT_EQ(m.level, 0);
  EXPECT_EQ(m.originalSize, 5u);
  EXPECT_EQ(m.dosStamp >> 16, (45u << 9) | (3u << 5) | 14u);
  EXPECT_FALSE(m.hasMode);
  EXPECT_EQ(ReadHeader(src, m.DataEnd(), m), THeaderResult::kEnd);

  const std::string ext = Level0("a.txt", "hello", true);
  TMemorySource src2(reinterpret_cast<const uint8_t*>(ext.data()), ext.size());
  ASSERT_EQ(ReadHeader(src2, 0, m), THeaderResult::kMember);
  EXPECT_EQ(m.unixTime, 1700000000);
  EXPECT_TRUE(m.hasMode);
  EXPECT_EQ(m.mode, 0100640);
}

TEST(LhaHeader, Level1DirectoryExtensionAndPackedSize) {
  const std::string a = Level1(std::string("sub\xFF", 4), "x.bin", "12345") + std::string(1, '\0');
  TMemorySource src(reinterpret_cast<const uint8_t*>(a.data()), a.size());
  std::vector<TMember> members;
  ASSERT_EQ(ScanArchive(src, members), 0);
  ASSERT_EQ(members.size(), 1u);
  EXPECT_EQ(members[0].name, "sub/x.bin");
  EXPECT_EQ(members[0].compressedSize, 5u);  // the extension bytes are not data
  EXPECT_EQ(a.substr(members[0].dataOffset, 5), "12345");
}

TEST(LhaHeader, Level2RoundTripIncludingThePaddedSize) {
  // Name lengths around the one that makes the header size a multiple of 256.
  for (size_t len = 180; len < 240; ++len) {
    TMember in;
    in.name = "dir/" + std::string(len, 'n');
    in.method = "-lh5-";
    in.compressedSize = 3;
    in.originalSize = 10;
    in.unixTime = 1234567890;
    in.crc = 0xBEEF;
    in.hasMode = true;
    in.mode = 0100600;
    const std::string h = BuildLevel2Header(in);
    ASSERT_NE(h.size() & 0xFF, 0u) << len;
    const std::string archive = h + "abc" + std::string(1, '\0');
    TMemorySource src(reinterpret_cast<const uint8_t*>(archive.data()), archive.size());
    TMember out;
    ASSERT_EQ(ReadHeader(src, 0, out), THeaderResult::kMember) << len;
    EXPECT_EQ(out.name, in.name);
    EXPECT_EQ(out.method, "-lh5-");
    EXPECT_EQ(out.originalSize, 10u);
    EXPECT_EQ(out.compressedSize, 3u);
    EXPECT_EQ(out.unixTime, 1234567890);
    EXPECT_EQ(out.crc, 0xBEEF);
    EXPECT_EQ(out.mode, 0100600);
    EXPECT_EQ(out.dataOffset, h.size());
  }
}

TEST(LhaHeader, DamageIsDetected) {
  TMember in;
  in.name = "file";
  in.method = "-lh0-";
  in.compressedSize = in.originalSize = 4;
  const std::string good = BuildLevel2Header(in) + "data" + std::string(1, '\0');
  const std::string level0 = Level0("f", "data", true) + std::string(1, '\0');
  struct {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"level 2 header CRC",
       [&] {
         std::string b = good;
         b[33] ^= 1;  // inside the file-name record
         return b;
       }()},
      {"level 2 data past the end", good.substr(0, good.size() - 3)},
      {"level 2 cut in the header", good.substr(0, 20)},
      {"level 0 checksum",
       [&] {
         std::string b = level0;
         b[10] ^= 1;
         return b;
       }()},
      {"unknown level",
       [&] {
         std::string b = good;
         b[20] = 3;
         return b;
       }()},
      {"not a method", std::string("garbage that is not an archive at all")},
  };
  for (const auto& c : cases) {
    TMemorySource src(reinterpret_cast<const uint8_t*>(c.bytes.data()), c.bytes.size());
    std::vector<TMember> members;
    EXPECT_NE(ScanArchive(src, members), 0) << c.what;
  }
}

TEST(LhaNames, SafetyRules) {
  for (const char* bad : {"/etc/passwd", "../x", "a/../../x", "C:x", "c:/x", ""})
    EXPECT_FALSE(IsSafeMemberName(bad)) << bad;
  EXPECT_FALSE(IsSafeMemberName(std::string("a\0b", 3)));
  // '\' is an ordinary character of a name: the reader has turned the separators of MS-DOS names into '/'.
  for (const char* good :
       {"a", "a/b/c.txt", "./a", "..a", "a..", "日本語.txt", "a\\..\\x", "\\\\server\\x", "a\\b.txt"})
    EXPECT_TRUE(IsSafeMemberName(good)) << good;
  EXPECT_EQ(StoredName("/full/path/SOURCE.Enc", true), "SOURCE.Enc");
  EXPECT_EQ(StoredName("/full/./path/../x", false), "full/path/x");
  EXPECT_EQ(BareName("a/b/"), "b");
  EXPECT_EQ(StoredName("/in/a\\b.txt", true), "a\\b.txt");
}

}  // namespace
}  // namespace corvane::lha::test
