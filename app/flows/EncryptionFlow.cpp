#include "app/flows/EncryptionFlow.h"

#include <algorithm>
#include <cerrno>

#include "app/flows/ContainerArchive.h"
#include "app/flows/PublicKeyCheck.h"
#include "app/flows/PublicKeyFile.h"
#include "app/flows/WorkFolder.h"
#include "archive/Archives.h"
#include "common/SecureWipe.h"
#include "common/SystemRandom.h"
#include "symmetric/Rijndael.h"

namespace corvane {
namespace fs = std::filesystem;

namespace {

// Wipes the session key on every path out of the flow.
struct TSessionKey {
  std::string Text = NewSessionKey();
  ~TSessionKey() { SecureWipe(Text); }
};

// The session key wrapped with the recipient's public key. A key file whose numbers give no usable key is
// refused here rather than producing a container nobody can open.
std::string WrapSessionKey(const fs::path& keyFile, const std::string& sessionKey, TKOVA& kova) {
  const TPublicKey key = LoadPublicKeyFile(keyFile);
  const int32_t loaded = kova.SetPublicKey(key.N, key.G);
  kova.SetKeyStrength(key.KeyStrength);
  std::string cipherText;
  if (loaded != TKOVA::kOk || kova.EncryptText(sessionKey, cipherText) != TKOVA::kOk || cipherText.empty()) {
    throw EPublicKeyFile("公開鍵ファイル " + keyFile.string() + " の形式が正しくありません。");
  }
  return cipherText;
}

// The payload's name is the member name the reader turns back into the source's name, and the container's
// is the stem the reader and the mail use: neither can be shortened, so one that the source's folder
// cannot hold is refused before any work, naming the source.
void CheckNameLengths(const fs::path& source, const std::vector<std::string>& names) {
  const std::size_t limit = MaxNameLength(source.parent_path());
  for (const std::string& name : names) {
    if (name.size() > limit) {
      throw EFileError("ファイル \"" + source.string() + "\" の名前が長すぎるため、暗号ファイルの名前 \"" +
                           name + "\" を作れません。名前を短くしてから暗号化して下さい。",
                       source, ENAMETOOLONG);
    }
  }
}

}  // namespace

std::string ContainerStemFor(const std::string& sourceName, const std::string& recipientKeyFileName) {
  return CutLastFour(sourceName) + "_" + CutLastFour(recipientKeyFileName);
}

fs::path ContainerFileFor(const TEncryptRequest& request) {
  const fs::path source = fs::absolute(request.SourceFile);
  return source.parent_path() /
         (ContainerStemFor(source.filename().string(), request.RecipientKeyFile.filename().string()) +
          ".KVX");
}

std::string NewSessionKey() {
  std::string key(kSessionKeyLength, '\0');
  for (char& c : key) c = static_cast<char>(0x3C + SystemRandomBelow(20));
  return key;
}

TEncryptResult EncryptFileForRecipient(const TEncryptRequest& request, TKOVA& kova,
                                       const TFlowProgress& progress) {
  const fs::path source = fs::absolute(request.SourceFile);
  const std::string sourceName = source.filename().string();
  const std::string keyFileName = request.RecipientKeyFile.filename().string();

  TSessionKey sessionKey;
  const std::string cipherText = WrapSessionKey(request.RecipientKeyFile, sessionKey.Text, kova);

  const std::string stem = ContainerStemFor(sourceName, keyFileName);
  const std::string payloadName = sourceName + ".Enc";
  const std::string sessionKeyName = stem + ".RJN";
  const fs::path container = ContainerFileFor(request);
  const std::string containerName = container.filename().string();

  CheckReadableFile(source);  // named before any work is done
  CheckNameLengths(source, {payloadName, containerName});
  if (!request.ReplaceExisting && NameTaken(container)) throw EOutputExists(container);
  TWorkFolder work(source.parent_path());
  work.Run([&] {
    // The tag is computed over the ciphertext as it is written, in the same pass as the encryption.
    TIntegrityTag tag(sessionKey.Text, sourceName, cipherText);
    EncryptFileInto(
        source, work / payloadName, sessionKey.Text,
        [&progress](uint64_t done, uint64_t total) {
          return !progress || progress(TFlowStage::stEncrypting, done, total);
        },
        tag.Hook());
    WriteWorkFile(work / sessionKeyName, cipherText + "\r\n" + tag.FinalHex() + "\r\n");
    PackContainer(work / containerName, {work / sessionKeyName, work / payloadName}, progress);

    // The container must hold exactly the two bare names the reader looks for.
    std::vector<std::string> members = ContainerMemberNames(work / containerName);
    std::vector<std::string> expected{sessionKeyName, payloadName};
    std::sort(members.begin(), members.end());
    std::sort(expected.begin(), expected.end());
    if (members != expected) throw EArchiver("暗号ファイル " + containerName + " を作成できませんでした。");

    PlaceFile(work / containerName, container, request.ReplaceExisting);
  });
  return {container, stem, CutLastFour(keyFileName)};
}

}  // namespace corvane
