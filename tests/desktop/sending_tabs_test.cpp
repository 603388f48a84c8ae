#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QMimeData>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <atomic>
#include <chrono>
#include <ctime>
#include <deque>
#include <map>
#include <thread>

#include "deployment.h"
#include "desktop/desktop_form.h"
#include "desktop/input_checks.h"
#include "dialogs/app_events.h"
#include "dialogs/cursor.h"
#include "dialogs/error_report.h"
#include "dialogs/labeled_edit.h"
#include "gui_support.h"
#include "net/connection.h"
#include "tests/data/store_fixture.h"
#include "tests/net/script_server.h"

namespace {

using nettest::Close;
using nettest::Found;
using nettest::HttpRequest;
using nettest::Line;
using nettest::MailServer;
using nettest::Pause;
using nettest::Script;
using nettest::ScriptServer;
using nettest::Send;
using nettest::Until;
using nettest::WebServer;

// Every modal window the handler shows, with the cursor at that moment; message dialogs are
// answered from a queue of button names (OK when it runs dry), the signup dialog with OK after
// its texts are read, a print preview with Esc after its sheet has been printed to a PDF.
class TDialogRecorder {
 public:
  struct TShown {
    QString Name;
    QString Text;
    int Cursor;
  };
  struct TPreview {
    QString Title;
    bool HasIcon;
    QString Focus;  // the action of the tool button the preview's focus is on
    bool OverrideCursor;
    int Pages;
    QString Text;  // as pdftotext reads it
  };

  explicit TDialogRecorder(std::deque<const char*> Answers = {})
      : FAnswers(std::move(Answers)), FAnswerer([this](QWidget* dialog) { Answer(dialog); }) {}

  std::vector<TShown> Shown;
  std::map<QString, QString> Signup;
  std::vector<TPreview> Previews;

  QStringList Messages() const {
    QStringList texts;
    for (const TShown& shown : Shown) {
      if (shown.Name == "MessageDialog") texts << shown.Text;
    }
    return texts;
  }

 private:
  void Answer(QWidget* dialog) {
    if (auto* preview = qobject_cast<QPrintPreviewDialog*>(dialog)) {
      Shown.push_back({"PrintPreview", preview->windowTitle(), ScreenCursor()});
      Previews.push_back(Inspect(preview));
      QTimer::singleShot(0, preview, [preview] {
        QWidget* focus = preview->focusWidget();
        QTest::keyClick(focus ? focus : preview, Qt::Key_Escape);
      });
      return;
    }
    Shown.push_back({dialog->objectName(), MessageOf(dialog), ScreenCursor()});
    const char* button = "btnOK";
    if (dialog->objectName() == "SignupDialog") {
      for (QLabel* label : dialog->findChildren<QLabel*>()) {
        if (!label->objectName().isEmpty()) Signup[label->objectName()] = label->text();
      }
    } else if (!FAnswers.empty()) {
      button = FAnswers.front();
      FAnswers.pop_front();
    }
    QTimer::singleShot(0, dialog,
                       [dialog, button] { dialog->findChild<QAbstractButton*>(button)->click(); });
  }

  TPreview Inspect(QPrintPreviewDialog* preview) {
    TPreview seen{preview->windowTitle(),
                  !preview->windowIcon().isNull(),
                  {},
                  QGuiApplication::overrideCursor() != nullptr,
                  0,
                  {}};
    if (auto* button = qobject_cast<QToolButton*>(preview->focusWidget())) {
      if (button->defaultAction()) seen.Focus = button->defaultAction()->text();
    }
    auto* pages = preview->findChild<QPrintPreviewWidget*>();
    seen.Pages = pages->pageCount();
    const QString pdf = FPrinted.filePath(QString("sheet%1.pdf").arg(Previews.size()));
    preview->printer()->setOutputFileName(pdf);
    pages->print();
    seen.Text = PdfText(pdf);
    return seen;
  }

  std::deque<const char*> FAnswers;
  QTemporaryDir FPrinted;
  TModalAnswerer FAnswerer;
};

std::string NowText() {
  const std::time_t t = std::time(nullptr);
  std::tm local{};
  localtime_r(&t, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  return text;
}

class SendingTabsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetOnlineProbe([] { return true; });
    net::SetWaitLimit(std::chrono::milliseconds(3000));
    FData = FStore.Open();
    TTempStore::SignIn(*FData);
    FForm = std::make_unique<TDesktopForm>(*FData);
    OpenEveryTab(*FForm);
    // Nothing listens there until a test starts a server and points a client at it.
    Point(nettest::UnusedPort(), nettest::UnusedPort());
  }
  void TearDown() override {
    FForm.reset();
    SetOnlineProbe(nullptr);
    net::SetWaitLimit(net::kDefaultWaitLimit);
  }

  void Point(uint16_t MailPort, uint16_t WebPort) {
    FForm->IdSMTP1.Host = "127.0.0.1";
    FForm->IdSMTP1.Port = MailPort;
    FForm->IdHTTP1.Host = "127.0.0.1";
    FForm->IdHTTP1.Port = WebPort;
    // The scripted servers speak the plain dialogue, whatever the build's security.
    FForm->IdSMTP1.Security = net::msNone;
    FForm->IdHTTP1.UseTLS = false;
  }

  void Show(QWidget* page) {
    FForm->pgcDesktop->setCurrentWidget(page);
    QApplication::processEvents();
  }

  // Types into an emptied box as a person would: focus, then keys.
  static void Type(QLineEdit* box, const QString& text) {
    box->setFocus();
    box->clear();
    QTest::keyClicks(box, text);
  }

  std::vector<std::vector<std::string>> Rows(const std::string& sql) {
    return Query(FStore.StorePath().toStdString(), sql);
  }

  std::string Log() {
    QFile log(FStore.Folder() + "/QybSmtp.log");
    if (!log.open(QIODevice::ReadOnly)) return {};
    return log.readAll().toStdString();
  }

  void FillSignup(const QString& Phone = "555 0100") {
    Show(FForm->tsFreeCounsel);
    Type(FForm->leFullName, "Ann Example");
    Type(FForm->leEmail, "ann@example.org");
    Type(FForm->leStreetAddress, "1 Main St");
    Type(FForm->leZipCode, "97035");
    Type(FForm->lePhone, Phone);
    Type(FForm->leBestTime, "Evenings");
  }

  QStringList SignupTexts() const {
    QStringList texts;
    for (TLabeledEdit* box : {FForm->leFullName, FForm->leEmail, FForm->leStreetAddress,
                              FForm->leZipCode, FForm->lePhone, FForm->leBestTime}) {
      texts << box->text();
    }
    return texts;
  }

  void FillReferral() {
    Show(FForm->tsReferFriend);
    Type(FForm->leFromName, "Ann Example");
    Type(FForm->leFromEmail, "ann@example.org");
    Type(FForm->leSendToName, "Bob Friend");
    Type(FForm->leSendToEmail, "bob@example.org");
    if (FForm->leSubject->text().isEmpty()) Type(FForm->leSubject, "Hello");
  }

  TTempStore FStore;
  std::unique_ptr<TQuillbyData> FData;
  TApplicationEvents FEvents{aevQuillbyException};
  std::unique_ptr<TDesktopForm> FForm;
};

const char* const kSorry =
    "Sorry, your request could not be completed at this time. Please try again later.";
const char* const kExists =
    "The email entered already exists!\r\n\r\nPlease try with a different email id.";

// ---- Free Counseling ----

TEST_F(SendingTabsTest, SubmitNeedsNameEmailZipAndPhone) {
  Show(FForm->tsFreeCounsel);
  EXPECT_FALSE(FForm->btnFreeCounsel->isEnabled());
  const std::pair<QLineEdit*, const char*> required[] = {{FForm->leFullName, " "},
                                                         {FForm->leEmail, "x"},
                                                         {FForm->leZipCode, "1"},
                                                         {FForm->lePhone, "2"}};
  for (const auto& [box, text] : required) {
    EXPECT_FALSE(FForm->btnFreeCounsel->isEnabled()) << box->objectName().toStdString();
    Type(box, text);
  }
  EXPECT_TRUE(FForm->btnFreeCounsel->isEnabled());
  for (const auto& [box, text] : required) {
    box->clear();
    EXPECT_FALSE(FForm->btnFreeCounsel->isEnabled()) << box->objectName().toStdString();
    Type(box, text);
  }
  EXPECT_EQ(FForm->cboDebtAmount->count(), 6);
  EXPECT_EQ(FForm->cboDebtAmount->currentIndex(), -1);
}

TEST_F(SendingTabsTest, AcceptedSignupIsStoredConfirmedAndClearsTheForm) {
  ScriptServer web({WebServer(Found("/signup/thank-you.html"))});
  Point(nettest::UnusedPort(), web.Port());
  FillSignup("555 %s 100%");
  FForm->cboDebtAmount->setCurrentIndex(2);
  TDialogRecorder recorder;
  QTest::keyClick(FForm->leBestTime, Qt::Key_Return);  // Enter in a box clicks Submit

  ASSERT_EQ(recorder.Shown.size(), 1u);
  EXPECT_EQ(recorder.Shown[0].Name, "SignupDialog");
  EXPECT_EQ(recorder.Shown[0].Cursor, crHourGlass);  // the hourglass stays while it is up
  EXPECT_EQ(recorder.Signup["lblName"], "Ann Example");
  EXPECT_EQ(recorder.Signup["lblEmail"], "ann@example.org");
  EXPECT_EQ(recorder.Signup["lblStreetAddress"], "1 Main St");
  EXPECT_EQ(recorder.Signup["lblZipCode"], "97035");
  EXPECT_EQ(recorder.Signup["lblPhone"], "555 %s 100%");
  EXPECT_EQ(recorder.Signup["lblBestTime"], "Evenings");
  EXPECT_EQ(recorder.Signup["lblDebtAmount"], "$5001 - $10000");
  EXPECT_EQ(recorder.Signup["Label2"],
            "Our representative will be calling you on 555 %s 100% for a free consultation. We "
            "recommend that you document the debt that you currently have, and the amount "
            "currently owed for each creditor.");
  EXPECT_EQ(recorder.Signup["Label1"], "Thank You for signing up with us!");

  const std::string request = web.Received();
  size_t at = 0;
  for (const char* part :
       {"POST /signup/dbsignup.html HTTP/1.0\r\n", "name=\"FldUserType\"\r\n\r\n1\r\n",
        "name=\"FirstName\"\r\n\r\nAnn Example\r\n",
        "name=\"EmailAddress\"\r\n\r\nann@example.org\r\n",
        "name=\"StreetAddress\"\r\n\r\n1 Main St\r\n", "name=\"ZipCode\"\r\n\r\n97035\r\n",
        "name=\"HomePhone\"\r\n\r\n555 %s 100%\r\n", "name=\"BestTime\"\r\n\r\nEvenings\r\n",
        "name=\"DebtAmount\"\r\n\r\n$5001 - $10000\r\n",
        "name=\"ActionButton\"\r\n\r\nquillbyapp\r\n"}) {
    at = request.find(part, at);
    ASSERT_NE(at, std::string::npos) << part;
  }

  EXPECT_EQ(Rows("SELECT \"USER\", FULLNAME, EMAIL, STREETADDRESS, ZIPCODE, BESTPHONE, BESTTIME, "
                 "DEBTAMOUNT FROM Counselling"),
            (std::vector<std::vector<std::string>>{
                {std::to_string(FData->CurrentUserId()), "Ann Example", "ann@example.org",
                 "1 Main St", "97035", "555 %s 100%", "Evenings", "$5001 - $10000"}}));
  EXPECT_EQ(SignupTexts(), QStringList(6, QString()));
  EXPECT_EQ(FForm->cboDebtAmount->currentIndex(), -1);
  EXPECT_EQ(FForm->focusWidget(), FForm->leFullName);
  EXPECT_FALSE(FForm->btnFreeCounsel->isEnabled());
  EXPECT_EQ(ScreenCursor(), crDefault);

  const std::string log = Log();
  EXPECT_EQ(log.find("Stat Connected.\r\n"), 0u) << log;
  EXPECT_NE(log.find("Sent "), std::string::npos);
  EXPECT_NE(log.find("Recv "), std::string::npos);
  EXPECT_NE(log.find("Stat Disconnected.\r\n"), std::string::npos);
}

TEST_F(SendingTabsTest, ARefusalIsShownAndKeepsTheFormAndStoresNothing) {
  const struct {
    std::string Reply;  // empty: nothing listens
    const char* Message;
  } cases[] = {{"", kSorry}, {Found("/signup/emailexists.html"), kExists}};
  for (const auto& c : cases) {
    std::unique_ptr<ScriptServer> web;
    if (!c.Reply.empty()) {
      web = std::make_unique<ScriptServer>(std::vector<Script>{WebServer(c.Reply)});
      Point(nettest::UnusedPort(), web->Port());
    }
    FillSignup();
    const QStringList before = SignupTexts();
    TDialogRecorder recorder;
    QTest::mouseClick(FForm->btnFreeCounsel, Qt::LeftButton);
    ASSERT_EQ(recorder.Shown.size(), 1u) << c.Message;
    EXPECT_EQ(recorder.Shown[0].Text, c.Message);
    EXPECT_EQ(recorder.Shown[0].Cursor, crDefault);
    EXPECT_EQ(SignupTexts(), before);
    EXPECT_EQ(Count(FStore.StorePath().toStdString(), "Counselling"), "0");
  }
}

TEST_F(SendingTabsTest, SignupFieldChecksStopBeforeAnythingIsSent) {
  ScriptServer web({WebServer(Found("/thank-you.html"))});
  Point(nettest::UnusedPort(), web.Port());
  const struct {
    QLineEdit* Box;
    QString Text;
    const char* Message;
    QWidget* Focus;
  } cases[] = {
      {FForm->leFullName, "Ann-Marie", "Name can have alphabets only.", FForm->leFullName},
      {FForm->leFullName, QString::fromUtf8("Zoë"), "Name can have alphabets only.",
       FForm->leFullName},
      {FForm->leEmail, "ann@@example.org", "Please enter a valid email id.", FForm->leEmail},
      {FForm->leZipCode, "", nullptr, FForm->leZipCode},
  };
  for (const auto& c : cases) {
    FillSignup();
    c.Box->setText(c.Text);
    FForm->leBestTime->setFocus();
    TDialogRecorder recorder;
    // A required box left empty disables Submit; the handler still refuses it by itself.
    Guard(FForm.get(), [&] { FForm->btnFreeCounselClick(); });
    const QString message = c.Message
                                ? QString(c.Message)
                                : "Invalid information entered.\r\n\r\n- Name is required.\r\n- "
                                  "Email is required.\r\n- Zip Code is required.\r\n- Best "
                                  "Phone is required.\r\n\r\nPlease correct these fields.";
    EXPECT_EQ(recorder.Messages(), QStringList{message});
    EXPECT_EQ(FForm->focusWidget(), c.Message ? c.Focus : FForm->leBestTime) << c.Message;
    EXPECT_EQ(c.Box->text(), c.Text);
    for (QLineEdit* box : {FForm->leFullName, FForm->leEmail, FForm->leZipCode, FForm->lePhone}) {
      box->clear();
    }
  }
  EXPECT_EQ(web.Accepted(), 0u);
}

TEST_F(SendingTabsTest, AValueTheStoreCannotKeepStopsTheSignupBeforeAnythingIsSent) {
  ScriptServer web({WebServer(Found("/thank-you.html"))});
  Point(nettest::UnusedPort(), web.Port());
  // The boxes take no more than their columns keep; where no column limits one, no limit.
  Show(FForm->tsFreeCounsel);
  Type(FForm->leZipCode, "12345-6789");
  EXPECT_EQ(FForm->leZipCode->text(), "12345-6");
  Type(FForm->lePhone, "+1 555 0100 200 3");
  EXPECT_EQ(FForm->lePhone->text(), "+1 555 0100 20");
  const QString longStreet(40000, QLatin1Char('s'));
  FForm->leStreetAddress->setText(longStreet);
  EXPECT_EQ(FForm->leStreetAddress->text(), longStreet);
  for (QLineEdit* box :
       {static_cast<QLineEdit*>(FForm->leFromName), static_cast<QLineEdit*>(FForm->leSubject)}) {
    box->setText(longStreet);
    EXPECT_EQ(box->text(), longStreet) << box->objectName().toStdString();
  }

  // Whatever a box lets through, a value wider than its column never reaches the service.
  const struct {
    QLineEdit* Box;
    QString Text;
    const char* Message;
  } cases[] = {
      {FForm->leZipCode, "12345-6789", "Zip Code can have at most 7 characters."},
      {FForm->lePhone, "+1 555 0100 200 3", "Best Phone can have at most 14 characters."},
      {FForm->leFullName, QString(51, QLatin1Char('A')), "Name can have at most 50 characters."},
      {FForm->leBestTime, QString(51, QLatin1Char('t')),
       "Best time to call can have at most 50 characters."},
  };
  for (const auto& c : cases) {
    FillSignup();
    c.Box->setMaxLength(32767);
    c.Box->setText(c.Text);
    const QStringList before = SignupTexts();
    FForm->leFullName->setFocus();
    TDialogRecorder recorder;
    QTest::mouseClick(FForm->btnFreeCounsel, Qt::LeftButton);
    EXPECT_EQ(recorder.Messages(), QStringList{c.Message});
    EXPECT_EQ(FForm->focusWidget(), c.Box) << c.Message;
    EXPECT_EQ(SignupTexts(), before);
  }
  EXPECT_EQ(web.Accepted(), 0u);
  EXPECT_EQ(Log(), "");
  EXPECT_EQ(Count(FStore.StorePath().toStdString(), "Counselling"), "0");
}

// ---- Refer a friend ----

TEST_F(SendingTabsTest, TemplateIsFilledAtCreationAndBySendRulesOfTheFiveBoxes) {
  // As the deployment names the site: its scheme and host, and its port where not the scheme's.
  const QString scheme = deployment::kWebScheme;
  const int standardPort = scheme == "https" ? 443 : 80;
  const QString site =
      scheme + "://" + deployment::kWebHost +
      (deployment::kWebPort == standardPort ? QString()
                                            : ":" + QString::number(deployment::kWebPort));
  const QString expected =
      "Hi,\n\nThe community here is truly concerned to remove you from debt hassles, and guide you "
      "towards being debt free. During my tough times they had helped me. Being totally aware of "
      "your financial pressures and debt problems, I would suggest you to seek immediate help from "
      "Marrowvale.\n\nStart Today at " +
      site +
      "/signup/\n\nThanks\n\n\nSome Helpful sections\n"
      "-------------------------\nEarn $100-$900 per month from forums -\n" +
      site + "/forums/about553.html\n\nCheck out the DIY section - " + site + "/diy/\n";
  EXPECT_EQ(FForm->memComments->toPlainText(), expected);
  EXPECT_EQ(FForm->memComments->textCursor().position(), 0);
  EXPECT_EQ(FForm->leSubject->text(), "Start your journey to be debt free.");
  EXPECT_FALSE(FForm->btnSendEmail->isEnabled());

  FillReferral();
  EXPECT_TRUE(FForm->btnSendEmail->isEnabled());
  // The memo does not run the rule; the next change of a box does.
  FForm->memComments->clear();
  EXPECT_TRUE(FForm->btnSendEmail->isEnabled());
  QTest::keyClicks(FForm->leSubject, "!");
  EXPECT_FALSE(FForm->btnSendEmail->isEnabled());

  QTest::mouseClick(FForm->btnReset, Qt::LeftButton);
  for (QLineEdit* box :
       {static_cast<QLineEdit*>(FForm->leFromName), static_cast<QLineEdit*>(FForm->leFromEmail),
        static_cast<QLineEdit*>(FForm->leSendToName), static_cast<QLineEdit*>(FForm->leSendToEmail),
        static_cast<QLineEdit*>(FForm->leSubject)}) {
    EXPECT_TRUE(box->text().isEmpty()) << box->objectName().toStdString();
  }
  EXPECT_EQ(FForm->memComments->toPlainText(), expected);
  EXPECT_FALSE(FForm->btnSendEmail->isEnabled());
}

TEST_F(SendingTabsTest, ReferralGoesToTheFriendWithTheManagerInBlindCopy) {
  ScriptServer mail({MailServer(2)});
  Point(mail.Port(), nettest::UnusedPort());
  FillReferral();
  FForm->leSubject->setText("Debt & you <3");
  FForm->memComments->setPlainText(
      QString::fromUtf8("Hi Bob,\n.hidden & <b>bold</b> <a href=\"x\">\nCafé"));
  TDialogRecorder recorder;
  QTest::keyClick(FForm->leSendToEmail, Qt::Key_Enter);

  ASSERT_EQ(recorder.Shown.size(), 1u);
  EXPECT_EQ(recorder.Shown[0].Text,
            "Thank you for referring your friend to us.\r\n\r\nYou can refer some more of your "
            "friends if you like.");
  EXPECT_EQ(recorder.Shown[0].Cursor, crDefault);
  const std::string wire = mail.Received();
  for (const std::string& part :
       {std::string("MAIL FROM:<ann@example.org>\r\nRCPT TO:<bob@example.org>\r\nRCPT TO:<") +
            deployment::kManagerAddress + ">\r\nDATA\r\n",
        std::string("From: \"Ann Example\" <ann@example.org>\r\n"),
        std::string("Subject: Debt & you <3\r\n"),
        std::string("To: \"Bob Friend\" <bob@example.org>\r\n"),
        std::string("Content-Type: text/html\r\n"),
        // Typed text reads as text in the HTML; only the line breaks become markup.
        std::string("\r\n<html><head><title></title></head>\r\n<body>\r\nHi Bob,<br>.hidden &amp; "
                    "&lt;b&gt;bold&lt;/b&gt; &lt;a href=&quot;x&quot;&gt;<br>Caf\xe9\r\n"
                    "</body></html>\r\n.\r\nQUIT\r\n")}) {
    EXPECT_NE(wire.find(part), std::string::npos) << part << "\n--- in ---\n" << wire;
  }
  const std::string header = wire.substr(0, wire.find("\r\n\r\n"));
  EXPECT_EQ(header.find(deployment::kManagerAddress, header.find("DATA")), std::string::npos);

  EXPECT_TRUE(FForm->leSendToName->text().isEmpty());
  EXPECT_TRUE(FForm->leSendToEmail->text().isEmpty());
  EXPECT_EQ(FForm->focusWidget(), FForm->leSendToName);
  EXPECT_EQ(FForm->leFromName->text(), "Ann Example");
  EXPECT_EQ(FForm->leSubject->text(), "Debt & you <3");
  EXPECT_FALSE(FForm->btnSendEmail->isEnabled());
}

TEST_F(SendingTabsTest, ReferralFieldChecksFocusTheBoxAndSendNothing) {
  ScriptServer mail({MailServer(2)});
  Point(mail.Port(), nettest::UnusedPort());
  const struct {
    TLabeledEdit* Box;
    const char* Text;
    const char* Message;
  } cases[] = {
      {FForm->leFromName, "Ann O'Neil", "Name can have alphabets only."},
      {FForm->leFromEmail, "ann@example", "Please enter a valid email id."},
      {FForm->leSendToName, "Bob-Bo", "Name can have alphabets only."},
      {FForm->leSendToEmail, " bob@example.org", "Please enter a valid email id."},
  };
  for (const auto& c : cases) {
    FillReferral();
    c.Box->setText(c.Text);
    TDialogRecorder recorder;
    QTest::mouseClick(FForm->btnSendEmail, Qt::LeftButton);
    EXPECT_EQ(recorder.Messages(), QStringList{c.Message}) << c.Text;
    EXPECT_EQ(FForm->focusWidget(), c.Box) << c.Text;
    EXPECT_EQ(c.Box->text(), c.Text);
    QTest::mouseClick(FForm->btnReset, Qt::LeftButton);
  }
  EXPECT_EQ(mail.Accepted(), 0u);
}

const char* const kReferLater =
    "Please feel free to use our Refer a friend section to share the benefits with your friends, "
    "at a later time";

TEST_F(SendingTabsTest, MailFailuresCarryTheTabsSentenceOnceAfterOneLineBreak) {
  const struct {
    const char* Name;
    std::vector<Script> Scripts;  // none: nothing listens
    std::string Message;
  } cases[] = {
      {"Refused", {}, "Socket Error # 10061\r\nConnection refused.\r\n"},
      {"WrongPassword",
       {MailServer(2, {"", "", "", "535 5.7.8 Authentication failed\r\n"})},
       "5.7.8 Authentication failed\r\n"},
      {"RecipientRefused",
       {MailServer(2, {"", "", "", "", "", "", "550 5.1.1 Mailbox unavailable\r\n"})},
       "5.1.1 Mailbox unavailable\r\n"},
      {"GreetingRefused", {{Send("554 No thanks\r\n")}}, "No thanks\r\n"},
      {"ClosedMidway",
       {{Send("220 hi\r\n"), Line(), Close()}},
       "Connection Closed Gracefully.\r\n"},
  };
  for (const auto& c : cases) {
    std::unique_ptr<ScriptServer> mail;
    uint16_t port = nettest::UnusedPort();
    if (!c.Scripts.empty()) {
      mail = std::make_unique<ScriptServer>(c.Scripts);
      port = mail->Port();
    }
    Point(port, nettest::UnusedPort());
    FillReferral();
    TDialogRecorder recorder;
    QTest::mouseClick(FForm->btnSendEmail, Qt::LeftButton);
    ASSERT_EQ(recorder.Shown.size(), 1u) << c.Name;
    EXPECT_EQ(recorder.Shown[0].Text.toStdString(), c.Message + kReferLater) << c.Name;
    EXPECT_EQ(recorder.Shown[0].Cursor, crDefault) << c.Name;
    EXPECT_EQ(FForm->leSendToName->text(), "Bob Friend") << c.Name;
    EXPECT_EQ(FForm->leSendToEmail->text(), "bob@example.org") << c.Name;
    if (mail && c.Scripts[0].size() > 4) {
      EXPECT_NE(mail->Received().find("QUIT\r\n"), std::string::npos) << c.Name;
    }
    QTest::mouseClick(FForm->btnReset, Qt::LeftButton);
  }
}

// ---- Help us improve ----

TEST_F(SendingTabsTest, FeedbackIsMailedThenStoredAndKept) {
  const QString bigText(100000, QLatin1Char('x'));
  const QString threeLines =
      QString::fromUtf8("First & <last> <img src=\"http://t.example/p.png\">\n.dotted\nThird é");
  for (const QString& text : {threeLines, bigText}) {
    ScriptServer mail({MailServer(1)});
    Point(mail.Port(), nettest::UnusedPort());
    Show(FForm->tsHelpImprove);
    FForm->memHelpImprove->setPlainText(text);
    ASSERT_TRUE(FForm->btnHelpImprove->isEnabled());
    const std::string before = NowText();
    TDialogRecorder recorder;
    QTest::mouseClick(FForm->btnHelpImprove, Qt::LeftButton);
    const std::string after = NowText();

    ASSERT_EQ(recorder.Shown.size(), 1u);
    EXPECT_EQ(recorder.Shown[0].Text,
              "Thank you for your valuable feedback\r\n\r\nWe will definitely try to improve our "
              "services based on your comment.");
    EXPECT_EQ(recorder.Shown[0].Cursor, crDefault);
    const std::string wire = mail.Received();
    const std::string header = wire.substr(0, wire.find("\r\n\r\n"));
    EXPECT_EQ(header.find("Subject:"), std::string::npos);
    EXPECT_NE(header.find(std::string("From: \"Quillby\" <") + deployment::kMailAccount + ">"),
              std::string::npos)
        << header;
    EXPECT_NE(wire.find(std::string("RCPT TO:<") + deployment::kManagerAddress + ">\r\nDATA"),
              std::string::npos);
    if (text == threeLines) {
      EXPECT_NE(
          wire.find("<p>Following is the feedback provided by a Quillby user:</p>\r\n"
                    "<p>First &amp; &lt;last&gt; &lt;img src=&quot;http://t.example/p.png&quot;"
                    "&gt;\r\n..dotted\r\nThird \xe9</p></body></html>\r\n.\r\n"),
          std::string::npos)
          << wire;
    } else {
      EXPECT_GT(wire.size(), 100000u);
    }
    const auto rows =
        Rows("SELECT \"USER\", COMMENT, \"TIMESTAMP\" FROM HelpImprove ORDER BY IID DESC");
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows[0][0], std::to_string(FData->CurrentUserId()));
    QString stored = QString::fromStdString(rows[0][1]);
    EXPECT_EQ(stored, QString(text).replace("\n", "\r\n").toUtf8());
    EXPECT_GE(rows[0][2], before);
    EXPECT_LE(rows[0][2], after);
    EXPECT_EQ(FForm->memHelpImprove->toPlainText(), text);
    EXPECT_TRUE(FForm->btnHelpImprove->isEnabled());
  }
}

TEST_F(SendingTabsTest, FeedbackThatCannotBeSentIsNotStoredAndASecondTryWorks) {
  Show(FForm->tsHelpImprove);
  EXPECT_FALSE(FForm->btnHelpImprove->isEnabled());
  QTest::keyClick(FForm->memHelpImprove, Qt::Key_Return);  // a line break alone counts
  EXPECT_TRUE(FForm->btnHelpImprove->isEnabled());
  QTest::keyClicks(FForm->memHelpImprove, "Thanks");
  {
    TDialogRecorder recorder;
    QTest::mouseClick(FForm->btnHelpImprove, Qt::LeftButton);
    EXPECT_EQ(
        recorder.Messages(),
        QStringList{"Socket Error # 10061\r\nConnection refused.\r\nPlease feel free to use our "
                    "Feeback section to comment on our services at a later time"});
    EXPECT_EQ(recorder.Shown.at(0).Cursor, crDefault);
  }
  EXPECT_EQ(Count(FStore.StorePath().toStdString(), "HelpImprove"), "0");
  EXPECT_EQ(FForm->memHelpImprove->toPlainText(), "\nThanks");

  ScriptServer mail({MailServer(1)});
  Point(mail.Port(), nettest::UnusedPort());
  TDialogRecorder recorder;
  QTest::mouseClick(FForm->btnHelpImprove, Qt::LeftButton);
  EXPECT_EQ(recorder.Shown.size(), 1u);
  EXPECT_EQ(Rows("SELECT COMMENT FROM HelpImprove"),
            (std::vector<std::vector<std::string>>{{"\r\nThanks"}}));
}

TEST_F(SendingTabsTest, AuthenticationAnsweredFalseFailsBothMailTabs) {
  // Only a client set to send no authentication answers false; the tabs fail then, after QUIT.
  ScriptServer mail({{Send("220 hi\r\n"), Line(), Send("250 hi\r\n")},
                     {Send("220 hi\r\n"), Line(), Send("250 hi\r\n")}});
  Point(mail.Port(), nettest::UnusedPort());
  FForm->IdSMTP1.AuthenticationType = net::atNone;
  FillReferral();
  TDialogRecorder recorder;
  QTest::mouseClick(FForm->btnSendEmail, Qt::LeftButton);
  Show(FForm->tsHelpImprove);
  FForm->memHelpImprove->setPlainText("Hello");
  QTest::mouseClick(FForm->btnHelpImprove, Qt::LeftButton);
  EXPECT_EQ(recorder.Messages(),
            (QStringList{QString("SMTP Authentication failed.\r\n") + kReferLater,
                         "SMTP Authentication failed.\r\nPlease feel free to use our Feeback "
                         "section to comment on our services at a later time"}));
  EXPECT_EQ(mail.Received(0), "EHLO Quillby\r\nQUIT\r\n");
  EXPECT_EQ(FForm->leSendToName->text(), "Bob Friend");
  EXPECT_EQ(Count(FStore.StorePath().toStdString(), "HelpImprove"), "0");
}

TEST_F(SendingTabsTest, FeedbackSentButNotStoredShowsTheStoresOwnErrorAndNoThanks) {
  ScriptServer mail({MailServer(1)});
  Point(mail.Port(), nettest::UnusedPort());
  Show(FForm->tsHelpImprove);
  FForm->memHelpImprove->setPlainText("Hello");
  FData->Close();
  ASSERT_TRUE(QFile::remove(FStore.StorePath()));
  TDialogRecorder recorder;
  QTest::mouseClick(FForm->btnHelpImprove, Qt::LeftButton);
  ASSERT_EQ(recorder.Shown.size(), 1u);
  EXPECT_TRUE(recorder.Shown[0].Text.contains("quillby.mdb"))
      << recorder.Shown[0].Text.toStdString();
  EXPECT_FALSE(recorder.Shown[0].Text.contains("Please feel free"));
  EXPECT_EQ(recorder.Shown[0].Cursor, crDefault);
  EXPECT_NE(mail.Received().find("\r\n.\r\n"), std::string::npos);  // the mail had gone
  EXPECT_EQ(FForm->memHelpImprove->toPlainText(), "Hello");
}

// ---- All three ----

TEST_F(SendingTabsTest, OfflineEachTabAsksAndSendsNothing) {
  SetOnlineProbe([] { return false; });
  ScriptServer mail({MailServer(2), MailServer(2)});
  ScriptServer web({WebServer(Found("/thank-you.html")), WebServer(Found("/thank-you.html"))});
  Point(mail.Port(), web.Port());
  const struct {
    const char* Name;
    std::function<void()> Fill;
    QPushButton* Button;
    const char* FollowUp;
  } tabs[] = {
      {"FreeCounsel", [this] { FillSignup(); }, FForm->btnFreeCounsel,
       "Please feel free to use our \"Free Counseling\" section to sign up at a later time."},
      {"ReferFriend", [this] { FillReferral(); }, FForm->btnSendEmail,
       "Please feel free to use our \"Refer a friend\" section to share the benefits with your "
       "friends at a later time."},
      {"HelpImprove",
       [this] {
         Show(FForm->tsHelpImprove);
         FForm->memHelpImprove->setPlainText("Hello");
       },
       FForm->btnHelpImprove,
       "Please feel free to use our Feedback section to comment on our services at a later time."},
  };
  const QString prompt =
      "An Internet connection was not detected.\r\n\r\nWould you like to print and send a fax to "
      "us "
      "instead?";
  for (const auto& tab : tabs) {
    for (const char* answer : {"btnOK", "btnNo"}) {  // Yes is the OK button's place
      tab.Fill();
      TDialogRecorder recorder({answer});
      QTest::mouseClick(tab.Button, Qt::LeftButton);
      QStringList expected{prompt};
      if (QString(answer) == "btnNo") expected << tab.FollowUp;
      EXPECT_EQ(recorder.Messages(), expected) << tab.Name << " " << answer;
      for (const auto& shown : recorder.Shown) EXPECT_EQ(shown.Cursor, crDefault);
    }
  }
  EXPECT_EQ(mail.Accepted(), 0u);
  EXPECT_EQ(web.Accepted(), 0u);
  EXPECT_EQ(Count(FStore.StorePath().toStdString(), "Counselling"), "0");
  EXPECT_EQ(Count(FStore.StorePath().toStdString(), "HelpImprove"), "0");
  EXPECT_EQ(Log(), "");
}

// Text without its white space, as wrapping on a page may break a value anywhere.
QString Squashed(const QString& Text) {
  QString squashed;
  for (const QChar c : Text) {
    if (!c.isSpace()) squashed += c;
  }
  return squashed;
}

TEST_F(SendingTabsTest, OfflineYesPreviewsTheTabsFaxSheetAndEscEndsTheAction) {
  SetOnlineProbe([] { return false; });
  ScriptServer mail({MailServer(2)});
  ScriptServer web({WebServer(Found("/thank-you.html"))});
  Point(mail.Port(), web.Port());
  const QString street = QString::fromUtf8("12 <i>Rue</i> de l'Église & Co.");
  const QString bestTime = QString::fromUtf8("Après 18h \"evenings\"");
  const QString subject = "Start \"today\" & <u>now</u>";
  const QString comment = QString::fromUtf8("Hi Bob,\n<b>Tom</b> &amp; Jerry: ünïcödé\n");
  const QString feedback = QString::fromUtf8("First & <b>last</b>\n\"Quoted\" ünïcödé");
  const struct {
    const char* Name;
    std::function<void()> Fill;
    QPushButton* Button;
    QStringList Expected;
  } tabs[] = {
      {"FreeCounsel",
       [&] {
         FillSignup("(555) 0100 %s");
         FForm->leStreetAddress->setText(street);
         FForm->leBestTime->setText(bestTime);
         FForm->cboDebtAmount->setCurrentIndex(2);
       },
       FForm->btnFreeCounsel,
       {"Re:", "Free Counseling", "Name:", "Ann Example", "Email:", "ann@example.org",
        "Street Address:", street, "Zip Code:", "97035", "Phone:", "(555) 0100 %s",
        "Best time to call:", bestTime, "Debt Amount:", "$5001 - $10000",
        "Please call me on (555) 0100 %s for a free consultation; the best time to call "
        "me is " +
            bestTime + "."}},
      {"ReferFriend",
       [&] {
         FillReferral();
         Type(FForm->leSubject, subject);
         FForm->memComments->setPlainText(comment);
       },
       FForm->btnSendEmail,
       {"Re:", "Refer a friend", "Send To Name:", "Bob Friend", "Send to Email:", "bob@example.org",
        "From Name:", "Ann Example", "From Email:", "ann@example.org", "Subject:", subject,
        "Comment:", "Hi Bob,", QString::fromUtf8("<b>Tom</b> &amp; Jerry: ünïcödé")}},
      {"HelpImprove",
       [&] {
         Show(FForm->tsHelpImprove);
         FForm->memHelpImprove->setPlainText(feedback);
       },
       FForm->btnHelpImprove,
       {"Re:", "Help us improve", "Feedback:", "First & <b>last</b>",
        QString::fromUtf8("\"Quoted\" ünïcödé")}},
  };
  const auto fields = [this] {
    QStringList texts = SignupTexts();
    texts << FForm->cboDebtAmount->currentText();
    for (QLineEdit* box : {FForm->leFromName, FForm->leFromEmail, FForm->leSendToName,
                           FForm->leSendToEmail, FForm->leSubject}) {
      texts << box->text();
    }
    return texts << FForm->memComments->toPlainText() << FForm->memHelpImprove->toPlainText();
  };
  for (const auto& tab : tabs) {
    tab.Fill();
    const QStringList before = fields();
    TDialogRecorder recorder({"btnOK"});  // Yes is the OK button's place
    QTest::mouseClick(tab.Button, Qt::LeftButton);

    ASSERT_EQ(recorder.Shown.size(), 2u) << tab.Name;
    EXPECT_EQ(recorder.Shown[1].Name, "PrintPreview") << tab.Name;
    EXPECT_EQ(recorder.Shown[1].Cursor, crDefault) << tab.Name;
    const auto& preview = recorder.Previews.at(0);
    EXPECT_EQ(preview.Title, "Quillby Desktop") << tab.Name;
    EXPECT_TRUE(preview.HasIcon) << tab.Name;
    EXPECT_EQ(preview.Focus, "Print") << tab.Name;
    EXPECT_FALSE(preview.OverrideCursor) << tab.Name;
    EXPECT_EQ(preview.Pages, 1) << tab.Name;
    const QString printed = Squashed(preview.Text);
    QStringList expected = {"From:", "Ann Example", "Fax:", "1-800-555-0190, 1-800-555-0191",
                            "Page 1 of 1"};
    for (const QString& value : expected + tab.Expected) {
      EXPECT_TRUE(printed.contains(Squashed(value))) << tab.Name << ": " << value.toStdString();
    }
    // Esc has closed the preview and the action has ended, the fields as they were.
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << tab.Name;
    EXPECT_EQ(fields(), before) << tab.Name;
  }
  EXPECT_EQ(mail.Accepted(), 0u);
  EXPECT_EQ(web.Accepted(), 0u);
  EXPECT_EQ(Count(FStore.StorePath().toStdString(), "Counselling"), "0");
  EXPECT_EQ(Count(FStore.StorePath().toStdString(), "HelpImprove"), "0");
  EXPECT_EQ(Log(), "");
}

// The log's entries in order, each as its kind and its bytes with every digit masked, so that
// two conversations compare although their times and dates differ.
std::vector<std::string> LogEntries(const std::string& Log) {
  std::vector<std::string> entries;
  for (size_t at = 0, end; (end = Log.find("\r\n", at)) != std::string::npos; at = end + 2) {
    std::string entry = Log.substr(at, end - at);
    const size_t colon = entry.find(": ");
    if (colon != std::string::npos) entry = entry.substr(0, 4) + entry.substr(colon);
    for (char& c : entry) {
      if (c >= '0' && c <= '9') c = '#';
    }
    entries.push_back(entry);
  }
  return entries;
}

// Counts the window's paintings, and notes the cursor each one was painted under.
class TPaintWatch : public QObject {
 public:
  std::atomic<int> Paints{0};
  std::vector<int> Cursors;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) {
      ++Paints;
      Cursors.push_back(ScreenCursor());
    }
    return false;
  }
};

TEST_F(SendingTabsTest, ASlowServerLeavesTheWindowPaintingAndHoldsInputTillTheHandlerEnds) {
  Show(FForm->tsHelpImprove);
  FForm->memHelpImprove->setPlainText("Feedback");
  {
    ScriptServer mail({MailServer(1)});
    Point(mail.Port(), nettest::UnusedPort());
    TDialogRecorder recorder;
    QTest::mouseClick(FForm->btnHelpImprove, Qt::LeftButton);
    ASSERT_EQ(recorder.Shown.size(), 1u);
  }
  const std::string quick = Log();

  // The same conversation, the server keeping quiet for two seconds after the greeting.
  Script slow = MailServer(1);
  slow.insert(slow.begin() + 2, Pause(2000));
  ScriptServer mail({slow});
  Point(mail.Port(), nettest::UnusedPort());
  TPaintWatch watch;
  FForm->installEventFilter(&watch);
  std::atomic<int> ticks{0};
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
  timer.start(20);
  QPlainTextEdit* memo = FForm->memHelpImprove;
  memo->setFocus();

  // While the server keeps quiet: a key is typed into the memo, and the window is asked to
  // paint itself every 100 ms, as the desktop asks a window that is uncovered bit by bit.
  struct {
    int Paints = -1, Ticks = -1;
  } before, after;
  // Made here: an input event needs the GUI thread's input device.
  auto press = std::make_unique<QKeyEvent>(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, "x");
  auto release = std::make_unique<QKeyEvent>(QEvent::KeyRelease, Qt::Key_X, Qt::NoModifier, "x");
  std::thread stall([&] {
    for (int i = 0; i < 1000 && mail.Accepted() == 0; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    before = {watch.Paints.load(), ticks.load()};
    QCoreApplication::postEvent(memo, press.release());
    QCoreApplication::postEvent(memo, release.release());
    for (int i = 0; i < 15; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      QMetaObject::invokeMethod(FForm.get(), [form = FForm.get()] { form->update(); });
    }
    after = {watch.Paints.load(), ticks.load()};
  });
  TDialogRecorder recorder;
  QTest::mouseClick(FForm->btnHelpImprove, Qt::LeftButton);
  // The handler has ended; the key is still held.
  const QString memoAtEnd = memo->toPlainText();
  stall.join();
  FForm->removeEventFilter(&watch);

  ASSERT_EQ(recorder.Shown.size(), 1u);
  EXPECT_EQ(recorder.Shown[0].Text,
            "Thank you for your valuable feedback\r\n\r\nWe will definitely try to improve our "
            "services based on your comment.");
  EXPECT_EQ(memoAtEnd, "Feedback");
  EXPECT_EQ(Rows("SELECT COMMENT FROM HelpImprove ORDER BY IID"),
            (std::vector<std::vector<std::string>>{{"Feedback"}, {"Feedback"}}));
  ASSERT_GE(before.Paints, 0) << "the server was never reached";
  // The window went on painting, always under the hourglass, and nothing else ran: no timer.
  EXPECT_GE(after.Paints - before.Paints, 8);
  EXPECT_EQ(after.Ticks, before.Ticks);
  for (int cursor : std::vector<int>(watch.Cursors.begin() + before.Paints,
                                     watch.Cursors.begin() + after.Paints)) {
    EXPECT_EQ(cursor, crHourGlass);
  }
  ::testing::Test::RecordProperty("PaintsDuringStall", after.Paints - before.Paints);
  // After the handler the key is dealt with, and the timer runs again.
  EXPECT_TRUE(WaitFor([&] { return memo->toPlainText().contains('x') && ticks > after.Ticks; }));
  // The log has the same entries in the same order as without the wait.
  const std::string all = Log();
  EXPECT_EQ(LogEntries(all.substr(quick.size())), LogEntries(quick));
}

// Runs Step on the GUI thread once Server has taken the connection, that is while the handler
// waits for a server that keeps quiet.
class TWhileStalled {
 public:
  TWhileStalled(ScriptServer& Server, QObject* Context, std::function<void()> Step)
      : FThread([&Server, Context, Step = std::move(Step)] {
          for (int i = 0; i < 2000 && Server.Accepted() == 0; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
          }
          QMetaObject::invokeMethod(Context, Step, Qt::QueuedConnection);
        }) {}
  ~TWhileStalled() { FThread.join(); }

 private:
  std::thread FThread;
};

Script SlowMailServer() {
  Script slow = MailServer(1);
  slow.insert(slow.begin() + 2, Pause(1500));
  return slow;
}

TEST_F(SendingTabsTest, APaintFailureDuringASendIsReportedOnceAfterTheHandler) {
  Show(FForm->tsHelpImprove);
  FForm->memHelpImprove->setPlainText("Feedback");
  ScriptServer mail({SlowMailServer()});
  Point(mail.Port(), nettest::UnusedPort());
  TButtonTabBar* tabs = FForm->pgcDesktop->ButtonTabBar();
  bool failing = false;
  int throws = 0;
  tabs->SetOnDrawTab([&](QPainter&, int, const QRect&, bool) {
    if (!failing) return;
    ++throws;
    throw Exception("The tabs could not be drawn.");
  });
  bool stalled = false;
  TWhileStalled stall(mail, FForm.get(), [&] {
    stalled = TConversationHold::Running();
    failing = true;
    for (int i = 0; i < 3; ++i) tabs->repaint();
    failing = false;
  });
  TDialogRecorder recorder;
  QTest::mouseClick(FForm->btnHelpImprove, Qt::LeftButton);
  ASSERT_TRUE(WaitFor([&] { return recorder.Shown.size() >= 2; }));
  QApplication::processEvents();

  EXPECT_TRUE(stalled);
  EXPECT_GE(throws, 3);
  EXPECT_EQ(recorder.Messages(),
            (QStringList{"Thank you for your valuable feedback\r\n\r\nWe will definitely try to "
                         "improve our services based on your comment.",
                         "The tabs could not be drawn."}));
  EXPECT_EQ(recorder.Shown.back().Cursor, crDefault);
  EXPECT_EQ(Rows("SELECT COMMENT FROM HelpImprove"),
            (std::vector<std::vector<std::string>>{{"Feedback"}}));
}

TEST_F(SendingTabsTest, APaintFailureIsReportedAfterThePaintingAndOnlyOnce) {
  ASSERT_TRUE(QTest::qWaitForWindowExposed(FForm.get()));
  TButtonTabBar* tabs = FForm->pgcDesktop->ButtonTabBar();
  int throws = 0;
  tabs->SetOnDrawTab([&](QPainter&, int, const QRect&, bool) {
    ++throws;
    throw Exception("The tab bar could not be drawn.");
  });
  TMessageCatcher catcher;
  tabs->repaint();
  ASSERT_GE(throws, 1);
  EXPECT_TRUE(catcher.Messages.isEmpty()) << "reported from inside the painting";
  ASSERT_TRUE(
      WaitFor([&] { return !catcher.Messages.isEmpty() && !QApplication::activeModalWidget(); }));
  // The repaints after the report fail again; the failure is told once.
  const int reported = throws;
  for (int i = 0; i < 3; ++i) tabs->repaint();
  QApplication::processEvents();
  EXPECT_GT(throws, reported);
  EXPECT_EQ(catcher.Messages, QStringList{"The tab bar could not be drawn."});
}

TEST_F(SendingTabsTest, DuringASendNothingReachesTheMemoAndNoSecondConversationStarts) {
  Show(FForm->tsHelpImprove);
  QPlainTextEdit* memo = FForm->memHelpImprove;
  memo->setPlainText("Feedback");
  memo->setFocus();
  ScriptServer mail({SlowMailServer()});
  Point(mail.Port(), nettest::UnusedPort());
  QMimeData dragged;
  dragged.setText("dropped");
  bool stalled = false, dropAccepted = true;
  std::string second;
  TWhileStalled stall(mail, FForm.get(), [&] {
    stalled = TConversationHold::Running();
    // Text dragged in from another program, and an input method's commit.
    const QPoint at(5, 5);
    QDragEnterEvent enter(at, Qt::CopyAction, &dragged, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(memo->viewport(), &enter);
    QDropEvent drop(at, Qt::CopyAction, &dragged, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(memo->viewport(), &drop);
    dropAccepted = drop.isAccepted();
    QInputMethodEvent commit;
    commit.setCommitString(" typed");
    QCoreApplication::sendEvent(memo, &commit);
    try {
      FForm->Converse([] {});
    } catch (const Exception& failure) {
      second = failure.Message();
    }
  });
  TDialogRecorder recorder;
  QTest::mouseClick(FForm->btnHelpImprove, Qt::LeftButton);
  const QString memoAtEnd = memo->toPlainText();

  EXPECT_TRUE(stalled);
  EXPECT_FALSE(dropAccepted);
  EXPECT_EQ(second, "A network conversation is already running.");
  ASSERT_EQ(recorder.Shown.size(), 1u);
  EXPECT_EQ(memoAtEnd, "Feedback");
  EXPECT_NE(mail.Received().find("<p>Feedback</p></body></html>\r\n.\r\n"), std::string::npos);
  EXPECT_EQ(Rows("SELECT COMMENT FROM HelpImprove"),
            (std::vector<std::vector<std::string>>{{"Feedback"}}));
  // The commit was held, as a key would be, and comes after the handler; the drop was refused.
  EXPECT_TRUE(WaitFor([&] { return memo->toPlainText().contains("typed"); }));
  EXPECT_FALSE(memo->toPlainText().contains("dropped"));
}

TEST_F(SendingTabsTest, AScreenReaderDuringASignupChangesNothingSentStoredOrConfirmed) {
  ScriptServer web({{HttpRequest(), Pause(1500), Send(Found("/signup/thank-you.html")), Close()}});
  Point(nettest::UnusedPort(), web.Port());
  FillSignup();
  const int user = FData->CurrentUserId();
  bool stalled = false;
  TWhileStalled stall(web, FForm.get(), [&] {
    stalled = TConversationHold::Running();
    QAccessibleInterface* zip = QAccessible::queryAccessibleInterface(FForm->leZipCode);
    zip->editableTextInterface()->replaceText(0, 5, "11111");
    QAccessibleInterface* logout = QAccessible::queryAccessibleInterface(FForm->lblLogout);
    logout->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
  });
  TDialogRecorder recorder;
  QTest::mouseClick(FForm->btnFreeCounsel, Qt::LeftButton);

  EXPECT_TRUE(stalled);
  ASSERT_EQ(recorder.Shown.size(), 1u);
  EXPECT_EQ(recorder.Shown[0].Name, "SignupDialog");
  EXPECT_EQ(recorder.Signup["lblZipCode"], "97035");
  EXPECT_NE(web.Received().find("name=\"ZipCode\"\r\n\r\n97035\r\n"), std::string::npos);
  EXPECT_EQ(Rows("SELECT \"USER\", ZIPCODE FROM Counselling"),
            (std::vector<std::vector<std::string>>{{std::to_string(user), "97035"}}));
  // The press is answered once the handler has ended: the user is logged out then.
  EXPECT_TRUE(WaitFor([&] { return !FForm->isVisible(); }));
  EXPECT_EQ(FData->CurrentUserId(), 0);
}

TEST(DesktopLogTest, ASecondWindowInTheSameFolderCannotOpenTheLog) {
  TTempStore store;
  auto data = store.Open();
  TTempStore::SignIn(*data);
  TDesktopForm first(*data);
  try {
    TDesktopForm second(*data);
    ADD_FAILURE() << "the second window was built";
  } catch (const Exception& failure) {
    EXPECT_EQ(
        failure.Message().rfind(
            "Cannot open file \"" + (store.Folder() + "/QybSmtp.log").toStdString() + "\". ", 0),
        0u)
        << failure.Message();
  }
}

}  // namespace
