#pragma once

#include <QLabel>
#include <QString>

#include "dialogs/quillby_dialog.h"

// The captions of the dialog's seven value rows, in their order: name, e-mail address, street
// address, zip code, phone, best time to call, debt amount.
inline constexpr const char* kSignupCaptions[] = {
    "Name:",       "Email:", "Street Address:", "Zip Code:", "Phone:", "Best time to call:",
    "Debt Amount:"};

// A value of the confirmation. A screen reader reads it with its caption ("Name: Sam Signup"),
// as the eye takes in the two side by side.
class TCaptionedValue : public QLabel {
  Q_OBJECT
 public:
  TCaptionedValue(const QString& Caption, QWidget* parent);
  const QString& Caption() const { return FCaption; }

 private:
  QString FCaption;
};

// Confirms an accepted counselling signup with the values that were sent. The caller fills the
// value labels and the closing sentence before showing it.
class TSignupDialog : public TQuillbyDialog {
  Q_OBJECT
 public:
  explicit TSignupDialog(QWidget* parent = nullptr);

  QLabel* Label1;
  QLabel* Label3;
  QLabel* lblName;
  QLabel* lblEmail;
  QLabel* lblStreetAddress;
  QLabel* lblZipCode;
  QLabel* lblPhone;
  QLabel* lblBestTime;
  QLabel* lblDebtAmount;
  // Its caption is the closing sentence's template, with one "%s" for the phone number.
  QLabel* Label2;
};

// Template with its first "%s" replaced by Argument, taken as it is: a "%" in the argument is
// never read as a format of its own.
QString FormatWithText(const QString& Template, const QString& Argument);
