// File-type registration in temporary XDG folders: the pieces written and removed, other programs' lines
// kept, idempotence, a moved executable, write failures, and the desktop's own tools finding our type.

#include <gtest/gtest.h>

#include <QProcess>
#include <QStandardPaths>
#include <random>

#include "common/Exception.h"
#include "platform/FileTypes.h"
#include "platform/tests/TempFolder.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;
using testing::TempFolder;

std::string Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void Write(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

const std::string kSvg = "<svg xmlns=\"http://www.w3.org/2000/svg\"/>\n";

struct Sandbox {
  TempFolder root{"corvane-filetypes"};
  fs::path data = root / "data";
  fs::path config = root / "config";
  std::vector<std::pair<QString, QStringList>> runs;
  TFileTypeRegistry registry{data, config, [this](const QString& p, const QStringList& a) {
                               runs.emplace_back(p, a);
                               return 0;
                             }};
};

TEST(FileTypes, RegisterWritesEveryPiece) {
  Sandbox s;
  const TFileType kvk = PublicKeyFileType(kSvg);
  s.registry.Register(kvk, "/opt/corvane/bin/corvane");
  const auto files = s.registry.Files(kvk);
  ASSERT_EQ(files.size(), 3u);
  EXPECT_EQ(files[0], s.data / "mime/packages/corvane-kvk.xml");
  EXPECT_EQ(files[1], s.data / "applications/corvane-kvk.desktop");
  EXPECT_EQ(files[2], s.data / "icons/hicolor/scalable/mimetypes/application-x-corvane-kvk.svg");
  const std::string mime = Read(files[0]);
  EXPECT_NE(mime.find("<mime-type type=\"application/x-corvane-kvk\">"), std::string::npos);
  EXPECT_NE(mime.find("<comment>公開鍵ファイル</comment>"), std::string::npos);
  EXPECT_NE(mime.find("<glob pattern=\"*.KVK\" case-sensitive=\"true\"/>"), std::string::npos);
  EXPECT_NE(mime.find("<icon name=\"application-x-corvane-kvk\"/>"), std::string::npos);
  const std::string desktop = Read(files[1]);
  EXPECT_NE(desktop.find("\nExec=\"/opt/corvane/bin/corvane\" %f\n"), std::string::npos);
  EXPECT_NE(desktop.find("\nMimeType=application/x-corvane-kvk;\n"), std::string::npos);
  EXPECT_NE(desktop.find("\nIcon=application-x-corvane-kvk\n"), std::string::npos);
  EXPECT_EQ(Read(files[2]), kSvg);
  EXPECT_EQ(Read(s.registry.MimeAppsList()),
            "[Default Applications]\napplication/x-corvane-kvk=corvane-kvk.desktop;\n");
  EXPECT_EQ(ContainerFileType(kSvg).Description, "暗号ファイル");
  EXPECT_EQ(ContainerFileType(kSvg).Pattern, "*.KVX");
}

TEST(FileTypes, ApplyingTwiceGivesTheSameFilesAndMovedExecutableIsRewritten) {
  Sandbox s;
  const TFileType kvx = ContainerFileType(kSvg);
  s.registry.Register(kvx, "/a/corvane");
  const std::string list = Read(s.registry.MimeAppsList());
  const std::string desktop = Read(s.registry.Files(kvx)[1]);
  s.registry.Register(kvx, "/a/corvane");
  EXPECT_EQ(Read(s.registry.MimeAppsList()), list);
  EXPECT_EQ(Read(s.registry.Files(kvx)[1]), desktop);
  s.registry.Register(kvx, "/b/corvane");
  EXPECT_NE(Read(s.registry.Files(kvx)[1]).find("Exec=\"/b/corvane\" %f"), std::string::npos);
  EXPECT_EQ(Read(s.registry.MimeAppsList()), list);
}

TEST(FileTypes, UnregisterRemovesExactlyWhatRegisterWrote) {
  Sandbox s;
  const std::string others =
      "[Added Associations]\ntext/plain=gedit.desktop;\n\n"
      "[Default Applications]\ntext/html=firefox.desktop;\n\n"
      "[Removed Associations]\nimage/png=gimp.desktop;\n";
  Write(s.registry.MimeAppsList(), others);
  const TFileType kvk = PublicKeyFileType(kSvg), kvx = ContainerFileType(kSvg);
  s.registry.Register(kvk, "/a/corvane");
  s.registry.Register(kvx, "/a/corvane");
  const std::string both = Read(s.registry.MimeAppsList());
  EXPECT_NE(both.find("text/html=firefox.desktop;\napplication/x-corvane-kvk=corvane-kvk.desktop;\n"
                      "application/x-corvane-kvx=corvane-kvx.desktop;\n\n[Removed"),
            std::string::npos)
      << both;
  s.registry.Unregister(kvk);
  for (const fs::path& f : s.registry.Files(kvk)) EXPECT_FALSE(fs::exists(f)) << f;
  for (const fs::path& f : s.registry.Files(kvx)) EXPECT_TRUE(fs::exists(f)) << f;
  s.registry.Unregister(kvx);
  EXPECT_EQ(Read(s.registry.MimeAppsList()), others);
  // Removing what is absent is silent and changes nothing.
  s.registry.Unregister(kvx);
  EXPECT_EQ(Read(s.registry.MimeAppsList()), others);
}

TEST(FileTypes, AnotherProgramsDefaultIsKept) {
  const std::string list = "[Default Applications]\napplication/x-corvane-kvk=other.desktop;\n";
  EXPECT_EQ(RemoveDefaultApplication(list, "application/x-corvane-kvk", "corvane-kvk.desktop"), list);
  EXPECT_EQ(SetDefaultApplication(list, "application/x-corvane-kvk", "corvane-kvk.desktop"),
            "[Default Applications]\napplication/x-corvane-kvk=corvane-kvk.desktop;\n");
  EXPECT_EQ(SetDefaultApplication("[Other]\nx=y\n", "a/b", "c.desktop"),
            "[Other]\nx=y\n\n[Default Applications]\na/b=c.desktop;\n");
}

TEST(FileTypes, ExecLineQuotesThePath) {
  const std::pair<std::string, std::string> cases[] = {
      {"/usr/bin/corvane", "\"/usr/bin/corvane\" %f"},
      {"/home/a b/corvane", "\"/home/a b/corvane\" %f"},
      {"/x/100%/c", "\"/x/100%%/c\" %f"},
      {"/x/\"q\"/c", "\"/x/\\\\\"q\\\\\"/c\" %f"},
      {"/x/$HOME/`c`", "\"/x/\\\\$HOME/\\\\`c\\\\`\" %f"},
      {"/x/back\\slash", "\"/x/back\\\\\\\\slash\" %f"},
      {"/x/two\nlines\r", "\"/x/two\\nlines\\r\" %f"},
  };
  for (const auto& [path, line] : cases) EXPECT_EQ(DesktopExecLine(path), line) << path;
}

// mimeapps.list is another program's file too: any bytes in it are edited without harm, and the edits
// are idempotent.
TEST(FileTypes, MimeAppsEditsSurviveAnyBytes) {
  const std::string mime = "application/x-corvane-kvk", id = "corvane-kvk.desktop";
  const std::string entry = mime + "=" + id + ";";
  std::mt19937 random(20261210);
  static const char kAlphabet[] = "[]=;\n\r\t \0ab/-.Default Applications";
  const std::string alphabet(kAlphabet, sizeof kAlphabet - 1);
  for (int round = 0; round < 2000; ++round) {
    std::string list;
    const int length = static_cast<int>(random() % 120);
    for (int i = 0; i < length; ++i) list += alphabet[random() % alphabet.size()];
    if (round % 3 == 0) list = "[Default Applications]\n" + list;
    const std::string set = SetDefaultApplication(list, mime, id);
    ASSERT_NE(set.find(entry), std::string::npos) << round;
    ASSERT_EQ(SetDefaultApplication(set, mime, id), set) << round;
    const std::string removed = RemoveDefaultApplication(set, mime, id);
    ASSERT_EQ(SetDefaultApplication(removed, mime, id), set) << round;
  }
}

TEST(FileTypes, WriteFailureRaisesAndKeepsEarlierPieces) {
  Sandbox s;
  Write(s.data / "icons", "a file where a folder belongs");
  const TFileType kvk = PublicKeyFileType(kSvg);
  EXPECT_THROW(s.registry.Register(kvk, "/a/corvane"), EFileError);
  EXPECT_TRUE(fs::exists(s.registry.Files(kvk)[0]));
  EXPECT_FALSE(fs::exists(s.registry.MimeAppsList()));  // the rest was skipped
}

TEST(FileTypes, NotifyRebuildsTheUsersCaches) {
  Sandbox s;
  s.registry.Register(PublicKeyFileType(kSvg), "/a/corvane");
  s.registry.NotifyDesktop();
  ASSERT_EQ(s.runs.size(), 2u);
  EXPECT_EQ(s.runs[0], (std::pair<QString, QStringList>{
                           "update-mime-database", {QString::fromStdString((s.data / "mime").string())}}));
  EXPECT_EQ(s.runs[1].first, "update-desktop-database");
}

// The desktop's own tools see the registration: the file type by name, and our program as its default.
TEST(FileTypes, XdgMimeAnswersWithOurTypeAndProgram) {
  if (QStandardPaths::findExecutable("xdg-mime").isEmpty() ||
      QStandardPaths::findExecutable("update-mime-database").isEmpty())
    GTEST_SKIP() << "xdg-utils or shared-mime-info missing";
  TempFolder root("corvane-xdg");
  const fs::path data = root / "data", config = root / "config";
  TFileTypeRegistry registry(data, config);
  registry.Register(ContainerFileType(kSvg), "/a/corvane");
  registry.NotifyDesktop();
  Write(root / "docs/letter_bob.KVX", "-lh5- not really an archive");

  auto query = [&](const QStringList& args, const QString& desktop) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_DATA_HOME", QString::fromStdString(data.string()));
    env.insert("XDG_CONFIG_HOME", QString::fromStdString(config.string()));
    env.insert("XDG_CURRENT_DESKTOP", desktop);
    p.setProcessEnvironment(env);
    p.start("xdg-mime", args);
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
  };
  EXPECT_EQ(query({"query", "default", "application/x-corvane-kvx"}, "X-Generic"), "corvane-kvx.desktop");
  if (!QStandardPaths::findExecutable("gio").isEmpty()) {
    EXPECT_EQ(query({"query", "filetype", QString::fromStdString((root / "docs/letter_bob.KVX").string())},
                    "GNOME"),
              "application/x-corvane-kvx");
  }
  registry.Unregister(ContainerFileType(kSvg));
  registry.NotifyDesktop();
  EXPECT_NE(query({"query", "default", "application/x-corvane-kvx"}, "X-Generic"), "corvane-kvx.desktop");
}

}  // namespace
}  // namespace corvane
