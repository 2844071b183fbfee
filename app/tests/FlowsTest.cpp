// The three flows end to end: real keys, the real LHA library, files in temporary folders.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <random>

#include "app/flows/ContainerArchive.h"
#include "app/flows/DecryptionFlow.h"
#include "app/flows/EncryptionFlow.h"
#include "app/flows/KeyPairFlow.h"
#include "app/flows/PublicKeyFile.h"
#include "app/tests/FlowFixture.h"
#include "app/tests/LhaFixture.h"
#include "archive/Archives.h"
#include "platform/tests/TempFolder.h"
#include "platform/unlha32/Crc16.h"
#include "platform/unlha32/LhaEncoder.h"
#include "platform/unlha32/LhaHeader.h"
#include "symmetric/Rijndael.h"

namespace corvane {
namespace {
namespace fs = std::filesystem;
using namespace flowtest;
using testing::ReadFile;
using testing::TempFolder;
using testing::WriteFile;

// --- key pairs

class KeyPairTest : public FlowTest, public ::testing::WithParamInterface<int32_t> {};

TEST_P(KeyPairTest, WritesThreeCrLfLinesAndTheFourPrivateValues) {
  const int32_t strength = GetParam();
  const TKeyPairResult result = CreateKeyPair({strength, "alice@example.com", false}, kova, settings, home);
  EXPECT_EQ(result.PublicKeyFile, home / "alice@example.com.KVK");
  EXPECT_EQ(Entries(home), Names{"alice@example.com.KVK"});

  const std::string text = ReadFile(result.PublicKeyFile);
  const Names lines = SplitLines(text);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(text, lines[0] + "\r\n" + lines[1] + "\r\n" + lines[2] + "\r\n");
  EXPECT_EQ(lines[1], "65537");
  EXPECT_EQ(lines[2], std::to_string(strength));

  settings.OpenKey(kCorvaneKeyPath);
  const std::string p = settings.ReadString("KOVA", "P", ""), q = settings.ReadString("KOVA", "Q", "");
  EXPECT_EQ(settings.ReadString("KOVA", "G", ""), "65537");
  EXPECT_EQ(settings.ReadString("KOVA", "KeyStrength", ""), std::to_string(strength));
  // The stored primes are the public modulus's: n = p^2 q.
  TKOVA fresh;
  ASSERT_EQ(fresh.SetPrivateKey(p, q, "65537"), 0);
  std::string n, g;
  fresh.GetPublicKey(n, g);
  EXPECT_EQ(n, lines[0]);
}

INSTANTIATE_TEST_SUITE_P(Strengths, KeyPairTest, ::testing::Values(256, 1024));

TEST_F(FlowTest, KeyPairStoresThePrivateValuesInOrderInOneWrite) {
  MemorySettingsStore memory;
  CreateKeyPair({256, "bob", false}, kova, memory, home);
  ASSERT_EQ(memory.writes.size(), 4u);
  Names order;
  for (const auto& write : memory.writes) {
    EXPECT_EQ(write.keyPath, kCorvaneKeyPath);
    EXPECT_EQ(write.subKey, "KOVA");
    order.push_back(write.name);
  }
  EXPECT_EQ(order, (Names{"P", "Q", "G", "KeyStrength"}));
}

TEST_F(FlowTest, ReplacingAStoredKeyNeedsConsent) {
  MakeKeyPair();
  const std::string oldFile = ReadFile(keyFile);
  settings.OpenKey(kCorvaneKeyPath);
  const std::string oldP = settings.ReadString("KOVA", "P", "");

  EXPECT_TRUE(PrivateKeyExists(settings));
  EXPECT_THROW(CreateKeyPair({256, "alice@example.com", false}, kova, settings, home), EKeyExists);
  settings.OpenKey(kCorvaneKeyPath);
  EXPECT_EQ(settings.ReadString("KOVA", "P", ""), oldP);
  EXPECT_EQ(ReadFile(keyFile), oldFile);

  CreateKeyPair({256, "alice@example.com", true}, kova, settings, home);
  settings.OpenKey(kCorvaneKeyPath);
  EXPECT_NE(settings.ReadString("KOVA", "P", ""), oldP);
  EXPECT_NE(ReadFile(keyFile), oldFile);
  EXPECT_EQ(Entries(home), Names{"alice@example.com.KVK"});
}

TEST_F(FlowTest, KeyPairRefusalsWriteNothing) {
  EXPECT_FALSE(PrivateKeyExists(settings));
  for (int32_t strength : {47, 16385, -1}) {
    EXPECT_THROW(CreateKeyPair({strength, "a", false}, kova, settings, home), EKeyStrength);
  }
  for (const char* name : {"", "a/b", "..", "."}) {
    EXPECT_THROW(CreateKeyPair({256, name, false}, kova, settings, home), EFileError) << name;
  }
  EXPECT_THROW(CreateKeyPair({256, "a", false}, kova, settings, home,
                             [](TFlowStage, uint64_t, uint64_t) { return false; }),
               ECancelled);
  EXPECT_FALSE(PrivateKeyExists(settings));
  EXPECT_TRUE(!fs::exists(home) || fs::is_empty(home));
}

TEST_F(FlowTest, AnUnwritableProgramFolderLeavesTheStoredKeyAlone) {
  fs::create_directories(home);
  testing::ReadOnlyFolder readOnly(home);
  if (!readOnly.Ready()) GTEST_SKIP() << "cannot make a folder read-only here";
  EXPECT_THROW(CreateKeyPair({256, "a", false}, kova, settings, home), EFileError);
  EXPECT_FALSE(PrivateKeyExists(settings));
}

// --- encryption and decryption

struct RoundTripCase {
  const char* name;
  std::size_t size;
  const char* stem;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const RoundTripCase& c, std::ostream* os) {
  *os << '"' << c.name << "\", " << c.size << " bytes";
}

class RoundTripTest : public FlowTest, public ::testing::WithParamInterface<RoundTripCase> {};

TEST_P(RoundTripTest, EncryptsBesideTheSourceAndDecryptsToTheSameBytes) {
  const RoundTripCase& c = GetParam();
  MakeKeyPair();
  const std::string content = RandomBytes(c.size, static_cast<unsigned>(c.size));
  const fs::path container = Encrypt(c.name, content);

  const std::string stem = c.stem;
  EXPECT_EQ(container, src / (stem + ".KVX"));
  EXPECT_EQ(Entries(src), Sorted({c.name, stem + ".KVX"}));
  EXPECT_EQ(Sorted(ContainerMemberNames(container)), Sorted({stem + ".RJN", std::string(c.name) + ".Enc"}));
  EXPECT_EQ(ReadFile(src / c.name), content);

  // A hidden name (".profile") is written only with consent.
  const TDecryptResult result = DecryptContainer({Received(container), false, true}, kova, settings);
  EXPECT_EQ(result.OutputFile, dst / c.name);
  EXPECT_EQ(result.OutputFolder, dst);
  EXPECT_EQ(ReadFile(dst / c.name), content);
  EXPECT_EQ(Entries(dst), Sorted({c.name, stem + ".KVX"}));
}

// Among the names, those a command text could misread: as a response file, a switch, a quote that ends the
// name, a line break.
INSTANTIATE_TEST_SUITE_P(
    SizesAndNames, RoundTripTest,
    ::testing::Values(RoundTripCase{"notes.txt", 0, "notes_alice@example.com"},
                      RoundTripCase{"notes.txt", 1, "notes_alice@example.com"},
                      RoundTripCase{"notes.txt", 5 << 20, "notes_alice@example.com"},
                      RoundTripCase{"README", 100, "RE_alice@example.com"},
                      RoundTripCase{"abc", 100, "_alice@example.com"},
                      RoundTripCase{"日本語の文書.txt", 100, "日本語の文書_alice@example.com"},
                      RoundTripCase{"my notes.txt", 100, "my notes_alice@example.com"},
                      RoundTripCase{"表計算ソフト能力.csv", 100, "表計算ソフト能力_alice@example.com"},
                      RoundTripCase{"ｶﾀｶﾅ.txt", 100, "ｶﾀｶﾅ_alice@example.com"},
                      RoundTripCase{"표와 한글.txt", 100, "표와 한글_alice@example.com"},
                      RoundTripCase{"a\\b.txt", 100, "a\\b_alice@example.com"},
                      RoundTripCase{".profile", 100, ".pro_alice@example.com"},
                      RoundTripCase{"@x.txt", 100, "@x_alice@example.com"},
                      RoundTripCase{"-x.txt", 100, "-x_alice@example.com"},
                      RoundTripCase{"@", 100, "_alice@example.com"},
                      RoundTripCase{"a\"b.txt", 100, "a\"b_alice@example.com"},
                      RoundTripCase{"new\nline", 100, "new\n_alice@example.com"}));

TEST_F(FlowTest, ARenamedContainerWithTheMembersReversedDecrypts) {
  MakeKeyPair();
  const fs::path container = Encrypt("notes.txt", "reversed");
  const auto [line, payload] = MembersOf(container, {"notes_alice@example.com.RJN", "notes.txt.Enc"});
  WriteFile(dst / "attachment (1).kvx",
            testing::StoredLhaArchive({{"notes.txt.Enc", payload}, {"notes_alice@example.com.RJN", line}}));
  EXPECT_EQ(Decrypt(dst / "attachment (1).kvx").OutputFile, dst / "notes.txt");
  EXPECT_EQ(ReadFile(dst / "notes.txt"), "reversed");
}

TEST_F(FlowTest, AContainerWithAFourCharacterSessionKeyDecrypts) {
  MakeKeyPair();
  kova.SetKeyStrength(256);
  std::string line;
  ASSERT_EQ(kova.EncryptText("<AO=", line), 0);
  TMemoryStream in("an older container"), payload;
  EncryptFileStream(in, payload, "<AO=");
  WriteFile(dst / "old_alice.KVX",
            testing::StoredLhaArchive({{"old_alice.RJN", line + "\r\n"}, {"old.txt.Enc", payload.Data()}}));
  Decrypt(dst / "old_alice.KVX");
  EXPECT_EQ(ReadFile(dst / "old.txt"), "an older container");
}

// A payload member as a packer that compresses whatever it is given would write it, in a level-2 header.
std::string CompressedMember(const std::string& name, const std::string& data) {
  struct TStringSink final : lha::TSink {
    int Write(const uint8_t* bytes, size_t size) override {
      packed.append(reinterpret_cast<const char*>(bytes), size);
      return 0;
    }
    std::string packed;
  } sink;
  lha::TLzhEncoder encoder(*lha::FindMethod("-lh5-"), sink);
  encoder.Write(reinterpret_cast<const uint8_t*>(data.data()), data.size());
  encoder.Finish();
  lha::TMember member;
  member.name = name;
  member.method = "-lh5-";
  member.originalSize = data.size();
  member.compressedSize = sink.packed.size();
  member.crc = lha::Crc16(0, reinterpret_cast<const uint8_t*>(data.data()), data.size());
  return lha::BuildLevel2Header(member) + sink.packed;
}

// A container made before containers had a tag (a four-character session key) relies on the CRC of its
// stored payload; one whose payload was packed compressed is extracted before it is decrypted.
TEST_F(FlowTest, UntaggedAndCompressedPayloadsAreCheckedAndDecrypt) {
  MakeKeyPair();
  kova.SetKeyStrength(256);
  std::string line;
  ASSERT_EQ(kova.EncryptText("<AO=", line), 0);
  const std::string plain = RandomBytes(200000, 3);
  TMemoryStream in(plain), payload;
  EncryptFileStream(in, payload, "<AO=");
  const std::string stored =
      testing::StoredLhaArchive({{"old_alice.RJN", line + "\r\n"}, {"old.bin.Enc", payload.Data()}});
  std::string flipped = stored;
  flipped[stored.size() - 5000] ^= 0x01;
  // The compressed member goes before the end mark, a zero byte.
  std::string compressed = testing::StoredLhaArchive({{"old_alice.RJN", line + "\r\n"}});
  compressed.insert(compressed.size() - 1, CompressedMember("old.bin.Enc", payload.Data()));
  for (const std::string& bytes : {stored, compressed}) {
    WriteFile(dst / "old_alice.KVX", bytes);
    Decrypt(dst / "old_alice.KVX");
    EXPECT_TRUE(ReadFile(dst / "old.bin") == plain);
    fs::remove(dst / "old.bin");
  }
  WriteFile(dst / "old_alice.KVX", flipped);
  try {
    Decrypt(dst / "old_alice.KVX");
    ADD_FAILURE() << "decrypted";
  } catch (const EContainerError& error) {
    EXPECT_STREQ(error.what(), "暗号ファイルが壊れています。");
  }
  EXPECT_EQ(Entries(dst), Names{"old_alice.KVX"});
}

TEST_F(FlowTest, TheKnownContainersDecryptWithTheirPrivateKey) {
  const char* vectors = std::getenv("CORVANE_VECTORS");
  const fs::path folder = fs::path(vectors ? vectors : CORVANE_VECTORS_FALLBACK) / "container";
  fs::create_directories(root / "config" / "Tessaly");
  fs::copy_file(folder / "private-key.ini", root / "config" / "Tessaly" / "Corvane.ini");
  for (const fs::path& container : {folder / "letter_alice@example.com.KVX",
                                    folder / "enc-first-level0" / "letter_alice@example.com.KVX"}) {
    TempFolder out;
    fs::copy_file(container, out / container.filename());
    EXPECT_EQ(Decrypt(out / container.filename()).OutputFile, out / "letter.txt");
    EXPECT_EQ(ReadFile(out / "letter.txt"), ReadFile(folder / "letter.txt")) << container;
    EXPECT_EQ(Entries(out.path()), Sorted({"letter.txt", container.filename().string()}));
  }
}

TEST_F(FlowTest, ContainersFromJapaneseWindowsDecryptUnderTheirJapaneseNames) {
  const char* vectors = std::getenv("CORVANE_VECTORS");
  const fs::path known = fs::path(vectors ? vectors : CORVANE_VECTORS_FALLBACK);
  const fs::path folder = known / "container-cp932";
  fs::create_directories(root / "config" / "Tessaly");
  fs::copy_file(known / "container" / "private-key.ini", root / "config" / "Tessaly" / "Corvane.ini");
  const std::pair<fs::path, std::string> cases[] = {
      {folder / "level0" / "表計算ソフト能力_alice@example.com.KVX", "表計算ソフト能力.csv"},
      {folder / "level1" / "見積書_alice@example.com.KVX", "見積書.txt"},
      {folder / "level2" / "表計算ソフト能力_alice@example.com.KVX", "表計算ソフト能力.csv"},
  };
  for (const auto& [container, source] : cases) {
    SCOPED_TRACE(container);
    TempFolder out;
    fs::copy_file(container, out / container.filename());
    EXPECT_EQ(Decrypt(out / container.filename()).OutputFile, out / source);
    EXPECT_EQ(ReadFile(out / source), ReadFile(folder / source));
    EXPECT_EQ(Entries(out.path()), Sorted({source, container.filename().string()}));
  }
}

// Runs a shell command; its exit status, with stdout and stderr in `output`.
int Shell(const std::string& command, std::string& output) {
  FILE* pipe = ::popen(("export LC_ALL=C.UTF-8; " + command + " 2>&1").c_str(), "r");
  if (!pipe) return -1;
  output.clear();
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, n);
  const int status = ::pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool HaveProgram(const std::string& name) {
  std::string ignored;
  return Shell("command -v " + name, ignored) == 0;
}

TEST_F(FlowTest, AJapaneseNameIsStoredForJapaneseWindowsAndOtherProgramsReadTheContainer) {
  MakeKeyPair();
  const fs::path container = Encrypt("表計算ソフト能力.csv", "a,b\n1,2\n");
  const std::string sheet = "\x95\x5c\x8c\x76\x8e\x5a\x83\x5c\x83\x74\x83\x67\x94\x5c\x97\xcd";
  const std::vector<testing::LhaStoredName> stored = testing::LhaStoredNames(ReadFile(container));
  ASSERT_EQ(stored.size(), 2u);
  EXPECT_EQ(Sorted({stored[0].bytes, stored[1].bytes}),
            Sorted({sheet + "_alice@example.com.RJN", sheet + ".csv.Enc"}));
  EXPECT_EQ(stored[0].codePage, 932u);
  EXPECT_EQ(stored[1].codePage, 932u);

  const Names members = {"表計算ソフト能力_alice@example.com.RJN", "表計算ソフト能力.csv.Enc"};
  const auto [line, payload] = MembersOf(container, members);
  std::string output;
  if (HaveProgram("bsdtar")) {
    ASSERT_EQ(Shell("bsdtar -tf '" + container.string() + "' | sort", output), 0) << output;
    EXPECT_EQ(output, members[1] + "\n" + members[0] + "\n");
  }
  // These take the header bytes as they are, so the files they write have other names; the content is
  // the same. (7z also splits the name at each 0x5C byte.)
  const std::pair<const char*, const char*> peers[] = {
      {"lhasa", "lhasa xq '%a'"}, {"7z", "7z x -y '%a'"}, {"jlha", "jlha x '%a'"}};
  for (const auto& [program, pattern] : peers) {
    if (!HaveProgram(program)) continue;
    SCOPED_TRACE(program);
    TempFolder out;
    std::string command = pattern;
    command.replace(command.find("%a"), 2, container.string());
    ASSERT_EQ(Shell("cd '" + out.path().string() + "' && " + command, output), 0) << output;
    Names contents;
    for (const auto& entry : fs::recursive_directory_iterator(out.path()))
      if (entry.is_regular_file()) contents.push_back(ReadFile(entry.path()));
    EXPECT_EQ(Sorted(contents), Sorted({line, payload}));
  }
}

TEST_F(FlowTest, AContainerForAnotherKeyIsRefusedAndLeavesNothing) {
  MakeKeyPair();
  TKOVA other;
  MemorySettingsStore otherSettings;
  const fs::path otherKey =
      CreateKeyPair({256, "bob", false}, other, otherSettings, root / "bob").PublicKeyFile;
  WriteFile(src / "notes.txt", "for bob");
  const fs::path container = Received(EncryptFileForRecipient({otherKey, src / "notes.txt"}, kova).Container);
  try {
    Decrypt(container);
    ADD_FAILURE() << "decrypted";
  } catch (const ENotForYourKey& error) {
    EXPECT_STREQ(error.what(), "これは、今のあなたの鍵用に暗号化されたものではありません。");
  }
  EXPECT_EQ(Entries(dst), Names{"notes_bob.KVX"});
}

TEST_F(FlowTest, AForeignContainerIsRefusedBeforeItsPayloadIsWrittenOut) {
  MakeKeyPair();
  const fs::path container = Received(Encrypt("big.bin", RandomBytes(1 << 20, 9)));
  MakeKeyPair();  // a new key: the container is no longer for us
  uint64_t largest = 0;
  const auto watch = [&](TFlowStage stage, uint64_t, uint64_t total) {
    if (stage == TFlowStage::stExtracting) largest = std::max(largest, total);
    return true;
  };
  EXPECT_THROW(DecryptContainer({container, false}, kova, settings, watch), ENotForYourKey);
  EXPECT_LT(largest, 4096u);  // only the session-key line was extracted
}

TEST_F(FlowTest, MemberNamesThatNoCommandCanCarryStillDecrypt) {
  MakeKeyPair();
  WriteFile(dst / "q.KVX", ContainerNamed("say \"hi\".Enc", "quoted"));
  EXPECT_EQ(Decrypt(dst / "q.KVX").OutputFile, dst / "say \"hi\"");
  EXPECT_EQ(ReadFile(dst / "say \"hi\""), "quoted");
  EXPECT_EQ(Entries(dst), Sorted({"q.KVX", "say \"hi\""}));
}

TEST_F(FlowTest, WithoutAStoredKeyNothingDecrypts) {
  MakeKeyPair();
  const fs::path container = Received(Encrypt("notes.txt", "x"));
  IniSettingsStore empty(root / "other-config");
  EXPECT_THROW(DecryptContainer({container, false}, kova, empty), ENotForYourKey);
  EXPECT_EQ(Entries(dst), Names{"notes_alice@example.com.KVX"});
}

TEST_F(FlowTest, AFlippedByteIsRefusedAsDamagedWithNoOutput) {
  MakeKeyPair();
  const fs::path container = Received(Encrypt("notes.txt", RandomBytes(4000, 7)));
  // Random data does not compress, so the payload is stored as it is: flip one of its bytes.
  const std::string payload = MembersOf(container, {"notes.txt.Enc", "notes_alice@example.com.RJN"}).first;
  std::string bytes = ReadFile(container);
  const std::size_t at = bytes.find(payload);
  ASSERT_NE(at, std::string::npos);
  bytes[at + payload.size() / 2] ^= 0x01;
  WriteFile(container, bytes);
  try {
    Decrypt(container);
    ADD_FAILURE() << "decrypted";
  } catch (const EContainerError& error) {
    EXPECT_STREQ(error.what(), "暗号ファイルが壊れています。");
  }
  EXPECT_EQ(Entries(dst), Names{"notes_alice@example.com.KVX"});
}

TEST_F(FlowTest, ContainersOfTheWrongShapeAreRefused) {
  MakeKeyPair();
  using Members = std::vector<std::pair<std::string, std::string>>;
  const Members shapes[] = {
      {{"../x.Enc", "p"}, {"a_b.RJN", "k"}},
      {{"/tmp/corvane-abs.Enc", "p"}, {"a_b.RJN", "k"}},
      {{"sub/x.Enc", "p"}, {"a_b.RJN", "k"}},
      {{"sub\\x.Enc", "p"}, {"a_b.RJN", "k"}},
      {{"\x81\x20.Enc", "p"}, {"a_b.RJN", "k"}},  // neither UTF-8 nor code page 932
      {{"C:x.Enc", "p"}, {"a_b.RJN", "k"}},
      {{"..Enc", "p"}, {"a_b.RJN", "k"}},
      {{"...Enc", "p"}, {"a_b.RJN", "k"}},
      {{".Enc", "p"}, {"a_b.RJN", "k"}},
      {{"x.Enc", "p"}},
      {{"x.Enc", "p"}, {"a_b.RJN", "k"}, {"extra.txt", "e"}},
      {{"x.Enc", "p"}, {"y.Enc", "k"}},
      {{"x.Enc", "p"}, {"a_b.rjn", "k"}},
      {{"x.Enc", "p"}, {"a_b.RJN", std::string(70000, 'a')}},  // no session-key line is that long
      {},
  };
  for (const Members& members : shapes) {
    WriteFile(dst / "c.KVX", testing::StoredLhaArchive(members));
    EXPECT_THROW(Decrypt(dst / "c.KVX"), EContainerError) << (members.empty() ? "" : members[0].first);
    EXPECT_EQ(Entries(dst), Names{"c.KVX"});
  }
  EXPECT_FALSE(fs::exists(root / "x"));
  EXPECT_FALSE(fs::exists("/tmp/corvane-abs"));
  for (const std::string& junk :
       {std::string(), std::string("not an archive at all"), RandomBytes(3000, 3)}) {
    WriteFile(dst / "c.KVX", junk);
    EXPECT_THROW(Decrypt(dst / "c.KVX"), EContainerError);
    EXPECT_EQ(Entries(dst), Names{"c.KVX"});
  }
  EXPECT_THROW(Decrypt(dst / "missing.KVX"), EFileError);
}

TEST_F(FlowTest, AMemberNameInNoKnownEncodingIsReportedAsSuch) {
  MakeKeyPair();
  WriteFile(dst / "c.KVX", testing::StoredLhaArchive({{"\x81\x20.Enc", "p"}, {"a_b.RJN", "k"}}));
  try {
    Decrypt(dst / "c.KVX");
    ADD_FAILURE() << "decrypted";
  } catch (const EContainerError& error) {
    EXPECT_STREQ(error.what(), kUnreadableNameText);
  }
  EXPECT_EQ(Entries(dst), Names{"c.KVX"});
}

TEST_F(FlowTest, ADamagedStoredKeyIsReportedAndLeavesNothing) {
  MakeKeyPair();
  const fs::path container = Received(Encrypt("notes.txt", "x"));
  const std::pair<const char*, const char*> damages[] = {
      {"KeyStrength", "abc"}, {"KeyStrength", "0"}, {"P", "1x"}};
  for (const auto& [name, value] : damages) {
    MakeKeyPair();
    settings.OpenKey(kCorvaneKeyPath);
    settings.WriteString("KOVA", name, value);
    EXPECT_THROW(Decrypt(container), Exception) << name << "=" << value;
    EXPECT_EQ(Entries(dst), Names{"notes_alice@example.com.KVX"});
  }
}

TEST_F(FlowTest, AnyDamageToAContainerIsRefusedCleanlyOrDecryptsExactly) {
  MakeKeyPair();
  const std::string content = "a short letter that compresses: " + std::string(300, 'a');
  const std::string good = ReadFile(Encrypt("notes.txt", content));
  std::mt19937 engine(42);
  for (int round = 0; round < 150; ++round) {
    std::string bytes = good;
    const int flips = 1 + static_cast<int>(engine() % 4);
    for (int i = 0; i < flips; ++i) bytes[engine() % bytes.size()] = static_cast<char>(engine() & 0xFF);
    if (round % 10 == 0) bytes.resize(engine() % bytes.size());
    WriteFile(dst / "c.KVX", bytes);
    try {
      Decrypt(dst / "c.KVX");
      // A change the container does not depend on (a time stamp, say) still gives the exact file.
      EXPECT_EQ(ReadFile(dst / "notes.txt"), content) << round;
      fs::remove(dst / "notes.txt");
    } catch (const Exception&) {
    }
    ASSERT_EQ(Entries(dst), Names{"c.KVX"}) << round;
  }
}

TEST_F(FlowTest, AnExistingOutputIsReplacedOnlyWithConsent) {
  MakeKeyPair();
  const fs::path container = Received(Encrypt("notes.txt", "new"));
  WriteFile(dst / "notes.txt", "old");
  EXPECT_EQ(PrepareDecryption(container, kova, settings)->OutputFile(), dst / "notes.txt");
  try {
    Decrypt(container);
    ADD_FAILURE() << "replaced without consent";
  } catch (const EOutputExists& error) {
    EXPECT_EQ(error.Path(), dst / "notes.txt");
  }
  EXPECT_EQ(ReadFile(dst / "notes.txt"), "old");
  EXPECT_EQ(Entries(dst), Sorted({"notes.txt", "notes_alice@example.com.KVX"}));
  Decrypt(container, true);
  EXPECT_EQ(ReadFile(dst / "notes.txt"), "new");
}

TEST_F(FlowTest, FilesNamedLikeIntermediatesAreNeverTouched) {
  MakeKeyPair();
  WriteFile(src / "notes.txt.Enc", "mine");
  WriteFile(src / "notes_alice@example.com.RJN", "mine too");
  WriteFile(src / "notes_alice@example.com.KVX", "an old container, replaced whole");
  WriteFile(src / "notes.txt", "data");
  const fs::path container = EncryptFileForRecipient({keyFile, src / "notes.txt", true}, kova).Container;
  EXPECT_EQ(ReadFile(src / "notes.txt.Enc"), "mine");
  EXPECT_EQ(ReadFile(src / "notes_alice@example.com.RJN"), "mine too");
  EXPECT_EQ(Sorted(ContainerMemberNames(container)),
            Sorted({"notes_alice@example.com.RJN", "notes.txt.Enc"}));

  // Decrypting beside files of the members' names leaves them as they are too.
  const fs::path received = Received(container);
  WriteFile(dst / "notes.txt.Enc", "theirs");
  WriteFile(dst / "notes_alice@example.com.RJN", "theirs too");
  Decrypt(received);
  EXPECT_EQ(ReadFile(dst / "notes.txt"), "data");
  EXPECT_EQ(ReadFile(dst / "notes.txt.Enc"), "theirs");
  EXPECT_EQ(ReadFile(dst / "notes_alice@example.com.RJN"), "theirs too");
}

TEST_F(FlowTest, BadRecipientKeyFilesAreRefusedBeforeAnythingIsWritten) {
  MakeKeyPair();
  const std::string n = ReadPublicKeyFile(keyFile).N;
  WriteFile(src / "notes.txt", "x");
  const TEncryptRequest request{root / "bad.KVK", src / "notes.txt"};
  const auto refused = [&](const std::string& text) {
    WriteFile(root / "bad.KVK", text);
    EncryptFileForRecipient(request, kova);
  };
  EXPECT_THROW(refused(""), EListError);
  EXPECT_THROW(refused("123\r\n65537\r\n"), EListError);
  EXPECT_THROW(refused("x\r\n65537\r\n256\r\n"), EPublicKeyFile);
  EXPECT_THROW(refused(n + "\r\n65537\r\nabc\r\n"), EPublicKeyFile);
  EXPECT_THROW(refused(n + "\r\n65537\r\n40\r\n"), EKeyStrength);
  // Numbers that give no usable key: refused rather than packed into a container nobody can open.
  EXPECT_THROW(refused("0\r\n65537\r\n256\r\n"), EPublicKeyFile);
  EXPECT_THROW(refused("-5\r\n65537\r\n256\r\n"), EPublicKeyFile);
  EXPECT_EQ(Entries(src), Names{"notes.txt"});
}

TEST_F(FlowTest, AnyKeyFileBytesGiveAClearRefusalOrAContainer) {
  MakeKeyPair();
  const std::string good = ReadFile(keyFile);
  WriteFile(src / "notes.txt", "x");
  std::mt19937 engine(7);
  const std::string alphabet = "0123456789\r\n-+ x\xff";
  for (int round = 0; round < 100; ++round) {
    std::string text = round % 2 ? good : std::string(engine() % 200, '0');
    for (char& c : text) {
      if (engine() % 16 == 0) c = alphabet[engine() % alphabet.size()];
    }
    WriteFile(root / "k.KVK", text);
    try {
      EncryptFileForRecipient({root / "k.KVK", src / "notes.txt"}, kova);
      fs::remove(src / "notes_k.KVX");
    } catch (const Exception&) {
    }
    ASSERT_EQ(Entries(src), Names{"notes.txt"}) << round;
  }
}

TEST_F(FlowTest, AMissingSourceIsAFileError) {
  MakeKeyPair();
  EXPECT_THROW(EncryptFileForRecipient({keyFile, src / "missing.txt"}, kova), EFileError);
  EXPECT_THROW(EncryptFileForRecipient({keyFile, src}, kova), EFileError);
  EXPECT_THROW(EncryptFileForRecipient({keyFile, "/dev/null"}, kova), EFileError);
  ASSERT_EQ(::mkfifo((src / "pipe").c_str(), 0600), 0);  // must not wait for a writer
  try {
    EncryptFileForRecipient({keyFile, src / "pipe"}, kova);
    ADD_FAILURE() << "a pipe was encrypted";
  } catch (const EFileError& error) {
    EXPECT_NE(std::string(error.what()).find("通常のファイルではありません"), std::string::npos)
        << error.what();
  }
  EXPECT_THROW(EncryptFileForRecipient({src / "pipe", keyFile}, kova), EFileError);
  EXPECT_THROW(Decrypt(src / "pipe"), EFileError);
  fs::remove(src / "pipe");
  EXPECT_TRUE(fs::is_empty(src));
}

TEST_F(FlowTest, ReadOnlyFoldersGiveAClearErrorAndLoseNothing) {
  MakeKeyPair();
  const fs::path container = Received(Encrypt("notes.txt", "data"));
  fs::remove(src / "notes_alice@example.com.KVX");
  {
    testing::ReadOnlyFolder readOnlySource(src);
    testing::ReadOnlyFolder readOnlyTarget(dst);
    if (!readOnlySource.Ready() || !readOnlyTarget.Ready()) GTEST_SKIP() << "cannot make a folder read-only";
    EXPECT_THROW(EncryptFileForRecipient({keyFile, src / "notes.txt"}, kova), EFileError);
    EXPECT_THROW(Decrypt(container), EFileError);
  }
  EXPECT_EQ(Entries(src), Names{"notes.txt"});
  EXPECT_EQ(ReadFile(src / "notes.txt"), "data");
  EXPECT_EQ(Entries(dst), Names{"notes_alice@example.com.KVX"});
}

TEST_F(FlowTest, CancellingLeavesNothingBehind) {
  MakeKeyPair();
  const auto cancelAt = [](TFlowStage wanted) {
    return [wanted](TFlowStage stage, uint64_t, uint64_t) { return stage != wanted; };
  };
  WriteFile(src / "big.bin", RandomBytes(3 << 20, 11));
  for (TFlowStage stage : {TFlowStage::stEncrypting, TFlowStage::stPacking}) {
    EXPECT_THROW(EncryptFileForRecipient({keyFile, src / "big.bin"}, kova, cancelAt(stage)), ECancelled);
    EXPECT_EQ(Entries(src), Names{"big.bin"});
  }
  const fs::path container = Received(EncryptFileForRecipient({keyFile, src / "big.bin"}, kova).Container);
  for (TFlowStage stage : {TFlowStage::stExtracting, TFlowStage::stDecrypting}) {
    EXPECT_THROW(DecryptContainer({container, false}, kova, settings, cancelAt(stage)), ECancelled);
    EXPECT_EQ(Entries(dst), Names{"big_alice@example.com.KVX"});
  }
}

TEST_F(FlowTest, ProgressCoversTheWholePayload) {
  MakeKeyPair();
  WriteFile(src / "big.bin", RandomBytes(1 << 20, 5));
  uint64_t encrypted = 0, total = 0;
  EncryptFileForRecipient({keyFile, src / "big.bin"}, kova,
                          [&](TFlowStage stage, uint64_t done, uint64_t all) {
                            if (stage == TFlowStage::stEncrypting) encrypted = done, total = all;
                            return true;
                          });
  EXPECT_EQ(encrypted, 1u << 20);
  EXPECT_EQ(total, 1u << 20);
}

}  // namespace
}  // namespace corvane
