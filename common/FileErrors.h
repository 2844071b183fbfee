#pragma once
// The texts of file errors, in Japanese like every message the user sees: what could not be done with
// which file, and the system's reason in words rather than its English text.

#include <cerrno>
#include <filesystem>
#include <string>

#include "common/Exception.h"

namespace corvane {

enum class TFileAction {
  faOpen,         // opening an existing file
  faCreate,       // creating a file
  faRead,         // reading a file
  faWrite,        // writing a file
  faSeek,         // moving within a file
  faSize,         // asking a file's size
  faWriteFolder,  // making something in a folder
};

// The reason for an errno value; empty for 0.
inline std::string SystemErrorText(int error) {
  switch (error) {
    case 0:
      return "";
    case ENOENT:
      return "ファイルまたはフォルダが見つかりません";
    case EACCES:
    case EPERM:
      return "アクセスが拒否されました";
    case ENOSPC:
      return "ディスクの空き容量が足りません";
    case EDQUOT:
      return "ディスクの使用量が上限に達しました";
    case EFBIG:
      return "ファイルが大きすぎます";
    case EISDIR:
      return "フォルダです";
    case ENOTDIR:
      return "途中の名前がフォルダではありません";
    case EROFS:
      return "読み取り専用のディスクです";
    case EEXIST:
      return "同じ名前のものが既にあります";
    case ENAMETOOLONG:
      return "名前が長すぎます";
    case EIO:
      return "入出力エラーが発生しました";
    case ELOOP:
      return "シンボリックリンクが多すぎます";
    case EMFILE:
    case ENFILE:
      return "開いているファイルが多すぎます";
    case ENOMEM:
      return "メモリが足りません";
    case EBUSY:
    case ETXTBSY:
      return "使用中です";
    case EINVAL:
      return "引数または名前が正しくありません";
    case ENXIO:
    case ENODEV:
      return "装置がありません";
    default:
      return "エラー番号 " + std::to_string(error);
  }
}

// "ファイル "<path>" を開けません（<reason>）。" and the like.
inline std::string FileErrorText(TFileAction action, const std::filesystem::path& path,
                                 const std::string& reason) {
  const std::string name = "\"" + path.string() + "\"";
  std::string text;
  switch (action) {
    case TFileAction::faOpen:
      text = "ファイル " + name + " を開けません";
      break;
    case TFileAction::faCreate:
      text = "ファイル " + name + " を作成できません";
      break;
    case TFileAction::faRead:
      text = "ファイル " + name + " を読み込めません";
      break;
    case TFileAction::faWrite:
      text = "ファイル " + name + " に書き込めません";
      break;
    case TFileAction::faSeek:
      text = "ファイル " + name + " の読み書きする位置を移せません";
      break;
    case TFileAction::faSize:
      text = "ファイル " + name + " の大きさを調べられません";
      break;
    case TFileAction::faWriteFolder:
      text = "フォルダ " + name + " に書き込めません";
      break;
  }
  return text + (reason.empty() ? "" : "（" + reason + "）") + "。";
}

inline std::string FileErrorText(TFileAction action, const std::filesystem::path& path, int error) {
  return FileErrorText(action, path, SystemErrorText(error));
}

[[noreturn]] inline void ThrowFileError(TFileAction action, const std::filesystem::path& path, int error) {
  throw EFileError(FileErrorText(action, path, error), path, error);
}

// A device, a pipe or a socket where a file with a size to work on is needed. Its error number is EINVAL,
// but no system call failed, so the text says what the thing is not.
[[noreturn]] inline void ThrowNotRegularFile(TFileAction action, const std::filesystem::path& path) {
  throw EFileError(FileErrorText(action, path, std::string("通常のファイルではありません")), path, EINVAL);
}

}  // namespace corvane
