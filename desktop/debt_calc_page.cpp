#include <QKeyEvent>
#include <QStackedLayout>

#include "data/quillby_data.h"
#include "desktop/artwork.h"
#include "desktop/debt_calc.h"
#include "desktop/desktop_form.h"
#include "desktop/page.h"
#include "desktop/pie_chart.h"
#include "dialogs/app_events.h"
#include "platform/exception.h"

// The debt load calculator: eight amounts in, the debt load, its band and a pie out.

using namespace page;

void TDesktopForm::BuildDebtCalc() {
  // Both panels share the area above the footer and take turns in front.
  QWidget* host = MakePageFrame(tsDebtCalc, "pnlDebtCalc", lblDebtCalc, "lblDebtCalc",
                                "Debt Load Calculator  ");
  host->setObjectName(QString());
  FDebtCalcPanels = new QStackedLayout(host);
  FDebtCalcPanels->setContentsMargins(0, 0, 0, 0);
  pnlDebtCalc1 = new QWidget;
  pnlDebtCalc1->setObjectName("pnlDebtCalc1");
  pnlDebtCalc2 = new QWidget;
  pnlDebtCalc2->setObjectName("pnlDebtCalc2");
  for (QWidget* panel : {pnlDebtCalc1, pnlDebtCalc2}) {
    Paint(panel, look::kMoneyGreen);
    FDebtCalcPanels->addWidget(panel);
  }

  // Inputs.
  QWidget* in = pnlDebtCalc1;
  MakeBand(in, "Label2", "Monthly Debt Repayment", 16);
  MakeBand(in, "Label3", "Annual Income", 152);
  struct Box {
    QLineEdit*& Edit;
    const char* Name;
    const char* Caption;
    int Top;
  };
  const Box boxes[] = {
      {leRent, "leRent", "Monthly Mortgage or Rent:", 48},
      {leCreditCard, "leCreditCard", "Monthly Minimum Credit Card Payments:", 72},
      {leCarLoan, "leCarLoan", "Monthly Car Loan Payments:", 96},
      {leOtherLoan, "leOtherLoan", "Other Loan Payments:", 120},
      {leGrossSalary, "leGrossSalary", "Annual Gross Salary:", 184},
      {leBonus, "leBonus", "Bonus and Overtime:", 208},
      {leOtherSrc, "leOtherSrc", "Income from other source:", 232},
      {leAlimony, "leAlimony", "Alimony received:", 256},
  };
  for (const Box& box : boxes) {
    box.Edit = new QLineEdit(in);
    box.Edit->setObjectName(box.Name);
    box.Edit->setGeometry(312, box.Top, 81, 21);
    // Typed text goes through the key filter; composed input would slip past it.
    box.Edit->setAttribute(Qt::WA_InputMethodEnabled, false);
    auto* caption = new QLabel(box.Caption, in);
    caption->setObjectName(QString(box.Name) + "Label");
    caption->adjustSize();
    caption->move(312 - 3 - caption->width(), box.Top + (21 - caption->height()) / 2);
    caption->setBuddy(box.Edit);
    box.Edit->installEventFilter(this);
    GuardedConnect(box.Edit, &QLineEdit::textChanged, this, [this] { leDebtRatioChange(); });
  }

  btnDebtCalc = new QPushButton(QIcon(artwork::CalculatorGlyph()), "Calculate", in);
  btnDebtCalc->setObjectName("btnDebtCalc");
  btnDebtCalc->setGeometry(239, 288, 137, 25);
  btnDebtCalc->setEnabled(false);
  GuardedConnect(btnDebtCalc, &QPushButton::clicked, this, [this] { btnDebtCalcClick(); });
  for (size_t i = 0; i + 1 < std::size(boxes); ++i) setTabOrder(boxes[i].Edit, boxes[i + 1].Edit);
  setTabOrder(leAlimony, btnDebtCalc);

  MakeLabel(in, "lblDebtCalcExample", "Note:", 8, 341, look::SansFont(11, true), look::kMaroon);
  MakeLabel(in, "Label25", "Debt Load Calculator will help you choose the suitable debt solution.",
            48, 341, look::SansFont());

  // Result.
  QWidget* out = pnlDebtCalc2;
  MakeBand(out, "lblDebtIncRatio", "Debt Load", 8);
  MakeLabel(out, "Label1", "Your debt load:", 48, 40, look::SansFont(13, true));
  lblDebtRatioVal = MakeLabel(out, "lblDebtRatioVal", "", 392, 40, look::SansFont(13, true));
  lblDebtRatioVal->setGeometry(392, 40, 89, 16);
  lblDebtRatioVal->setAlignment(Qt::AlignRight | Qt::AlignTop);
  MakeLabel(out, "Label7", "Financial suggestion for you:", 48, 64, look::SansFont(13, true));
  lblDebtRatioComment = MakeLabel(out, "lblDebtRatioComment", "", 328, 64, look::SansFont(13));
  lblDebtRatioComment->setGeometry(328, 64, 269, 41);
  lblDebtRatioComment->setWordWrap(true);
  lblDebtRatioComment->setAlignment(Qt::AlignLeft | Qt::AlignTop);

  chtDebtRatio = new TPieChart(out);
  chtDebtRatio->setObjectName("chtDebtRatio");
  chtDebtRatio->setGeometry(16, 104, 585, 89);
  chtDebtRatio->setAccessibleName("Debt load chart");

  MakeBand(out, "Label9", "Your Debt Load", 200);
  for (int band = 0; band < debtcalc::kBandCount; ++band) {
    const auto& entry = debtcalc::kBands[band];
    const int top = 232 + band * 40;
    QLabel* range = MakeLabel(out, entry.RangeLabel, debtcalc::RangeText(band), 48, top,
                              look::SansFont(13, true), entry.Colour);
    range->setGeometry(48, top, 193, 16);
    range->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    QLabel* comment = MakeLabel(out, entry.CommentLabel, entry.Comment, 328, top,
                                look::SansFont(13), entry.Colour);
    comment->setGeometry(328, top, 269, 41);
    comment->setWordWrap(true);
    comment->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  }

  btnReview = new QPushButton(QIcon(artwork::ReviewGlyph()), "Review", out);
  btnReview->setObjectName("btnReview");
  btnReview->setGeometry(8, 376, 81, 25);
  GuardedConnect(btnReview, &QPushButton::clicked, this, [this] { btnReviewClick(); });

  FDebtCalcPanels->setCurrentWidget(pnlDebtCalc1);
}

std::array<QLineEdit*, 8> TDesktopForm::AmountBoxes() const {
  return {leRent,        leCreditCard, leCarLoan,  leOtherLoan,
          leGrossSalary, leBonus,      leOtherSrc, leAlimony};
}

bool TDesktopForm::leRentKeyPress(QKeyEvent* Event) {
  // Only typed characters are filtered; keys without text and control characters
  // (Backspace, Tab, Enter, Esc) go on as they are, and so do the Ctrl and Ctrl+Shift chords,
  // which the box takes as editing shortcuts and never as text. Any other chord that carries a
  // character (Meta, AltGr, Ctrl on the keypad) would type it.
  const QString text = Event->text();
  if (text.isEmpty()) return false;
  const QChar key = text.front();
  const auto modifiers = Event->modifiers();
  const bool shortcut =
      modifiers == Qt::ControlModifier || modifiers == (Qt::ControlModifier | Qt::ShiftModifier);
  if (shortcut && key.category() != QChar::Other_Format) return false;
  if (key.unicode() < 0x20 || key.unicode() == 0x7f) return false;
  const bool passes = text.size() == 1 && ((key >= QLatin1Char('0') && key <= QLatin1Char('9')) ||
                                           key == QLatin1Char('.'));
  return !passes;
}

void TDesktopForm::leDebtRatioChange() {
  const auto boxes = AmountBoxes();
  const auto holdsText = [](const QLineEdit* box) { return !box->text().isEmpty(); };
  const bool debts = std::any_of(boxes.begin(), boxes.begin() + 4, holdsText);
  const bool income = std::any_of(boxes.begin() + 4, boxes.end(), holdsText);
  btnDebtCalc->setEnabled(debts && income);
}

void TDesktopForm::btnDebtCalcClick() {
  const auto boxes = AmountBoxes();
  std::array<Currency, 8> amounts;
  for (size_t i = 0; i < boxes.size(); ++i) amounts[i] = debtcalc::ParseAmount(boxes[i]->text());
  const Currency debts = amounts[0] + amounts[1] + amounts[2] + amounts[3];
  const Currency income = amounts[4] + amounts[5] + amounts[6] + amounts[7];
  if (income <= Currency()) throw Exception("You must specify the breakup for your total income.");

  FData.SaveDebtCalc(0, TDebtFigures{amounts[0], amounts[1], amounts[2], amounts[3], amounts[4],
                                     amounts[5], amounts[6], amounts[7]});

  const double ratio = debtcalc::Ratio(debts, income);
  lblDebtRatioVal->setText(debtcalc::FormatDebtLoad(ratio));
  const auto& band = debtcalc::kBands[debtcalc::BandOf(ratio)];
  lblDebtRatioComment->setText(band.Comment);
  SetTextColour(lblDebtRatioComment, band.Colour);

  chtDebtRatio->Clear();
  chtDebtRatio->AddXY(1, ratio, "Income used to pay your debt", QColor(255, 0, 0));
  chtDebtRatio->AddXY(2, 1 - ratio, "Income used for other purpose", QColor(0, 0, 255));
  FDebtCalcPanels->setCurrentWidget(pnlDebtCalc2);
}

void TDesktopForm::btnReviewClick() { FDebtCalcPanels->setCurrentWidget(pnlDebtCalc1); }
