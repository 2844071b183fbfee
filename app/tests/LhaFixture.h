#pragma once
// Hand-made LHA archives for the decryption tests: level-0 headers and stored (-lh0-) members with any
// names, so a test can show exactly the container a reader must refuse.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace corvane::testing {

// CRC-16 as LHA uses it (polynomial 0xA001, reflected, start 0).
inline uint16_t LhaCrc16(const std::string& data) {
  uint16_t crc = 0;
  for (unsigned char byte : data) {
    crc ^= byte;
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : crc >> 1;
  }
  return crc;
}

// An archive of stored members {name, content}, followed by the end mark.
inline std::string StoredLhaArchive(const std::vector<std::pair<std::string, std::string>>& members) {
  auto le32 = [](std::string& out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
  };
  std::string archive;
  for (const auto& [name, content] : members) {
    std::string header = "-lh0-";
    le32(header, static_cast<uint32_t>(content.size()));
    le32(header, static_cast<uint32_t>(content.size()));
    le32(header, 0x5A210000);  // 2025-01-01 00:00 as MS-DOS time and date
    header += '\x20';          // attribute: archive
    header += '\0';            // header level 0
    header += static_cast<char>(name.size());
    header += name;
    const uint16_t crc = LhaCrc16(content);
    header += static_cast<char>(crc & 0xFF);
    header += static_cast<char>(crc >> 8);
    unsigned sum = 0;
    for (unsigned char byte : header) sum += byte;
    archive += static_cast<char>(header.size());
    archive += static_cast<char>(sum & 0xFF);
    archive += header + content;
  }
  archive += '\0';
  return archive;
}

// What a level-2 header holds for its member's name: the file-name record (folders before it, 0xFF
// between them) and the code page its code-page record gives, 0 without one.
struct LhaStoredName {
  std::string bytes;
  uint32_t codePage = 0;
};

// The stored names of every member of an archive of level-2 headers, read from the header bytes.
inline std::vector<LhaStoredName> LhaStoredNames(const std::string& archive) {
  auto le16 = [&](std::size_t at) {
    return at + 1 < archive.size() ? static_cast<uint32_t>(static_cast<uint8_t>(archive[at]) |
                                                           (static_cast<uint8_t>(archive[at + 1]) << 8))
                                   : 0u;
  };
  auto le32 = [&](std::size_t at) { return le16(at) | (le16(at + 2) << 16); };
  std::vector<LhaStoredName> names;
  for (std::size_t at = 0; at + 26 <= archive.size() && archive[at] != '\0' && archive[at + 20] == 2;) {
    LhaStoredName name;
    std::string folders;
    const std::size_t end = at + le16(at);
    for (std::size_t pos = at + 26, size = le16(at + 24); size >= 3 && pos + size <= end;) {
      const std::string data = archive.substr(pos + 1, size - 3);
      if (archive[pos] == 0x01) name.bytes = data;
      if (archive[pos] == 0x02) folders = data;
      if (archive[pos] == 0x46 && data.size() >= 4) name.codePage = le32(pos + 1);
      const std::size_t next = le16(pos + size - 2);
      pos += size;
      size = next;
    }
    name.bytes = folders + name.bytes;
    names.push_back(name);
    at = end + le32(at + 7);
  }
  return names;
}

}  // namespace corvane::testing
