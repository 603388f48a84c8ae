#include "sending/requests.h"

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "data/quillby_data.h"
#include "deployment.h"
#include "net/connection.h"
#include "net/http.h"
#include "net/smtp.h"
#include "tests/data/store_fixture.h"
#include "tests/net/script_server.h"

// The sending tabs' requests without a window: built, sent to a scripted server, judged and
// stored in a store of their own.

namespace {

using nettest::Found;
using nettest::MailServer;
using nettest::Script;
using nettest::ScriptServer;
using nettest::WebServer;

const char* const kSorry =
    "Sorry, your request could not be completed at this time. Please try again later.";
const char* const kExists =
    "The email entered already exists!\r\n\r\nPlease try with a different email id.";

TSignup Ann() {
  return {"Ann Example", "ann@example.org", "1 Caf\xe9 Street", "97035",
          "555 %s 100%", "Evenings",        "$5001 - $10000"};
}

// Everything the body stream delivers, from its first byte.
std::string Bytes(net::TIdMultiPartFormDataStream& body) {
  std::string bytes;
  char buffer[100];
  body.Rewind();
  while (const size_t n = body.Read(buffer, sizeof buffer)) bytes.append(buffer, n);
  return bytes;
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size()) {
    text.replace(at, from.size(), to);
  }
  return text;
}

// The moment a stored timestamp names, read back as local time; -1 when it is not one.
std::time_t StoredMoment(const std::string& text) {
  std::tm local{};
  const char* end = strptime(text.c_str(), "%Y-%m-%d %H:%M:%S", &local);
  if (end == nullptr || *end != '\0' || text.size() != 19) return -1;
  local.tm_isdst = -1;
  return std::mktime(&local);
}

class RequestsTest : public StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    net::SetWaitLimit(std::chrono::milliseconds(3000));
    FData = std::make_unique<TQuillbyData>(Store());
    FData->CreateUser("Ann Example", "ann", "secret");
    ASSERT_TRUE(FData->VerifyLogin("ann", "secret"));
    FHttp.Host = FSmtp.Host = "127.0.0.1";
    FHttp.Port = FSmtp.Port = nettest::UnusedPort();
    FSmtp.Username = deployment::kMailAccount;
    FSmtp.Password = deployment::kMailPassword;
  }
  void TearDown() override {
    FData.reset();
    net::SetWaitLimit(net::kDefaultWaitLimit);
    StoreTest::TearDown();
  }

  std::vector<std::vector<std::string>> Rows(const std::string& sql) { return Query(Store(), sql); }

  std::unique_ptr<TQuillbyData> FData;
  net::TIdHTTP FHttp;
  net::TIdSMTP FSmtp;
};

TEST_F(RequestsTest, SignupPostsItsNineFieldsAndTheThankedValueIsTheStoredRow) {
  const TSignup signup = Ann();
  net::TIdMultiPartFormDataStream body = signup.Body();
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"FldUserType", "1"},
      {"FirstName", "Ann Example"},
      {"EmailAddress", "ann@example.org"},
      {"StreetAddress", "1 Caf\xe9 Street"},
      {"ZipCode", "97035"},
      {"HomePhone", "555 %s 100%"},
      {"BestTime", "Evenings"},
      {"DebtAmount", "$5001 - $10000"},
      {"ActionButton", "quillbyapp"}};
  std::vector<std::pair<std::string, std::string>> fields;
  for (const net::TIdFormDataField& field : body.Fields()) {
    fields.emplace_back(field.FieldName, field.Value);
  }
  EXPECT_EQ(fields, expected);

  ScriptServer web({WebServer(Found("/signup/thank-you.html"))});
  FHttp.Port = web.Port();
  signup.Post(FHttp);
  EXPECT_NO_THROW(TSignup::Judge(FHttp));
  signup.Store(*FData);

  const std::string request = web.Received();
  EXPECT_EQ(request.find("POST /signup/dbsignup.html HTTP/1.0\r\n"), 0u) << request;
  const std::string marker = "boundary=";
  const size_t at = request.find(marker);
  ASSERT_NE(at, std::string::npos) << request;
  const std::string boundary =
      request.substr(at + marker.size(), request.find("\r\n", at) - at - marker.size());
  const size_t head_end = request.find("\r\n\r\n");
  ASSERT_NE(head_end, std::string::npos);
  // The post carries the value's body byte for byte, under the boundary of its own moment.
  EXPECT_EQ(request.substr(head_end + 4), Replaced(Bytes(body), body.Boundary(), boundary));

  EXPECT_EQ(Rows("SELECT \"USER\", FULLNAME, EMAIL, STREETADDRESS, ZIPCODE, BESTPHONE, BESTTIME, "
                 "DEBTAMOUNT FROM Counselling"),
            (std::vector<std::vector<std::string>>{
                {std::to_string(FData->CurrentUserId()), "Ann Example", "ann@example.org",
                 "1 Caf\xc3\xa9 Street", "97035", "555 %s 100%", "Evenings", "$5001 - $10000"}}));
}

struct TReplyCase {
  const char* Name;
  std::string Reply;    // empty: nothing listens
  const char* Message;  // nullptr: the signup counts
};
void PrintTo(const TReplyCase& c, std::ostream* os) { *os << c.Name; }

class SignupJudgeTest : public RequestsTest, public ::testing::WithParamInterface<TReplyCase> {};

TEST_P(SignupJudgeTest, OnlyAThankYouRedirectCounts) {
  const TReplyCase& c = GetParam();
  std::unique_ptr<ScriptServer> web;
  if (!c.Reply.empty()) {
    web = std::make_unique<ScriptServer>(std::vector<Script>{WebServer(c.Reply)});
    FHttp.Port = web->Port();
  }
  Ann().Post(FHttp);
  if (c.Message == nullptr) {
    EXPECT_NO_THROW(TSignup::Judge(FHttp));
    return;
  }
  try {
    TSignup::Judge(FHttp);
    ADD_FAILURE() << "judged a success";
  } catch (const Exception& refused) {
    EXPECT_EQ(refused.Message(), c.Message);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SignupJudgeTest,
    ::testing::Values(
        TReplyCase{"ThankYou", Found("/signup/thank-you.html"), nullptr},
        TReplyCase{"ThankYouAnywhere", Found("http://elsewhere.example/x/thank-you.html?a=1"),
                   nullptr},
        TReplyCase{"NothingListens", "", kSorry},
        TReplyCase{"Ok", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello", kSorry},
        TReplyCase{"ServerError", "HTTP/1.1 500 Oops\r\nContent-Length: 0\r\n\r\n", kSorry},
        TReplyCase{"MovedPermanently",
                   "HTTP/1.1 301 Moved\r\nLocation: /signup/thank-you.html\r\n\r\n", kSorry},
        TReplyCase{"FoundWithoutLocation", "HTTP/1.1 302 Found\r\nContent-Length: 0\r\n\r\n",
                   kSorry},
        TReplyCase{"EmailExists", Found("/signup/emailexists.html"), kExists},
        TReplyCase{"BothNames", Found("/emailexists.html?next=thank-you.html"), kExists},
        TReplyCase{"ThankYouInOtherCase", Found("/signup/Thank-You.html"), kSorry},
        TReplyCase{"ElsewhereEntirely", Found("/signup/"), kSorry}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(RequestsTest, TheFirstStoredFieldWiderThanItsColumnIsNamed) {
  for (const TSignup::TField& field : TSignup::kStoredFields) {
    const int width = ColumnWidth("Counselling", field.Column);
    TSignup signup = Ann();
    if (width == 0) {
      signup.*field.Value = std::string(40000, 's');
      EXPECT_EQ(signup.TooWide(), nullptr) << field.Column;
      continue;
    }
    signup.*field.Value = std::string(width, 'x');
    EXPECT_EQ(signup.TooWide(), nullptr) << field.Column;
    signup.*field.Value += 'x';
    EXPECT_EQ(signup.TooWide(), &field) << field.Column;
  }
  TSignup both = Ann();
  both.BestTime = std::string(51, 't');
  both.ZipCode = "12345-6789";
  ASSERT_NE(both.TooWide(), nullptr);
  EXPECT_EQ(TSignup::TooWideMessage(*both.TooWide()), "Zip Code can have at most 7 characters.");
  both.ZipCode = "97035";
  EXPECT_EQ(TSignup::TooWideMessage(*both.TooWide()),
            "Best time to call can have at most 50 characters.");
}

TEST_F(RequestsTest, ReferralReachesTheFriendWithTheManagerOnlyInTheEnvelope) {
  const TReferral referral{"Ann Example",   "ann@example.org",
                           "Bob Friend",    "bob@example.org",
                           "Debt & you <3", "Hi Bob,\r\n<b>&</b>\r\n.dotted \"x\""};
  net::TIdMessage message = referral.Message();
  EXPECT_EQ(message.From.Name, "Ann Example");
  EXPECT_EQ(message.From.Address, "ann@example.org");
  ASSERT_EQ(message.Recipients.Count(), 1u);
  EXPECT_EQ(message.Recipients[0].Name, "Bob Friend");
  EXPECT_EQ(message.Recipients[0].Address, "bob@example.org");
  EXPECT_EQ(message.CCList.Count(), 0u);
  ASSERT_EQ(message.BccList.Count(), 1u);
  EXPECT_EQ(message.BccList[0].Name, deployment::kManagerName);
  EXPECT_EQ(message.BccList[0].Address, deployment::kManagerAddress);
  EXPECT_EQ(message.Subject, "Debt & you <3");
  EXPECT_EQ(message.ContentType, "text/html");
  // Typed markup stays text; only the line breaks become markup.
  const std::string comments = "Hi Bob,<br>&lt;b&gt;&amp;&lt;/b&gt;<br>.dotted &quot;x&quot;";
  EXPECT_EQ(message.Body, (std::vector<std::string>{"<html><head><title></title></head>", "<body>",
                                                    comments, "</body></html>"}));

  ScriptServer mail({MailServer(2)});
  FSmtp.Port = mail.Port();
  SubmitMessage(FSmtp, message);
  EXPECT_FALSE(FSmtp.Connected());
  const std::string wire = mail.Received();
  const size_t from = wire.find("MAIL FROM:");
  const size_t data = wire.find("DATA\r\n");
  ASSERT_LT(from, data) << wire;
  EXPECT_EQ(wire.substr(from, data - from),
            std::string("MAIL FROM:<ann@example.org>\r\nRCPT TO:<bob@example.org>\r\nRCPT TO:<") +
                deployment::kManagerAddress + ">\r\n");
  const std::string text = wire.substr(data);
  EXPECT_NE(text.find("\r\n" + comments + "\r\n"), std::string::npos) << text;
  EXPECT_EQ(text.find(deployment::kManagerAddress), std::string::npos) << text;
  EXPECT_EQ(text.find(deployment::kManagerName), std::string::npos) << text;
}

TEST_F(RequestsTest, FeedbackSentIsTheFeedbackStored) {
  const TFeedback feedback{"First & <last>\r\nThird \xe9"};
  ScriptServer mail({MailServer(1)});
  FSmtp.Port = mail.Port();
  net::TIdMessage message = feedback.Message();
  SubmitMessage(FSmtp, message);
  const auto sent = std::chrono::system_clock::now();
  feedback.Store(*FData, sent);

  const std::string wire = mail.Received();
  EXPECT_NE(wire.find(std::string("RCPT TO:<") + deployment::kManagerAddress + ">\r\nDATA\r\n"),
            std::string::npos)
      << wire;
  EXPECT_NE(wire.find(std::string("To: \"") + deployment::kFeedbackName + "\" <" +
                      deployment::kManagerAddress + ">\r\n"),
            std::string::npos)
      << wire;
  EXPECT_NE(wire.find("<p>First &amp; &lt;last&gt;\r\nThird \xe9</p></body></html>\r\n.\r\n"),
            std::string::npos)
      << wire;
  const auto rows = Rows("SELECT \"USER\", COMMENT, \"TIMESTAMP\" FROM HelpImprove");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0], std::to_string(FData->CurrentUserId()));
  EXPECT_EQ(rows[0][1], "First & <last>\r\nThird \xc3\xa9");
  EXPECT_EQ(StoredMoment(rows[0][2]), std::chrono::system_clock::to_time_t(sent)) << rows[0][2];
}

TEST_F(RequestsTest, AMailRefusedOnTheWayIsReportedAndTheConnectionClosed) {
  const struct {
    const char* Name;
    std::vector<std::string> Replace;
    const char* Message;  // a part of the failure's message
  } cases[] = {
      {"AuthRefused", {"", "", "", "535 5.7.8 Bad credentials\r\n"}, "Bad credentials"},
      {"RecipientRefused", {"", "", "", "", "", "", "550 5.1.1 No such user\r\n"}, "No such user"},
  };
  for (const auto& c : cases) {
    ScriptServer mail({MailServer(1, c.Replace)});
    FSmtp.Port = mail.Port();
    net::TIdMessage message = TFeedback{"x"}.Message();
    try {
      SubmitMessage(FSmtp, message);
      ADD_FAILURE() << c.Name << ": sent";
    } catch (const Exception& failure) {
      EXPECT_NE(failure.Message().find(c.Message), std::string::npos)
          << c.Name << ": " << failure.Message();
    }
    EXPECT_FALSE(FSmtp.Connected()) << c.Name;
    const std::string wire = mail.Received();
    EXPECT_EQ(wire.find("DATA\r\n"), std::string::npos) << c.Name << ": " << wire;
    EXPECT_NE(wire.find("QUIT\r\n"), std::string::npos) << c.Name << ": " << wire;
  }
}

}  // namespace
