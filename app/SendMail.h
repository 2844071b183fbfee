#pragma once
// TSendMail: one mail message with attachments, handed to the desktop's mail program.

#include <string>
#include <vector>

#include "platform/MailHandoff.h"

namespace corvane {

class TSendMail {
 public:
  // At most this many attachments go into one message; further ones are ignored.
  static constexpr std::size_t kMaxAttachments = 32;

  // The hand-off is not owned; nullptr sends through xdg-email.
  explicit TSendMail(TMailHandoff* handoff = nullptr);

  std::string ToName, ToAddress;
  std::string CCName, CCAddress;
  std::string BCCName, BCCAddress;
  std::string FromName, FromAddress;
  std::string Subject;
  std::string Body;
  // Full paths of the attachments.
  std::vector<std::string> AttachFiles;
  // Let the mail program show its compose window instead of sending silently.
  bool ShowDialog = false;

  // The message Send hands over: the originator, then To, CC and BCC (the last two only when their
  // address is set), a read receipt requested, and the first kMaxAttachments attachments.
  TMailMessage BuildMessage() const;

  // Hands the message over with the program's windows disabled, so the mail program's window behaves
  // as modal. False without doing anything when ToAddress is empty; otherwise true exactly when the
  // hand-off succeeded.
  bool Send();
  // Why the last Send failed, in words for the user (UTF-8); empty after a successful one.
  const std::string& LastError() const { return lastError_; }

 private:
  TMailHandoff* handoff_;
  std::string lastError_;
};

}  // namespace corvane
