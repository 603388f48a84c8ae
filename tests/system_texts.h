#pragma once

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QStringList>
#include <QWidget>

// The system's own texts, written out as the layouts give them: window captions (an empty
// control name), labels, buttons, group frames, and the caption label of each edit box,
// drop-down and memo (given under the box's name). Tests hold every window against this table,
// so a typo in the product cannot pass, and nothing here is taken from the product.
namespace systemtexts {

struct TText {
  const char* Window;  // the form name
  const char* Control;
  const char* Text;
};

inline constexpr const char* kBandComments[4] = {
    "This is a healthy debt load to carry for most people",
    "Not bad, but start paying your debt before you get in real trouble",
    "Financial difficulties are probably imminent unless you take an immediate action",
    "Get professional help to aggresively reduce debt",
};

inline constexpr TText kTexts[] = {
    {"LoginDialog", "", "Login"},
    {"LoginDialog", "lblCaption", "Login - Quillby Desktop"},
    {"LoginDialog", "lblDesc",
     "To maintain confidentiality of your data, Quillby Desktop requires you to login before you "
     "can start using the application."},
    {"LoginDialog", "GroupBox1", "New User?"},
    {"LoginDialog", "btnCreate", "Create Account"},
    {"LoginDialog", "GroupBox2", "Already have an account?"},
    {"LoginDialog", "leLogin", "Username:"},
    {"LoginDialog", "lePassword", "Password:"},
    {"LoginDialog", "cbxPassword", "Remember my password on this computer"},
    {"LoginDialog", "btnOK", "OK"},
    {"LoginDialog", "btnCancel", "Cancel"},

    {"AccountDialog", "", "New Account - Quillby"},
    {"AccountDialog", "lblCaption", "New Account - Quillby Desktop"},
    {"AccountDialog", "lblDesc", "Fill in the form below to create an account."},
    {"AccountDialog", "GroupBox2", "User Information"},
    {"AccountDialog", "leFullName", "Full Name:"},
    {"AccountDialog", "leLogin", "Username:"},
    {"AccountDialog", "lePassword", "Password:"},
    {"AccountDialog", "leConfirm", "Confirm Password:"},
    {"AccountDialog", "btnOK", "OK"},
    {"AccountDialog", "btnCancel", "Cancel"},

    {"MessageDialog", "", "MessageDialog"},
    {"MessageDialog", "lblCaption", "Quillby Desktop"},
    // As the yes/no question shows it.
    {"MessageDialog", "btnOK", "&Yes"},
    {"MessageDialog", "btnRetry", "&Retry"},
    {"MessageDialog", "btnNo", "&No"},
    {"MessageDialog", "btnCancel", "Cancel"},

    {"SignupDialog", "lblCaption", "Quillby Desktop"},
    {"SignupDialog", "Label1", "Thank You for signing up with us!"},
    {"SignupDialog", "Label3", "Signup Information:"},
    {"SignupDialog", "Label2",
     "Our representative will be calling you on %s for a free consultation. We recommend that "
     "you document the debt that you currently have, and the amount currently owed for each "
     "creditor."},
    {"SignupDialog", "btnOK", "OK"},

    {"DesktopForm", "", "Quillby Desktop"},
    {"DesktopForm", "lblTitle", "Marrowvale Desktop"},
    {"DesktopForm", "lblLogout", "Logout"},
    {"DesktopForm", "Label4", "Visit Us"},
    {"DesktopForm", "Label5", "Join the community"},
    {"DesktopForm", "lblDebtCalc", "Debt Load Calculator  "},
    {"DesktopForm", "Label2", "Monthly Debt Repayment"},
    {"DesktopForm", "leRent", "Monthly Mortgage or Rent:"},
    {"DesktopForm", "leCreditCard", "Monthly Minimum Credit Card Payments:"},
    {"DesktopForm", "leCarLoan", "Monthly Car Loan Payments:"},
    {"DesktopForm", "leOtherLoan", "Other Loan Payments:"},
    {"DesktopForm", "Label3", "Annual Income"},
    {"DesktopForm", "leGrossSalary", "Annual Gross Salary:"},
    {"DesktopForm", "leBonus", "Bonus and Overtime:"},
    {"DesktopForm", "leOtherSrc", "Income from other source:"},
    {"DesktopForm", "leAlimony", "Alimony received:"},
    {"DesktopForm", "btnDebtCalc", "Calculate"},
    {"DesktopForm", "lblDebtCalcExample", "Note:"},
    {"DesktopForm", "Label25",
     "Debt Load Calculator will help you choose the suitable debt solution."},
    {"DesktopForm", "lblDebtIncRatio", "Debt Load"},
    {"DesktopForm", "Label1", "Your debt load:"},
    {"DesktopForm", "Label7", "Financial suggestion for you:"},
    {"DesktopForm", "Label9", "Your Debt Load"},
    {"DesktopForm", "Label10", "36% or less"},
    {"DesktopForm", "Label11", kBandComments[0]},
    {"DesktopForm", "Label12", "37% - 42%"},
    {"DesktopForm", "Label13", kBandComments[1]},
    {"DesktopForm", "Label14", "43% - 49%"},
    {"DesktopForm", "Label15", kBandComments[2]},
    {"DesktopForm", "Label16", "50% or more"},
    {"DesktopForm", "Label17", kBandComments[3]},
    {"DesktopForm", "btnReview", "Review"},
    {"DesktopForm", "Label8",
     "By filling out this short form you will get FREE counseling & analysis over the phone "
     "ASAP."},
    {"DesktopForm", "Label23", "We take your privacy very seriously."},
    {"DesktopForm", "leFullName", "Full Name:"},
    {"DesktopForm", "leEmail", "Email Address:"},
    {"DesktopForm", "leStreetAddress", "Street Address:"},
    {"DesktopForm", "leZipCode", "Zip Code:"},
    {"DesktopForm", "lePhone", "Best Phone:"},
    {"DesktopForm", "leBestTime", "Best time to call:"},
    {"DesktopForm", "Label22", "Debt Amount:"},
    {"DesktopForm", "cboDebtAmount", "Debt Amount:"},
    {"DesktopForm", "btnFreeCounsel", "Submit"},
    {"DesktopForm", "Label26", "*"},
    {"DesktopForm", "Label27", "*"},
    {"DesktopForm", "Label28", "*"},
    {"DesktopForm", "Label29", "*"},
    {"DesktopForm", "Label30", "*"},
    {"DesktopForm", "Label31", "denotes required field"},
    {"DesktopForm", "lblReferFriend", "Refer a friend to us  "},
    {"DesktopForm", "leFromName", "From Name:"},
    {"DesktopForm", "leFromEmail", "From Email:"},
    {"DesktopForm", "leSendToName", "Send To Name:"},
    {"DesktopForm", "leSendToEmail", "Send to Email:"},
    {"DesktopForm", "leSubject", "Subject:"},
    {"DesktopForm", "Label21", "Comment:"},
    {"DesktopForm", "memComments", "Comment:"},
    {"DesktopForm", "btnSendEmail", "Send Email"},
    {"DesktopForm", "btnReset", "Reset"},
    {"DesktopForm", "Label18", "Help us Improve"},
    {"DesktopForm", "btnHelpImprove", "Submit"},
    {"DesktopForm", "Label20", "Marrowvale Desktop"},
    {"DesktopForm", "Label34", "Contact Details"},
    {"DesktopForm", "Label37", "Toll-Free "},
    {"DesktopForm", "Label38", ")"},
    {"DesktopForm", "Label39",
     "Give us a call to get a free consultation ( between 9 AM and 6 PM PST )"},
    {"DesktopForm", "Label41", "Fax"},
    {"DesktopForm", "Label42", ")"},
    {"DesktopForm", "Label43", "( or fax us your financial problem )"},
    {"DesktopForm", "Label46", "Community Manager"},
    {"DesktopForm", "Label47", ")"},
};

// What Window shows for Control: its caption when Control is empty; a label's, a button's or
// a group frame's text; for any other control the text of the label that names it (its buddy).
inline QString ShownText(QWidget* Window, const QString& Control) {
  if (Control.isEmpty()) return Window->windowTitle();
  const auto found = Window->findChildren<QWidget*>(Control);
  if (found.size() != 1) return QString("<%1 controls>").arg(found.size());
  QWidget* control = found.front();
  if (auto* label = qobject_cast<QLabel*>(control)) return label->text();
  if (auto* button = qobject_cast<QAbstractButton*>(control)) return button->text();
  if (auto* group = qobject_cast<QGroupBox*>(control)) return group->title();
  for (QLabel* label : Window->findChildren<QLabel*>()) {
    if (label->buddy() == control) return label->text();
  }
  return "<no caption label>";
}

// Every entry of Window's form that Window does not show, as "control: shown".
inline QStringList TextMismatches(QWidget* Window) {
  QStringList wrong;
  bool known = false;
  for (const TText& entry : kTexts) {
    if (Window->objectName() != QLatin1String(entry.Window)) continue;
    known = true;
    const QString shown = ShownText(Window, entry.Control);
    if (shown != QString::fromUtf8(entry.Text))
      wrong << QString("%1: %2").arg(entry.Control, shown);
  }
  if (!known) wrong << "no texts for the form " + Window->objectName();
  return wrong;
}

}  // namespace systemtexts
