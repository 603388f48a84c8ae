#include <algorithm>
#include <memory>
#include <string>

#include "data/quillby_data.h"
#include "deployment.h"
#include "desktop/artwork.h"
#include "desktop/desktop_form.h"
#include "desktop/fax_sheet.h"
#include "desktop/input_checks.h"
#include "desktop/page.h"
#include "dialogs/ansi.h"
#include "dialogs/app_events.h"
#include "dialogs/cursor.h"
#include "dialogs/glyphs.h"
#include "dialogs/labeled_edit.h"
#include "dialogs/signup_dialog.h"
#include "platform/exception.h"
#include "sending/requests.h"

// The Free Counseling tab: a short form posted to the service, stored once the service has it.

using namespace page;

namespace {

// The boxes of the signup's stored fields, in the order of TSignup::kStoredFields.
TLabeledEdit* TDesktopForm::*const kSignupBoxes[] = {
    &TDesktopForm::leFullName, &TDesktopForm::leEmail, &TDesktopForm::leStreetAddress,
    &TDesktopForm::leZipCode,  &TDesktopForm::lePhone, &TDesktopForm::leBestTime,
};
static_assert(std::size(kSignupBoxes) == std::size(TSignup::kStoredFields));

}  // namespace

void TDesktopForm::BuildFreeCounsel() {
  pnlFreeCounsel = MakePageFrame(tsFreeCounsel, "pnlFreeCounsel", Label6, "Label6",
                                 QStringLiteral("Signup to ") + deployment::kWebHost);
  QWidget* panel = pnlFreeCounsel;

  Label8 = MakeLabel(panel, "Label8",
                     "By filling out this short form you will get FREE counseling & analysis over "
                     "the phone ASAP.",
                     16, 24, look::SansFont());
  // One line, as designed, also where the fallback face runs wider than the designed one.
  Label8->setWordWrap(true);
  Label8->setFixedWidth(
      std::clamp(Label8->fontMetrics().horizontalAdvance(Label8->text()) + 2, 422, 579));
  Label8->adjustSize();
  Image1 = MakePicture(panel, "Image1", QRect(8, 48, 179, 298), artwork::CounselBenefits(), false);
  Image1->setAccessibleName("Benefits of free counseling");
  Label23 = MakeLabel(panel, "Label23", "We take your privacy very seriously.", 200, 48,
                      look::SansFont());
  Label23->setGeometry(200, 48, 273, 16);
  Label23->setAlignment(Qt::AlignCenter);
  Paint(Label23, QColor(242, 243, 224));

  auto box = [this, panel](const char* name, const char* caption, int top, int width) {
    auto* edit = new TLabeledEdit(panel, name, caption, TLabeledEdit::lpLeft, 3);
    edit->SetBounds(272, top, width, 21);
    GuardedConnect(edit, &QLineEdit::textChanged, this, [this] { leFreeCounselChange(); });
    return edit;
  };
  leFullName = box("leFullName", "Full Name:", 70, 129);
  leEmail = box("leEmail", "Email Address:", 102, 201);
  leStreetAddress = box("leStreetAddress", "Street Address:", 134, 201);
  leZipCode = box("leZipCode", "Zip Code:", 166, 89);
  lePhone = box("lePhone", "Best Phone:", 198, 89);
  leBestTime = box("leBestTime", "Best time to call:", 230, 201);
  for (size_t i = 0; i < std::size(kSignupBoxes); ++i) {
    LimitLength(this->*kSignupBoxes[i],
                ColumnWidth("Counselling", TSignup::kStoredFields[i].Column));
  }

  Label22 = MakeLabel(panel, "Label22", "Debt Amount:", 204, 266, look::SansFont());
  cboDebtAmount = new QComboBox(panel);
  cboDebtAmount->setObjectName("cboDebtAmount");
  cboDebtAmount->setEditable(false);
  cboDebtAmount->addItems({"Not sure", "$0 - $5000", "$5001 - $10000", "$10001 - $15000",
                           "$15001 - $20000", "More than $20000"});
  cboDebtAmount->setCurrentIndex(-1);
  cboDebtAmount->setGeometry(272, 262, 145, 21);
  Label22->setBuddy(cboDebtAmount);
  Label22->move(272 - 3 - Label22->width(), Label22->y());

  btnFreeCounsel = MakeButton(panel, "btnFreeCounsel", "Submit", KindGlyph(TBitBtnKind::OK),
                              KindGlyph(TBitBtnKind::OK, true), QRect(260, 310, 153, 25));
  btnFreeCounsel->setEnabled(false);
  GuardedConnect(btnFreeCounsel, &QPushButton::clicked, this, [this] { btnFreeCounselClick(); });

  // Required-field markers, left of their captions, and the legend.
  const QFont marker = look::Font({"Verdana", "DejaVu Sans"}, 11, true, false);
  const struct {
    const char* Name;
    int Left, Top;
  } markers[] = {{"Label26", 208, 74},
                 {"Label27", 189, 106},
                 {"Label28", 210, 170},
                 {"Label29", 200, 202},
                 {"Label30", 258, 290}};
  for (const auto& m : markers) MakeLabel(panel, m.Name, "*", m.Left, m.Top, marker, Qt::red);
  MakeLabel(panel, "Label31", "denotes required field", 270, 290, look::SansFont());

  QWidget* order[] = {leFullName, leEmail,    leStreetAddress, leZipCode,
                      lePhone,    leBestTime, cboDebtAmount,   btnFreeCounsel};
  for (size_t i = 0; i + 1 < std::size(order); ++i) setTabOrder(order[i], order[i + 1]);
  for (TLabeledEdit* TDesktopForm::*box : kSignupBoxes) ClickOnEnter(this->*box, btnFreeCounsel);
}

void TDesktopForm::leFreeCounselChange() {
  btnFreeCounsel->setEnabled(!leFullName->text().isEmpty() && !leEmail->text().isEmpty() &&
                             !leZipCode->text().isEmpty() && !lePhone->text().isEmpty());
}

void TDesktopForm::btnFreeCounselClick() {
  TSignup signup;
  for (size_t i = 0; i < std::size(kSignupBoxes); ++i) {
    signup.*TSignup::kStoredFields[i].Value = ToAnsi((this->*kSignupBoxes[i])->text());
  }
  signup.DebtAmount = ToAnsi(cboDebtAmount->currentText());
  if (signup.FullName.empty() || signup.Email.empty() || signup.ZipCode.empty() ||
      signup.BestPhone.empty()) {
    throw Exception(
        "Invalid information entered.\r\n\r\n- Name is required.\r\n- Email is required.\r\n- "
        "Zip Code is required.\r\n- Best Phone is required.\r\n\r\nPlease correct these fields.");
  }
  if (!IsAlphaName(signup.FullName)) {
    leFullName->setFocus();
    throw Exception("Name can have alphabets only.");
  }
  if (!IsValidEmail(signup.Email)) {
    leEmail->setFocus();
    throw Exception("Please enter a valid email id.");
  }
  // The service is told first; a value the store cannot keep must stop the signup before that.
  if (const TSignup::TField* field = signup.TooWide()) {
    (this->*kSignupBoxes[field - TSignup::kStoredFields])->setFocus();
    throw Exception(TSignup::TooWideMessage(*field));
  }
  const auto faxInstead = [this] {
    PreviewFax(
        SignupFax({leFullName->text(), leEmail->text(), leStreetAddress->text(), leZipCode->text(),
                   lePhone->text(), leBestTime->text(), cboDebtAmount->currentText()},
                  FromAnsi(FData.CurrentUserFullName())),
        this);
  };
  if (!CheckOnline(
          "Please feel free to use our \"Free Counseling\" section to sign up at a later time.",
          faxInstead)) {
    return;
  }

  THourGlass hourglass;
  Converse([&] { signup.Post(IdHTTP1); });
  TSignup::Judge(IdHTTP1);
  signup.Store(FData);

  const auto dialog = std::make_unique<TSignupDialog>();
  dialog->lblName->setText(FromAnsi(signup.FullName));
  dialog->lblEmail->setText(FromAnsi(signup.Email));
  dialog->lblStreetAddress->setText(FromAnsi(signup.StreetAddress));
  dialog->lblZipCode->setText(FromAnsi(signup.ZipCode));
  dialog->lblPhone->setText(FromAnsi(signup.BestPhone));
  dialog->Label2->setText(FormatWithText(dialog->Label2->text(), FromAnsi(signup.BestPhone)));
  dialog->lblBestTime->setText(FromAnsi(signup.BestTime));
  dialog->lblDebtAmount->setText(FromAnsi(signup.DebtAmount));
  dialog->ShowModal();

  for (TLabeledEdit* TDesktopForm::*box : kSignupBoxes) (this->*box)->clear();
  cboDebtAmount->setCurrentIndex(-1);
  leFullName->setFocus();
}
