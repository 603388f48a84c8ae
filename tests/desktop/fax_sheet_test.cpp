#include "desktop/fax_sheet.h"

#include <gtest/gtest.h>

#include <QLocale>
#include <QPrinter>
#include <QTemporaryDir>

#include "gui_support.h"

namespace {

// Text without its white space: wrapping turns blanks into line breaks and may break a long word
// anywhere, so values are compared as the characters they are made of.
QString Squashed(const QString& Text) {
  QString squashed;
  for (const QChar c : Text) {
    if (!c.isSpace()) squashed += c;
  }
  return squashed;
}

class FaxSheetTest : public ::testing::Test {
 protected:
  void TearDown() override {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
  }

  // The sheet printed to a PDF on a Letter page, as pdftotext reads it back.
  QString Printed(const TFaxSheet& Sheet, int* Pages = nullptr) {
    const QString path = FDir.filePath("fax.pdf");
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    printer.setPageSize(QPageSize(QPageSize::Letter));
    printer.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
    const int pages = PrintFax(Sheet, printer);
    if (Pages) *Pages = pages;
    return PdfText(path);
  }

  QTemporaryDir FDir;
};

const QDate kDate(2026, 3, 5);

TEST_F(FaxSheetTest, EveryValueIsPrintedAsTypedWithTheCoverOfEachTab) {
  const QString name = QString::fromUtf8("Zoë \"Zee\" O'Brien & <b>Co</b>");
  const QString phone = "+1 (555) 010-0100 %s %1";
  const struct {
    const char* Tab;
    TFaxSheet Sheet;
    QStringList Expected;
  } cases[] = {
      {"FreeCounsel",
       SignupFax({name, QString::fromUtf8("zoë@exämple.org"),
                  QString::fromUtf8("12 <i>Rue</i> de l'Église &amp; Co."), "H2X 1Y4", phone,
                  QString::fromUtf8("Après 18h — \"evenings\""), "$5001 - $10000"},
                 QString::fromUtf8("Ελένη Дмитриевна")),
       {"Name:", name, "Email:", QString::fromUtf8("zoë@exämple.org"), "Street Address:",
        QString::fromUtf8("12 <i>Rue</i> de l'Église &amp; Co."), "Zip Code:", "H2X 1Y4",
        "Phone:", phone, "Best time to call:", QString::fromUtf8("Après 18h — \"evenings\""),
        "Debt Amount:", "$5001 - $10000",
        "Please call me on " + phone +
            QString::fromUtf8(" for a free consultation; the best time to call me is Après 18h "
                              "— \"evenings\".")}},
      {"ReferFriend",
       ReferralFax({name, "ann@example.org", QString::fromUtf8("Björn <Friend>"), "bob@example.org",
                    "Start \"today\" & <u>now</u>",
                    QString::fromUtf8("Hi Björn,\n\n<p>Tom &amp; Jerry</p> say: 'debt-free!'\n")},
                   QString::fromUtf8("Ελένη Дмитриевна")),
       {"Send To Name:", QString::fromUtf8("Björn <Friend>"), "Send to Email:", "bob@example.org",
        "From Name:", name, "From Email:", "ann@example.org",
        "Subject:", "Start \"today\" & <u>now</u>", "Comment:", QString::fromUtf8("Hi Björn,"),
        "<p>Tom &amp; Jerry</p> say: 'debt-free!'"}},
      {"HelpImprove",
       FeedbackFax(QString::fromUtf8("First & <b>last</b>\n\"Quoted\" — ünïcödé\nThird"),
                   QString::fromUtf8("Ελένη Дмитриевна")),
       {"Feedback:", "First & <b>last</b>", QString::fromUtf8("\"Quoted\" — ünïcödé"), "Third"}},
  };
  for (auto c : cases) {
    c.Sheet.Date = kDate;
    const QString text = Printed(c.Sheet);
    ASSERT_FALSE(text.isEmpty()) << c.Tab;
    const QString squashed = Squashed(text);
    QStringList expected = {"FAX",
                            "To:",
                            "Marrowvale Community Debt Services",
                            "214 Harbour Lane, Suite 5",
                            "Marrowvale, OR 97035",
                            "Fax:",
                            "1-800-555-0190, 1-800-555-0191",
                            "From:",
                            QString::fromUtf8("Ελένη Дмитриевна"),
                            "Date:",
                            "Thursday, March 5, 2026",
                            "Pages:",
                            "Page 1 of 1"};
    expected += c.Expected;
    for (const QString& value : expected) {
      EXPECT_TRUE(squashed.contains(Squashed(value))) << c.Tab << ": " << value.toStdString();
    }
    EXPECT_FALSE(text.contains("&amp;amp;")) << c.Tab;
  }
  // Lines typed stay lines of their own.
  const QString feedback =
      Printed(FeedbackFax("Line one & more\nLine two <br> more\nLine three", "Ann"));
  EXPECT_TRUE(feedback.contains("\nLine one & more\nLine two <br> more\nLine three\n"))
      << feedback.toStdString();
}

TEST_F(FaxSheetTest, TheDateIsWrittenInTheUsersRegionalFormat) {
  const struct {
    QLocale Locale;
    const char* Date;
  } cases[] = {{QLocale(QLocale::English, QLocale::UnitedStates), "Thursday, March 5, 2026"},
               {QLocale(QLocale::German, QLocale::Germany), "Donnerstag, 5. März 2026"},
               {QLocale(QLocale::French, QLocale::France), "jeudi 5 mars 2026"}};
  for (const auto& c : cases) {
    QLocale::setDefault(c.Locale);
    TFaxSheet sheet = FeedbackFax("Hello", "Ann");
    sheet.Date = kDate;
    EXPECT_TRUE(Printed(sheet).contains(QString::fromUtf8(c.Date))) << c.Date;
  }
}

TEST_F(FaxSheetTest, ALongFeedbackContinuesOnASecondPageWithNothingLost) {
  QString text = "First line & <b>not bold</b>\n\"Second\" line\n\n";
  for (int word = 1; text.size() < 5000; ++word) {
    text += QString("w%1 ").arg(word, 4, 10, QLatin1Char('0'));
  }
  text.truncate(5000);
  TFaxSheet sheet = FeedbackFax(text, "Ann Example");
  sheet.Date = kDate;
  int pages = 0;
  const QStringList printed = Printed(sheet, &pages).split(QLatin1Char('\f'), Qt::SkipEmptyParts);
  EXPECT_EQ(pages, 2);
  ASSERT_EQ(printed.size(), 2);
  EXPECT_TRUE(Squashed(printed[0]).contains("Pages:2"));
  EXPECT_TRUE(printed[0].contains("Page 1 of 2"));
  EXPECT_TRUE(printed[1].contains("Page 2 of 2"));
  EXPECT_TRUE(printed[1].contains("Fax to Marrowvale Community Debt Services from Ann Example"));

  // The feedback read page after page, without the pages' frames, is the feedback typed.
  QString body;
  QStringList second;
  for (int page = 0; page < 2; ++page) {
    QStringList lines = printed[page].split(QLatin1Char('\n'));
    if (page == 0) lines = lines.mid(lines.indexOf("Feedback:") + 1);
    for (const QString& line : lines) {
      if (line == "Quillby Desktop" || line.startsWith("Page ") || line.startsWith("Fax to ")) {
        continue;
      }
      body += line;
      if (page == 1) second << line;
    }
  }
  EXPECT_EQ(Squashed(body), Squashed(text));
  EXPECT_GT(Squashed(second.join("")).size(), 100);

  // The snapshot command's pictures: as many pages, each a Letter page at 96 dpi.
  const std::vector<QImage> pictures =
      FaxPictures(sheet,
                  QPageLayout(QPageSize(QPageSize::Letter), QPageLayout::Portrait,
                              QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter),
                  96);
  ASSERT_EQ(pictures.size(), 2u);
  EXPECT_EQ(pictures[1].size(), QSize(816, 1056));
}

}  // namespace
