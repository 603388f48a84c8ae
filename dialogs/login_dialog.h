#pragma once

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <string>

#include "dialogs/labeled_edit.h"
#include "dialogs/quillby_dialog.h"
#include "platform/registry.h"

class TQuillbyData;

// The gate to the desktop. ShowModal() returns mrOk exactly when a user signed in; the store's
// current user is then that user. A user's password can be remembered on this computer as its
// digest under the user's settings key "Software\Quillby\Logins\<username>".
class TLoginDialog : public TQuillbyDialog {
  Q_OBJECT
 public:
  explicit TLoginDialog(TQuillbyData& Data, QWidget* parent = nullptr);

  // The settings key of a username: the username is one key name, whatever it holds.
  static platform::TKeyPath LoginKey(const std::string& Username);

 protected:
  QLabel* lblDesc;
  QGroupBox* GroupBox1;
  TBitBtn* btnCreate;
  QGroupBox* GroupBox2;
  TLabeledEdit* leLogin;
  TLabeledEdit* lePassword;
  QCheckBox* cbxPassword;

  void leLoginChange();
  void leLoginExit();
  void btnOKClick();
  void btnCreateClick();

  bool eventFilter(QObject* Watched, QEvent* Event) override;

 private:
  TQuillbyData& FData;
  std::string FRememberedDigest;
};
