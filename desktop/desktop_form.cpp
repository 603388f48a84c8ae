#include "desktop/desktop_form.h"

#include <QCloseEvent>
#include <QDesktopServices>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <QStackedLayout>
#include <QStyleOptionButton>
#include <QUrl>
#include <QVBoxLayout>

#include "data/quillby_data.h"
#include "deployment.h"
#include "desktop/artwork.h"
#include "desktop/debt_calc.h"
#include "desktop/look.h"
#include "desktop/pie_chart.h"
#include "dialogs/ansi.h"
#include "dialogs/app_events.h"
#include "platform/exception.h"

namespace {

constexpr int kClientWidth = 772;
constexpr int kClientHeight = 553;
constexpr int kHeaderHeight = 87;
constexpr int kStatusHeight = 19;
constexpr int kSideWidth = 153;
// A page's panel, above its 15-pixel footer.
constexpr int kPageWidth = 611;
constexpr int kPanelHeight = 401;

void Paint(QWidget* widget, const QColor& background) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::Window, background);
  widget->setPalette(palette);
  widget->setAutoFillBackground(true);
}

void SetTextColour(QWidget* widget, const QColor& colour) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::WindowText, colour);
  widget->setPalette(palette);
}

template <class T = QLabel>
T* MakeLabel(QWidget* parent, const char* name, const QString& text, int left, int top,
             const QFont& font, const QColor& colour = Qt::black) {
  auto* label = new T(text, parent);
  label->setObjectName(name);
  // Texts are shown as they are; a stored name that looks like markup must not be rendered.
  label->setTextFormat(Qt::PlainText);
  label->setFont(font);
  SetTextColour(label, colour);
  label->move(left, top);
  label->adjustSize();
  return label;
}

QLabel* MakePicture(QWidget* parent, const char* name, const QRect& place, const QPixmap& picture,
                    bool stretch) {
  auto* image = new QLabel(parent);
  image->setObjectName(name);
  image->setGeometry(place);
  image->setScaledContents(stretch);
  image->setPixmap(picture);
  image->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  return image;
}

// A section heading: white bold text centred on dark teal, 20 high across the page.
QLabel* MakeBand(QWidget* parent, const char* name, const QString& text, int top,
                 const QFont& font = look::SansFont(11, true), int left = 0, int width = kPageWidth,
                 int height = 20) {
  auto* band = new QLabel(text, parent);
  band->setObjectName(name);
  band->setFont(font);
  band->setAlignment(Qt::AlignCenter);
  band->setGeometry(left, top, width, height);
  Paint(band, look::kDarkTeal);
  SetTextColour(band, Qt::white);
  return band;
}

// The frame every page shares: a panel in the window's colour above a footer label. Their
// sizes are fixed, as the pages' contents are placed in pixels; whatever the style's tab frame
// leaves over stays in the window's green around them.
QWidget* MakePageFrame(QWidget* page, const char* panelName, QLabel*& footer,
                       const char* footerName, const QString& footerText) {
  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  auto* panel = new QWidget(page);
  panel->setObjectName(panelName);
  panel->setFont(look::SansFont());
  panel->setFixedSize(kPageWidth, kPanelHeight);
  Paint(panel, look::kMoneyGreen);
  footer = new QLabel(footerText, page);
  footer->setObjectName(footerName);
  footer->setFont(look::ArialFont(12, true, true));
  footer->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  footer->setFixedSize(kPageWidth, 15);
  SetTextColour(footer, look::kDarkTeal);
  Paint(footer, look::kMoneyGreen);
  layout->addStretch(1);
  layout->addWidget(panel, 0, Qt::AlignHCenter);
  layout->addWidget(footer, 0, Qt::AlignHCenter);
  return panel;
}

// A label that follows another on the same line: at its designed left, or just after the
// other when the font on this machine runs wider than the designed one.
QLabel* FollowOn(QLabel* label, const QLabel* before) {
  const int after = before->geometry().right() + 1;
  if (label->x() < after) label->move(after, label->y());
  return label;
}

QUrl SiteUrl(const QString& path) {
  QUrl url;
  url.setScheme(QString::fromLatin1(deployment::kWebScheme));
  url.setHost(QString::fromLatin1(deployment::kWebHost));
  const int standard = url.scheme() == QLatin1String("https") ? 443 : 80;
  if (deployment::kWebPort != standard) url.setPort(deployment::kWebPort);
  url.setPath(path);
  return url;
}

}  // namespace

void TLinkLabel::mouseReleaseEvent(QMouseEvent* event) {
  QLabel::mouseReleaseEvent(event);
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
    emit Clicked();
  }
}

TButtonTabBar::TButtonTabBar(QWidget* parent) : QTabBar(parent) {
  setExpanding(false);
  setUsesScrollButtons(false);
  setDrawBase(false);
}

QSize TButtonTabBar::tabSizeHint(int) const { return QSize(kTabWidth, kTabHeight); }

void TButtonTabBar::paintEvent(QPaintEvent*) {
  Guard(this, [this] {
    QPainter painter(this);
    for (int i = 0; i < count(); ++i) {
      const QRect place = tabRect(i).adjusted(1, 1, -1, -1);
      const bool active = i == currentIndex();
      QStyleOptionButton button;
      button.initFrom(this);
      button.rect = place;
      button.state |= active ? (QStyle::State_Sunken | QStyle::State_On) : QStyle::State_Raised;
      style()->drawControl(QStyle::CE_PushButtonBevel, &button, &painter, this);
      if (FOnDrawTab) {
        painter.save();
        FOnDrawTab(painter, i, place.adjusted(3, 3, -3, -3), active);
        painter.restore();
      }
    }
  });
}

TPageControl::TPageControl(QWidget* parent) : QTabWidget(parent), FTabBar(new TButtonTabBar) {
  setTabBar(FTabBar);
  setFont(look::SansFont(11, true));
}

TDesktopForm::TDesktopForm(TQuillbyData& Data, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      FData(Data) {
  setObjectName("DesktopForm");
  setWindowTitle("Quillby Desktop");
  setFixedSize(kClientWidth, kClientHeight);
  setFont(look::SansFont());
  Paint(this, look::kMoneyGreen);

  BuildHeader();
  BuildSideBar();
  BuildPages();

  sbDesktop = new QStatusBar(this);
  sbDesktop->setObjectName("sbDesktop");
  sbDesktop->setSizeGripEnabled(false);
  sbDesktop->setGeometry(0, kClientHeight - kStatusHeight, kClientWidth, kStatusHeight);

  leRent->setFocus();
  Guard(this, [this] { FormCreate(); });
}

void TDesktopForm::BuildHeader() {
  pnlTop = new QWidget(this);
  pnlTop->setObjectName("pnlTop");
  pnlTop->setGeometry(0, 0, kClientWidth, kHeaderHeight);
  Paint(pnlTop, Qt::white);

  imgLogo = MakePicture(pnlTop, "imgLogo", QRect(0, 0, 117, 87), artwork::Logo(), false);
  lblTitle = MakeLabel(pnlTop, "lblTitle", "Marrowvale Desktop", 264, 24,
                       look::ArialFont(24, true, true), look::kTitleOrange);
  lblUserName = MakeLabel(pnlTop, "lblUserName", "Welcome", 152, 66, look::SansFont(11, true),
                          look::kSeaGreen);

  QFont underlined = look::SansFont();
  underlined.setUnderline(true);
  lblLogout =
      MakeLabel<TLinkLabel>(pnlTop, "lblLogout", "Logout", 0, 68, underlined, QColor(0, 128, 0));
  lblLogout->setAlignment(Qt::AlignRight | Qt::AlignTop);
  lblLogout->move(kClientWidth - 12 - lblLogout->width(), 68);
  lblLogout->setCursor(Qt::PointingHandCursor);
  lblLogout->hide();
  GuardedConnect(lblLogout, &TLinkLabel::Clicked, this, [this] { lblLogoutClick(); });
}

void TDesktopForm::BuildSideBar() {
  pnlLeft = new QWidget(this);
  pnlLeft->setObjectName("pnlLeft");
  const int sideHeight = kClientHeight - kHeaderHeight - kStatusHeight;
  pnlLeft->setGeometry(0, kHeaderHeight, kSideWidth, sideHeight);
  Paint(pnlLeft, Qt::white);

  imgSplash =
      MakePicture(pnlLeft, "imgSplash", QRect(0, 0, kSideWidth, 205), artwork::SideBanner(), false);

  Panel3 = new QWidget(pnlLeft);
  Panel3->setObjectName("Panel3");
  Panel3->setGeometry(0, sideHeight - 242, kSideWidth, 242);
  Paint(Panel3, Qt::white);
  Image3 = MakePicture(Panel3, "Image3", QRect(4, 17, 144, 53), artwork::CommunityStrip(), true);
  Image2 = MakePicture(Panel3, "Image2", QRect(0, 96, 53, 82), artwork::Quill(), false);
  Image4 = MakePicture(Panel3, "Image4", QRect(56, 97, 97, 72), artwork::House(), true);

  QFont link = look::SansFont();
  link.setUnderline(true);
  Label4 = MakeLabel<TLinkLabel>(Panel3, "Label4", "Visit Us", 45, 192, link, look::kSeaGreen);
  Label5 =
      MakeLabel<TLinkLabel>(Panel3, "Label5", "Join the community", 21, 210, link, look::kSeaGreen);
  for (TLinkLabel* label : {Label4, Label5}) label->setCursor(Qt::PointingHandCursor);
  GuardedConnect(Label4, &TLinkLabel::Clicked, this, [this] { Label4Click(); });
  GuardedConnect(Label5, &TLinkLabel::Clicked, this, [this] { Label5Click(); });
}

void TDesktopForm::BuildPages() {
  pgcDesktop = new TPageControl(this);
  pgcDesktop->setObjectName("pgcDesktop");
  pgcDesktop->setGeometry(kSideWidth, kHeaderHeight, 619, 447);
  pgcDesktop->ButtonTabBar()->SetOnDrawTab(
      [this](QPainter& Canvas, int TabIndex, const QRect& Rect, bool Active) {
        pgcDesktopDrawTab(Canvas, TabIndex, Rect, Active);
      });

  auto addPage = [this](const char* name, const char* caption) {
    auto* page = new QWidget;
    page->setObjectName(name);
    page->setFont(look::SansFont());
    Paint(page, look::kMoneyGreen);
    pgcDesktop->addTab(page, caption);
    return page;
  };
  tsDebtCalc = addPage("tsDebtCalc", "Debt Load Calc");
  tsFreeCounsel = addPage("tsFreeCounsel", "Free Counseling");
  tsReferFriend = addPage("tsReferFriend", "Refer a friend");
  tsHelpImprove = addPage("tsHelpImprove", "Help us improve");
  tsAbout = addPage("tsAbout", "About Quillby");

  BuildDebtCalc();
  pnlFreeCounsel = MakePageFrame(tsFreeCounsel, "pnlFreeCounsel", Label6, "Label6",
                                 QStringLiteral("Signup to ") + deployment::kWebHost);
  pnlReferFriend = MakePageFrame(tsReferFriend, "pnlReferFriend", lblReferFriend, "lblReferFriend",
                                 "Refer a friend to us  ");
  pnlHelpImprove =
      MakePageFrame(tsHelpImprove, "pnlHelpImprove", Label18, "Label18", "Help us Improve");
  BuildAbout();
  pgcDesktop->setCurrentWidget(tsDebtCalc);
}

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

  MakeBand(out, "Label9", "Your Debt Load", 200);
  const char* legendNames[4][2] = {{"Label10", "Label11"},
                                   {"Label12", "Label13"},
                                   {"Label14", "Label15"},
                                   {"Label16", "Label17"}};
  for (int band = 0; band < 4; ++band) {
    const auto& entry = debtcalc::kBands[band];
    const int top = 232 + band * 40;
    QLabel* range = MakeLabel(out, legendNames[band][0], entry.Range, 48, top,
                              look::SansFont(13, true), entry.Colour);
    range->setGeometry(48, top, 193, 16);
    range->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    QLabel* comment = MakeLabel(out, legendNames[band][1], entry.Comment, 328, top,
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

void TDesktopForm::BuildAbout() {
  pnlAbout = MakePageFrame(tsAbout, "pnlAbout", Label19, "Label19",
                           "Quillby Desktop 1.0, made by the Marrowvale volunteers  ");
  QWidget* about = pnlAbout;
  const QFont text = look::TimesFont(12);
  const QFont bold = look::TimesFont(12, true);
  const QFont italic = look::TimesFont(12, false, true);

  MakeBand(about, "Label20", "Marrowvale Desktop", 26, look::ArialFont(13, true), 112, 241, 24);

  QLabel* first = MakeLabel(
      about, "Label32",
      "The Marrowvale community helps individuals and families reduce and repay their debts. "
      "Members share tools and tips on repairing credit, on dealing with creditors and "
      "collection agencies, and on keeping a budget that works.",
      112, 64, text);
  first->setWordWrap(true);
  first->setGeometry(112, 64, 455, 61);
  first->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  QLabel* second = MakeLabel(
      about, "Label33",
      "Our goal is to see you debt free, with a better credit rating and without collection "
      "agencies at your door. We give you unbiased information, so that you can weigh the "
      "ways out of debt, credit counselling and budgeting, and choose what suits you.",
      112, 131, text);
  second->setWordWrap(true);
  second->setGeometry(112, 131, 446, 81);
  second->setAlignment(Qt::AlignLeft | Qt::AlignTop);

  MakeLabel(about, "Label34", "Contact Details", 112, 215, bold);
  MakeLabel(about, "Label35",
            "Marrowvale Community Debt Services\n214 Harbour Lane, Suite 5\n"
            "Marrowvale, OR 97035",
            112, 236, text);

  QLabel* phones = MakeLabel(about, "Label36", "1-800-555-0142, 1-800-555-0143  (", 112, 290, text);
  QLabel* tollFree = FollowOn(MakeLabel(about, "Label37", "Toll-Free ", 300, 290, bold), phones);
  FollowOn(MakeLabel(about, "Label38", ")", 352, 290, text), tollFree);
  MakeLabel(about, "Label39",
            "Give us a call to get a free consultation ( between 9 AM and 6 PM PST )", 112, 305,
            italic);

  QLabel* fax = MakeLabel(about, "Label40", "1-800-555-0190, 1-800-555-0191 (", 112, 331, text);
  QLabel* faxWord =
      FollowOn(MakeLabel(about, "Label41", "Fax", 297, 331, look::TimesFont(13, true, true)), fax);
  FollowOn(MakeLabel(about, "Label42", ")", 321, 331, text), faxWord);
  MakeLabel(about, "Label43", "( or fax us your financial problem )", 112, 346, italic);

  QLabel* mail = MakeLabel(about, "Label44",
                           QString::fromLatin1(deployment::kManagerAddress) + " (", 112, 371, text);
  QLabel* manager =
      FollowOn(MakeLabel(about, "Label46", "Community Manager", 288, 371, bold), mail);
  FollowOn(MakeLabel(about, "Label47", ")", 403, 371, text), manager);
}

std::array<QLineEdit*, 8> TDesktopForm::AmountBoxes() const {
  return {leRent,        leCreditCard, leCarLoan,  leOtherLoan,
          leGrossSalary, leBonus,      leOtherSrc, leAlimony};
}

void TDesktopForm::FormCreate() {
  lblUserName->setText(QStringLiteral("Welcome ") + FromAnsi(FData.CurrentUserFullName()));
  lblUserName->adjustSize();

  TDebtFigures figures;
  if (FData.LoadDebtCalc(0, figures)) {
    const Currency amounts[] = {figures.Rent,      figures.CrCard,   figures.CarLoan,
                                figures.OtherLoan, figures.GrossSal, figures.Bonus,
                                figures.OtherSrc,  figures.Alimony};
    const auto boxes = AmountBoxes();
    for (size_t i = 0; i < boxes.size(); ++i) boxes[i]->setText(debtcalc::FormatAmount(amounts[i]));
  }
}

void TDesktopForm::pgcDesktopDrawTab(QPainter& Canvas, int TabIndex, const QRect& Rect, bool) {
  Canvas.setFont(pgcDesktop->font());
  Canvas.setPen(palette().color(QPalette::WindowText));
  Canvas.fillRect(Rect, look::kMoneyGreen);
  Canvas.drawText(Rect, Qt::AlignCenter | Qt::TextSingleLine, pgcDesktop->tabText(TabIndex));
}

QUrl TDesktopForm::HomePageUrl() { return SiteUrl("/"); }
QUrl TDesktopForm::ForumsUrl() { return SiteUrl("/forums"); }

void TDesktopForm::Label4Click() { QDesktopServices::openUrl(HomePageUrl()); }
void TDesktopForm::Label5Click() { QDesktopServices::openUrl(ForumsUrl()); }

void TDesktopForm::lblLogoutClick() {
  FData.Close();
  close();
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

bool TDesktopForm::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    const auto boxes = AmountBoxes();
    if (std::find(boxes.begin(), boxes.end(), watched) != boxes.end()) {
      bool discard = false;
      Guard(this, [&] { discard = leRentKeyPress(static_cast<QKeyEvent*>(event)); });
      return discard;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void TDesktopForm::closeEvent(QCloseEvent* event) {
  QWidget::closeEvent(event);
  if (event->isAccepted()) emit Closed();
}

void TDesktopForm::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!FCentred) {
    FCentred = true;
    if (const QScreen* screen = this->screen()) {
      move(screen->availableGeometry().center() - rect().center());
    }
  }
}
