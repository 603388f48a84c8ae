#include "dialogs/message_dialog.h"

#include <QAbstractTextDocumentLayout>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextLayout>

#include "dialogs/ansi.h"

namespace {

bool SameName(const std::string& a, const char* keyword) {
  const std::string b(keyword);
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const unsigned char x = static_cast<unsigned char>(a[i]);
    const unsigned char y = static_cast<unsigned char>(b[i]);
    if (std::tolower(x) != std::tolower(y) || x >= 0x80) return false;
  }
  return true;
}

// Line breaks of the program's text (CR LF, or CR or LF alone) as Qt's.
QString DisplayText(const std::string& Text) {
  QString text = FromAnsi(Text);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return text;
}

}  // namespace

TMessageDialog::TMessageDialog(QWidget* parent) : TQuillbyDialog(parent) {
  setObjectName("MessageDialog");
  setWindowTitle("MessageDialog");
  SetClientSize(338, 143);

  lblMessage = new QLabel(Panel3);
  lblMessage->setObjectName("lblMessage");
  lblMessage->setTextFormat(Qt::PlainText);
  lblMessage->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  lblMessage->setWordWrap(true);
  lblMessage->setGeometry(16, 16, 305, 58);
  Anchor(lblMessage, akLeft | akTop | akRight | akBottom);

  btnRetry = new TBitBtn(Panel4);
  btnRetry->setObjectName("btnRetry");
  btnRetry->SetKind(TBitBtnKind::Retry);
  btnNo = new TBitBtn(Panel4);
  btnNo->setObjectName("btnNo");
  btnNo->SetKind(TBitBtnKind::No);

  btnOK->setGeometry(7, 3, 75, 25);
  btnRetry->setGeometry(88, 3, 75, 25);
  btnNo->setGeometry(168, 3, 75, 25);
  btnCancel->setGeometry(247, 3, 75, 25);
  setTabOrder(btnOK, btnRetry);
  setTabOrder(btnRetry, btnNo);
  setTabOrder(btnNo, btnCancel);
  FormCreate();
}

void TMessageDialog::FormCreate() {
  // Last in Panel4's child order: the order of the laid-out buttons and of the search for Esc.
  btnCancel->raise();
}

void TMessageDialog::Prepare(const std::string& CaptionSuffix, const std::string& Message,
                             TDialogButtons Buttons, TDialogButton DefaultButton,
                             const std::string& ButtonCaptions) {
  using B = TDialogButton;
  auto has = [Buttons](B member) { return HasButton(Buttons, member); };

  QString title = QStringLiteral("Quillby Desktop");
  if (!CaptionSuffix.empty()) title += QStringLiteral(" - ") + FromAnsi(CaptionSuffix);
  SetCaptionText(title);

  FMessage = Message;
  lblMessage->setText(DisplayText(Message));

  btnOK->setVisible(has(B::Yes) || has(B::OK));
  btnCancel->setVisible(has(B::Cancel) || has(B::Abort));
  btnRetry->setVisible(has(B::Retry));
  btnNo->setVisible(has(B::No) || has(B::Ignore));

  if (has(B::Yes)) btnOK->SetKind(TBitBtnKind::Yes);
  if (has(B::Abort)) btnCancel->SetKind(TBitBtnKind::Abort);
  if (has(B::Ignore)) btnNo->SetKind(TBitBtnKind::Ignore);

  if (has(DefaultButton)) {
    btnOK->SetDefault(false);
    switch (DefaultButton) {
      case B::Yes:
      case B::OK:
        btnOK->SetDefault(true);
        break;
      case B::No:
      case B::Ignore:
        btnNo->SetDefault(true);
        break;
      case B::Cancel:
      case B::Abort:
        btnCancel->SetDefault(true);
        break;
      case B::Retry:
        btnRetry->SetDefault(true);
        break;
    }
  }

  for (const std::string& entry : SplitButtonCaptions(ButtonCaptions)) {
    const auto equals = entry.find('=');
    if (equals == std::string::npos) continue;
    const std::string name = entry.substr(0, equals);
    const QString caption = FromAnsi(entry.substr(equals + 1));
    if (SameName(name, "OK") || SameName(name, "Yes")) {
      btnOK->setText(caption);
    } else if (SameName(name, "Cancel") || SameName(name, "Abort")) {
      btnCancel->setText(caption);
    } else if (SameName(name, "Retry")) {
      btnRetry->setText(caption);
    } else if (SameName(name, "No") || SameName(name, "Ignore")) {
      btnNo->setText(caption);
    }
  }

  LayoutButtons(4);

  const int lines = MessageLineCount();
  SetClientSize(width(), height() + 15 * lines - lblMessage->height());

  for (TBitBtn* button : {btnOK, btnRetry, btnNo, btnCancel}) {
    if (!button->isHidden()) {
      SetActiveControl(button);
      break;
    }
  }
}

void TMessageDialog::LayoutButtons(int Gap) {
  std::vector<TBitBtn*> buttons;
  for (QObject* child : Panel4->children()) {
    auto* button = qobject_cast<TBitBtn*>(child);
    if (button != nullptr && !button->isHidden()) buttons.push_back(button);
  }
  if (buttons.empty()) return;
  int total = (static_cast<int>(buttons.size()) - 1) * Gap;
  for (TBitBtn* button : buttons) total += button->width();
  int x = (Panel4->width() - total) / 2;
  for (TBitBtn* button : buttons) {
    button->move(x, (Panel4->height() - button->height()) / 2);
    x += button->width() + Gap;
  }
}

int TMessageDialog::MessageLineCount() const {
  QTextEdit edit(lblMessage->parentWidget());
  edit.setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  edit.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  edit.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  edit.setLineWrapMode(QTextEdit::WidgetWidth);
  edit.setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  edit.setGeometry(lblMessage->geometry());
  edit.setFont(lblMessage->font());
  edit.ensurePolished();
  edit.setPlainText(lblMessage->text());
  QTextDocument* document = edit.document();
  document->setDefaultFont(lblMessage->font());
  document->setTextWidth(std::max(0, lblMessage->width() - 2 * edit.frameWidth()));
  document->documentLayout()->documentSize();
  int lines = 0;
  for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
    lines += block.layout() != nullptr ? block.layout()->lineCount() : 0;
  }
  const QTextBlock last = document->lastBlock();
  if (last.isValid() && last.text().isEmpty() && lines > 0) --lines;
  return lines;
}

int ShowMessageDialog(const std::string& CaptionSuffix, const std::string& Message,
                      TDialogButtons Buttons, TDialogButton DefaultButton,
                      const std::string& ButtonCaptions) {
  TMessageDialog dialog;
  dialog.Prepare(CaptionSuffix, Message, Buttons, DefaultButton, ButtonCaptions);
  return dialog.ShowModal();
}
