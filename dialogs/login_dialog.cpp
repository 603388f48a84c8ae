#include "dialogs/login_dialog.h"

#include <QApplication>
#include <QFocusEvent>

#include "data/md5.h"
#include "data/quillby_data.h"
#include "dialogs/account_dialog.h"
#include "dialogs/ansi.h"
#include "dialogs/app_events.h"
#include "dialogs/cursor.h"
#include "dialogs/glyphs.h"
#include "dialogs/message_dialog.h"

namespace {
const char* const kPasswordValue = "Password";
const char* const kPlaceholder = "********";
}  // namespace

TLoginDialog::TLoginDialog(TQuillbyData& Data, QWidget* parent)
    : TQuillbyDialog(parent), FData(Data) {
  setObjectName("LoginDialog");
  setWindowTitle("Login");
  SetCaptionText("Login - Quillby Desktop");
  SetClientSize(284, 321);
  btnOK->setEnabled(false);
  btnOK->OnClick = [this] { btnOKClick(); };

  lblDesc = new QLabel(
      "To maintain confidentiality of your data, Quillby Desktop requires you to login before "
      "you can start using the application.",
      Panel3);
  lblDesc->setObjectName("lblDesc");
  lblDesc->setTextFormat(Qt::PlainText);
  lblDesc->setWordWrap(true);
  lblDesc->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  lblDesc->setGeometry(8, 16, 264, 65);
  Anchor(lblDesc, akLeft | akTop | akRight);

  GroupBox1 = new QGroupBox("New User?", Panel3);
  GroupBox1->setObjectName("GroupBox1");
  GroupBox1->setGeometry(12, 88, 260, 57);
  btnCreate = new TBitBtn(GroupBox1);
  btnCreate->setObjectName("btnCreate");
  btnCreate->setText("Create Account");
  btnCreate->SetGlyph(KeyGlyph(), KeyGlyph(true));
  btnCreate->setGeometry(46, 20, 167, 25);
  btnCreate->OnClick = [this] { btnCreateClick(); };

  GroupBox2 = new QGroupBox("Already have an account?", Panel3);
  GroupBox2->setObjectName("GroupBox2");
  GroupBox2->setGeometry(12, 153, 261, 105);
  leLogin = new TLabeledEdit(GroupBox2, "leLogin", "Username:", TLabeledEdit::lpLeft, 3);
  leLogin->SetBounds(64, 24, 185, 21);
  lePassword = new TLabeledEdit(GroupBox2, "lePassword", "Password:", TLabeledEdit::lpLeft, 3);
  lePassword->SetBounds(64, 52, 105, 21);
  ShowAsStars(lePassword);
  cbxPassword = new QCheckBox("Remember my password on this computer", GroupBox2);
  cbxPassword->setObjectName("cbxPassword");
  cbxPassword->setGeometry(16, 80, 225, 17);
  GrowToCaption(cbxPassword, 241);

  GuardedConnect(leLogin, &QLineEdit::textChanged, this, [this] { leLoginChange(); });
  GuardedConnect(lePassword, &QLineEdit::textChanged, this, [this] { leLoginChange(); });
  leLogin->installEventFilter(this);

  setTabOrder(btnCreate, leLogin);
  setTabOrder(leLogin, lePassword);
  setTabOrder(lePassword, cbxPassword);
  setTabOrder(cbxPassword, btnOK);
  setTabOrder(btnOK, btnCancel);
  SetActiveControl(leLogin);
}

platform::TKeyPath TLoginDialog::LoginKey(const std::string& Username) {
  return {"Software", "Quillby", "Logins", Username};
}

bool TLoginDialog::eventFilter(QObject* Watched, QEvent* Event) {
  if (Watched == leLogin && Event->type() == QEvent::FocusOut) {
    // The exit event: the focus moves on to another control of this dialog, not to another
    // window.
    const auto reason = static_cast<QFocusEvent*>(Event)->reason();
    QWidget* next = QApplication::focusWidget();
    if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason &&
        next != nullptr && next != leLogin && next->window() == this) {
      Guard(leLogin, [this] { leLoginExit(); });
    }
  }
  return TQuillbyDialog::eventFilter(Watched, Event);
}

void TLoginDialog::leLoginChange() {
  btnOK->setEnabled(!leLogin->text().isEmpty() && !lePassword->text().isEmpty());
}

void TLoginDialog::leLoginExit() {
  if (leLogin->text().isEmpty()) return;
  platform::TRegistry registry;
  if (registry.OpenKey(LoginKey(ToAnsi(leLogin->text())), false)) {
    FRememberedDigest = registry.ReadString(kPasswordValue);
    lePassword->setText(kPlaceholder);
    cbxPassword->setChecked(true);
    btnOK->setFocus(Qt::OtherFocusReason);
  } else {
    lePassword->clear();
    FRememberedDigest.clear();
    cbxPassword->setChecked(false);
  }
}

void TLoginDialog::btnOKClick() {
  const std::string login = ToAnsi(leLogin->text());
  const std::string password = ToAnsi(lePassword->text());
  if (login.empty() || password.empty()) throw Exception("Login and Password must be entered.");
  bool good = false;
  {
    THourGlass hourglass;
    good = FRememberedDigest.empty() ? FData.VerifyLogin(login, password)
                                     : FData.VerifyLoginDigest(login, FRememberedDigest);
  }
  if (!good) throw Exception("Invalid Login Id or Password.");

  platform::TRegistry registry;
  const platform::TKeyPath key = LoginKey(login);
  if (cbxPassword->isChecked()) {
    // Signed in by a remembered digest whose key has gone meanwhile: the box holds only the
    // placeholder, so the verified digest is the one to remember.
    const std::string digest = FRememberedDigest.empty() ? MD5Hex(password) : FRememberedDigest;
    if (registry.OpenKey(key, false)) {
      // An existing digest is never rewritten; a key left without one (a write that failed
      // after the key was made) would look remembered for ever without working, so it gets one.
      if (!registry.ValueExists(kPasswordValue)) registry.WriteString(kPasswordValue, digest);
      return;
    }
    if (!registry.OpenKey(key, true)) {
      throw platform::ERegistryException(std::string("Failed to set data for '") + kPasswordValue +
                                         "'");
    }
    try {
      registry.WriteString(kPasswordValue, digest);
    } catch (...) {
      // Take the new key back rather than leave it without its digest.
      try {
        registry.DeleteKey(key);
      } catch (...) {
      }
      throw;
    }
    return;
  }
  try {
    if (registry.OpenKey(key, false)) registry.DeleteKey(key);
  } catch (const std::exception&) {
    // Forgetting is best effort: a settings file that cannot be changed never stops a sign-in.
  }
}

void TLoginDialog::btnCreateClick() {
  TAccountDialog account(FData);
  if (account.ShowModal() != mrOk) return;
  {
    THourGlass hourglass;
    FData.CreateUser(account.FullName(), account.Login(), account.Password());
  }
  ShowMessageDialog("",
                    "User account successfully created.\r\nPlease login with the username and "
                    "password.",
                    DialogButtons({TDialogButton::OK}), TDialogButton::OK, "");
}
