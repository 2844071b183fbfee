#pragma once
// Decoding of one member's data: stored (-lh0-) or LZSS with static Huffman blocks (-lh4- to -lh7-).

#include <cstdint>

#include "platform/unlha32/ByteSource.h"
#include "platform/unlha32/LhaHeader.h"
#include "platform/unlha32/Sink.h"

namespace corvane::lha {

// Writes the member's original bytes to `sink` and checks its CRC-16. Returns 0, UNLHA_ERROR_METHOD,
// UNLHA_ERROR_BROKEN_DATA, UNLHA_ERROR_CRC, UNLHA_ERROR_FILE_OPEN (read failure) or the sink's status.
// Never produces more than the member's original size.
int DecodeMember(const TByteSource& source, const TMember& member, TSink& sink);

}  // namespace corvane::lha
