#pragma once

#include <QGroupBox>
#include <QLabel>

#include "dialogs/labeled_edit.h"
#include "dialogs/quillby_dialog.h"

class TQuillbyData;

// Collects a new local account and checks it against the store; it creates nothing itself.
// On OK the caller reads the boxes before releasing the dialog.
class TAccountDialog : public TQuillbyDialog {
  Q_OBJECT
 public:
  explicit TAccountDialog(TQuillbyData& Data, QWidget* parent = nullptr);

  // The four boxes' texts in the program's 8-bit text.
  std::string FullName() const;
  std::string Login() const;
  std::string Password() const;
  std::string Confirm() const;

 protected:
  QLabel* lblDesc;
  QGroupBox* GroupBox2;
  TLabeledEdit* leFullName;
  TLabeledEdit* leLogin;
  TLabeledEdit* lePassword;
  TLabeledEdit* leConfirm;

  void leFullNameChange();
  void btnOKClick();

 private:
  TQuillbyData& FData;
};
