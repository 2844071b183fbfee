// TSendMail: the message it builds, the attachment cap, the empty-recipient rule, and the windows being
// disabled for the hand-off and enabled again on every path.

#include <QWidget>
#include <stdexcept>

#include "app/SendMail.h"
#include "app/tests/gui/WizardTestKit.h"

using namespace corvane;

namespace {

class TThrowingMail : public TMailHandoff {
 public:
  bool Hand(const TMailMessage&, bool) override { throw std::runtime_error("mail program crashed"); }
};

class TFailingMail : public TMailHandoff {
 public:
  bool Hand(const TMailMessage&, bool) override { return false; }
};

}  // namespace

class SendMailTest : public QObject {
  Q_OBJECT

 private slots:
  void bobExample();
  void recipientsByClass();
  void attachmentsCapped();
  void emptyToAddressDoesNothing();
  void windowsEnabledAgain();
};

void SendMailTest::bobExample() {
  TRecordingMail mail;
  TSendMail send(&mail);
  QVERIFY(!send.ShowDialog);
  send.ShowDialog = true;
  send.ToAddress = "bob";
  send.AttachFiles.push_back("/home/alice/report_bob.KVX");
  QVERIFY(send.Send());
  QCOMPARE(mail.Messages.size(), 1u);
  const TMailMessage& m = mail.Messages[0];
  QCOMPARE(m.Originator, (TMailRecipient{TMailRecipientClass::rcOriginator, "", ""}));
  QCOMPARE(m.Recipients, (std::vector<TMailRecipient>{{TMailRecipientClass::rcTo, "", "bob"}}));
  QVERIFY(m.Subject.empty() && m.NoteText.empty());
  QCOMPARE(m.Flags, 2u);
  QCOMPARE(m.Files, (std::vector<TMailAttachment>{{1, 0xFFFFFFFFu, "/home/alice/report_bob.KVX"}}));
  QVERIFY(mail.ShowDialog[0]);
}

void SendMailTest::recipientsByClass() {
  TSendMail send;
  send.FromName = "Alice";
  send.FromAddress = "alice@example.com";
  send.ToName = "Bob";
  send.ToAddress = "bob@example.com";
  send.BCCName = "Dave";
  send.BCCAddress = "dave@example.com";
  send.CCName = "Carol";  // no address: no copy recipient
  send.Subject = "件名";
  send.Body = "本文";
  TMailMessage m = send.BuildMessage();
  QCOMPARE(m.Originator, (TMailRecipient{TMailRecipientClass::rcOriginator, "Alice", "alice@example.com"}));
  QCOMPARE(m.Recipients,
           (std::vector<TMailRecipient>{{TMailRecipientClass::rcTo, "Bob", "bob@example.com"},
                                        {TMailRecipientClass::rcBCC, "Dave", "dave@example.com"}}));
  QCOMPARE(m.Subject, std::string("件名"));
  QCOMPARE(m.NoteText, std::string("本文"));
  QVERIFY(m.Files.empty());
  send.CCAddress = "carol@example.com";
  m = send.BuildMessage();
  QCOMPARE(m.Recipients.size(), 3u);
  QCOMPARE(m.Recipients[1], (TMailRecipient{TMailRecipientClass::rcCC, "Carol", "carol@example.com"}));
  QCOMPARE(m.Recipients[2].Class, TMailRecipientClass::rcBCC);
}

void SendMailTest::attachmentsCapped() {
  TSendMail send;
  send.ToAddress = "bob";
  for (int i = 0; i < 40; ++i) send.AttachFiles.push_back("/f" + std::to_string(i));
  const TMailMessage m = send.BuildMessage();
  QCOMPARE(m.Files.size(), 32u);
  QCOMPARE(m.Files[0].Position, 0xFFFFFFFFu);
  for (uint32_t i = 1; i < 32; ++i) {
    QCOMPARE(m.Files[i].Position, i - 1);
    QCOMPARE(m.Files[i].PathName, "/f" + std::to_string(i));
    QCOMPARE(m.Files[i].Flags, 1u);
  }
}

void SendMailTest::emptyToAddressDoesNothing() {
  QWidget window;
  window.show();
  TRecordingMail mail;
  TSendMail send(&mail);
  send.ToName = "Bob";
  send.CCAddress = "carol@example.com";
  send.AttachFiles.push_back("/x.KVX");
  QVERIFY(!send.Send());
  QVERIFY(mail.Messages.empty());
  QVERIFY(window.isEnabled());
  QVERIFY(!send.LastError().empty());
}

void SendMailTest::windowsEnabledAgain() {
  QWidget window, alreadyDisabled;
  window.show();
  alreadyDisabled.show();
  alreadyDisabled.setEnabled(false);
  TRecordingMail recording;
  TSendMail send(&recording);
  send.ToAddress = "bob";
  QVERIFY(send.Send());
  QVERIFY(recording.WindowsDisabled[0]);
  QVERIFY(window.isEnabled());
  QVERIFY(!alreadyDisabled.isEnabled());  // left as it was

  QVERIFY(send.LastError().empty());

  // A failure says why: in the hand-off's words, or in general ones when it has none.
  recording.Succeed = false;
  recording.Reason = "メールソフトが見つかりません。";
  QVERIFY(!send.Send());
  QCOMPARE(send.LastError(), recording.Reason);
  TFailingMail failing;
  TSendMail failed(&failing);
  failed.ToAddress = "bob";
  QVERIFY(!failed.Send());
  QVERIFY(window.isEnabled());
  QVERIFY(!failed.LastError().empty());

  TThrowingMail throwing;
  TSendMail thrown(&throwing);
  thrown.ToAddress = "bob";
  QVERIFY_THROWS_EXCEPTION(std::runtime_error, thrown.Send());
  QVERIFY(window.isEnabled());
}

QTEST_MAIN(SendMailTest)
#include "SendMailTest.moc"
