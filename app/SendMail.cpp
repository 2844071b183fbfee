#include "app/SendMail.h"

#include <QApplication>
#include <QPointer>
#include <QWidget>
#include <algorithm>

namespace corvane {

namespace {

// Disables the program's top-level windows while it lives and enables again exactly those it disabled,
// also when the hand-off throws.
class TWindowsDisabled {
 public:
  TWindowsDisabled() {
    if (!qApp) return;
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (w->isEnabled()) {
        w->setEnabled(false);
        disabled_.push_back(w);
      }
    }
  }
  ~TWindowsDisabled() {
    for (const QPointer<QWidget>& w : disabled_)
      if (w) w->setEnabled(true);
  }
  TWindowsDisabled(const TWindowsDisabled&) = delete;
  TWindowsDisabled& operator=(const TWindowsDisabled&) = delete;

 private:
  std::vector<QPointer<QWidget>> disabled_;
};

}  // namespace

TSendMail::TSendMail(TMailHandoff* handoff) : handoff_(handoff) {}

TMailMessage TSendMail::BuildMessage() const {
  TMailMessage m;
  m.Originator = {TMailRecipientClass::rcOriginator, FromName, FromAddress};
  m.Recipients.push_back({TMailRecipientClass::rcTo, ToName, ToAddress});
  if (!CCAddress.empty()) m.Recipients.push_back({TMailRecipientClass::rcCC, CCName, CCAddress});
  if (!BCCAddress.empty()) m.Recipients.push_back({TMailRecipientClass::rcBCC, BCCName, BCCAddress});
  m.Subject = Subject;
  m.NoteText = Body;
  m.Flags = kMailReceiptRequested;
  const std::size_t count = std::min(AttachFiles.size(), kMaxAttachments);
  for (std::size_t i = 0; i < count; ++i) {
    // Position i - 1 as an unsigned number: the first attachment carries "no position".
    m.Files.push_back({1, static_cast<uint32_t>(i) - 1u, AttachFiles[i]});
  }
  return m;
}

bool TSendMail::Send() {
  lastError_.clear();
  if (ToAddress.empty()) {
    lastError_ = "宛先がありません。";
    return false;
  }
  const TMailMessage message = BuildMessage();
  TXdgEmailHandoff xdgEmail;
  TMailHandoff& handoff = handoff_ ? *handoff_ : xdgEmail;
  TWindowsDisabled disabled;
  if (handoff.Hand(message, ShowDialog)) return true;
  lastError_ = handoff.FailureReason();
  if (lastError_.empty()) lastError_ = "メールソフトへの受け渡しが失敗しました。";
  return false;
}

}  // namespace corvane
