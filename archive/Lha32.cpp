#include "archive/Lha32.h"

#include "archive/ArchiverDll.h"

namespace corvane {

namespace {

void AppendNumbers(TCmdOpt& cmd,
                   std::initializer_list<std::pair<const char*, TArchiverOptions::Switch>> switches) {
  for (const auto& [name, value] : switches) cmd.AppendNumber(name, value);
}

bool UsesResponseFile(const TArchiverOptions& options, TResFileUse use) {
  return options.ResFileUsage.Contains(use);
}

}  // namespace

std::string BuildLhaCommand(const std::string& letter, const std::string& archiveName, bool useResponseFile,
                            const TFileItems& items, const std::string& baseDirectory,
                            const TArchiverOptions& options, bool ownerWindowAttached) {
  TCmdOpt cmd;
  cmd.Append("-+");
  if (letter == "x" && options.jse == -1) throw EAssertionFailed("jse オプションが設定されていません。");
  if (options.jso == -1) throw EAssertionFailed("jso オプションが設定されていません。");

  const auto& o = options;
  AppendNumbers(
      cmd, {{"a", o.a}, {"c", o.c}, {"e", o.e}, {"f", o.f}, {"h", o.h}, {"i", o.i}, {"l", o.l}, {"m", o.m}});
  // While progress goes to an owner window, the library must not show its own dialogs.
  cmd.AppendNumber("n", ownerWindowAttached ? 1 : o.n);
  AppendNumbers(cmd, {{"o", o.o}, {"p", o.p}, {"r", o.r}, {"s", o.s}, {"t", o.t}, {"u", o.u}});
  cmd.AppendDirectory("w", o.w);
  AppendNumbers(cmd, {{"x", o.x},
                      {"y", o.y},
                      {"z", o.z},
                      {"jc", o.jc},
                      {"jd", o.jd},
                      {"je", o.je},
                      {"jf", o.jf},
                      {"jh", o.jh},
                      {"ji", o.ji},
                      {"jm", o.jm},
                      {"jn", o.jn}});
  cmd.AppendQuoted("jo", o.jo);
  cmd.AppendQuoted("job", o.job);
  AppendNumbers(cmd, {{"jp", o.jp},
                      {"jr", o.jr},
                      {"jsb", o.jsb},
                      {"jsc", o.jsc},
                      {"jsd", o.jsd},
                      {"jse", o.jse},
                      {"jsf", o.jsf},
                      {"jsl", o.jsl},
                      {"jso", o.jso},
                      {"jss", o.jss},
                      {"jst", o.jst},
                      {"jsv", o.jsv},
                      {"jsz", o.jsz},
                      {"jw", o.jw}});
  cmd.AppendFileList("jx", o.jx);
  AppendNumbers(cmd, {{"jyc", o.jyc}, {"jyd", o.jyd}, {"jyk", o.jyk}, {"jyn", o.jyn}, {"jyo", o.jyo}});
  cmd.AppendQuoted("jz", o.jz);
  AppendNumbers(cmd, {{"ga", o.ga},
                      {"gd", o.gd},
                      {"ge", o.ge},
                      {"gf", o.gf},
                      {"gj", o.gj},
                      {"gm", o.gm},
                      {"gn", o.gn},
                      {"go", o.go},
                      {"gp", o.gp}});
  cmd.AppendQuoted("gr", o.gr);
  AppendNumbers(cmd, {{"gs", o.gs}, {"gu", o.gu}, {"gw", o.gw}});
  cmd.Append(o.UserOptions);

  cmd.AppendQuoted("", archiveName);
  cmd.AppendDirectory("", baseDirectory);
  if (useResponseFile && !o.ResFileName.empty() && o.ResFileName != kUnsetText)
    cmd.AppendResponseFile(items, o.ResFileName);
  else
    cmd.AppendFileList("", items);
  cmd.Append(o.UserFileList);
  return letter + cmd.Text;
}

TLha32::TLha32() {
  TLha32::LoadDLL();
}

void TLha32::LoadDLL() {
  binding_ = LoadSharedArchiverDll("LHA 形式書庫", "UNLHA32.DLL", "Unlha");
}

TArchiveHandle TLha32::OpenListing(TWindowHandle owner, const std::string& archiveName, std::uint32_t mode) {
  std::error_code error;
  const auto fullPath = std::filesystem::absolute(archiveName, error);
  return Binding().OpenArchive(owner, error ? archiveName : fullPath.string(), mode);
}

std::string TLha32::BuildCommand(const std::string& letter, const std::string& archiveName,
                                 bool useResponseFile, const TFileItems& files,
                                 const std::string& baseDirectory, const TArchiverOptions& options) {
  return BuildLhaCommand(letter, archiveName, useResponseFile, files, baseDirectory, options,
                         OwnerWindow != nullptr);
}

int TLha32::Expand(TWindowHandle owner, const std::string& archiveName, std::string& outputBuffer, bool,
                   const TFileItems& files, const std::string& baseDirectory,
                   const TArchiverOptions& options) {
  return RunLetter("x", owner, archiveName, outputBuffer, UsesResponseFile(options, TResFileUse::ruOnUnpack),
                   files, baseDirectory, options);
}

int TLha32::Compress(TWindowHandle owner, const std::string& archiveName, std::string& outputBuffer, bool,
                     const TFileItems& files, const std::string& baseDirectory,
                     const TArchiverOptions& options) {
  return RunLetter("u", owner, archiveName, outputBuffer, UsesResponseFile(options, TResFileUse::ruOnPack),
                   files, baseDirectory, options);
}

int TLha32::Remove(TWindowHandle owner, const std::string& archiveName, std::string& outputBuffer, bool,
                   const TFileItems& files, const std::string&, const TArchiverOptions& options) {
  return RunLetter("d", owner, archiveName, outputBuffer,
                   UsesResponseFile(options, TResFileUse::ruOnRemoveItem), files, "", options);
}

int TLha32::Freshen(TWindowHandle owner, const std::string& archiveName, std::string& outputBuffer, bool,
                    const TFileItems& files, const std::string& baseDirectory,
                    const TArchiverOptions& options) {
  return RunLetter("f", owner, archiveName, outputBuffer, UsesResponseFile(options, TResFileUse::ruOnUpdate),
                   files, baseDirectory, options);
}

int TLha32::BuildSelfExtractor(TWindowHandle owner, const std::string& archiveName, std::string& outputBuffer,
                               const std::string& target, const TArchiverOptions& options) {
  return RunSelfExtractor(owner, archiveName, outputBuffer, target, options);
}

int TLha32::ExpandToMemory(TWindowHandle owner, const std::string& archiveName,
                           const TArchiverOptions& options, const std::string& entryName, void* buffer,
                           std::uint32_t bufferSize, std::uint64_t* fileTime, std::uint32_t* attributes,
                           std::uint32_t* writeSize) {
  return ExtractEntryToMemory(owner, archiveName, options, entryName, buffer, bufferSize, fileTime,
                              attributes, writeSize);
}

}  // namespace corvane
