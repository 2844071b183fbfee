// The file types the Debian package installs for every user (packaging/corvane.xml, the desktop entry)
// are the ones the program registers per user: the same type, description, icon and glob, so both
// registrations describe a file alike and the package's icons are found under the names the program uses.

#include <gtest/gtest.h>

#include "platform/FileTypes.h"
#include "platform/tests/TempFolder.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;

// The <mime-type> element of a mime package, from its opening line to its closing tag.
std::string MimeTypeElement(const std::string& package, const std::string& mimeType) {
  const std::string open = "  <mime-type type=\"" + mimeType + "\">";
  const std::string close = "</mime-type>\n";
  const auto begin = package.find(open);
  const auto end = package.find(close, begin);
  if (begin == std::string::npos || end == std::string::npos) return {};
  return package.substr(begin, end + close.size() - begin);
}

TEST(PackagedFileTypes, MatchWhatTheProgramRegisters) {
  const fs::path source(CORVANE_SOURCE_DIR);
  const std::string packaged = testing::ReadFile(source / "packaging/corvane.xml");
  const std::string desktop = testing::ReadFile(source / "app/resources/corvane.desktop");
  ASSERT_FALSE(packaged.empty());
  ASSERT_FALSE(desktop.empty());

  testing::TempFolder root("corvane-packaged-types");
  TFileTypeRegistry registry(root / "data", root / "config",
                             [](const QString&, const QStringList&) { return 0; });
  std::string mimeTypes;
  for (const TFileType& type : {PublicKeyFileType("<svg/>"), ContainerFileType("<svg/>")}) {
    SCOPED_TRACE(type.MimeType);
    registry.Register(type, "/usr/bin/corvane");
    const std::string registered = MimeTypeElement(testing::ReadFile(registry.Files(type)[0]), type.MimeType);
    ASSERT_FALSE(registered.empty());
    EXPECT_EQ(MimeTypeElement(packaged, type.MimeType), registered);
    mimeTypes += type.MimeType + ";";
  }
  EXPECT_NE(desktop.find("\nMimeType=" + mimeTypes + "\n"), std::string::npos);
  EXPECT_NE(desktop.find("\nExec=corvane %f\n"), std::string::npos);
}

}  // namespace
}  // namespace corvane
