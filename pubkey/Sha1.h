#pragma once
// The digest text that binds a session string to its randomizer inside a ciphertext.

#include <string>
#include <string_view>

namespace corvane {

// SHA-1 of `text` as 40 upper-case hexadecimal characters, first digest byte first. An empty text
// produces nothing: `digest` keeps whatever it held.
void DigestText(std::string_view text, std::string& digest);

}  // namespace corvane
