#include <QTextCursor>

#include "data/quillby_data.h"
#include "desktop/artwork.h"
#include "desktop/desktop_form.h"
#include "desktop/fax_sheet.h"
#include "desktop/input_checks.h"
#include "desktop/page.h"
#include "dialogs/ansi.h"
#include "dialogs/app_events.h"
#include "dialogs/cursor.h"
#include "dialogs/labeled_edit.h"
#include "dialogs/message_dialog.h"
#include "net/message.h"
#include "platform/exception.h"
#include "sending/requests.h"

// The Refer a friend tab: an HTML mail to a friend, the community manager in blind copy.

using namespace page;

void TDesktopForm::BuildReferFriend() {
  pnlReferFriend = MakePageFrame(tsReferFriend, "pnlReferFriend", lblReferFriend, "lblReferFriend",
                                 "Refer a friend to us  ");
  QWidget* panel = pnlReferFriend;

  lblReferFriend1 =
      MakeParagraph(panel, "lblReferFriend1",
                    "If you find our services beneficial, refer a friend to us and let "
                    "our community guide him towards a debt-free life.",
                    QRect(16, 24, 580, 33), look::SansFont());

  auto box = [this, panel](const char* name, const char* caption, int top, int width,
                           const char* text = "") {
    auto* edit = new TLabeledEdit(panel, name, caption, TLabeledEdit::lpLeft, 3);
    edit->SetBounds(128, top, width, 21);
    edit->setText(text);
    LimitLength(edit, 0);  // nothing of a referral is stored
    GuardedConnect(edit, &QLineEdit::textChanged, this, [this] { leReferFriendChange(); });
    return edit;
  };
  leFromName = box("leFromName", "From Name:", 72, 129);
  leFromEmail = box("leFromEmail", "From Email:", 104, 233);
  leSendToName = box("leSendToName", "Send To Name:", 136, 129);
  leSendToEmail = box("leSendToEmail", "Send to Email:", 168, 233);
  leSubject = box("leSubject", "Subject:", 200, 233, "Start your journey to be debt free.");

  Label21 = MakeLabel(panel, "Label21", "Comment:", 79, 235, look::SansFont());
  memComments = new QPlainTextEdit(panel);
  memComments->setObjectName("memComments");
  memComments->setGeometry(128, 232, 393, 129);
  memComments->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  memComments->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  memComments->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  // Tab leaves the memo, as it leaves every other control; Enter starts a new line.
  memComments->setTabChangesFocus(true);
  Label21->setBuddy(memComments);

  btnSendEmail = MakeButton(panel, "btnSendEmail", "Send Email", artwork::SendMailGlyph(),
                            artwork::SendMailGlyph(true), QRect(176, 375, 153, 25));
  btnSendEmail->setEnabled(false);
  GuardedConnect(btnSendEmail, &QPushButton::clicked, this, [this] { btnSendEmailClick(); });
  btnReset = MakeButton(panel, "btnReset", "Reset", artwork::ResetGlyph(),
                        artwork::ResetGlyph(true), QRect(344, 375, 75, 25));
  btnReset->setAutoDefault(true);
  GuardedConnect(btnReset, &QPushButton::clicked, this, [this] { btnResetClick(); });

  QWidget* order[] = {leFromName, leFromEmail, leSendToName, leSendToEmail,
                      leSubject,  memComments, btnSendEmail, btnReset};
  for (size_t i = 0; i + 1 < std::size(order); ++i) setTabOrder(order[i], order[i + 1]);
  for (TLabeledEdit* edit : {leFromName, leFromEmail, leSendToName, leSendToEmail, leSubject}) {
    ClickOnEnter(edit, btnSendEmail);
  }
}

void TDesktopForm::FillReferTemplate() {
  const QString site = SiteAddress();
  const QString lines[] = {
      "Hi,",
      "",
      "The community here is truly concerned to remove you from debt hassles, and guide you "
      "towards being debt free. During my tough times they had helped me. Being totally aware of "
      "your financial pressures and debt problems, I would suggest you to seek immediate help "
      "from Marrowvale.",
      "",
      "Start Today at " + site + "/signup/",
      "",
      "Thanks",
      "",
      "",
      "Some Helpful sections",
      "-------------------------",
      "Earn $100-$900 per month from forums -",
      site + "/forums/about553.html",
      "",
      "Check out the DIY section - " + site + "/diy/",
  };
  QString text;
  for (const QString& line : lines) text += line + QLatin1Char('\n');
  memComments->setPlainText(text);
  memComments->moveCursor(QTextCursor::Start);
}

void TDesktopForm::leReferFriendChange() {
  btnSendEmail->setEnabled(!leFromName->text().isEmpty() && !leFromEmail->text().isEmpty() &&
                           !leSendToName->text().isEmpty() && !leSendToEmail->text().isEmpty() &&
                           !leSubject->text().isEmpty() && !memComments->toPlainText().isEmpty());
}

void TDesktopForm::btnSendEmailClick() {
  const TReferral referral{ToAnsi(leFromName->text()),   ToAnsi(leFromEmail->text()),
                           ToAnsi(leSendToName->text()), ToAnsi(leSendToEmail->text()),
                           ToAnsi(leSubject->text()),    MemoText(memComments)};
  const struct {
    TLabeledEdit* Box;
    const std::string& Value;
    bool (*Check)(const std::string&);
  } checks[] = {
      {leFromName, referral.FromName, IsAlphaName},
      {leFromEmail, referral.FromEmail, IsValidEmail},
      {leSendToName, referral.SendToName, IsAlphaName},
      {leSendToEmail, referral.SendToEmail, IsValidEmail},
  };
  for (const auto& c : checks) {
    if (!c.Check(c.Value)) {
      c.Box->setFocus();
      throw Exception(c.Check == IsAlphaName ? "Name can have alphabets only."
                                             : "Please enter a valid email id.");
    }
  }
  const auto faxInstead = [this] {
    PreviewFax(ReferralFax({leFromName->text(), leFromEmail->text(), leSendToName->text(),
                            leSendToEmail->text(), leSubject->text(), memComments->toPlainText()},
                           FromAnsi(FData.CurrentUserFullName())),
               this);
  };
  if (!CheckOnline("Please feel free to use our \"Refer a friend\" section to share the benefits "
                   "with your friends at a later time.",
                   faxInstead)) {
    return;
  }

  {
    net::TIdMessage message = referral.Message();
    THourGlass hourglass;
    SubmitMail(message, TReferral::kFollowUp);
  }
  leSendToName->clear();
  leSendToEmail->clear();
  leSendToName->setFocus();
  ShowMessageDialog("",
                    "Thank you for referring your friend to us.\r\n\r\nYou can refer some more of "
                    "your friends if you like.",
                    DialogButtons({TDialogButton::OK}), TDialogButton::OK, "");
}

void TDesktopForm::btnResetClick() {
  for (TLabeledEdit* edit : {leFromName, leFromEmail, leSendToName, leSendToEmail, leSubject}) {
    edit->clear();
  }
  FillReferTemplate();
}
