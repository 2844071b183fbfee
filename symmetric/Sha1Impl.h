#pragma once
// Block functions of SHA-1: each runs `count` whole 64-byte blocks into the five chaining words.

#include <cstddef>
#include <cstdint>

namespace corvane {

void Sha1CompressPortable(uint32_t state[5], const uint8_t* blocks, std::size_t count);
// Uses the SHA extensions; call only when CpuHasShaNi().
void Sha1CompressShaNi(uint32_t state[5], const uint8_t* blocks, std::size_t count);

}  // namespace corvane
