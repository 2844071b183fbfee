#include "platform/MailHandoff.h"

#include <string>

#include "platform/ProgramRunner.h"

namespace corvane {

namespace {

QString Text(const std::string& s) {
  return QString::fromStdString(s);
}

// "Name <address>" when the recipient has a display name, else the bare address.
QString Mailbox(const TMailRecipient& r) {
  if (r.Name.empty()) return Text(r.Address);
  return Text(r.Name) + QStringLiteral(" <") + Text(r.Address) + QLatin1Char('>');
}

// What an exit status of xdg-email (or -1, not started) means for the user.
std::string XdgEmailFailure(int status) {
  switch (status) {
    case -1:
      return "xdg-email を実行できませんでした（xdg-utils がインストールされているか確認して下さい）。";
    case 2:
    case 5:
      return "添付するファイルを読み込めません。";
    case 3:
      return "メールソフトが見つかりません。既定のメールソフトを設定して下さい。";
    default:
      return "メールソフトへの受け渡しが失敗しました（xdg-email の終了コード " + std::to_string(status) +
             "）。";
  }
}

}  // namespace

QStringList XdgEmailArguments(const TMailMessage& message) {
  QStringList args{QStringLiteral("--utf8")};
  // Every recipient goes after its option: xdg-email refuses a bare argument without "@" (the address
  // "bob" of a key named bob.KVK) or starting with "-", and would take one starting with "mailto:" as the
  // whole message.
  for (const TMailRecipient& r : message.Recipients) {
    switch (r.Class) {
      case TMailRecipientClass::rcCC:
        args << QStringLiteral("--cc") << Mailbox(r);
        break;
      case TMailRecipientClass::rcBCC:
        args << QStringLiteral("--bcc") << Mailbox(r);
        break;
      default:
        args << QStringLiteral("--to") << Mailbox(r);
    }
  }
  if (!message.Subject.empty()) args << QStringLiteral("--subject") << Text(message.Subject);
  if (!message.NoteText.empty()) args << QStringLiteral("--body") << Text(message.NoteText);
  for (const TMailAttachment& f : message.Files) args << QStringLiteral("--attach") << Text(f.PathName);
  return args;
}

// xdg-email may run the mail program in the foreground until its compose window closes: the wait has no
// limit (the caller has disabled its windows).
TXdgEmailHandoff::TXdgEmailHandoff()
    : runner_([](const QString& program, const QStringList& arguments) {
        return RunProgram(program, arguments);
      }) {}

TXdgEmailHandoff::TXdgEmailHandoff(TRunner runner) : runner_(std::move(runner)) {}

bool TXdgEmailHandoff::Hand(const TMailMessage& message, bool /*showDialog*/) {
  // xdg-email always opens the compose window: the user sends the message, nothing is sent silently.
  const int status = runner_(QStringLiteral("xdg-email"), XdgEmailArguments(message));
  reason_ = status == 0 ? std::string() : XdgEmailFailure(status);
  return status == 0;
}

}  // namespace corvane
