#pragma once
// One outgoing mail message as a plain value, and its hand-off to the desktop's mail program.
// The value keeps every field of the message the wizard builds (recipient classes in order, attachment
// positions, the read-receipt flag) so tests can inspect it; the xdg-email hand-off passes on what the
// command can carry: recipients by class, subject, body and attachments.

#include <QStringList>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace corvane {

enum class TMailRecipientClass : uint32_t { rcOriginator = 0, rcTo = 1, rcCC = 2, rcBCC = 3 };

struct TMailRecipient {
  TMailRecipientClass Class = TMailRecipientClass::rcTo;
  std::string Name;
  std::string Address;
  bool operator==(const TMailRecipient&) const = default;
};

struct TMailAttachment {
  uint32_t Flags = 1;
  // Where the attachment sits in the note text; 0xFFFFFFFF means nowhere in particular.
  uint32_t Position = 0xFFFFFFFFu;
  std::string PathName;
  bool operator==(const TMailAttachment&) const = default;
};

inline constexpr uint32_t kMailReceiptRequested = 2;

struct TMailMessage {
  TMailRecipient Originator{TMailRecipientClass::rcOriginator, {}, {}};
  std::vector<TMailRecipient> Recipients;
  std::string Subject;
  std::string NoteText;
  uint32_t Flags = kMailReceiptRequested;
  std::vector<TMailAttachment> Files;
};

class TMailHandoff {
 public:
  virtual ~TMailHandoff() = default;
  // Hands the message to the mail program; showDialog lets the user edit it before sending.
  // True exactly when the hand-off succeeded.
  virtual bool Hand(const TMailMessage& message, bool showDialog) = 0;
  // Why the last hand-off failed, in words for the user (UTF-8); empty when not known.
  virtual std::string FailureReason() const { return {}; }
};

// The arguments for xdg-email that carry the message (without the program name).
QStringList XdgEmailArguments(const TMailMessage& message);

// Runs xdg-email; the runner is replaceable so tests can see the command without a mail program.
class TXdgEmailHandoff : public TMailHandoff {
 public:
  // Runs a program with arguments and answers its exit status (-1 when it could not be started).
  using TRunner = std::function<int(const QString& program, const QStringList& arguments)>;
  TXdgEmailHandoff();
  explicit TXdgEmailHandoff(TRunner runner);
  bool Hand(const TMailMessage& message, bool showDialog) override;
  std::string FailureReason() const override { return reason_; }

 private:
  TRunner runner_;
  std::string reason_;
};

}  // namespace corvane
