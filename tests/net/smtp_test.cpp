#include "net/smtp.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <utility>

#include "mailbox.h"
#include "net/errors.h"
#include "net/logfile.h"
#include "net_fixture.h"
#include "script_server.h"

namespace nettest {
namespace {

const std::string kUser = "ZGVza3RvcEBxdWlsbGJ5LmV4YW1wbGU=";  // desktop@quillby.example
const std::string kPass = "cWIyMDI2";                          // qb2026

// Reads one command and answers it.
Script Reply(std::string reply) { return {Line(), Send(std::move(reply))}; }

Script Join(std::initializer_list<Script> pieces) {
  Script script;
  for (const Script& piece : pieces) script.insert(script.end(), piece.begin(), piece.end());
  return script;
}

const Script kGreeting = {Send("220 mail.example ESMTP ready\r\n")};
const Script kEhlo = Reply("250-mail.example\r\n250-AUTH LOGIN PLAIN\r\n250 HELP\r\n");
const Script kAuth = Join({Reply("334 VXNlcm5hbWU6\r\n"), Reply("334 UGFzc3dvcmQ6\r\n"),
                           Reply("235 2.7.0 Accepted\r\n")});
const Script kTransaction = Join({Reply("250 Flushed\r\n"),
                                  Reply("250 OK\r\n"),
                                  Reply("250 OK\r\n"),
                                  Reply("250 OK\r\n"),
                                  Reply("354 End data with <CR><LF>.<CR><LF>\r\n"),
                                  {Until("\r\n.\r\n"), Send("250 Queued\r\n")}});

const std::string kEhloSent = "EHLO Quillby\r\n";
const std::string kAuthSent = "AUTH LOGIN\r\n" + kUser + "\r\n" + kPass + "\r\n";
const std::string kEnvelope =
    "RSET\r\nMAIL FROM:<jane@example.org>\r\nRCPT TO:<bob@example.org>\r\n"
    "RCPT TO:<manager@quillby.example>\r\nDATA\r\n";
const std::string kText =
    "From: \"Jane Doe\" <jane@example.org>\r\n"
    "Subject: A friend thought of you\r\n"
    "To: \"Bob\" <bob@example.org>\r\n"
    "Content-Type: text/html\r\n"
    "Date: Sun, 7 Mar 2004 09:05:00 +0100\r\n"
    "X-Priority: 3\r\n"
    "X-Library: Quillby Net 1.0\r\n"
    "X-Mailer: Quillby Desktop\r\n"
    "\r\n"
    "<p>Hello Bob</p>\r\n"
    "..hidden\r\n"
    "..\r\n"
    ".\r\n";

class SmtpTest : public NetTest {
 protected:
  void Configure(uint16_t port, std::string host = "127.0.0.1") {
    FSmtp.Host = std::move(host);
    FSmtp.Port = port;
    FSmtp.Username = "desktop@quillby.example";
    FSmtp.Password = "qb2026";
  }
  static void Fill(net::TIdMessage& message) {
    message.From = Mailbox("Jane Doe", "jane@example.org");
    AddMailbox(message.Recipients, "Bob", "bob@example.org");
    AddMailbox(message.BccList, "Quillby Community Manager", "manager@quillby.example");
    message.Subject = "A friend thought of you";
    message.ContentType = "text/html";
    message.Body = {"<p>Hello Bob</p>", ".hidden", "."};
  }
  // What a sending tab does: connect, authenticate, send, always disconnect. The failure's
  // message, or empty.
  std::string SendLikeTab(net::TIdMessage& message) {
    try {
      FSmtp.Connect();
    } catch (const Exception& e) {
      return e.Message();
    }
    std::string failure;
    try {
      if (!FSmtp.Authenticate()) throw Exception("SMTP Authentication failed.");
      FSmtp.Send(message);
    } catch (const Exception& e) {
      failure = e.Message();
    }
    try {
      FSmtp.Disconnect();
    } catch (const Exception& e) {
      if (failure.empty()) failure = e.Message();
    }
    return failure;
  }

  net::TIdSMTP FSmtp;
};

TEST_F(SmtpTest, ServerBehaviours) {
  const std::string long_line(16385, 'x');
  const struct {
    const char* name;
    Script script;
    std::string error;
    std::string sent;
  } cases[] = {
      {"whole submission", Join({kGreeting, kEhlo, kAuth, kTransaction}), "",
       kEhloSent + kAuthSent + kEnvelope + kText + "QUIT\r\n"},
      {"greeting other than 220",
       {Send("554 5.3.2 Not accepting mail\r\n")},
       "5.3.2 Not accepting mail\r\n",
       "QUIT\r\n"},
      {"EHLO refused, HELO accepted",
       Join({kGreeting, Reply("502 5.5.1 Unrecognized command\r\n"), Reply("250 mail.example\r\n"),
             kAuth, kTransaction}),
       "", kEhloSent + "HELO Quillby\r\n" + kAuthSent + kEnvelope + kText + "QUIT\r\n"},
      {"HELO refused too", Join({kGreeting, Reply("500 no\r\n"), Reply("501 5.5.2 Go away\r\n")}),
       "5.5.2 Go away\r\n", kEhloSent + "HELO Quillby\r\nQUIT\r\n"},
      {"no AUTH in the EHLO reply",
       Join({kGreeting, Reply("250 mail.example\r\n"), kAuth, kTransaction}), "",
       kEhloSent + kAuthSent + kEnvelope + kText + "QUIT\r\n"},
      {"AUTH LOGIN refused",
       Join({kGreeting, kEhlo, Reply("504 5.5.4 Unrecognized authentication type\r\n")}),
       "5.5.4 Unrecognized authentication type\r\n", kEhloSent + "AUTH LOGIN\r\nQUIT\r\n"},
      {"535 on the password",
       Join({kGreeting, kEhlo, Reply("334 VXNlcm5hbWU6\r\n"), Reply("334 UGFzc3dvcmQ6\r\n"),
             Reply("535 5.7.8 Authentication credentials invalid\r\n")}),
       "5.7.8 Authentication credentials invalid\r\n", kEhloSent + kAuthSent + "QUIT\r\n"},
      {"550 on a recipient",
       Join({kGreeting, kEhlo, kAuth, Reply("250 Flushed\r\n"), Reply("250 OK\r\n"),
             Reply("550 5.1.1 Mailbox unavailable\r\n")}),
       "5.1.1 Mailbox unavailable\r\n",
       kEhloSent + kAuthSent +
           "RSET\r\nMAIL FROM:<jane@example.org>\r\nRCPT TO:<bob@example.org>\r\nQUIT\r\n"},
      {"RSET refused is accepted, DATA refused is not",
       Join({kGreeting, kEhlo, kAuth, Reply("502 no RSET here\r\n"), Reply("250 OK\r\n"),
             Reply("251 forwarding\r\n"), Reply("250 OK\r\n"),
             Reply("554 No valid recipients\r\n")}),
       "No valid recipients\r\n", kEhloSent + kAuthSent + kEnvelope + "QUIT\r\n"},
      {"multi-line replies, bare LF and blank lines between replies",
       Join({{Send("\r\n220-mail.example\n220 ready\n")},
             Reply("\r\n250-first\n\n250-AUTH=LOGIN\r\n250 last\r\n"),
             Reply("334 a\n"),
             Reply("\r\n\r\n334 b\r\n"),
             Reply("235 ok\n"),
             Reply("250 x\n"),
             Reply("250 x\n"),
             Reply("250 x\n"),
             Reply("250 x\n"),
             Reply("354 go\n"),
             {Until("\r\n.\r\n"), Send("250-Queued\n250 as 12\n")}}),
       "", kEhloSent + kAuthSent + kEnvelope + kText + "QUIT\r\n"},
      {"end mark matched without regard to case",
       Join({kGreeting, Reply("250-mail\r\n250-auth login\r\n250 ok\r\n"), kAuth, kTransaction}),
       "", kEhloSent + kAuthSent + kEnvelope + kText + "QUIT\r\n"},
      {"reply line over 16384 bytes",
       {Send("220 " + long_line + "\r\n")},
       "Max line length exceeded.",
       "QUIT\r\n"},
      {"server closes in the middle of a reply",
       Join({kGreeting, {Line(), Send("250-mail.example\r\n250-AUT"), Close()}}),
       "Connection Closed Gracefully.", kEhloSent},
      {"server that never answers",
       {Silent()},
       "Socket Error # 10060\r\nConnection timed out.",
       ""},
      {"greeting line never completed",
       {Send("2"), Silent()},
       "Socket Error # 10060\r\nConnection timed out.",
       ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    // Only the cases that wait for the limit get a short one.
    const bool times_out = c.error.find("10060") != std::string::npos;
    net::SetWaitLimit(std::chrono::milliseconds(times_out ? 300 : 1500));
    ScriptServer server({c.script});
    Configure(server.Port());
    net::TIdMessage message;
    Fill(message);
    EXPECT_EQ(SendLikeTab(message), c.error);
    EXPECT_EQ(server.Received(), c.sent);
    EXPECT_FALSE(FSmtp.Connected());
  }
}

TEST_F(SmtpTest, ConnectionFailures) {
  const struct {
    const char* name;
    std::string host;
    uint16_t port;
    std::string error;
  } cases[] = {
      {"nothing listening", "127.0.0.1", UnusedPort(),
       "Socket Error # 10061\r\nConnection refused."},
      {"LOCALHOST in any case", "LocalHost", UnusedPort(),
       "Socket Error # 10061\r\nConnection refused."},
      {"name that does not resolve", "no..such.host", 25,
       "Socket Error # 11001\r\nHost not found."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Configure(c.port, c.host);
    net::TIdLogFile log;
    log.Filename = "QybSmtp.log";
    log.SetActive(true);
    FSmtp.Intercept = &log;
    try {
      FSmtp.Connect();
      ADD_FAILURE() << "connected";
    } catch (const net::EIdSocketError& e) {
      EXPECT_EQ(e.Message(), c.error);
    }
    log.SetActive(false);
    EXPECT_EQ(ReadFile("QybSmtp.log"), "Stat Disconnected.\r\n");
    std::filesystem::remove("QybSmtp.log");
  }
}

// With no descriptor to be had, the connect fails as a failed attempt: one disconnect entry.
TEST_F(SmtpTest, NoSocketCanBeCreated) {
#ifdef QUILLBY_SANITIZED
  // UBSan's vptr check opens a file to test a pointer; with every descriptor taken it reports a
  // false "invalid vptr" and ends the program. Nothing else is skipped in the sanitizer build.
  GTEST_SKIP() << "the sanitizer itself needs a free file descriptor";
#endif
  Configure(UnusedPort());
  net::TIdLogFile log;
  log.Filename = "QybSmtp.log";
  log.SetActive(true);
  FSmtp.Intercept = &log;
  const int lowest_free = dup(0);
  ASSERT_GE(lowest_free, 0);
  close(lowest_free);
  rlimit old_limit{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &old_limit), 0);
  rlimit low = old_limit;
  low.rlim_cur = static_cast<rlim_t>(lowest_free);
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &low), 0);
  std::string error;
  try {
    FSmtp.Connect();
  } catch (const net::EIdInvalidSocket& e) {
    error = e.Message();
  }
  setrlimit(RLIMIT_NOFILE, &old_limit);
  log.SetActive(false);
  EXPECT_EQ(error, "Cannot allocate socket.");
  EXPECT_EQ(ReadFile("QybSmtp.log"), "Stat Disconnected.\r\n");
}

TEST_F(SmtpTest, MultiLineReplyNamesTheMechanisms) {
  ScriptServer server({Join({kGreeting, Reply("250-first\r\n250-AUTH LOGIN PLAIN\r\n250-AUTH=LOGIN "
                                              "CRAM-MD5\r\n250 last\r\n")})});
  Configure(server.Port());
  FSmtp.Connect();
  EXPECT_EQ(FSmtp.LastCmdResultNumericCode(), 250);
  EXPECT_EQ(FSmtp.LastCmdResultText(),
            (std::vector<std::string>{"first", "AUTH LOGIN PLAIN", "AUTH=LOGIN CRAM-MD5", "last"}));
  EXPECT_EQ(FSmtp.AuthMechanisms(), (std::vector<std::string>{"LOGIN", "PLAIN", "CRAM-MD5"}));
  FSmtp.Disconnect();
  EXPECT_EQ(server.Received(), kEhloSent + "QUIT\r\n");
}

TEST_F(SmtpTest, ReplyLineOfExactlyTheLimitIsAccepted) {
  const std::string text(16380, 'y');
  ScriptServer server({Join({{Send("220 " + text + "\r\n")}, Reply("250 ok\r\n")})});
  Configure(server.Port());
  FSmtp.Connect();
  FSmtp.Disconnect();
  EXPECT_EQ(server.Received(), kEhloSent + "QUIT\r\n");
}

TEST_F(SmtpTest, ProtocolErrorCarriesTheCodeAndEveryLine) {
  ScriptServer server({Join({kGreeting, kEhlo, Reply("535-5.7.8 Bad\r\n535 5.7.8 Go away\r\n")})});
  Configure(server.Port());
  FSmtp.Connect();
  try {
    FSmtp.Authenticate();
    ADD_FAILURE() << "authenticated";
  } catch (const net::EIdProtocolReplyError& e) {
    EXPECT_EQ(e.ReplyErrorCode(), 535);
    EXPECT_EQ(e.Message(), "5.7.8 Bad\r\n5.7.8 Go away\r\n");
  }
  FSmtp.Disconnect();
}

TEST_F(SmtpTest, AtNoneSendsNoAuthentication) {
  ScriptServer server({Join({kGreeting, kEhlo, kTransaction})});
  Configure(server.Port());
  FSmtp.AuthenticationType = net::atNone;
  net::TIdMessage message;
  Fill(message);
  FSmtp.Connect();
  EXPECT_FALSE(FSmtp.Authenticate());
  FSmtp.Send(message);
  FSmtp.Disconnect();
  EXPECT_EQ(server.Received(), kEhloSent + kEnvelope + kText + "QUIT\r\n");
}

// An envelope address holding a line break would put a command of its own on the wire.
TEST_F(SmtpTest, EnvelopeAddressWithALineBreakIsRefusedBeforeAnythingIsWritten) {
  const char* addresses[] = {"bob@example.org\r\nRCPT TO:<evil@example.org>", "bob@example.org\n",
                             "bob\r@example.org"};
  for (const char* address : addresses) {
    SCOPED_TRACE(address);
    ScriptServer server({Join({kGreeting, kEhlo, kAuth})});
    Configure(server.Port());
    net::TIdMessage message;
    Fill(message);
    message.BccList[0].Address = address;
    const std::string error = SendLikeTab(message);
    EXPECT_NE(error.find("holds a line break"), std::string::npos) << error;
    EXPECT_EQ(server.Received(), kEhloSent + kAuthSent + "QUIT\r\n");
  }
}

// A log that fails on the closing entry still leaves the client unauthenticated, so the next
// connection's send authenticates on its own.
TEST_F(SmtpTest, DisconnectClearsTheAuthenticationWhenTheLogFails) {
  struct FailingClose : net::TIdConnectionIntercept {
    bool fail = true;
    void Connect() override {}
    void Disconnect() override {
      if (std::exchange(fail, false)) throw net::EWriteError();
    }
    void Send(std::string_view) override {}
    void Receive(std::string_view) override {}
    void Status(std::string_view) override {}
  } log;
  ScriptServer server({Join({kGreeting, kEhlo, kAuth}),
                       Join({kGreeting, kEhlo, Reply("250 Flushed\r\n"), kAuth,
                             Script(kTransaction.begin() + 2, kTransaction.end())})});
  Configure(server.Port());
  FSmtp.Intercept = &log;
  FSmtp.Connect();
  ASSERT_TRUE(FSmtp.Authenticate());
  EXPECT_THROW(FSmtp.Disconnect(), net::EWriteError);
  net::TIdMessage message;
  Fill(message);
  FSmtp.Connect();
  FSmtp.Send(message);
  FSmtp.Disconnect();
  std::string envelope = kEnvelope;
  envelope.insert(std::string("RSET\r\n").size(), kAuthSent);
  EXPECT_EQ(server.Received(1), kEhloSent + envelope + kText + "QUIT\r\n");
}

TEST_F(SmtpTest, OverallDeadlineEndsAReplyThatNeverEnds) {
  // Reply lines keep coming well within the wait limit, but the conversation as a whole runs out.
  net::SetWaitLimit(std::chrono::milliseconds(2000));
  net::SetConversationLimit(std::chrono::milliseconds(300));
  ScriptServer server({{Send("220 ok\r\n"), Line(), Flood("250-more\r\n")}});
  Configure(server.Port());
  FSmtp.MaxReplyLines = SIZE_MAX;  // the deadline alone ends it
  try {
    FSmtp.Connect();
    ADD_FAILURE() << "connected";
  } catch (const net::EIdSocketError& e) {
    EXPECT_EQ(e.LastError(), net::WSAETIMEDOUT);
  }
  EXPECT_FALSE(FSmtp.Connected());
  EXPECT_EQ(server.Received(), kEhloSent);
}

TEST_F(SmtpTest, LogOfOneSession) {
  ScriptServer server({Join({kGreeting, kEhlo, kAuth, kTransaction})});
  Configure(server.Port());
  net::TIdLogFile log;
  log.Filename = "QybSmtp.log";
  log.SetActive(true);
  FSmtp.Intercept = &log;
  net::TIdMessage message;
  Fill(message);
  EXPECT_EQ(SendLikeTab(message), "");
  log.SetActive(false);
  const std::string t = "03/07/04 09:05:00: ";
  const std::string expected =
      "Stat Connected.\r\n"
      "Recv " +
      t +
      "220 mail.example ESMTP ready<EOL>\r\n"
      "Sent " +
      t +
      "EHLO Quillby<EOL>\r\n"
      "Recv " +
      t +
      "250-mail.example<EOL>250-AUTH LOGIN PLAIN<EOL>250 HELP<EOL>\r\n"
      "Sent " +
      t +
      "AUTH LOGIN<EOL>\r\n"
      "Recv " +
      t +
      "334 VXNlcm5hbWU6<EOL>\r\n"
      "Sent " +
      t + kUser +
      "<EOL>\r\n"
      "Recv " +
      t +
      "334 UGFzc3dvcmQ6<EOL>\r\n"
      "Sent " +
      t + kPass +
      "<EOL>\r\n"
      "Recv " +
      t +
      "235 2.7.0 Accepted<EOL>\r\n"
      "Sent " +
      t +
      "RSET<EOL>\r\n"
      "Recv " +
      t +
      "250 Flushed<EOL>\r\n"
      "Sent " +
      t +
      "MAIL FROM:<jane@example.org><EOL>\r\n"
      "Recv " +
      t +
      "250 OK<EOL>\r\n"
      "Sent " +
      t +
      "RCPT TO:<bob@example.org><EOL>\r\n"
      "Recv " +
      t +
      "250 OK<EOL>\r\n"
      "Sent " +
      t +
      "RCPT TO:<manager@quillby.example><EOL>\r\n"
      "Recv " +
      t +
      "250 OK<EOL>\r\n"
      "Sent " +
      t +
      "DATA<EOL>\r\n"
      "Recv " +
      t +
      "354 End data with <CR><LF>.<CR><LF><EOL>\r\n"
      "Sent " +
      t +
      "From: \"Jane Doe\" <jane@example.org><EOL>\r\n"
      "Sent " +
      t +
      "Subject: A friend thought of you<EOL>\r\n"
      "Sent " +
      t +
      "To: \"Bob\" <bob@example.org><EOL>\r\n"
      "Sent " +
      t +
      "Content-Type: text/html<EOL>\r\n"
      "Sent " +
      t +
      "Date: Sun, 7 Mar 2004 09:05:00 +0100<EOL>\r\n"
      "Sent " +
      t +
      "X-Priority: 3<EOL>\r\n"
      "Sent " +
      t +
      "X-Library: Quillby Net 1.0<EOL>\r\n"
      "Sent " +
      t +
      "X-Mailer: Quillby Desktop<EOL>\r\n"
      "Sent " +
      t +
      "<EOL>\r\n"
      "Sent " +
      t +
      "<p>Hello Bob</p><EOL>\r\n"
      "Sent " +
      t +
      "..hidden<EOL>\r\n"
      "Sent " +
      t +
      "..<EOL>\r\n"
      "Sent " +
      t +
      ".<EOL>\r\n"
      "Recv " +
      t +
      "250 Queued<EOL>\r\n"
      "Sent " +
      t +
      "QUIT<EOL>\r\n"
      "Stat Disconnected.\r\n";
  EXPECT_EQ(ReadFile("QybSmtp.log"), expected);
}

}  // namespace
}  // namespace nettest

namespace nettest {
namespace {

// A name other than "localhost" that the hosts file gives 127.0.0.1, so the lookup itself is
// exercised without leaving the machine; empty when there is none.
std::string LoopbackNameFromHosts() {
  std::ifstream hosts("/etc/hosts");
  std::string line;
  while (std::getline(hosts, line)) {
    std::istringstream fields(line);
    std::string address, name;
    if (!(fields >> address) || address != "127.0.0.1") continue;
    while (fields >> name) {
      if (name[0] == '#') break;
      std::string lower = name;
      for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      if (lower != "localhost") return name;
    }
  }
  return {};
}

TEST_F(SmtpTest, HostNameGoesThroughTheLookup) {
  const std::string name = LoopbackNameFromHosts();
  if (name.empty()) GTEST_SKIP() << "no other name for 127.0.0.1 in /etc/hosts";
  ScriptServer server({Join({kGreeting, kEhlo})});
  Configure(server.Port(), name);
  FSmtp.Connect();
  FSmtp.Disconnect();
  EXPECT_EQ(server.Received(), kEhloSent + "QUIT\r\n");
}

}  // namespace
}  // namespace nettest

namespace nettest {
namespace {

// A log that cannot be written fails the operation in progress, and a failed connect leaves no
// connection open behind it.
TEST_F(SmtpTest, LogWriteFailureFailsTheConnect) {
  ScriptServer server({Join({kGreeting, kEhlo})});
  Configure(server.Port());
  net::TIdLogFile log;
  log.Filename = "QybSmtp.log";
  log.SetActive(true);
  FSmtp.Intercept = &log;
  TFileSizeLimit full(0);
  try {
    FSmtp.Connect();
    ADD_FAILURE() << "connected";
  } catch (const net::EWriteError& e) {
    EXPECT_EQ(e.Message(), "Stream write error");
  }
  EXPECT_FALSE(FSmtp.Connected());
  EXPECT_EQ(server.Received(), "");
}

}  // namespace
TEST_F(SmtpTest, AConversationFromMemoryIsTheSameWhateverBlocksTheRepliesComeIn) {
  const std::string replies =
      "220 mail.example ready\r\n250-mail.example\r\n250 AUTH LOGIN\r\n334 VXNlcm5hbWU6\r\n"
      "334 UGFzc3dvcmQ6\r\n235 ok\r\n250 reset\r\n250 ok\r\n250 ok\r\n250 ok\r\n354 go on\r\n"
      "250 queued\r\n";
  std::string first;
  for (const size_t block : {replies.size(), size_t{7}, size_t{1}}) {
    net::TIdSMTP smtp;
    smtp.Username = "desktop@quillby.example";
    smtp.Password = "qb2026";
    auto transport = std::make_unique<net::TIdMemoryTransport>(replies, block);
    const net::TIdMemoryTransport& peer = *transport;
    smtp.SetTransport(std::move(transport));
    net::TIdMessage message;
    Fill(message);
    message.UseNowForDate = false;  // the same bytes every time
    smtp.Connect();
    ASSERT_TRUE(smtp.Authenticate()) << block;
    smtp.Send(message);
    EXPECT_EQ(smtp.LastCmdResultText(), std::vector<std::string>{"queued"}) << block;
    smtp.Disconnect();
    EXPECT_NE(peer.Sent.find("RCPT TO:<manager@quillby.example>\r\n"), std::string::npos);
    if (first.empty()) first = peer.Sent;
    EXPECT_EQ(peer.Sent, first) << block;
  }
}

// A reply that goes on for ever fails at its bound of lines, blank lines included: nothing after
// the block that passed it is read or logged, and the connection is closed.
TEST_F(SmtpTest, RepliesPastTheBoundOfLinesFailAndAreReadNoFurther) {
  auto lines = [](const std::string& line, size_t count) {
    std::string text;
    for (size_t i = 0; i < count; ++i) text += line;
    return text;
  };
  const size_t bound = net::kMaxReplyLines;
  const std::string failure = "The server's reply exceeds 1000 lines.";
  const struct {
    const char* name;
    std::string read;  // what may be read before the connect ends
    std::string more;  // what follows without end
    std::string outcome;
  } cases[] = {
      {"greeting of one line too many", lines("220-x\r\n", bound), "220 ok\r\n", failure},
      {"EHLO reply without end", "220 ok\r\n" + lines("250-AUTH LOGIN\r\n", bound),
       lines("250-AUTH LOGIN\r\n", 300000), failure},
      {"blank lines without end", "220 ok\r\n" + lines("\r\n", bound), lines("\r\n", 2000000),
       failure},
      {"greeting of the bound", lines("220-x\r\n", bound - 1) + "220 ok\r\n250 ok\r\n", "",
       "connected"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TRecordedLog log;  // outlives the client, which logs its closing
    net::TIdSMTP smtp;
    auto transport = std::make_unique<net::TIdMemoryTransport>(c.read + c.more);
    const net::TIdMemoryTransport& peer = *transport;
    smtp.SetTransport(std::move(transport));
    smtp.Intercept = &log;
    std::string outcome = "connected";
    try {
      smtp.Connect();
    } catch (const net::EIdReplyTooLarge& e) {
      outcome = e.Message();
    }
    EXPECT_EQ(outcome, c.outcome);
    EXPECT_LE(log.Received, c.read.size() + net::TIdTCPConnection::RecvBufferSize);
    if (outcome != "connected") {
      EXPECT_FALSE(smtp.Connected());
      EXPECT_EQ(log.Last, "disconnect");
      EXPECT_EQ(peer.Sent.substr(peer.Sent.size() - 6), "QUIT\r\n");
    }
  }
}

// Before TLS only EHLO and STARTTLS go out, and a server whose 220 comes with more behind it
// (bytes that would be read as replies from inside TLS) gets no handshake at all.
TEST_F(SmtpTest, StartTlsIsRefusedBeforeTheHandshakeUnlessTheServerAgreesAndStopsThere) {
  const std::string greeting = "220 mail.example ready\r\n";
  const std::string not_offered =
      "The mail server \"localhost\" does not offer STARTTLS, so nothing was sent over the "
      "unencrypted connection.";
  const struct {
    std::string replies;
    std::string message;
    std::string sent;  // before the closing QUIT
  } cases[] = {
      {greeting + "250-mail.example\r\n250 AUTH LOGIN\r\n", not_offered, "EHLO Quillby\r\n"},
      {greeting + "500 what\r\n", not_offered, "EHLO Quillby\r\n"},
      {greeting + "250-mail.example\r\n250 starttls\r\n454 4.7.0 later\r\n",
       "The mail server \"localhost\" refused to start TLS (454 4.7.0 later), so nothing was "
       "sent over the unencrypted connection.",
       "EHLO Quillby\r\nSTARTTLS\r\n"},
      {greeting + "250-mail.example\r\n250 STARTTLS\r\n220 go ahead\r\n250 AUTH LOGIN\r\n",
       "The server \"localhost\" sent data before the secure connection was set up, so the "
       "connection was closed.",
       "EHLO Quillby\r\nSTARTTLS\r\n"},
  };
  for (const auto& c : cases) {
    for (const size_t block : {c.replies.size(), size_t{1}}) {
      SCOPED_TRACE(c.replies + " in blocks of " + std::to_string(block));
      net::TIdSMTP smtp;
      smtp.Host = "localhost";
      smtp.Security = net::msStartTLS;
      auto transport = std::make_unique<net::TIdMemoryTransport>(c.replies, block);
      const net::TIdMemoryTransport& peer = *transport;
      smtp.SetTransport(std::move(transport));
      try {
        smtp.Connect();
        ADD_FAILURE() << "connected";
      } catch (const net::EIdTLSError& e) {
        EXPECT_EQ(e.Message(), c.message);
      }
      EXPECT_FALSE(smtp.Connected());
      EXPECT_EQ(peer.Sent.substr(0, peer.Sent.rfind("QUIT\r\n")), c.sent);
    }
  }
}

}  // namespace nettest
