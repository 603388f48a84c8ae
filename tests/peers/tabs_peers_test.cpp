#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include "deployment.h"
#include "desktop/desktop_form.h"
#include "desktop/input_checks.h"
#include "dialogs/app_events.h"
#include "dialogs/error_report.h"
#include "dialogs/labeled_edit.h"
#include "gui_support.h"
#include "peer_process.h"
#include "report.h"
#include "tests/data/store_fixture.h"

// The three sending tabs, clicked as a person would, against the service stand-in's own mail
// and web servers; what they received is read back by Python's e-mail parser and werkzeug.
namespace {

using peers::ReadReport;
using peers::Report;

std::vector<std::string> Values(const Report& report, const std::string& key) {
  std::vector<std::string> values;
  for (const auto& [k, v] : report) {
    if (k == key) values.push_back(v);
  }
  return values;
}

class TabsPeersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetOnlineProbe([] { return true; });
    FData = FStore.Open();
    TTempStore::SignIn(*FData);
    FForm = std::make_unique<TDesktopForm>(*FData);
    OpenEveryTab(*FForm);
    std::filesystem::create_directory(Reports());
  }
  void TearDown() override {
    FForm.reset();
    SetOnlineProbe(nullptr);
  }

  std::filesystem::path Reports() const { return FStore.Folder().toStdString() + "/reports"; }

  // Clicks the button and closes every message that follows with OK; their texts are returned.
  QStringList Click(QPushButton* button) {
    TMessageCatcher catcher;
    QTest::mouseClick(button, Qt::LeftButton);
    return catcher.Messages;
  }

  TTempStore FStore;
  std::unique_ptr<TQuillbyData> FData;
  TApplicationEvents FEvents{aevQuillbyException};
  std::unique_ptr<TDesktopForm> FForm;
};

// The peers speak what the build does, over TLS with the stand-in's own authority.
std::vector<std::string> WebPeer(const std::filesystem::path& reports) {
  std::vector<std::string> args = {PEERS_DIR "/http_peer.py", reports.string()};
  if (std::string_view(deployment::kWebScheme) == "https") {
    args.insert(args.end(), {"--ca", deployment::kTlsCaFile});
  }
  return args;
}

std::vector<std::string> MailPeer(const std::filesystem::path& reports) {
  return {PEERS_DIR "/smtp_peer.py", reports.string(),          deployment::kMailAccount,
          deployment::kMailPassword, deployment::kMailSecurity, deployment::kTlsCaFile};
}

TEST_F(TabsPeersTest, SignupReachesTheWebServerWithItsNineFields) {
  peers::PeerProcess web(WebPeer(Reports()));
  FForm->IdHTTP1.Host = "127.0.0.1";
  FForm->IdHTTP1.Port = web.Port();
  FForm->pgcDesktop->setCurrentWidget(FForm->tsFreeCounsel);
  FForm->leFullName->setText("Ann Example");
  FForm->leEmail->setText("ann@example.org");
  FForm->leStreetAddress->setText("1 Main St & <Co>");
  FForm->leZipCode->setText("97035");
  FForm->lePhone->setText("555 0100");
  FForm->leBestTime->setText(QString::fromUtf8("après 5"));
  FForm->cboDebtAmount->setCurrentIndex(5);

  // The signup dialog is answered like a message.
  EXPECT_EQ(Click(FForm->btnFreeCounsel).size(), 1);
  const Report expected = {
      {"FldUserType", "1"},
      {"FirstName", "Ann Example"},
      {"EmailAddress", "ann@example.org"},
      {"StreetAddress", "1 Main St & <Co>"},
      {"ZipCode", "97035"},
      {"HomePhone", "555 0100"},
      {"BestTime", "apr\xe8s 5"},
      {"DebtAmount", "More than $20000"},
      // The body's extra line break before the closing delimiter, as the service receives it.
      {"ActionButton", "quillbyapp\r\n"},
  };
  EXPECT_EQ(ReadReport(Reports() / "form-1.txt"), expected);
  EXPECT_EQ(Count(FStore.StorePath().toStdString(), "Counselling"), "1");
  EXPECT_TRUE(FForm->leFullName->text().isEmpty());
}

TEST_F(TabsPeersTest, ReferralAndFeedbackReachTheMailServer) {
  peers::PeerProcess mail(MailPeer(Reports()));
  FForm->IdSMTP1.Host = "localhost";
  FForm->IdSMTP1.Port = mail.Port();

  FForm->pgcDesktop->setCurrentWidget(FForm->tsReferFriend);
  FForm->leFromName->setText("Ann Example");
  FForm->leFromEmail->setText("ann@example.org");
  FForm->leSendToName->setText("Bob Friend");
  FForm->leSendToEmail->setText("bob@example.org");
  EXPECT_EQ(Click(FForm->btnSendEmail),
            QStringList{"Thank you for referring your friend to us.\r\n\r\nYou can refer some more "
                        "of your friends if you like."});
  const Report referral = ReadReport(Reports() / "message-1.txt");
  EXPECT_EQ(Values(referral, "rcpt_to"),
            (std::vector<std::string>{"bob@example.org", deployment::kManagerAddress}));
  const auto headers = Values(referral, "header");
  EXPECT_NE(std::find(headers.begin(), headers.end(), "From: \"Ann Example\" <ann@example.org>"),
            headers.end());
  EXPECT_NE(std::find(headers.begin(), headers.end(), "To: \"Bob Friend\" <bob@example.org>"),
            headers.end());
  EXPECT_NE(
      std::find(headers.begin(), headers.end(), "Subject: Start your journey to be debt free."),
      headers.end());
  for (const std::string& header : headers) {
    EXPECT_EQ(header.find(deployment::kManagerAddress), std::string::npos) << header;
  }
  const std::string body = Values(referral, "body").at(0);
  EXPECT_EQ(body.rfind("<html><head><title></title></head>\r\n<body>\r\nHi,<br><br>The community "
                       "here",
                       0),
            0u)
      << body.substr(0, 80);
  EXPECT_NE(body.find("/diy/<br>\r\n</body></html>"), std::string::npos);

  FForm->pgcDesktop->setCurrentWidget(FForm->tsHelpImprove);
  FForm->memHelpImprove->setPlainText("Great tool.\n.Really.");
  EXPECT_EQ(Click(FForm->btnHelpImprove).size(), 1);
  const Report feedback = ReadReport(Reports() / "message-2.txt");
  EXPECT_EQ(Values(feedback, "rcpt_to"), (std::vector<std::string>{deployment::kManagerAddress}));
  EXPECT_EQ(Values(feedback, "body").at(0),
            "<html><head><title>Feedback for Quillby</title></head>\r\n<body>\r\n<p>Following is "
            "the feedback provided by a Quillby user:</p>\r\n<p>Great tool.\r\n.Really.</p></body>"
            "</html>\r\n");
  EXPECT_EQ(Query(FStore.StorePath().toStdString(), "SELECT COMMENT FROM HelpImprove"),
            (std::vector<std::vector<std::string>>{{"Great tool.\r\n.Really."}}));
}

// A secure connection that cannot be had ends each tab family's send as any other failure does:
// the mail tabs show why, then their follow-up sentence; the signup says sorry. Nothing is
// stored, and nothing reached the server.
TEST_F(TabsPeersTest, FeedbackIsNotStoredWhenTheServerRefusesStartTls) {
  peers::PeerProcess mail({PEERS_DIR "/tls_smtp_peer.py", Reports().string(),
                           deployment::kMailAccount, deployment::kMailPassword, "refuse"});
  FForm->IdSMTP1.Host = "localhost";
  FForm->IdSMTP1.Port = mail.Port();
  FForm->IdSMTP1.Security = net::msStartTLS;
  FForm->IdSMTP1.TLSCAFile = (Reports() / "ca.pem").string();
  FForm->pgcDesktop->setCurrentWidget(FForm->tsHelpImprove);
  FForm->memHelpImprove->setPlainText("Great tool.");
  EXPECT_EQ(Click(FForm->btnHelpImprove),
            QStringList{"The mail server \"localhost\" refused to start TLS (454 4.7.0 TLS not "
                        "available due to temporary reason), so nothing was sent over the "
                        "unencrypted connection.\r\nPlease feel free to use our Feeback section to "
                        "comment on our services at a later time"});
  EXPECT_EQ(Count(FStore.StorePath().toStdString(), "HelpImprove"), "0");
  EXPECT_FALSE(std::filesystem::exists(Reports() / "message-1.txt"));
  EXPECT_EQ(FForm->memHelpImprove->toPlainText(), "Great tool.");
}

TEST_F(TabsPeersTest, SignupIsNotStoredWhenTheCertificateIsFromAnUnknownAuthority) {
  peers::PeerProcess web({PEERS_DIR "/tls_peer.py", Reports().string(), "unknownca"});
  FForm->IdHTTP1.Host = "127.0.0.1";
  FForm->IdHTTP1.Port = web.Port();
  FForm->IdHTTP1.UseTLS = true;
  FForm->IdHTTP1.TLSCAFile = (Reports() / "ca.pem").string();
  FForm->pgcDesktop->setCurrentWidget(FForm->tsFreeCounsel);
  FForm->leFullName->setText("Ann Example");
  FForm->leEmail->setText("ann@example.org");
  FForm->leZipCode->setText("97035");
  FForm->lePhone->setText("555 0100");
  EXPECT_EQ(Click(FForm->btnFreeCounsel),
            QStringList{"Sorry, your request could not be completed at this time. Please try "
                        "again later."});
  EXPECT_EQ(Count(FStore.StorePath().toStdString(), "Counselling"), "0");
  EXPECT_FALSE(std::filesystem::exists(Reports() / "received.bin"));
  EXPECT_EQ(FForm->leFullName->text(), "Ann Example");
}

}  // namespace
