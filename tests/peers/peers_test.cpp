#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "net/errors.h"
#include "net/http.h"
#include "net/smtp.h"
#include "peer_process.h"
#include "platform/codepage.h"
#include "report.h"
#include "tests/net/mailbox.h"

namespace {

using peers::ReadReport;
using peers::Report;

class PeersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::SetLocaleProvider([] { return std::string("en_US"); });
    char pattern[] = "/tmp/quillby-peers-XXXXXX";
    FFolder = mkdtemp(pattern);
  }
  void TearDown() override {
    std::filesystem::remove_all(FFolder);
    platform::SetLocaleProvider(nullptr);
  }
  std::filesystem::path FFolder;
};

TEST_F(PeersTest, MailServerReceivesTheMessageWithoutItsBlindCopy) {
  peers::PeerProcess peer(
      {PEERS_DIR "/smtp_peer.py", FFolder.string(), "desktop@quillby.example", "qb2026"});
  net::TIdSMTP smtp;
  smtp.Host = "localhost";
  smtp.Port = peer.Port();
  smtp.Username = "desktop@quillby.example";
  smtp.Password = "qb2026";
  net::TIdMessage message;
  message.From = nettest::Mailbox("Jane Doe", "jane@example.org");
  nettest::AddMailbox(message.Recipients, "Bob Friend", "bob@example.org");
  nettest::AddMailbox(message.BccList, "Quillby Community Manager", "community@quillby.example");
  message.Subject = "Caf\xE9 for you";
  message.ContentType = "text/html";
  std::string paragraph;
  for (int i = 0; i < 300; ++i) paragraph += "word" + std::to_string(i) + " ";
  message.Body = {"<html><body>", ".hidden line", paragraph, ".", "</body></html>"};

  smtp.Connect();
  ASSERT_TRUE(smtp.Authenticate());
  smtp.Send(message);
  smtp.Disconnect();

  const Report report = ReadReport(FFolder / "message-1.txt");
  std::vector<std::string> headers;
  std::string body;
  std::vector<std::string> recipients;
  for (const auto& [key, value] : report) {
    if (key == "mail_from") {
      EXPECT_EQ(value, "jane@example.org");
    } else if (key == "rcpt_to") {
      recipients.push_back(value);
    } else if (key == "header") {
      headers.push_back(value.substr(0, value.find(':')));
    } else if (key == "body") {
      body = value;
    }
  }
  EXPECT_EQ(recipients, (std::vector<std::string>{"bob@example.org", "community@quillby.example"}));
  EXPECT_EQ(headers, (std::vector<std::string>{"From", "Subject", "To", "Content-Type", "Date",
                                               "X-Priority", "X-Library", "X-Mailer"}));
  EXPECT_NE(std::find(report.begin(), report.end(),
                      std::pair<std::string, std::string>{
                          "header", "Subject: =?ISO-8859-1?Q?Caf=E9?= for you"}),
            report.end());
  EXPECT_NE(std::find(report.begin(), report.end(),
                      std::pair<std::string, std::string>{"header",
                                                          "From: \"Jane Doe\" <jane@example.org>"}),
            report.end());
  EXPECT_EQ(body.find("community@quillby.example"), std::string::npos);
  EXPECT_EQ(body.rfind("<html><body>\r\n.hidden line\r\nword0 ", 0), 0u) << body.substr(0, 60);
  EXPECT_NE(body.find("\r\n.\r\n</body></html>"), std::string::npos);
  // The long paragraph arrives whole, its lines broken only where blanks were.
  std::string rejoined = body;
  for (size_t at; (at = rejoined.find("\r\n")) != std::string::npos;) rejoined.replace(at, 2, " ");
  EXPECT_NE(rejoined.find(paragraph.substr(0, paragraph.size() - 1)), std::string::npos);
}

TEST_F(PeersTest, WebServerReadsTheNineSignupFields) {
  peers::PeerProcess peer({PEERS_DIR "/http_peer.py", FFolder.string()});
  net::TIdHTTP http;
  http.Host = "127.0.0.1";
  http.Port = peer.Port();
  const Report fields = {
      {"FldUserType", "1"},
      {"FirstName", "Jane \"JD\" Do\xE9"},
      {"EmailAddress", "jane@example.org"},
      {"StreetAddress", "1 Main St\r\nApt 2"},
      {"ZipCode", "12345"},
      {"HomePhone", "555-0100"},
      {"BestTime", "after 5 %s 100%"},
      {"DebtAmount", ""},
      {"ActionButton", "quillbyapp"},
  };
  net::TIdMultiPartFormDataStream body;
  for (const auto& [name, value] : fields) body.AddField(name, value);
  try {
    http.PostForm("/signup/dbsignup.html", body);
    ADD_FAILURE() << "a redirect must fail the post";
  } catch (const net::EIdHTTPProtocolException& e) {
    EXPECT_EQ(e.ReplyErrorCode(), 302);
  }
  EXPECT_EQ(http.StatusCode(), 302);
  EXPECT_EQ(http.Location(), "/signup/thank-you.html");
  // The body puts an extra line break between the last value and the closing delimiter, as the
  // service has always received it; a multipart parser keeps it as part of that last value.
  Report received = fields;
  received.back().second += "\r\n";
  EXPECT_EQ(ReadReport(FFolder / "form-1.txt"), received);
}

}  // namespace
