#include <algorithm>
#include <memory>

#include "data/quillby_data.h"
#include "deployment.h"
#include "desktop/artwork.h"
#include "desktop/desktop_form.h"
#include "desktop/input_checks.h"
#include "desktop/page.h"
#include "dialogs/ansi.h"
#include "dialogs/app_events.h"
#include "dialogs/cursor.h"
#include "dialogs/glyphs.h"
#include "dialogs/labeled_edit.h"
#include "dialogs/signup_dialog.h"
#include "net/multipart.h"
#include "platform/exception.h"

// The Free Counseling tab: a short form posted to the service, stored once the service has it.

using namespace page;

namespace {

const char* const kSorry =
    "Sorry, your request could not be completed at this time. Please try again later.";

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
  Image1 = MakePicture(panel, "Image1", QRect(8, 48, 179, 298), artwork::CounselBenefits, false);
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
  for (TLabeledEdit* edit :
       {leFullName, leEmail, leStreetAddress, leZipCode, lePhone, leBestTime}) {
    ClickOnEnter(edit, btnFreeCounsel);
  }
}

void TDesktopForm::leFreeCounselChange() {
  btnFreeCounsel->setEnabled(!leFullName->text().isEmpty() && !leEmail->text().isEmpty() &&
                             !leZipCode->text().isEmpty() && !lePhone->text().isEmpty());
}

void TDesktopForm::btnFreeCounselClick() {
  if (leFullName->text().isEmpty() || leEmail->text().isEmpty() || leZipCode->text().isEmpty() ||
      lePhone->text().isEmpty()) {
    throw Exception(
        "Invalid information entered.\r\n\r\n- Name is required.\r\n- Email is required.\r\n- "
        "Zip Code is required.\r\n- Best Phone is required.\r\n\r\nPlease correct these fields.");
  }
  if (!IsAlphaName(ToAnsi(leFullName->text()))) {
    leFullName->setFocus();
    throw Exception("Name can have alphabets only.");
  }
  if (!IsValidEmail(ToAnsi(leEmail->text()))) {
    leEmail->setFocus();
    throw Exception("Please enter a valid email id.");
  }
  if (!CheckOnline(
          "Please feel free to use our \"Free Counseling\" section to sign up at a later time.")) {
    return;
  }

  THourGlass hourglass;
  net::TIdMultiPartFormDataStream body;
  body.AddField("FldUserType", "1");
  body.AddField("FirstName", ToAnsi(leFullName->text()));
  body.AddField("EmailAddress", ToAnsi(leEmail->text()));
  body.AddField("StreetAddress", ToAnsi(leStreetAddress->text()));
  body.AddField("ZipCode", ToAnsi(leZipCode->text()));
  body.AddField("HomePhone", ToAnsi(lePhone->text()));
  body.AddField("BestTime", ToAnsi(leBestTime->text()));
  body.AddField("DebtAmount", ToAnsi(cboDebtAmount->currentText()));
  body.AddField("ActionButton", "quillbyapp");

  Converse([&] {
    try {
      IdHTTP1.PostForm("/signup/dbsignup.html", body);
    } catch (const std::exception&) {
      // The reply is judged by its status and Location alone, which the post leaves readable.
    }
  });
  if (IdHTTP1.StatusCode() != 302) throw Exception(kSorry);
  const std::string location = IdHTTP1.Location();
  if (location.find("emailexists.html") != std::string::npos) {
    throw Exception(
        "The email entered already exists!\r\n\r\nPlease try with a different email id.");
  }
  if (location.find("thank-you.html") == std::string::npos) throw Exception(kSorry);

  FData.AddCounselling(0, ToAnsi(leFullName->text()), ToAnsi(leEmail->text()),
                       ToAnsi(leStreetAddress->text()), ToAnsi(leZipCode->text()),
                       ToAnsi(lePhone->text()), ToAnsi(leBestTime->text()),
                       ToAnsi(cboDebtAmount->currentText()));

  const auto dialog = std::make_unique<TSignupDialog>();
  dialog->lblName->setText(leFullName->text());
  dialog->lblEmail->setText(leEmail->text());
  dialog->lblStreetAddress->setText(leStreetAddress->text());
  dialog->lblZipCode->setText(leZipCode->text());
  dialog->lblPhone->setText(lePhone->text());
  dialog->Label2->setText(FormatWithText(dialog->Label2->text(), lePhone->text()));
  dialog->lblBestTime->setText(leBestTime->text());
  dialog->lblDebtAmount->setText(cboDebtAmount->currentText());
  dialog->ShowModal();

  for (TLabeledEdit* edit :
       {leFullName, leEmail, leStreetAddress, leZipCode, lePhone, leBestTime}) {
    edit->clear();
  }
  cboDebtAmount->setCurrentIndex(-1);
  leFullName->setFocus();
}
