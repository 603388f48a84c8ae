#include "data/quillby_data.h"
#include "dialogs/account_dialog.h"
#include "dialogs/login_dialog.h"
#include "dialogs/message_dialog.h"
#include "tools/snapshots/shots.h"

namespace {

void ShootLogin(TShotContext& Context) {
  TLoginDialog dialog(Context.Data);
  SaveShot(dialog, Context, "login_dialog");
}

void ShootAccount(TShotContext& Context) {
  TAccountDialog dialog(Context.Data);
  SaveShot(dialog, Context, "account_dialog");
}

void ShootNotice(TShotContext& Context) {
  TMessageDialog dialog;
  dialog.Prepare("",
                 "User account successfully created.\r\nPlease login with the username and "
                 "password.",
                 DialogButtons({TDialogButton::OK}), TDialogButton::OK, "");
  SaveShot(dialog, Context, "message_notice");
}

void ShootQuestion(TShotContext& Context) {
  TMessageDialog dialog;
  dialog.Prepare("",
                 "Your computer does not seem to be connected to the Internet. Do you want to "
                 "try anyway?",
                 DialogButtons({TDialogButton::Yes, TDialogButton::No}), TDialogButton::Yes, "");
  SaveShot(dialog, Context, "message_yes_no");
}

[[maybe_unused]] const bool registered = RegisterShot("dialog_account", &ShootAccount) &&
                                         RegisterShot("dialog_login", &ShootLogin) &&
                                         RegisterShot("dialog_message_notice", &ShootNotice) &&
                                         RegisterShot("dialog_message_yes_no", &ShootQuestion);

}  // namespace
