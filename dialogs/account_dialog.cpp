#include "dialogs/account_dialog.h"

#include "data/quillby_data.h"
#include "dialogs/ansi.h"
#include "dialogs/app_events.h"
#include "platform/exception.h"

TAccountDialog::TAccountDialog(TQuillbyData& Data, QWidget* parent)
    : TQuillbyDialog(parent), FData(Data) {
  setObjectName("AccountDialog");
  setWindowTitle("New Account - Quillby");
  SetCaptionText("New Account - Quillby Desktop");
  SetClientSize(316, 204);
  btnOK->setEnabled(false);
  btnOK->OnClick = [this] { btnOKClick(); };

  lblDesc = new QLabel("Fill in the form below to create an account.", Panel3);
  lblDesc->setObjectName("lblDesc");
  lblDesc->setTextFormat(Qt::PlainText);
  lblDesc->setWordWrap(true);
  lblDesc->setGeometry(8, 16, 201, 17);
  GrowToCaption(lblDesc, 298);
  Anchor(lblDesc, akLeft | akTop | akRight);

  GroupBox2 = new QGroupBox("User Information", Panel3);
  GroupBox2->setObjectName("GroupBox2");
  GroupBox2->setGeometry(8, 40, 298, 105);

  auto box = [this](const char* Name, const char* Caption, int Left, int Top, int Width,
                    bool Secret) {
    auto* edit = new TLabeledEdit(GroupBox2, Name, Caption, TLabeledEdit::lpAbove, 1);
    edit->SetBounds(Left, Top, Width, 21);
    if (Secret) ShowAsStars(edit);
    GuardedConnect(edit, &QLineEdit::textChanged, this, [this] { leFullNameChange(); });
    return edit;
  };
  leFullName = box("leFullName", "Full Name:", 8, 32, 161, false);
  leLogin = box("leLogin", "Username:", 176, 32, 113, false);
  lePassword = box("lePassword", "Password:", 8, 72, 137, true);
  leConfirm = box("leConfirm", "Confirm Password:", 152, 72, 137, true);

  setTabOrder(leFullName, leLogin);
  setTabOrder(leLogin, lePassword);
  setTabOrder(lePassword, leConfirm);
  setTabOrder(leConfirm, btnOK);
  setTabOrder(btnOK, btnCancel);
  SetActiveControl(leFullName);
}

std::string TAccountDialog::FullName() const { return ToAnsi(leFullName->text()); }
std::string TAccountDialog::Login() const { return ToAnsi(leLogin->text()); }
std::string TAccountDialog::Password() const { return ToAnsi(lePassword->text()); }
std::string TAccountDialog::Confirm() const { return ToAnsi(leConfirm->text()); }

void TAccountDialog::leFullNameChange() {
  btnOK->setEnabled(!leFullName->text().isEmpty() && !leLogin->text().isEmpty() &&
                    !lePassword->text().isEmpty() && !leConfirm->text().isEmpty());
}

void TAccountDialog::btnOKClick() {
  if (lePassword->text() != leConfirm->text()) {
    lePassword->setFocus();
    throw Exception("Passwords do not match.");
  }
  if (FData.FullNameExists(FullName())) {
    leFullName->setFocus();
    throw Exception("The Full Name entered already exists.");
  }
  if (FData.LoginExists(Login())) {
    leLogin->setFocus();
    throw Exception("The Username entered already exists.");
  }
}
