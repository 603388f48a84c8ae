#include <chrono>

#include "data/quillby_data.h"
#include "desktop/desktop_form.h"
#include "desktop/fax_sheet.h"
#include "desktop/input_checks.h"
#include "desktop/page.h"
#include "dialogs/ansi.h"
#include "dialogs/app_events.h"
#include "dialogs/cursor.h"
#include "dialogs/glyphs.h"
#include "dialogs/message_dialog.h"
#include "net/message.h"
#include "sending/requests.h"

// The Help us improve tab: feedback mailed to the service, stored once it has gone.

using namespace page;

void TDesktopForm::BuildHelpImprove() {
  pnlHelpImprove =
      MakePageFrame(tsHelpImprove, "pnlHelpImprove", Label18, "Label18", "Help us Improve");
  QWidget* panel = pnlHelpImprove;

  Label24 = MakeParagraph(panel, "Label24",
                          "Please post your comments, feedback and suggestions here. Our team will "
                          "welcome them and will try to put them into practice.",
                          QRect(16, 24, 593, 33), look::SansFont());

  memHelpImprove = new QPlainTextEdit(panel);
  memHelpImprove->setObjectName("memHelpImprove");
  memHelpImprove->setGeometry(72, 80, 473, 153);
  memHelpImprove->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  memHelpImprove->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  memHelpImprove->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  memHelpImprove->setTabChangesFocus(true);
  memHelpImprove->setAccessibleName("Feedback");
  GuardedConnect(memHelpImprove, &QPlainTextEdit::textChanged, this,
                 [this] { memHelpImproveChange(); });

  btnHelpImprove = MakeButton(panel, "btnHelpImprove", "Submit", KindGlyph(TBitBtnKind::OK),
                              KindGlyph(TBitBtnKind::OK, true), QRect(240, 256, 153, 25));
  btnHelpImprove->setEnabled(false);
  btnHelpImprove->setAutoDefault(true);
  GuardedConnect(btnHelpImprove, &QPushButton::clicked, this, [this] { btnHelpImproveClick(); });
  setTabOrder(memHelpImprove, btnHelpImprove);
}

void TDesktopForm::memHelpImproveChange() {
  btnHelpImprove->setEnabled(!memHelpImprove->toPlainText().isEmpty());
}

void TDesktopForm::btnHelpImproveClick() {
  const auto faxInstead = [this] {
    PreviewFax(FeedbackFax(memHelpImprove->toPlainText(), FromAnsi(FData.CurrentUserFullName())),
               this);
  };
  if (!CheckOnline(
          "Please feel free to use our Feedback section to comment on our services at a later "
          "time.",
          faxInstead)) {
    return;
  }
  const TFeedback feedback{MemoText(memHelpImprove)};
  {
    net::TIdMessage message = feedback.Message();
    THourGlass hourglass;
    SubmitMail(message, TFeedback::kFollowUp);
  }
  feedback.Store(FData, std::chrono::system_clock::now());
  ShowMessageDialog("",
                    "Thank you for your valuable feedback\r\n\r\nWe will definitely try to improve "
                    "our services based on your comment.",
                    DialogButtons({TDialogButton::OK}), TDialogButton::OK, "");
}
