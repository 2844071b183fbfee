#pragma once
// The compression methods, one descriptor each: -lh0- stores, -lh4- to -lh7- are LZSS with static
// Huffman blocks differing only in window size and position-code count, -lhd- marks a directory.

#include <string_view>

namespace corvane::lha {

struct TMethod {
  const char* name;
  int dictionaryBits;  // 0 for the methods without compression
  int positionCodes;   // number of position-code symbols (np)
  int positionBits;    // bits used to send np-sized counts in block headers
};

// The descriptor for a five-character method name, or nullptr for a method we cannot handle.
const TMethod* FindMethod(std::string_view name);

}  // namespace corvane::lha
