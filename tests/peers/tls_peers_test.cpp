#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "net/errors.h"
#include "net/http.h"
#include "net/logfile.h"
#include "net/smtp.h"
#include "net/tls_library.h"
#include "net/tls_transport.h"
#include "peer_process.h"
#include "platform/codepage.h"
#include "report.h"
#include "tests/net/mailbox.h"

// Both clients over TLS against real servers on the loopback, IPv4 and IPv6: the secure paths
// work, and every way a secure connection can fail stops the conversation at that point with a
// message that says why, before anything more reaches the server.
namespace {

const char* const kUser = "desktop@quillby.example";
const char* const kPassword = "qb2026";

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class TlsPeersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::SetLocaleProvider([] { return std::string("en_US"); });
    char pattern[] = "/tmp/quillby-tls-XXXXXX";
    FFolder = mkdtemp(pattern);
    FLog.Filename = (FFolder / "QybSmtp.log").string();
    FLog.LogTime = false;
    FLog.SetActive(true);
  }
  void TearDown() override {
    FLog.SetActive(false);
    std::filesystem::remove_all(FFolder);
    platform::SetLocaleProvider(nullptr);
    net::SetWaitLimit(net::kDefaultWaitLimit);
  }

  // A folder of its own for each peer, so one case's record never shows in another's.
  std::filesystem::path PeerFolder(const std::string& name) {
    const auto folder = FFolder / name;
    std::filesystem::create_directory(folder);
    return folder;
  }

  void Configure(net::TIdSMTP& smtp, const std::string& host, uint16_t port,
                 net::TIdMailSecurity security, const std::filesystem::path& folder) {
    smtp.Host = host;
    smtp.Port = port;
    smtp.Username = kUser;
    smtp.Password = kPassword;
    smtp.Security = security;
    smtp.TLSCAFile = (folder / "ca.pem").string();
    smtp.Intercept = &FLog;
  }

  static void Fill(net::TIdMessage& message) {
    message.From = nettest::Mailbox("Jane Doe", "jane@example.org");
    nettest::AddMailbox(message.Recipients, "Bob Friend", "bob@example.org");
    message.Subject = "Over TLS";
    message.Body = {"<p>Hello</p>", ".hidden"};
  }

  // Connect, authenticate, send, quit, as the mail tabs do; the message of the failure or "".
  std::string Submit(net::TIdSMTP& smtp) {
    net::TIdMessage message;
    Fill(message);
    try {
      smtp.Connect();
      smtp.Authenticate();
      smtp.Send(message);
      smtp.Disconnect();
    } catch (const Exception& e) {
      return e.Message();
    }
    return "";
  }

  std::string Log() { return ReadFile(FLog.Filename); }

  std::filesystem::path FFolder;
  net::TIdLogFile FLog;
};

TEST_F(TlsPeersTest, MailGoesOverStartTlsAndImplicitTlsOnIpv4AndIpv6) {
  const struct {
    const char* mode;
    net::TIdMailSecurity security;
    const char* address;
    const char* host;
    std::vector<std::string> commands;
  } cases[] = {
      {"starttls",
       net::msStartTLS,
       "127.0.0.1",
       "localhost",
       {"EHLO", "STARTTLS", "EHLO", "AUTH", "RSET", "MAIL", "RCPT", "DATA"}},
      {"starttls",
       net::msStartTLS,
       "::1",
       "::1",
       {"EHLO", "STARTTLS", "EHLO", "AUTH", "RSET", "MAIL", "RCPT", "DATA"}},
      // localhost is tried on ::1 first, then 127.0.0.1, so either listener is found.
      {"implicit",
       net::msImplicitTLS,
       "::1",
       "localhost",
       {"EHLO", "AUTH", "RSET", "MAIL", "RCPT", "DATA"}},
      {"implicit",
       net::msImplicitTLS,
       "127.0.0.1",
       "127.0.0.1",
       {"EHLO", "AUTH", "RSET", "MAIL", "RCPT", "DATA"}},
  };
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.mode) + " " + c.address);
    const auto folder = PeerFolder("mail" + std::to_string(++n));
    peers::PeerProcess peer(
        {PEERS_DIR "/tls_smtp_peer.py", folder.string(), kUser, kPassword, c.mode, c.address});
    net::TIdSMTP smtp;
    Configure(smtp, c.host, peer.Port(), c.security, folder);
    EXPECT_EQ(Submit(smtp), "");
    // Before TLS the server lists no AUTH; the mechanisms came from the EHLO after it.
    EXPECT_EQ(smtp.AuthMechanisms(), std::vector<std::string>{"LOGIN"});
    std::vector<std::string> commands = Lines(ReadFile(folder / "commands.txt"));
    if (commands.size() > c.commands.size()) commands.resize(c.commands.size());  // QUIT may lag
    EXPECT_EQ(commands, c.commands);
    const std::string message = ReadFile(folder / "message-1.txt");
    EXPECT_NE(message.find("Subject: Over TLS"), std::string::npos);
    EXPECT_NE(message.find("\r\n.hidden\r\n"), std::string::npos);
  }
  const std::string log = Log();
  EXPECT_NE(log.find("Stat Connected.\r\nStat TLS established: TLSv1.3, "), std::string::npos);
  EXPECT_NE(log.find(", certificate verified for localhost.\r\nRecv : 220 "), std::string::npos);
  EXPECT_NE(log.find(", certificate verified for ::1.\r\n"), std::string::npos);
  // The dialogue stays readable in the log, the password's Base64 line included.
  EXPECT_NE(log.find("Sent : AUTH LOGIN<EOL>"), std::string::npos);
}

TEST_F(TlsPeersTest, SignupIsPostedOverHttpsOnIpv4AndIpv6) {
  const struct {
    const char* address;
    const char* host;
  } cases[] = {{"127.0.0.1", "localhost"}, {"::1", "::1"}};
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.address);
    const auto folder = PeerFolder("web" + std::to_string(++n));
    peers::PeerProcess peer(
        {PEERS_DIR "/http_peer.py", folder.string(), "--test-tls", "--address", c.address});
    net::TIdHTTP http;
    http.Host = c.host;
    http.Port = peer.Port();
    http.UseTLS = true;
    http.TLSCAFile = (folder / "ca.pem").string();
    http.Intercept = &FLog;
    net::TIdMultiPartFormDataStream body;
    body.AddField("FirstName", "Jane");
    body.AddField("ZipCode", "12345");
    EXPECT_THROW(http.PostForm("/signup/dbsignup.html", body), net::EIdHTTPProtocolException);
    EXPECT_EQ(http.StatusCode(), 302);
    EXPECT_EQ(http.Location(), "/signup/thank-you.html");
    EXPECT_EQ(peers::ReadReport(folder / "form-1.txt"),
              (peers::Report{{"FirstName", "Jane"}, {"ZipCode", "12345\r\n"}}));
  }
  const std::string log = Log();
  EXPECT_NE(log.find("Stat TLS established: TLSv1.3, "), std::string::npos);
  EXPECT_NE(log.find("Host: [::1]:"), std::string::npos);
}

// Each way STARTTLS can go wrong, with the message the send fails with: nothing after the point
// of failure reaches the server, AUTH above all, and no message is taken.
TEST_F(TlsPeersTest, StartTlsFailuresEndTheSendBeforeAuth) {
  net::SetWaitLimit(std::chrono::milliseconds(700));
  const struct {
    const char* mode;
    const char* message;
    std::vector<std::string> commands;
    const char* logged;  // the status entry, if any
  } cases[] = {
      {"nostarttls",
       "The mail server \"localhost\" does not offer STARTTLS, so nothing was sent over the "
       "unencrypted connection.",
       {"EHLO"},
       nullptr},
      {"refuse",
       "The mail server \"localhost\" refused to start TLS (454 4.7.0 TLS not available due to "
       "temporary reason), so nothing was sent over the unencrypted connection.",
       {"EHLO", "STARTTLS"},
       nullptr},
      {"inject",
       "The server \"localhost\" sent data before the secure connection was set up, so the "
       "connection was closed.",
       {"EHLO", "STARTTLS"},
       "Stat TLS failed: data arrived before the handshake.\r\n"},
      {"close",
       "No secure connection could be made with \"localhost\": the server closed the connection "
       "during the handshake.",
       {"EHLO", "STARTTLS"},
       "Stat TLS failed: the server closed the connection during the handshake.\r\n"},
      {"stall",
       "Socket Error # 10060\r\nConnection timed out.",
       {"EHLO", "STARTTLS"},
       "Stat TLS failed: Connection timed out.\r\n"},
      {"starttls:expired",
       "The certificate of \"localhost\" could not be verified: certificate has expired.",
       {"EHLO", "STARTTLS"},
       "Stat TLS failed: certificate has expired.\r\n"},
      {"starttls:wronghost",
       "The certificate of \"localhost\" could not be verified: hostname mismatch.",
       {"EHLO", "STARTTLS"},
       "Stat TLS failed: hostname mismatch.\r\n"},
      {"starttls:unknownca",
       "The certificate of \"localhost\" could not be verified: unable to get local issuer "
       "certificate.",
       {"EHLO", "STARTTLS"},
       "Stat TLS failed: unable to get local issuer certificate.\r\n"},
      // This server drops the connection without the alert that says why.
      {"starttls:tls11",
       "No secure connection could be made with \"localhost\": the server closed the connection "
       "during the handshake.",
       {"EHLO", "STARTTLS"},
       "Stat TLS failed: the server closed the connection during the handshake.\r\n"},
  };
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mode);
    const auto folder = PeerFolder("fail" + std::to_string(++n));
    const auto log_start = Log().size();
    peers::PeerProcess peer(
        {PEERS_DIR "/tls_smtp_peer.py", folder.string(), kUser, kPassword, c.mode});
    net::TIdSMTP smtp;
    Configure(smtp, "localhost", peer.Port(), net::msStartTLS, folder);
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(Submit(smtp), c.message);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    EXPECT_FALSE(smtp.Connected());
    std::vector<std::string> commands = Lines(ReadFile(folder / "commands.txt"));
    // A QUIT in the clear may still follow a refusal; nothing else may.
    if (!commands.empty() && commands.back() == "QUIT") commands.pop_back();
    EXPECT_EQ(commands, c.commands);
    EXPECT_FALSE(std::filesystem::exists(folder / "message-1.txt"));
    const std::string log = Log().substr(log_start);
    if (c.logged != nullptr) {
      EXPECT_NE(log.find(c.logged), std::string::npos) << log;
    }
    EXPECT_EQ(log.find("Sent : AUTH"), std::string::npos);
  }
}

// The same failures of the handshake for the post: no byte of the request gets through.
TEST_F(TlsPeersTest, HandshakeFailuresEndThePostBeforeItsRequest) {
  net::SetWaitLimit(std::chrono::milliseconds(700));
  const struct {
    const char* kind;
    const char* address;
    const char* host;
    const char* message;
  } cases[] = {
      {"expired", "127.0.0.1", "localhost",
       "The certificate of \"localhost\" could not be verified: certificate has expired."},
      {"wronghost", "::1", "::1",
       "The certificate of \"::1\" could not be verified: IP address mismatch."},
      {"unknownca", "127.0.0.1", "127.0.0.1",
       "The certificate of \"127.0.0.1\" could not be verified: unable to get local issuer "
       "certificate."},
      {"tls11", "127.0.0.1", "localhost",
       "No secure connection could be made with \"localhost\": tlsv1 alert protocol version."},
      {"close", "127.0.0.1", "localhost",
       "No secure connection could be made with \"localhost\": the server closed the connection "
       "during the handshake."},
      {"stall", "::1", "localhost", "Socket Error # 10060\r\nConnection timed out."},
  };
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.kind);
    const auto folder = PeerFolder("tls" + std::to_string(++n));
    peers::PeerProcess peer({PEERS_DIR "/tls_peer.py", folder.string(), c.kind, c.address});
    net::TIdHTTP http;
    http.Host = c.host;
    http.Port = peer.Port();
    http.UseTLS = true;
    http.TLSCAFile = (folder / "ca.pem").string();
    net::TIdMultiPartFormDataStream body;
    body.AddField("HomePhone", "555-0100");
    std::string failure;
    try {
      http.PostForm("/signup/dbsignup.html", body);
    } catch (const Exception& e) {
      failure = e.Message();
    }
    EXPECT_EQ(failure, c.message);
    EXPECT_EQ(http.StatusCode(), -1);
    EXPECT_FALSE(http.Connected());
    EXPECT_FALSE(std::filesystem::exists(folder / "received.bin"));
  }
}

TEST_F(TlsPeersTest, AnUnreadableTrustFileFailsTheSendWithItsName) {
  const auto folder = PeerFolder("mail");
  peers::PeerProcess peer(
      {PEERS_DIR "/tls_smtp_peer.py", folder.string(), kUser, kPassword, "starttls"});
  std::ofstream(folder / "ca.pem", std::ios::trunc) << "not a certificate\n";
  net::TIdSMTP smtp;
  Configure(smtp, "localhost", peer.Port(), net::msStartTLS, folder);
  const std::string failure = Submit(smtp);
  EXPECT_EQ(
      failure.rfind(
          "The trust anchors in \"" + (folder / "ca.pem").string() + "\" cannot be read: ", 0),
      0u)
      << failure;
  EXPECT_FALSE(std::filesystem::exists(folder / "message-1.txt"));
}

// OpenSSL is mapped by the first TLS context and not before; each test runs in a process of its
// own under ctest, so nothing earlier has opened it.
TEST(TlsLibraryTest, OpensWithTheFirstContextOnly) {
  const auto mapped = [] {
    return ReadFile("/proc/self/maps").find("/libssl.so.3") != std::string::npos;
  };
  if (net::TLSLibraryOpen()) GTEST_SKIP() << "an earlier test in this process opened OpenSSL";
  EXPECT_FALSE(mapped());
  const net::TIdTLSContext context("");
  EXPECT_TRUE(net::TLSLibraryOpen());
  EXPECT_TRUE(mapped());
  EXPECT_NE(context.Get(), nullptr);
}

}  // namespace
