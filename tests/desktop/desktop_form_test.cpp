#include <gtest/gtest.h>

#include <QAccessible>
#include <QDesktopServices>
#include <QFile>
#include <QImage>
#include <QLocale>
#include <QPainter>
#include <QTest>
#include <QUrl>
#include <map>

#include "deployment.h"
#include "desktop/artwork.h"
#include "desktop/desktop_form.h"
#include "desktop/page.h"
#include "desktop/pie_chart.h"
#include "dialogs/app_events.h"
#include "dialogs/error_report.h"
#include "gui_support.h"
#include "platform/exception.h"
#include "tests/system_texts.h"

namespace {

// Puts the default locale back when a test changed it.
class TLocaleScope {
 public:
  explicit TLocaleScope(const QLocale& locale) { QLocale::setDefault(locale); }
  ~TLocaleScope() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
};

class DesktopFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FData = FStore.Open();
    TTempStore::SignIn(*FData);
  }

  std::unique_ptr<TDesktopForm> MakeForm() {
    auto form = std::make_unique<TDesktopForm>(*FData);
    form->show();
    return form;
  }

  QLineEdit* Box(TDesktopForm& form, const std::string& name) {
    auto* box = form.findChild<QLineEdit*>(QString::fromStdString(name));
    EXPECT_NE(box, nullptr) << name;
    return box;
  }

  bool Saved(TDebtFigures& figures) { return FData->LoadDebtCalc(0, figures); }

  TTempStore FStore;
  std::unique_ptr<TQuillbyData> FData;
  TApplicationEvents FEvents{aevQuillbyException};
};

const char* const kBoxes[] = {"leRent",        "leCreditCard", "leCarLoan",  "leOtherLoan",
                              "leGrossSalary", "leBonus",      "leOtherSrc", "leAlimony"};

struct CalcCase {
  const char* Name;
  // Box name: the text typed and the amount saved for it, in ten-thousandths.
  std::map<std::string, std::pair<const char*, int64_t>> Texts;
  const char* Percent;
  int Band;
  const char* DebtLegend;
  const char* OtherLegend;
};

void PrintTo(const CalcCase& c, std::ostream* os) { *os << c.Name; }

class CalculationTest : public DesktopFormTest, public ::testing::WithParamInterface<CalcCase> {};

TEST_P(CalculationTest, ShowsPercentBandAndPieAndSavesFirst) {
  const CalcCase& c = GetParam();
  auto form = MakeForm();
  for (const auto& [name, typed] : c.Texts) Box(*form, name)->setText(typed.first);
  ASSERT_TRUE(form->btnDebtCalc->isEnabled());
  TMessageCatcher catcher;
  QTest::mouseClick(form->btnDebtCalc, Qt::LeftButton);

  EXPECT_TRUE(catcher.Messages.isEmpty()) << catcher.Messages.join("|").toStdString();
  EXPECT_EQ(form->lblDebtRatioVal->text().toStdString(), c.Percent);
  const QColor bandColours[] = {QColor(0, 102, 102), QColor(0, 128, 0), QColor(0, 0, 255),
                                QColor(255, 0, 0)};
  EXPECT_EQ(form->lblDebtRatioComment->text(), systemtexts::kBandComments[c.Band]);
  EXPECT_EQ(form->lblDebtRatioComment->palette().color(QPalette::WindowText), bandColours[c.Band]);
  ASSERT_EQ(form->chtDebtRatio->Points().size(), 2u);
  EXPECT_EQ(form->chtDebtRatio->LegendText(0).toStdString(),
            std::string("Income used to pay your debt ") + c.DebtLegend);
  EXPECT_EQ(form->chtDebtRatio->LegendText(1).toStdString(),
            std::string("Income used for other purpose ") + c.OtherLegend);
  EXPECT_EQ(form->chtDebtRatio->Points()[0].Color, QColor(255, 0, 0));
  EXPECT_EQ(form->chtDebtRatio->Points()[1].Color, QColor(0, 0, 255));
  EXPECT_TRUE(form->pnlDebtCalc2->isVisible());
  EXPECT_EQ(form->pnlDebtCalc2->size(), QSize(611, 401));
  EXPECT_FALSE(form->pnlDebtCalc1->isVisible());

  // The figures were saved, empty boxes as zero.
  TDebtFigures saved;
  ASSERT_TRUE(Saved(saved));
  const Currency amounts[] = {saved.Rent,     saved.CrCard, saved.CarLoan,  saved.OtherLoan,
                              saved.GrossSal, saved.Bonus,  saved.OtherSrc, saved.Alimony};
  for (int i = 0; i < 8; ++i) {
    const auto typed = c.Texts.find(kBoxes[i]);
    EXPECT_EQ(amounts[i].Raw(), typed == c.Texts.end() ? 0 : typed->second.second) << kBoxes[i];
  }

  // Review brings the inputs back with their texts, and Calculate runs again.
  QTest::mouseClick(form->btnReview, Qt::LeftButton);
  EXPECT_TRUE(form->pnlDebtCalc1->isVisible());
  EXPECT_EQ(Box(*form, c.Texts.begin()->first)->text().toStdString(),
            c.Texts.begin()->second.first);
  EXPECT_TRUE(form->btnDebtCalc->isEnabled());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CalculationTest,
    ::testing::Values(
        CalcCase{"OnTheFirstBound",
                 {{"leRent", {"1800", 18000000}}, {"leGrossSalary", {"60000", 600000000}}},
                 "36.00%",
                 0,
                 "36 %",
                 "64 %"},
        CalcCase{"JustAboveFirstBound",
                 {{"leRent", {"1825", 18250000}}, {"leGrossSalary", {"60000", 600000000}}},
                 "36.50%",
                 1,
                 "36.5 %",
                 "63.5 %"},
        CalcCase{"OnTheSecondBound",
                 {{"leRent", {"2100", 21000000}}, {"leGrossSalary", {"60000", 600000000}}},
                 "42.00%",
                 1,
                 "42 %",
                 "58 %"},
        CalcCase{"SecondBand",
                 {{"leCarLoan", {"2250", 22500000}}, {"leAlimony", {"60000", 600000000}}},
                 "45.00%",
                 2,
                 "45 %",
                 "55 %"},
        CalcCase{"OnTheThirdBound",
                 {{"leOtherLoan", {"2450", 24500000}}, {"leBonus", {"60000", 600000000}}},
                 "49.00%",
                 2,
                 "49 %",
                 "51 %"},
        CalcCase{"AllBoxesSummedExactly",
                 {{"leRent", {"1000", 10000000}},
                  {"leCreditCard", {"200.5", 2005000}},
                  {"leCarLoan", {"150.25", 1502500}},
                  {"leOtherLoan", {"49.25", 492500}},
                  {"leGrossSalary", {"40000", 400000000}},
                  {"leBonus", {"5000", 50000000}},
                  {"leOtherSrc", {"2000.0001", 20000001}},
                  {"leAlimony", {"999.9999", 9999999}}},
                 "35.00%",
                 0,
                 "35 %",
                 "65 %"},
        CalcCase{"DebtsAboveIncome",
                 {{"leRent", {"7500", 75000000}}, {"leGrossSalary", {"60000", 600000000}}},
                 "150.00%",
                 3,
                 "75 %",
                 "-25 %"},
        CalcCase{"ThousandsSeparator",
                 {{"leRent", {"62500", 625000000}}, {"leGrossSalary", {"60000", 600000000}}},
                 "1,250.00%",
                 3,
                 "52.08 %",
                 "-47.92 %"},
        CalcCase{
            "MoreThanFourDecimalsRound",
            {{"leRent", {"1800.00004", 18000000}}, {"leGrossSalary", {"60000.00005", 600000001}}},
            "36.00%",
            0,
            "36 %",
            "64 %"},
        CalcCase{"NoDebts",
                 {{"leRent", {"0", 0}}, {"leGrossSalary", {"1", 10000}}},
                 "0.00%",
                 0,
                 "0 %",
                 "100 %"}),
    [](const auto& info) { return std::string(info.param.Name); });

struct RefusedCase {
  const char* Name;
  std::map<std::string, const char*> Texts;
  const char* Message;
};

void PrintTo(const RefusedCase& c, std::ostream* os) { *os << c.Name; }

class RefusedTest : public DesktopFormTest, public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(RefusedTest, ShowsMessageSavesNothingAndKeepsThePage) {
  const RefusedCase& c = GetParam();
  auto form = MakeForm();
  for (const auto& [name, text] : c.Texts) Box(*form, name)->setText(text);
  ASSERT_TRUE(form->btnDebtCalc->isEnabled());
  TMessageCatcher catcher;
  QTest::mouseClick(form->btnDebtCalc, Qt::LeftButton);
  ASSERT_TRUE(WaitFor([&] { return !catcher.Messages.isEmpty(); }));
  EXPECT_EQ(catcher.Messages.join("|").toStdString(), c.Message);
  TDebtFigures saved;
  EXPECT_FALSE(Saved(saved));
  EXPECT_TRUE(form->pnlDebtCalc1->isVisible());
  EXPECT_TRUE(form->lblDebtRatioVal->text().isEmpty());
  EXPECT_TRUE(form->chtDebtRatio->Points().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RefusedTest,
    ::testing::Values(RefusedCase{"SeveralFullStops",
                                  {{"leRent", "1.2.3"}, {"leGrossSalary", "60000"}},
                                  "'1.2.3' is not a valid floating point value"},
                      RefusedCase{"LoneFullStop",
                                  {{"leRent", "100"}, {"leBonus", "."}},
                                  "'.' is not a valid floating point value"},
                      RefusedCase{"PastedWords",
                                  {{"leRent", "100"}, {"leGrossSalary", "sixty grand"}},
                                  "'sixty grand' is not a valid floating point value"},
                      RefusedCase{"PastedComma",
                                  {{"leRent", "1,800"}, {"leGrossSalary", "60000"}},
                                  "'1,800' is not a valid floating point value"},
                      RefusedCase{"TooLargeForTheMoneyType",
                                  {{"leRent", "100"}, {"leGrossSalary", "99999999999999999999"}},
                                  "'99999999999999999999' is not a valid floating point value"},
                      RefusedCase{"SumTooLarge",
                                  {{"leRent", "900000000000000"},
                                   {"leCreditCard", "900000000000000"},
                                   {"leGrossSalary", "1"}},
                                  "The amounts are too large to add up."},
                      RefusedCase{"IncomeAllZero",
                                  {{"leRent", "100"},
                                   {"leGrossSalary", "0"},
                                   {"leBonus", "0"},
                                   {"leOtherSrc", "0"},
                                   {"leAlimony", "0"}},
                                  "You must specify the breakup for your total income."},
                      RefusedCase{"IncomeNegative",
                                  {{"leRent", "100"}, {"leGrossSalary", "-5"}},
                                  "You must specify the breakup for your total income."}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(DesktopFormTest, FailedCalculateLeavesTheShownResultAlone) {
  auto form = MakeForm();
  Box(*form, "leRent")->setText("1800");
  Box(*form, "leGrossSalary")->setText("60000");
  QTest::mouseClick(form->btnDebtCalc, Qt::LeftButton);
  QTest::mouseClick(form->btnReview, Qt::LeftButton);
  Box(*form, "leRent")->setText("1.2.3");
  TMessageCatcher catcher;
  QTest::mouseClick(form->btnDebtCalc, Qt::LeftButton);
  ASSERT_TRUE(WaitFor([&] { return !catcher.Messages.isEmpty(); }));
  EXPECT_TRUE(form->pnlDebtCalc1->isVisible());
  EXPECT_EQ(form->lblDebtRatioVal->text(), "36.00%");
  TDebtFigures saved;
  ASSERT_TRUE(Saved(saved));
  EXPECT_EQ(saved.Rent, Currency::FromUnits(1800));
}

TEST_F(DesktopFormTest, CommaLocaleRefusesTypedFullStopButTakesItsOwnFigures) {
  TLocaleScope german(QLocale(QLocale::German, QLocale::Germany));
  FData->SaveDebtCalc(
      0, TDebtFigures{
             Currency::FromRaw(18005000), {}, {}, {}, Currency::FromUnits(60000), {}, {}, {}});
  auto form = MakeForm();
  EXPECT_EQ(Box(*form, "leRent")->text(), "1800,50");
  EXPECT_EQ(Box(*form, "leGrossSalary")->text(), "60000,00");
  TMessageCatcher catcher;
  QTest::mouseClick(form->btnDebtCalc, Qt::LeftButton);
  EXPECT_TRUE(catcher.Messages.isEmpty());
  EXPECT_EQ(form->lblDebtRatioVal->text(), "36,01%");
  EXPECT_EQ(form->chtDebtRatio->LegendText(0), "Income used to pay your debt 36,01 %");

  QTest::mouseClick(form->btnReview, Qt::LeftButton);
  Box(*form, "leRent")->setText("1800.5");
  QTest::mouseClick(form->btnDebtCalc, Qt::LeftButton);
  ASSERT_TRUE(WaitFor([&] { return !catcher.Messages.isEmpty(); }));
  EXPECT_EQ(catcher.Messages.front(), "'1800.5' is not a valid floating point value");
}

TEST_F(DesktopFormTest, StoreFailureOnSaveShowsItsMessageAndChangesNothing) {
  auto form = MakeForm();
  Box(*form, "leRent")->setText("1800");
  Box(*form, "leGrossSalary")->setText("60000");
  // The store goes away under the program: the save has to fail.
  FData->Close();
  ASSERT_TRUE(QFile::remove(FStore.StorePath()));
  TMessageCatcher catcher;
  QTest::mouseClick(form->btnDebtCalc, Qt::LeftButton);
  ASSERT_TRUE(WaitFor([&] { return !catcher.Messages.isEmpty(); }));
  EXPECT_FALSE(catcher.Messages.front().isEmpty());
  EXPECT_TRUE(form->pnlDebtCalc1->isVisible());
  EXPECT_TRUE(form->lblDebtRatioVal->text().isEmpty());
  EXPECT_TRUE(form->chtDebtRatio->Points().empty());
}

TEST_F(DesktopFormTest, EnablingRuleNeedsADebtAndAnIncomeBox) {
  struct Case {
    std::vector<const char*> Filled;
    bool Enabled;
  };
  const Case cases[] = {
      {{}, false},
      {{"leRent", "leCreditCard", "leCarLoan", "leOtherLoan"}, false},
      {{"leGrossSalary", "leBonus", "leOtherSrc", "leAlimony"}, false},
      {{"leRent", "leGrossSalary"}, true},
      {{"leOtherLoan", "leAlimony"}, true},
      {{"leCarLoan", "leOtherSrc"}, true},
      {{"leCreditCard", "leBonus"}, true},
  };
  auto form = MakeForm();
  EXPECT_FALSE(form->btnDebtCalc->isEnabled());
  for (const Case& c : cases) {
    for (const char* name : kBoxes) Box(*form, name)->clear();
    // Any character counts, even one that is no number.
    for (const char* name : c.Filled) Box(*form, name)->setText("x");
    EXPECT_EQ(form->btnDebtCalc->isEnabled(), c.Enabled) << c.Filled.size();
  }
  // Emptying the last debt box by keyboard disables it again.
  for (const char* name : kBoxes) Box(*form, name)->clear();
  QTest::keyClicks(Box(*form, "leRent"), "5");
  QTest::keyClicks(Box(*form, "leBonus"), "7");
  EXPECT_TRUE(form->btnDebtCalc->isEnabled());
  QTest::keyClick(Box(*form, "leRent"), Qt::Key_Backspace);
  EXPECT_FALSE(form->btnDebtCalc->isEnabled());
}

TEST_F(DesktopFormTest, KeyFilterLetsDigitsFullStopsAndBackspaceThrough) {
  auto form = MakeForm();
  ASSERT_TRUE(WaitFor([&] { return form->isActiveWindow(); }));
  for (const char* name : kBoxes) {
    QLineEdit* box = Box(*form, name);
    box->setFocus();
    QTest::keyClicks(box, "1a 2-,3.4e+5..");
    EXPECT_EQ(box->text(), "123.45..") << name;
    QTest::keyClick(box, Qt::Key_Backspace);
    QTest::keyClick(box, Qt::Key_Backspace);
    EXPECT_EQ(box->text(), "123.45") << name;
  }
  // Editing keys go on: select all, then a digit replaces the text.
  QLineEdit* rent = Box(*form, "leRent");
  rent->setFocus();
  QTest::keyClick(rent, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(rent, "9");
  EXPECT_EQ(rent->text(), "9");
  // Tab still moves on to the next box.
  QTest::keyClick(rent, Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), Box(*form, "leCreditCard"));
  // A chord that carries a character types it, so it is filtered like any typed character.
  QLineEdit* bonus = Box(*form, "leBonus");
  bonus->clear();
  bonus->setFocus();
  QTest::keyClick(bonus, 'a', Qt::MetaModifier);
  QTest::keyClick(bonus, 'e', Qt::ControlModifier | Qt::AltModifier);
  QTest::keyClick(bonus, '-', Qt::ControlModifier | Qt::KeypadModifier);
  QTest::sendKeyEvent(QTest::Click, bonus, Qt::Key_unknown, QString(QChar(0x200c)),
                      Qt::ControlModifier | Qt::ShiftModifier);
  QTest::keyClick(bonus, '5', Qt::KeypadModifier);
  EXPECT_EQ(bonus->text(), "5");
}

TEST_F(DesktopFormTest, FormCreateWithoutSavedFigures) {
  auto form = MakeForm();
  EXPECT_EQ(form->lblUserName->text(), "Welcome Ann Example");
  for (const char* name : kBoxes) EXPECT_TRUE(Box(*form, name)->text().isEmpty()) << name;
  EXPECT_FALSE(form->btnDebtCalc->isEnabled());
  EXPECT_TRUE(form->pnlDebtCalc1->isVisible());
  EXPECT_EQ(form->pgcDesktop->currentWidget(), form->tsDebtCalc);
  ASSERT_TRUE(WaitFor([&] { return form->isActiveWindow(); }));
  EXPECT_EQ(QApplication::focusWidget(), Box(*form, "leRent"));
}

TEST_F(DesktopFormTest, FormCreateWritesSavedFiguresWithTwoDecimals) {
  FData->SaveDebtCalc(
      0, TDebtFigures{Currency::FromUnits(1800), Currency(), Currency::FromRaw(2505000),
                      Currency::FromRaw(123456), Currency::FromUnits(1234567),
                      Currency::FromRaw(50), Currency(), Currency::FromRaw(999990)});
  auto form = MakeForm();
  const char* expected[] = {"1800.00",    "0.00", "250.50", "12.35",
                            "1234567.00", "0.01", "0.00",   "100.00"};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(Box(*form, kBoxes[i])->text(), expected[i]) << kBoxes[i];
  EXPECT_TRUE(form->btnDebtCalc->isEnabled());
}

TEST_F(DesktopFormTest, WelcomeLineShowsTheNameExactlyAsStored) {
  {
    auto data = FStore.Open();
    TTempStore::SignIn(*data, "Zo\xeb  O'Brien-\xd6lund", "zoe", "pw");
    TDesktopForm form(*data);
    EXPECT_EQ(form.lblUserName->text(), QString::fromUtf8("Welcome Zoë  O'Brien-Ölund"));
  }

  // A name that looks like markup is shown with its tags, not rendered.
  auto tagged = FStore.Open();
  TTempStore::SignIn(*tagged, "<b>Bo</b> <i>Tan</i>", "bo", "pw");
  TDesktopForm taggedForm(*tagged);
  QLabel plain;
  plain.setTextFormat(Qt::PlainText);
  plain.setFont(taggedForm.lblUserName->font());
  plain.setText("Welcome <b>Bo</b> <i>Tan</i>");
  EXPECT_EQ(taggedForm.lblUserName->sizeHint(), plain.sizeHint());
}

TEST_F(DesktopFormTest, UnreadableFiguresStillGiveTheWindow) {
  FData->Close();
  ASSERT_TRUE(QFile::remove(FStore.StorePath()));
  TMessageCatcher catcher;
  auto form = MakeForm();
  ASSERT_TRUE(WaitFor([&] { return !catcher.Messages.isEmpty(); }));
  EXPECT_FALSE(catcher.Messages.front().isEmpty());
  EXPECT_TRUE(form->isVisible());
  EXPECT_TRUE(Box(*form, "leRent")->text().isEmpty());
  EXPECT_FALSE(form->btnDebtCalc->isEnabled());
}

TEST_F(DesktopFormTest, WindowFrameAndPages) {
  auto form = MakeForm();
  OpenEveryTab(*form);
  EXPECT_EQ(form->windowTitle(), "Quillby Desktop");
  EXPECT_EQ(form->size(), QSize(772, 553));
  EXPECT_EQ(form->minimumSize(), form->maximumSize());
  EXPECT_TRUE(form->windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(form->windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_EQ(form->palette().color(QPalette::Window), QColor(192, 220, 192));

  const char* pages[][2] = {{"tsDebtCalc", "Debt Load Calc"},
                            {"tsFreeCounsel", "Free Counseling"},
                            {"tsReferFriend", "Refer a friend"},
                            {"tsHelpImprove", "Help us improve"},
                            {"tsAbout", "About Quillby"}};
  ASSERT_EQ(form->pgcDesktop->count(), 5);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(form->pgcDesktop->widget(i)->objectName(), pages[i][0]);
    EXPECT_EQ(form->pgcDesktop->tabText(i), pages[i][1]);
    EXPECT_EQ(form->pgcDesktop->tabBar()->tabRect(i).width(), 120);
  }
  const char* footers[][2] = {{"lblDebtCalc", "Debt Load Calculator  "},
                              {"Label6", "Signup to "},
                              {"lblReferFriend", "Refer a friend to us  "},
                              {"Label18", "Help us Improve"}};
  for (const auto& footer : footers) {
    auto* label = form->findChild<QLabel*>(footer[0]);
    ASSERT_NE(label, nullptr) << footer[0];
    EXPECT_TRUE(label->text().startsWith(footer[1])) << footer[0];
    EXPECT_EQ(label->height(), 15);
  }
  EXPECT_EQ(form->Label6->text(), QString("Signup to ") + deployment::kWebHost);
  // The calculator's input panel is 611 x 401 right above the footer; its bands run across it.
  EXPECT_EQ(form->pnlDebtCalc1->size(), QSize(611, 401));
  EXPECT_EQ(form->pnlDebtCalc1->mapTo(form->tsDebtCalc, QPoint(0, 401)).y(),
            form->lblDebtCalc->y());
  EXPECT_EQ(form->findChild<QLabel*>("Label2")->width(), form->pnlDebtCalc1->width());
  EXPECT_TRUE(form->lblLogout->isHidden());
  EXPECT_TRUE(form->sbDesktop->currentMessage().isEmpty());
  EXPECT_EQ(form->lblTitle->text(), "Marrowvale Desktop");
}

TEST_F(DesktopFormTest, BenefitsPictureIsPaintedWhenItsPageFirstShows) {
  auto form = MakeForm();
  EXPECT_EQ(form->Image1, nullptr);

  form->pgcDesktop->setCurrentWidget(form->tsFreeCounsel);
  QLabel* picture = form->Image1;
  ASSERT_NE(picture, nullptr);
  ASSERT_TRUE(picture->isVisible());
  EXPECT_EQ(QAccessible::queryAccessibleInterface(picture)->role(), QAccessible::Graphic);
  EXPECT_EQ(picture->pixmap().toImage(), artwork::CounselBenefits().toImage());
  EXPECT_EQ(picture->pixmap().deviceIndependentSize(), QSizeF(179, 298));
  // Shown again, the page keeps the picture it has.
  const qint64 painted = picture->pixmap().cacheKey();
  form->pgcDesktop->setCurrentWidget(form->tsAbout);
  form->pgcDesktop->setCurrentWidget(form->tsFreeCounsel);
  EXPECT_EQ(form->Image1, picture);
  EXPECT_EQ(picture->pixmap().cacheKey(), painted);
}

TEST_F(DesktopFormTest, SideBarPicturesShowTheirPixelsOnce) {
  auto form = MakeForm();
  for (QLabel* picture : {form->Image3, form->Image4}) {
    const std::string name = picture->objectName().toStdString();
    EXPECT_EQ(picture->pixmap().deviceIndependentSize(), QSizeF(picture->size())) << name;
    // Painted at its place's size, the picture is not stretched into a second copy of itself.
    EXPECT_FALSE(picture->hasScaledContents()) << name;
    QImage shown = picture->grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(shown, picture->pixmap().toImage().convertToFormat(QImage::Format_RGB32)) << name;
  }
  // A picture of another size is still stretched over its place.
  QWidget parent;
  QPixmap small(10, 10);
  small.fill(Qt::red);
  EXPECT_TRUE(
      page::MakePicture(&parent, "small", QRect(0, 0, 20, 20), small, true)->hasScaledContents());
}

TEST_F(DesktopFormTest, TabCaptionIsBoldAndCentredOnTheWindowsGreen) {
  auto form = MakeForm();
  QImage canvas(120, 24, QImage::Format_RGB32);
  canvas.fill(Qt::white);
  QPainter painter(&canvas);
  form->pgcDesktopDrawTab(painter, 4, canvas.rect(), false);
  EXPECT_TRUE(painter.font().bold());
  painter.end();
  const QColor green(192, 220, 192);
  EXPECT_EQ(canvas.pixelColor(0, 0), green);
  EXPECT_EQ(canvas.pixelColor(119, 23), green);
  // The caption's ink is centred: as much room on the left as on the right.
  int first = 120, last = -1;
  for (int x = 0; x < 120; ++x) {
    for (int y = 0; y < 24; ++y) {
      if (canvas.pixelColor(x, y) != green) {
        first = std::min(first, x);
        last = std::max(last, x);
      }
    }
  }
  ASSERT_LT(first, last);
  EXPECT_LE(std::abs(first - (119 - last)), 2);

  // And the tab bar paints each caption on that green.
  const QImage bar = form->pgcDesktop->tabBar()->grab().toImage();
  const QRect tab = form->pgcDesktop->tabBar()->tabRect(1);
  EXPECT_EQ(bar.pixelColor(tab.left() + 6, tab.center().y()), green);
}

TEST_F(DesktopFormTest, LogoutClosesTheStoreAndTheWindow) {
  auto form = MakeForm();
  int closed = 0;
  QObject::connect(form.get(), &TDesktopForm::Closed, [&] { ++closed; });
  form->lblLogoutClick();
  EXPECT_FALSE(form->isVisible());
  EXPECT_EQ(closed, 1);
  // The connection was closed: the store file can go, and the next read fails.
  ASSERT_TRUE(QFile::remove(FStore.StorePath()));
  TDebtFigures figures;
  EXPECT_THROW(FData->LoadDebtCalc(0, figures), Exception);
}

class UrlCatcher : public QObject {
  Q_OBJECT

 public:
  QList<QUrl> Opened;

 public slots:
  void Open(const QUrl& url) { Opened << url; }
};

TEST_F(DesktopFormTest, LinksOpenTheSiteAndItsForums) {
  UrlCatcher catcher;
  QDesktopServices::setUrlHandler(deployment::kWebScheme, &catcher, "Open");
  auto form = MakeForm();
  QTest::mouseClick(form->Label4, Qt::LeftButton);
  QTest::mouseClick(form->Label5, Qt::LeftButton);
  QDesktopServices::unsetUrlHandler(deployment::kWebScheme);
  ASSERT_EQ(catcher.Opened.size(), 2);
  for (const QUrl& url : catcher.Opened) {
    EXPECT_EQ(url.scheme(), deployment::kWebScheme);
    EXPECT_EQ(url.host(), deployment::kWebHost);
  }
  // The home page is the site's root address, with no path at all.
  EXPECT_EQ(catcher.Opened[0].path(), "");
  EXPECT_EQ(catcher.Opened[1].path(), "/forums");
}

TEST_F(DesktopFormTest, LinksAreReachedByTabAndOpenedByEnterSpaceOrAScreenReader) {
  UrlCatcher catcher;
  QDesktopServices::setUrlHandler(deployment::kWebScheme, &catcher, "Open");
  auto form = MakeForm();
  ASSERT_TRUE(WaitFor([&] { return form->isActiveWindow(); }));
  // Tab goes round the window from the first box and passes both links.
  bool visit = false, join = false;
  for (int i = 0; i < 60 && !(visit && join); ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    visit |= QApplication::focusWidget() == form->Label4;
    join |= QApplication::focusWidget() == form->Label5;
  }
  EXPECT_TRUE(visit);
  EXPECT_TRUE(join);
  // A focused link looks different.
  form->Label4->setFocus(Qt::TabFocusReason);
  const QImage focused = form->Label4->grab().toImage();
  form->Label5->setFocus(Qt::TabFocusReason);
  EXPECT_NE(form->Label4->grab().toImage(), focused);

  QTest::keyClick(form->Label4, Qt::Key_Return);
  QTest::keyClick(form->Label5, Qt::Key_Space);
  QAccessibleInterface* link = QAccessible::queryAccessibleInterface(form->Label4);
  ASSERT_NE(link, nullptr);
  ASSERT_NE(link->actionInterface(), nullptr);
  EXPECT_TRUE(
      link->actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction()));
  link->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
  QDesktopServices::unsetUrlHandler(deployment::kWebScheme);
  ASSERT_EQ(catcher.Opened.size(), 3);
  EXPECT_EQ(catcher.Opened[0].path(), "");
  EXPECT_EQ(catcher.Opened[1].path(), "/forums");
  EXPECT_EQ(catcher.Opened[2].path(), "");
}

TEST_F(DesktopFormTest, TabsAreBuiltWhenFirstShownAndReadAsDesigned) {
  auto form = MakeForm();
  const struct {
    QWidget* Page;
    QWidget* TDesktopForm::*Panel;
    QLabel* TDesktopForm::*Footer;
    QString FooterText;
  } tabs[] = {
      {form->tsFreeCounsel, &TDesktopForm::pnlFreeCounsel, &TDesktopForm::Label6,
       QString("Signup to ") + deployment::kWebHost},
      {form->tsReferFriend, &TDesktopForm::pnlReferFriend, &TDesktopForm::lblReferFriend,
       "Refer a friend to us  "},
      {form->tsHelpImprove, &TDesktopForm::pnlHelpImprove, &TDesktopForm::Label18,
       "Help us Improve"},
      {form->tsAbout, &TDesktopForm::pnlAbout, &TDesktopForm::Label19,
       "Quillby Desktop 1.0, made by the Marrowvale volunteers  "},
  };
  for (const auto& tab : tabs) {
    const std::string name = tab.Page->objectName().toStdString();
    EXPECT_EQ((*form).*tab.Panel, nullptr) << name;
    EXPECT_EQ((*form).*tab.Footer, nullptr) << name;
    EXPECT_TRUE(tab.Page->findChildren<QWidget*>().isEmpty()) << name;

    form->pgcDesktop->setCurrentWidget(tab.Page);
    // The page takes its place in the window with the events that follow the switch.
    QCoreApplication::processEvents();
    QWidget* panel = (*form).*tab.Panel;
    QLabel* footer = (*form).*tab.Footer;
    ASSERT_NE(panel, nullptr) << name;
    ASSERT_NE(footer, nullptr) << name;
    EXPECT_EQ(panel->size(), QSize(611, 401)) << name;
    EXPECT_EQ(panel->mapTo(tab.Page, QPoint(0, 401)).y(), footer->y()) << name;
    EXPECT_EQ(footer->text(), tab.FooterText) << name;
    EXPECT_EQ(footer->height(), 15) << name;
    // Everything made is on screen with the page, but for what a control hides on purpose (a
    // memo's scroll bars while its text fits).
    const auto hiddenOnPurpose = [&](QWidget* control) {
      for (; control != tab.Page; control = control->parentWidget()) {
        if (control->isHidden() && control->testAttribute(Qt::WA_WState_ExplicitShowHide)) {
          return true;
        }
      }
      return false;
    };
    const QList<QWidget*> made = tab.Page->findChildren<QWidget*>();
    for (QWidget* control : made) {
      EXPECT_TRUE(control->isVisible() || hiddenOnPurpose(control))
          << name << " " << control->objectName().toStdString();
      EXPECT_FALSE(control->isWindow() && control->isVisible())
          << name << " " << control->objectName().toStdString();
    }

    // Opened again, the page keeps what it has.
    form->pgcDesktop->setCurrentWidget(form->tsDebtCalc);
    form->pgcDesktop->setCurrentWidget(tab.Page);
    EXPECT_EQ((*form).*tab.Panel, panel) << name;
    EXPECT_EQ(tab.Page->findChildren<QWidget*>(), made) << name;
  }
  auto* band = form->findChild<QLabel*>("Label20");
  ASSERT_NE(band, nullptr);
  EXPECT_EQ(band->geometry(), QRect(112, 26, 241, 24));
  EXPECT_EQ(form->findChild<QLabel*>("Label32")->geometry(), QRect(112, 64, 455, 61));
  EXPECT_EQ(form->findChild<QLabel*>("Label34")->pos(), QPoint(112, 215));
  EXPECT_EQ(systemtexts::TextMismatches(form.get()), QStringList());
}

TEST_F(DesktopFormTest, RequiredFieldMarkersAreMadeWhenTheirPageFirstShows) {
  auto form = MakeForm();
  EXPECT_EQ(form->findChild<QLabel*>("Label26"), nullptr);
  form->pgcDesktop->setCurrentWidget(form->tsFreeCounsel);
  QCoreApplication::processEvents();
  const struct {
    const char* Name;
    QPoint Place;
  } markers[] = {{"Label26", {208, 74}},
                 {"Label27", {189, 106}},
                 {"Label28", {210, 170}},
                 {"Label29", {200, 202}},
                 {"Label30", {258, 290}}};
  for (const auto& m : markers) {
    auto* marker = form->findChild<QLabel*>(m.Name);
    ASSERT_NE(marker, nullptr) << m.Name;
    EXPECT_EQ(marker->parentWidget(), form->pnlFreeCounsel) << m.Name;
    EXPECT_EQ(marker->text(), "*") << m.Name;
    EXPECT_EQ(marker->pos(), m.Place) << m.Name;
    EXPECT_EQ(marker->size(), marker->sizeHint()) << m.Name;
    EXPECT_TRUE(marker->isVisible()) << m.Name;
    EXPECT_TRUE(marker->font().bold()) << m.Name;
    EXPECT_EQ(marker->palette().color(QPalette::WindowText), QColor(Qt::red)) << m.Name;
  }
  form->pgcDesktop->setCurrentWidget(form->tsDebtCalc);
  form->pgcDesktop->setCurrentWidget(form->tsFreeCounsel);
  EXPECT_EQ(form->findChildren<QLabel*>("Label26").size(), 1);
}

TEST_F(DesktopFormTest, AboutContactLinesRunOnWhereTheTextBeforeEnds) {
  auto form = MakeForm();
  form->pgcDesktop->setCurrentWidget(form->tsAbout);
  QCoreApplication::processEvents();
  const char* lines[][3] = {{"Label36", "Label37", "Label38"},
                            {"Label40", "Label41", "Label42"},
                            {"Label44", "Label46", "Label47"}};
  for (const auto& line : lines) {
    for (int i = 0; i < 2; ++i) {
      auto* before = form->findChild<QLabel*>(line[i]);
      auto* after = form->findChild<QLabel*>(line[i + 1]);
      ASSERT_NE(before, nullptr);
      ASSERT_NE(after, nullptr);
      EXPECT_EQ(after->y(), before->y()) << line[i + 1];
      // No gap and no overlap: the blanks at the end of the text count, nothing else.
      EXPECT_EQ(after->x(), before->x() + before->fontMetrics().horizontalAdvance(before->text()))
          << line[i + 1];
    }
  }
}

TEST(PieChartTest, SlicesBySizeAndSignedLegend) {
  TPieChart chart;
  chart.AddXY(1, 1.5, "a", Qt::red);
  chart.AddXY(2, -0.5, "b", Qt::blue);
  EXPECT_DOUBLE_EQ(chart.Percent(0), 75);
  EXPECT_DOUBLE_EQ(chart.Percent(1), -25);
  EXPECT_EQ(chart.LegendText(1), "b -25 %");
  chart.Clear();
  EXPECT_TRUE(chart.Points().empty());
  struct Case {
    double Percent;
    const char* Text;
  };
  for (const Case& c :
       {Case{36, "36 %"}, Case{36.5, "36.5 %"}, Case{52.0833333, "52.08 %"},
        Case{-47.9166666, "-47.92 %"}, Case{0.001, "0 %"}, Case{1234.5, "1234.5 %"}}) {
    EXPECT_EQ(TPieChart::FormatPercent(c.Percent), c.Text) << c.Percent;
  }
  // Painted: the red slice shows up in the grabbed picture.
  chart.resize(585, 89);
  chart.AddXY(1, 0.36, "a", Qt::red);
  chart.AddXY(2, 0.64, "b", Qt::blue);
  const QImage picture = chart.grab().toImage();
  bool red = false, blue = false;
  for (int x = 200; x < 585; ++x) {
    for (int y = 0; y < 89; ++y) {
      red |= picture.pixelColor(x, y) == QColor(Qt::red);
      blue |= picture.pixelColor(x, y) == QColor(Qt::blue);
    }
  }
  EXPECT_TRUE(red);
  EXPECT_TRUE(blue);
}

}  // namespace

#include "desktop_form_test.moc"
