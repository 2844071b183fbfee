#include "app/flows/IntegrityTag.h"

#include "common/SecureWipe.h"

namespace corvane {

namespace {

constexpr std::string_view kTagKeyText = "Corvane integrity tag";

}  // namespace

TIntegrityTag::TIntegrityTag(std::string_view sessionKey, std::string_view fileName,
                             std::string_view sessionKeyLine) {
  std::string key = THmacSha1::Mac(sessionKey, kTagKeyText);
  fMac.Init(key);
  SecureWipe(key);
  const char separator = '\0';
  fMac.Update(fileName);
  fMac.Update(&separator, 1);
  fMac.Update(sessionKeyLine);
  fMac.Update(&separator, 1);
}

bool TagText(std::string_view text) {
  if (text.size() != 2 * THmacSha1::kDigestBytes) return false;
  for (const char c : text) {
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return false;
  }
  return true;
}

bool SameTag(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  unsigned char difference = 0;
  for (std::size_t i = 0; i < a.size(); ++i) difference |= static_cast<unsigned char>(a[i] ^ b[i]);
  return difference == 0;
}

}  // namespace corvane
