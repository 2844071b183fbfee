#pragma once
// The integrity tag of a container whose session key has 40 characters (line 2 of its session-key
// member): HMAC-SHA-1 under K = HMAC-SHA-1(key = the session key's bytes, "Corvane integrity tag") of
// N, 0x00, L1, 0x00 and P, where N is the payload member's name as the decrypted file is named (UTF-8,
// without ".Enc"), L1 is line 1 of the session-key member without its line end and P is the whole payload
// (the ciphertext); written as 40 upper-case hexadecimal digits.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "symmetric/HmacSha1.h"
#include "symmetric/StreamPipeline.h"

namespace corvane {

// A session key of this length marks a container that carries the tag.
inline constexpr std::size_t kTaggedSessionKeyLength = 40;

class TIntegrityTag {
 public:
  // Takes in everything before the payload; the key material lives only in the MAC's wiped state.
  TIntegrityTag(std::string_view sessionKey, std::string_view fileName, std::string_view sessionKeyLine);
  TIntegrityTag(const TIntegrityTag&) = delete;
  TIntegrityTag& operator=(const TIntegrityTag&) = delete;

  // The payload's bytes, in order.
  void Update(const uint8_t* data, std::size_t size) { fMac.Update(data, size); }
  // Update as a pipeline hook (TPipelineOptions::payload); the tag must outlive the pipelined call.
  TPayloadHook Hook() {
    return [this](const uint8_t* data, std::size_t size) { Update(data, size); };
  }
  // The tag, once the whole payload went in.
  std::string FinalHex() { return fMac.FinalHex(); }

 private:
  THmacSha1 fMac;
};

// Whether text has a tag's form: 40 upper-case hexadecimal digits.
bool TagText(std::string_view text);

// Whether two tags are equal, in a time that does not depend on where they differ.
bool SameTag(std::string_view a, std::string_view b);

}  // namespace corvane
