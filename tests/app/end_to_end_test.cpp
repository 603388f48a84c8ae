// One run through the built program and the service stand-in, on a private X server in a
// network namespace of its own: an account is created, the calculator used, and a counselling
// signup, a referral and a feedback sent, all through real key events. Then what the stand-in
// received, the store's rows and the connection log are read back.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <string>
#include <string_view>
#include <vector>

#include "data/store_file.h"
#include "deployment.h"
#include "gui_support.h"
#include "tests/data/store_fixture.h"
#include "x_session.h"

namespace {

std::string ReadAll(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll().toStdString();
}

class EndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(FXvfb.Display().isEmpty()) << "Xvfb did not start";
    FProgram = FFolder.filePath("quillby");
    ASSERT_TRUE(QFile::copy(QUILLBY_EXECUTABLE, FProgram));
    CreateStoreFile(FFolder.filePath("quillby.mdb").toStdString());

    FEnvironment = ProgramEnvironment(FXvfb.Display(), FFolder.filePath("config"), FHome.path());

    // The stand-in on the build's own ports, which are this namespace's alone.
    FService.setProcessChannelMode(QProcess::MergedChannels);
    FService.start("/usr/bin/python3",
                   {QUILLBY_SERVICE, "@" QUILLBY_SERVICE_ARGS, "--data", FData.path()});
    ASSERT_TRUE(WaitFor(
        [&] {
          FServiceOutput += QString::fromUtf8(FService.readAll());
          return FServiceOutput.contains("Service stand-in ready") ||
                 FService.state() == QProcess::NotRunning;
        },
        30000))
        << FServiceOutput.toStdString();
    ASSERT_TRUE(FServiceOutput.contains("Service stand-in ready")) << FServiceOutput.toStdString();
  }

  void TearDown() override {
    for (QProcess* process : {&FQuillby, &FService}) {
      if (process->state() == QProcess::NotRunning) continue;
      process->terminate();
      if (!process->waitForFinished(10000)) process->kill();
      process->waitForFinished(5000);
    }
  }

  bool Keys(const QStringList& keys) {
    return FXdo.Xdo(QStringList{"key", "--delay", "30"} + keys);
  }
  bool Type(const QString& text) { return FXdo.Xdo({"type", "--delay", "20", text}); }
  bool Focused(const QString& title) { return FXdo.WindowFocused(FQuillby, title); }
  // Fields typed one after the other, Tab between them.
  bool Fill(const QStringList& texts) {
    for (int i = 0; i < texts.size(); ++i) {
      if ((i > 0 && !Keys({"Tab"})) || !Type(texts[i])) return false;
    }
    return true;
  }
  // Enter on a notice once it is the window in front; the desktop has the keyboard again after.
  bool Acknowledge(const QString& title) {
    return Focused(title) && Keys({"Return"}) && Focused("Quillby Desktop");
  }

  TXvfb FXvfb;
  QTemporaryDir FFolder;
  QTemporaryDir FHome;
  QTemporaryDir FWork;
  QTemporaryDir FData;
  QString FProgram;
  QProcessEnvironment FEnvironment;
  TXdo FXdo{QProcessEnvironment()};
  QProcess FService;
  QString FServiceOutput;
  QProcess FQuillby;
};

TEST_F(EndToEndTest, EveryFeatureAgainstTheServiceStandIn) {
  FXdo = TXdo(FEnvironment);
  ASSERT_TRUE(StartProgram(FQuillby, FProgram, FEnvironment, FWork.path()));

  // A new account: Create Account is one Shift+Tab before the username box.
  ASSERT_TRUE(Focused("Login")) << "the login dialog never showed";
  ASSERT_TRUE(Keys({"shift+Tab", "space"}));
  ASSERT_TRUE(Focused("New Account"));
  ASSERT_TRUE(Fill({"Ann Example", "ann", "secret", "secret"}));
  ASSERT_TRUE(Keys({"Return"}));
  ASSERT_TRUE(Focused("MessageDialog")) << "no word that the account was made";
  ASSERT_TRUE(Keys({"Return"}));
  ASSERT_TRUE(Focused("Login"));
  ASSERT_TRUE(Keys({"Tab"}));
  ASSERT_TRUE(Fill({"ann", "secret"}));
  ASSERT_TRUE(Keys({"Return"}));
  ASSERT_TRUE(Focused("Quillby Desktop")) << "the desktop never showed";

  // The calculator: rent, four tabs to the salary, four more to Calculate.
  ASSERT_TRUE(Type("1800"));
  ASSERT_TRUE(Keys({"Tab", "Tab", "Tab", "Tab"}));
  ASSERT_TRUE(Type("60000"));
  ASSERT_TRUE(Keys({"Tab", "Tab", "Tab", "Tab", "space"}));

  // Free Counseling: the tab's first box takes the focus; the second debt amount is chosen,
  // then Enter in the last box submits.
  ASSERT_TRUE(Keys({"ctrl+Tab"}));
  ASSERT_TRUE(
      Fill({"Ann Example", "ann@example.org", "1 Main St", "97035", "555 0100", "Evenings"}));
  ASSERT_TRUE(Keys({"Tab", "Down", "Down", "shift+Tab", "Return"}));
  ASSERT_TRUE(Acknowledge("SignupDialog")) << "no signup confirmation";

  // Refer a friend: Enter in the friend's address sends.
  ASSERT_TRUE(Keys({"ctrl+Tab"}));
  ASSERT_TRUE(Fill({"Ann Example", "ann@example.org", "Bob Friend", "bob@example.org"}));
  ASSERT_TRUE(Keys({"Return"}));
  ASSERT_TRUE(Acknowledge("MessageDialog")) << "no thanks for the referral";

  // Help us improve: Enter in the memo is a new line; Tab reaches Submit.
  ASSERT_TRUE(Keys({"ctrl+Tab"}));
  ASSERT_TRUE(Type("Great tool"));
  ASSERT_TRUE(Keys({"Return"}));
  ASSERT_TRUE(Type(".Really"));
  ASSERT_TRUE(Keys({"Tab", "space"}));
  ASSERT_TRUE(Acknowledge("MessageDialog")) << "no thanks for the feedback";

  // What the service received.
  const std::string signups = ReadAll(FData.filePath("signups.jsonl"));
  EXPECT_NE(signups.find("\"fields\": {\"FldUserType\": \"1\", \"FirstName\": \"Ann Example\", "
                         "\"EmailAddress\": \"ann@example.org\", \"StreetAddress\": \"1 Main St\", "
                         "\"ZipCode\": \"97035\", \"HomePhone\": \"555 0100\", \"BestTime\": "
                         "\"Evenings\", \"DebtAmount\": \"$0 - $5000\", \"ActionButton\": "
                         "\"quillbyapp\\r\\n\"}"),
            std::string::npos)
      << signups;
  const std::string referral = ReadAll(FData.filePath("mail/000001.eml"));
  const std::string manager = deployment::kManagerAddress;
  for (const std::string& part :
       {"X-Envelope-To: <bob@example.org>, <" + manager + ">\r\n",
        std::string("From: \"Ann Example\" <ann@example.org>\r\n"),
        std::string("Subject: Start your journey to be debt free.\r\n"),
        std::string("To: \"Bob Friend\" <bob@example.org>\r\n"),
        std::string("X-Mailer: Quillby Desktop\r\n"),
        std::string("\r\n\r\n<html><head><title></title></head>\r\n<body>\r\nHi,<br><br>The "
                    "community here"),
        std::string("/diy/<br>\r\n</body></html>\r\n")}) {
    EXPECT_NE(referral.find(part), std::string::npos) << part << "\n--- in ---\n" << referral;
  }
  const std::string headers = referral.substr(0, referral.find("\r\n\r\n"));
  EXPECT_EQ(headers.find("\r\nBcc"), std::string::npos);
  EXPECT_EQ(headers.find(manager, headers.find("\r\nFrom:")), std::string::npos) << headers;
  const std::string feedback = ReadAll(FData.filePath("mail/000002.eml"));
  EXPECT_NE(feedback.find("<p>Following is the feedback provided by a Quillby user:</p>\r\n<p>"
                          "Great tool\r\n.Really</p></body></html>\r\n"),
            std::string::npos)
      << feedback;

  // What the store kept.
  const std::string store = FFolder.filePath("quillby.mdb").toStdString();
  EXPECT_EQ(Query(store, "SELECT RENT, GROSSSAL FROM DebtCalc"),
            (std::vector<std::vector<std::string>>{{"18000000", "600000000"}}));
  EXPECT_EQ(Query(store, "SELECT FULLNAME, EMAIL, ZIPCODE, BESTPHONE, DEBTAMOUNT FROM Counselling"),
            (std::vector<std::vector<std::string>>{
                {"Ann Example", "ann@example.org", "97035", "555 0100", "$0 - $5000"}}));
  EXPECT_EQ(Query(store, "SELECT COMMENT FROM HelpImprove"),
            (std::vector<std::vector<std::string>>{{"Great tool\r\n.Really"}}));

  // The connection log in the program's working directory holds all three conversations, each
  // over TLS before its first request when the build says so.
  const std::string log = ReadAll(QDir(FWork.path()).filePath("QybSmtp.log"));
  const auto tls = [](bool on, const char* host, std::vector<std::string> entries) {
    if (on) {
      entries.insert(entries.begin() + 1,
                     {"Stat TLS established: ", std::string(", certificate verified for ") + host});
    }
    return entries;
  };
  const bool webTls = std::string_view(deployment::kWebScheme) == "https";
  const bool mailTls = std::string_view(deployment::kMailSecurity) != "none";
  std::vector<std::string> entries =
      tls(webTls, deployment::kWebHost,
          {"Stat Connected.", "POST /signup/dbsignup.html HTTP/1.0<EOL>", "Stat Disconnected."});
  for (const char* line : {"RCPT TO:<bob@example.org>", "Great tool<EOL>"}) {
    const auto mail =
        tls(mailTls, deployment::kMailHost,
            {"Stat Connected.", "AUTH LOGIN<EOL>", line, "QUIT<EOL>", "Stat Disconnected."});
    entries.insert(entries.end(), mail.begin(), mail.end());
  }
  size_t at = 0;
  for (const std::string& entry : entries) {
    at = log.find(entry, at);
    ASSERT_NE(at, std::string::npos) << entry << "\n--- in ---\n" << log;
  }
  EXPECT_EQ(FQuillby.state(), QProcess::Running);
}

}  // namespace
