#pragma once
// Shared helpers of the key object's tests: fixture paths, hex, and a bit source fed from bit texts.

#include <gtest/gtest.h>

#include <cstdlib>
#include <deque>
#include <memory>
#include <stdexcept>
#include <string>

#include "pubkey/Kova.h"
#include "pubkey/tests/MiniJson.h"

namespace corvane::testing {

inline std::string VectorsDir() {
  const char* env = std::getenv("CORVANE_VECTORS");
  return env ? env : CORVANE_VECTORS_FALLBACK;
}

inline const Json& SharedSchemeCases() {
  static const Json cases = ReadJsonFile(VectorsDir() + "/scheme.json")["cases"];
  return cases;
}

inline const Json& OwnKnownAnswers() {
  static const Json data = ReadJsonFile(std::string(PUBKEY_TEST_DATA) + "/kova_known.json");
  return data;
}

inline std::string FromHex(const std::string& hex) {
  std::string out;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
    out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  return out;
}

// Plays back the given bit texts, one character per draw; running dry is a test failure.
class BitFeed {
 public:
  void Add(const std::string& bits) { bits_.insert(bits_.end(), bits.begin(), bits.end()); }
  std::size_t Left() const { return bits_.size(); }
  TKOVA::TRandomBit Source() {
    return [this] {
      if (bits_.empty()) throw std::runtime_error("bit feed ran dry");
      const char c = bits_.front();
      bits_.pop_front();
      return c == '1' ? 1 : 0;
    };
  }

 private:
  std::deque<char> bits_;
};

// A key object holding the private key of a known-answer case, sized from its key strength.
inline std::unique_ptr<TKOVA> KeyOf(const Json& c) {
  auto kova = std::make_unique<TKOVA>();
  EXPECT_EQ(kova->SetPrivateKey(c["p"].scalar, c["q"].scalar, c["g"].scalar), 0);
  kova->SetKeyStrength(c["keyStrength"].Int());
  return kova;
}

}  // namespace corvane::testing
