// Feeds arbitrary bytes to DecryptText under a fixed 256-bit key. The corpus holds texts this key
// accepts (the shared known-answer ciphertexts) and a few malformed ones.
//
// Any input must give 0 or 2; 2 must come with an empty message; 0 must come from a text that really
// is an encryption, so encrypting the result again must decrypt to it once more.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "pubkey/Kova.h"

namespace {

corvane::TKOVA& Key() {
  static corvane::TKOVA* kova = [] {
    auto* k = new corvane::TKOVA;
    k->SetPrivateKey("73636294043870815387781503", "70007233214428659849381013", "65537");
    k->SetKeyStrength(256);
    return k;
  }();
  return *kova;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  corvane::TKOVA& kova = Key();
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::string message = "junk";
  const int32_t result = kova.DecryptText(text, message);
  if (result == 2) {
    if (!message.empty()) std::abort();
  } else if (result == 0) {
    std::string again, back;
    if (kova.EncryptText(message, again) != 0 || kova.DecryptText(again, back) != 0 || back != message)
      std::abort();
  } else {
    std::abort();
  }
  return 0;
}
