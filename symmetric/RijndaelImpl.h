#pragma once
// Internals shared by the portable and the AES-NI block code: the key schedule layout and the table of
// entry points one implementation provides.

#include <cstddef>
#include <cstdint>

namespace corvane {

// Round keys as 32-bit words holding the key bytes little-endian, so each round key's 4 words are its 16
// bytes in order in memory. `dec` holds the equivalent inverse cipher's keys in the order they are used.
struct TAesKeys {
  int rounds = 0;
  alignas(16) uint32_t enc[15][4];
  alignas(16) uint32_t dec[15][4];
};

struct TAesOps {
  const char* name;
  void (*encryptBlock)(const TAesKeys& keys, const uint8_t* in, uint8_t* out);
  void (*decryptBlock)(const TAesKeys& keys, const uint8_t* in, uint8_t* out);
  // Whole blocks; `chain` is the running chaining value. `in` may equal `out`.
  void (*cbcEncrypt)(const TAesKeys& keys, uint8_t* chain, const uint8_t* in, uint8_t* out,
                     std::size_t blocks);
  void (*cbcDecrypt)(const TAesKeys& keys, uint8_t* chain, const uint8_t* in, uint8_t* out,
                     std::size_t blocks);
};

// The FIPS 197 key expansion of `bytes` (16, 24 or 32) key bytes into both schedules.
void AesExpandKey(TAesKeys& keys, const uint8_t* key, std::size_t bytes);

const TAesOps& AesPortableOps();
// nullptr when the CPU lacks AES-NI.
const TAesOps* AesNiOps();

}  // namespace corvane
