#pragma once
// The flows' test fixture: a key pair stored in temporary settings, a source folder and a folder where
// containers are received and decrypted.

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "app/flows/ContainerArchive.h"
#include "app/flows/DecryptionFlow.h"
#include "app/flows/EncryptionFlow.h"
#include "app/flows/KeyPairFlow.h"
#include "app/tests/LhaFixture.h"
#include "platform/tests/TempFolder.h"

namespace corvane {
namespace flowtest {
namespace fs = std::filesystem;
using testing::ReadFile;
using testing::TempFolder;
using testing::WriteFile;
using Names = std::vector<std::string>;

inline std::string RandomBytes(std::size_t size, unsigned seed) {
  std::mt19937 engine(seed);
  std::string data(size, '\0');
  for (char& c : data) c = static_cast<char>(engine() & 0xFF);
  return data;
}

// Every entry of a folder, hidden ones included, sorted.
inline Names Entries(const fs::path& folder) {
  Names names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

inline Names Sorted(Names names) {
  std::sort(names.begin(), names.end());
  return names;
}

class FlowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(src);
    fs::create_directories(dst);
  }

  // The user's key pair, stored in the settings; its public half is also the recipient key.
  void MakeKeyPair(int32_t strength = 256) {
    keyFile = CreateKeyPair({strength, "alice@example.com", true, true}, kova, settings, home).PublicKeyFile;
  }

  fs::path Encrypt(const std::string& name, const std::string& content) {
    WriteFile(src / name, content);
    return EncryptFileForRecipient({keyFile, src / name}, kova).Container;
  }

  // A copy of the container in the decryption folder, under the given name.
  fs::path Received(const fs::path& container, const std::string& name = "") {
    const fs::path copy = dst / (name.empty() ? container.filename().string() : name);
    fs::copy_file(container, copy, fs::copy_options::overwrite_existing);
    return copy;
  }

  TDecryptResult Decrypt(const fs::path& container, bool replace = false) {
    return DecryptContainer({container, replace}, kova, settings);
  }

  // The members of a real container, extracted.
  std::pair<std::string, std::string> MembersOf(const fs::path& container, const Names& names) {
    TempFolder out;
    ExtractContainer(container, out.path(), {});
    return {ReadFile(out / names[0]), ReadFile(out / names[1])};
  }

  // A container for the user's key whose payload member has the name a sender chose, as a sender could
  // make it (the session-key member is "x_alice.RJN").
  // A container as a sender makes it for a file named like payloadName less ".Enc" (so its integrity tag
  // holds), packed by hand under an unrelated session-key member name.
  std::string ContainerNamed(const std::string& payloadName, const std::string& content) {
    const fs::path scratch = src / "made";
    fs::create_directories(scratch);
    const std::string sourceName = payloadName.substr(0, payloadName.size() - 4);
    WriteFile(scratch / sourceName, content);
    const fs::path made = EncryptFileForRecipient({keyFile, scratch / sourceName, true}, kova).Container;
    const std::string stem = ContainerStemFor(sourceName, keyFile.filename().string());
    const auto [line, payload] = MembersOf(made, {stem + ".RJN", payloadName});
    fs::remove_all(scratch);
    return testing::StoredLhaArchive({{"x_alice.RJN", line}, {payloadName, payload}});
  }

  TempFolder root;
  fs::path home = root / "home";
  fs::path src = root / "src";
  fs::path dst = root / "dst";
  IniSettingsStore settings{root / "config"};
  TKOVA kova;
  fs::path keyFile;
};

}  // namespace flowtest
}  // namespace corvane
