#include "net/http.h"

#include <gtest/gtest.h>

#include "net/errors.h"
#include "net/logfile.h"
#include "net_fixture.h"
#include "script_server.h"

namespace nettest {
namespace {

const std::string kPath = "/signup/dbsignup.html";
const std::string kBoundary = "--------030704090500071";

class HttpTest : public NetTest {
 protected:
  void SetUp() override {
    NetTest::SetUp();
    FHttp.Host = "127.0.0.1";
    FHttp.DiscardReadTimeout = std::chrono::milliseconds(200);
  }
  std::unique_ptr<net::TIdMultiPartFormDataStream> Form() {
    auto body = std::make_unique<net::TIdMultiPartFormDataStream>();
    body->AddField("fname", "Jane");
    body->AddField("source", "quillbyapp");
    return body;
  }
  std::string Request(uint16_t port) {
    auto body = Form();
    std::string bytes;
    char buffer[1024];
    size_t n;
    while ((n = body->Read(buffer, sizeof buffer)) > 0) bytes.append(buffer, n);
    return "POST " + kPath +
           " HTTP/1.0\r\n"
           "Connection: keep-alive\r\n"
           "Content-Type: multipart/form-data; boundary=" +
           kBoundary + "\r\nContent-Length: " + std::to_string(bytes.size()) +
           "\r\nHost: 127.0.0.1:" + std::to_string(port) +
           "\r\nAccept: text/html, */*\r\n"
           "User-Agent: Mozilla/3.0 (compatible; Quillby Net)\r\n\r\n" +
           bytes;
  }
  // The post's outcome: the returned text, or the failure's class and message.
  std::string Post() {
    auto body = Form();
    try {
      return "returned " + FHttp.PostForm(kPath, *body);
    } catch (const net::EIdHTTPProtocolException& e) {
      return "protocol error " + std::to_string(e.ReplyErrorCode()) + " " + e.Message() + " [" +
             e.ErrorMessage() + "]";
    } catch (const net::EIdReadTimeout& e) {
      return "read timeout";
    } catch (const Exception& e) {
      return "failed " + e.Message();
    }
  }

  net::TIdHTTP FHttp;
};

TEST_F(HttpTest, ServerBehaviours) {
  const struct {
    const char* name;
    Script script;
    std::string outcome;
    int status;
    std::string location;
    bool kept_open;
  } cases[] = {
      {"302 with Location",
       {HttpRequest(),
        Send("HTTP/1.1 302 Found\r\nLocation: /signup/thank-you.html\r\nContent-Length: 5\r\n"
             "\r\nmoved"),
        Close()},
       "protocol error 302 HTTP/1.1 302 Found [moved]",
       302,
       "/signup/thank-you.html",
       false},
      {"lower-case location header",
       {HttpRequest(), Send("HTTP/1.0 302 Found\r\nlocation:   /thank-you.html  \r\n\r\n"),
        Close()},
       "protocol error 302 HTTP/1.0 302 Found []",
       302,
       "/thank-you.html",
       false},
      {"100 then 302",
       {HttpRequest(),
        Send("HTTP/1.1 100 Continue\r\nX-A: 1\r\n\r\nHTTP/1.1 100 Continue\r\n\r\n"
             "HTTP/1.1 302 Found\r\nLocation: /t\r\nContent-Length: 0\r\n\r\n"),
        Close()},
       "protocol error 302 HTTP/1.1 302 Found []",
       302,
       "/t",
       false},
      {"200 with a body",
       {HttpRequest(), Send("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello"), Close()},
       "returned hello",
       200,
       "",
       false},
      {"200 with a Location is a redirect",
       {HttpRequest(), Send("HTTP/1.1 200 OK\r\nLocation: /elsewhere\r\n\r\nbody"), Close()},
       "protocol error 200 HTTP/1.1 200 OK [body]",
       200,
       "/elsewhere",
       false},
      {"304 is not a redirect but an error",
       {HttpRequest(), Send("HTTP/1.1 304 Not Modified\r\nContent-Length: 0\r\n\r\n"), Close()},
       "protocol error 304 HTTP/1.1 304 Not Modified []",
       304,
       "",
       false},
      {"500 with a body",
       {HttpRequest(), Send("HTTP/1.1 500 Oops\r\nContent-Length: 4\r\n\r\nsad!"), Close()},
       "protocol error 500 HTTP/1.1 500 Oops [sad!]",
       500,
       "",
       false},
      {"200 read until the server closes",
       {HttpRequest(), Send("HTTP/1.0 200 OK\r\n\r\nall of "), Send("it"), Close()},
       "returned all of it",
       200,
       "",
       false},
      {"chunked body",
       {HttpRequest(),
        Send("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n"
             "A ext\r\n0123456789\r\nzz\r\n0\r\n\r\n"),
        Close()},
       "returned abc0123456789",
       200,
       "",
       false},
      {"chunk sizes with an extension or blanks after them",
       {HttpRequest(),
        Send("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n1a;name=value\r\n"
             "abcdefghijklmnopqrstuvwxyz\r\n3\t\r\n123\r\n2;x \r\n45\r\n0;last\r\n\r\n"),
        Close()},
       "returned abcdefghijklmnopqrstuvwxyz12345",
       200,
       "",
       false},
      {"204 reads no body",
       {HttpRequest(), Send("HTTP/1.1 204 No Content\r\nConnection: keep-alive\r\n\r\n")},
       "returned ",
       204,
       "",
       true},
      {"short body ends quietly",
       {HttpRequest(), Send("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nshort"), Close()},
       "returned short",
       200,
       "",
       false},
      {"server closes before a status line",
       {HttpRequest(), Close()},
       "failed Connection Closed Gracefully.",
       -1,
       "",
       false},
      {"server closes right after the status line",
       {HttpRequest(), Send("HTTP/1.1 200 OK\r\n"), Close()},
       "failed Connection Closed Gracefully.",
       200,
       "",
       false},
      {"server closes after a header, before the empty line",
       {HttpRequest(), Send("HTTP/1.1 302 Found\r\nLocation: /thank-you.html\r\n"), Close()},
       "protocol error 302 HTTP/1.1 302 Found []",
       302,
       "/thank-you.html",
       false},
      {"redirect without Content-Length on a kept-open connection",
       {HttpRequest(),
        Send("HTTP/1.1 302 Found\r\nConnection: Keep-Alive\r\nLocation: /thank-you.html\r\n\r\n")},
       "read timeout",
       302,
       "/thank-you.html",
       true},
      {"status line over 16384 bytes",
       {HttpRequest(), Send("HTTP/1.1 200 " + std::string(16400, 'x') + "\r\n\r\n"), Silent()},
       "failed Max line length exceeded.",
       -1,
       "",
       false},
      {"status that is not a number",
       {HttpRequest(), Send("HTTP/1.1 abc Odd\r\nContent-Length: 0\r\n\r\n"), Close()},
       "protocol error -1 HTTP/1.1 abc Odd []",
       -1,
       "",
       false},
      {"server that never answers",
       {HttpRequest(), Silent()},
       "failed Socket Error # 10060\r\nConnection timed out.",
       -1,
       "",
       false},
      // Running out of time counts as a failure before any status line.
      {"headers that never end",
       {HttpRequest(), Send("HTTP/1.1 302 Found\r\nLocation: /thank-you.html\r\n"), Silent()},
       "failed Socket Error # 10060\r\nConnection timed out.",
       -1,
       "",
       false},
      {"2xx body that never ends",
       {HttpRequest(), Send("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc"), Silent()},
       "failed Socket Error # 10060\r\nConnection timed out.",
       -1,
       "",
       false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    // Only the cases that wait for the limit get a short one.
    const bool times_out = c.outcome.find("10060") != std::string::npos;
    net::SetWaitLimit(std::chrono::milliseconds(times_out ? 300 : 1500));
    ScriptServer server({c.script});
    FHttp.Port = server.Port();
    EXPECT_EQ(Post(), c.outcome);
    EXPECT_EQ(FHttp.StatusCode(), c.status);
    EXPECT_EQ(FHttp.Location(), c.location);
    EXPECT_EQ(FHttp.Connected(), c.kept_open);
    FHttp.Disconnect();
    EXPECT_EQ(server.Received(), Request(server.Port()));
  }
}

// A reply that would grow without end fails at its bound: nothing after the block that passed
// the bound is read or logged, and the connection is closed. A reply at the bounds still passes.
TEST_F(HttpTest, RepliesPastTheBoundsFailAndAreReadNoFurther) {
  const size_t head_bound = net::kMaxReplyHeadSize;
  const size_t body_bound = net::kMaxReplyBodySize;
  const std::string endless(4 << 20, 'x');  // stands for bytes that never stop
  const std::string ok = "HTTP/1.1 200 OK\r\n";
  const std::string chunked = ok + "Transfer-Encoding: chunked\r\n\r\n";
  std::string headers;
  while (headers.size() <= head_bound) headers += "X-Pad: " + std::string(90, 'p') + "\r\n";
  std::string continues;
  while (continues.size() <= head_bound) continues += "HTTP/1.1 100 Continue\r\n\r\n";
  // Up to the size line of the chunk that would end past the bound.
  std::string tiny_chunks;
  while (tiny_chunks.size() < body_bound) tiny_chunks += "1\r\nx\r\n";
  tiny_chunks += "1\r\n";
  std::string exact_head = ok;
  while (exact_head.size() + 200 < head_bound)
    exact_head += "X-Pad: " + std::string(90, 'p') + "\r\n";
  exact_head += "X-End: " + std::string(head_bound - exact_head.size() - 11, 'e') + "\r\n\r\n";
  const std::string body_error = "failed The server's reply body exceeds 1048576 bytes.";
  const std::string head_error = "failed The server's reply head exceeds 65536 bytes.";
  const struct {
    const char* name;
    std::string read;  // what may be read; more follows when the reply fails
    std::string outcome;
    int status;
  } cases[] = {
      {"declared length past the bound",
       "HTTP/1.0 302 Found\r\nLocation: /thank-you.html\r\n"
       "Content-Length: 9223372036854775807\r\n\r\n",
       body_error, 302},
      {"declared length past 64 bits", ok + "Content-Length: 99999999999999999999\r\n\r\n",
       body_error, 200},
      {"chunk size past the bound", chunked + "7fffffffffffffff\r\n", body_error, 200},
      {"chunk size past 64 bits", chunked + "1ffffffffffffffff\r\n", body_error, 200},
      {"tiny chunks without end", chunked + tiny_chunks, body_error, 200},
      {"body to the close without end",
       "HTTP/1.0 500 Oops\r\n\r\n" + std::string(body_bound + 1, 'b'), body_error, 500},
      {"headers without end", ok + headers, head_error, -1},
      {"100 Continue without end", continues, head_error, -1},
      {"declared body of the bound",
       ok + "Content-Length: 1048576\r\n\r\n" + std::string(body_bound, 'b'),
       "returned 1048576 bytes", 200},
      {"body to the close of the bound", ok + "\r\n" + std::string(body_bound, 'b'),
       "returned 1048576 bytes", 200},
      // The size line and the chunk's own line end count too.
      {"chunked body of the bound",
       chunked + "ffff7\r\n" + std::string(body_bound - 9, 'b') + "\r\n0\r\n\r\n",
       "returned 1048567 bytes", 200},
      {"head of the bound", exact_head, "returned 0 bytes", 200},
  };
  // A megabyte of tiny chunks takes seconds in a sanitized build; the bounds, not the
  // conversation's deadline, are what must end these replies.
  net::SetConversationLimit(std::chrono::milliseconds(120000));
  TRecordedLog log;
  FHttp.Intercept = &log;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const bool fails = c.outcome.rfind("failed", 0) == 0;
    FHttp.SetTransport(std::make_unique<net::TIdMemoryTransport>(c.read + (fails ? endless : "")));
    log = {};
    std::string outcome = Post();
    if (outcome.rfind("returned ", 0) == 0) {
      outcome = "returned " + std::to_string(outcome.size() - 9) + " bytes";
    }
    EXPECT_EQ(outcome, c.outcome);
    EXPECT_EQ(FHttp.StatusCode(), c.status);
    EXPECT_FALSE(FHttp.Connected());
    EXPECT_EQ(log.Last, "disconnect");
    EXPECT_LE(log.Received, c.read.size() + net::TIdTCPConnection::RecvBufferSize);
  }
}

TEST_F(HttpTest, NothingListeningAfterAnEarlier302) {
  {
    ScriptServer server(
        {{HttpRequest(), Send("HTTP/1.1 302 Found\r\nLocation: /thank-you.html\r\n\r\n"),
          Close()}});
    FHttp.Port = server.Port();
    Post();
    ASSERT_EQ(FHttp.StatusCode(), 302);
  }
  FHttp.Port = UnusedPort();
  EXPECT_EQ(Post(), "failed Socket Error # 10061\r\nConnection refused.");
  EXPECT_EQ(FHttp.StatusCode(), -1);
  EXPECT_EQ(FHttp.Location(), "");
}

// A server that answers 100 again and again cannot hold the post: the conversation's deadline
// ends it even though bytes keep coming.
TEST_F(HttpTest, EndlessContinueIsEndedByTheDeadline) {
  net::SetWaitLimit(std::chrono::milliseconds(2000));
  net::SetConversationLimit(std::chrono::milliseconds(300));
  ScriptServer server({{HttpRequest(), Flood("HTTP/1.1 100 Continue\r\n\r\n")}});
  FHttp.Port = server.Port();
  FHttp.MaxHeadSize = SIZE_MAX;  // the deadline alone ends it
  EXPECT_EQ(Post(), "failed Socket Error # 10060\r\nConnection timed out.");
  EXPECT_FALSE(FHttp.Connected());
}

TEST_F(HttpTest, KeepAliveIsClosedAtTheNextPost) {
  ScriptServer server(
      {{HttpRequest(),
        Send("HTTP/1.1 200 OK\r\nConnection: keep-alive\r\nContent-Length: 2\r\n\r\nok")},
       {HttpRequest(), Send("HTTP/1.1 302 Found\r\nLocation: /thank-you.html\r\n\r\n"), Close()}});
  FHttp.Port = server.Port();
  net::TIdLogFile log;
  log.Filename = "QybSmtp.log";
  log.LogTime = false;
  log.SetActive(true);
  FHttp.Intercept = &log;
  EXPECT_EQ(Post(), "returned ok");
  EXPECT_TRUE(FHttp.Connected());
  EXPECT_EQ(Post(), "protocol error 302 HTTP/1.1 302 Found []");
  EXPECT_FALSE(FHttp.Connected());
  log.SetActive(false);
  std::string kinds;
  const std::string text = ReadFile("QybSmtp.log");
  for (size_t at = 0; at < text.size(); at = text.find("\r\n", at) + 2) kinds += text[at];
  EXPECT_EQ(kinds, "SSSRSSSSRS");  // Stat, Sent head, Sent body, Recv, ... Stat before Stat
  EXPECT_EQ(text.substr(0, 17), "Stat Connected.\r\n");
  EXPECT_NE(text.find("ok\r\nStat Disconnected.\r\nStat Connected.\r\n"), std::string::npos);
  EXPECT_EQ(server.Received(0), Request(server.Port()));
  EXPECT_EQ(server.Received(1), Request(server.Port()));
}

TEST_F(HttpTest, LogOfOnePost) {
  ScriptServer server({{HttpRequest(),
                        Send("HTTP/1.1 302 Found\r\nLocation: /thank-you.html\r\n"
                             "Content-Length: 0\r\n\r\n"),
                        Close()}});
  FHttp.Port = server.Port();
  net::TIdLogFile log;
  log.Filename = "QybSmtp.log";
  log.SetActive(true);
  FHttp.Intercept = &log;
  Post();
  log.SetActive(false);
  const std::string request = Request(server.Port());
  const size_t head_end = request.find("\r\n\r\n") + 4;
  const std::string t = "03/07/04 09:05:00: ";
  EXPECT_EQ(ReadFile("QybSmtp.log"),
            "Stat Connected.\r\n"
            "Sent " +
                t + net::TIdLogBase::MarkLineBreaks(request.substr(0, head_end)) +
                "\r\n"
                "Sent " +
                t + net::TIdLogBase::MarkLineBreaks(request.substr(head_end)) +
                "\r\n"
                "Recv " +
                t +
                "HTTP/1.1 302 Found<EOL>Location: /thank-you.html<EOL>"
                "Content-Length: 0<EOL><EOL>\r\n"
                "Stat Disconnected.\r\n");
}

TEST_F(HttpTest, LargeBodyGoesInBlocksOf32768) {
  ScriptServer server(
      {{HttpRequest(), Send("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n"), Close()}});
  FHttp.Port = server.Port();
  net::TIdLogFile log;
  log.Filename = "QybSmtp.log";
  log.LogTime = false;
  log.SetActive(true);
  FHttp.Intercept = &log;
  net::TIdMultiPartFormDataStream body;
  body.AddField("big", std::string(70000, 'b'));
  EXPECT_EQ(FHttp.PostForm(kPath, body), "");
  log.SetActive(false);
  std::string bytes(static_cast<size_t>(body.Size()), '\0');
  body.Rewind();
  ASSERT_EQ(body.Read(bytes.data(), bytes.size()), bytes.size());
  const std::string blocks =
      "Sent : " + net::TIdLogBase::MarkLineBreaks(bytes.substr(0, 32768)) +
      "\r\nSent : " + net::TIdLogBase::MarkLineBreaks(bytes.substr(32768, 32768)) +
      "\r\nSent : " + net::TIdLogBase::MarkLineBreaks(bytes.substr(65536)) + "\r\nRecv : ";
  EXPECT_NE(ReadFile("QybSmtp.log").find(blocks), std::string::npos);
  EXPECT_EQ(server.Received().size(),
            server.Received().find("\r\n\r\n") + 4 + static_cast<size_t>(body.Size()));
}

// The Host header names an IPv6 address in brackets and leaves out the scheme's own port.
TEST_F(HttpTest, HostHeaderOfEachKindOfHost) {
  const struct {
    const char* host;
    uint16_t port;
    const char* header;
  } cases[] = {
      {"127.0.0.1", 80, "Host: 127.0.0.1\r\n"},
      {"::1", 80, "Host: [::1]\r\n"},
      {"::1", 8480, "Host: [::1]:8480\r\n"},
      {"www.example.org", 443, "Host: www.example.org:443\r\n"},
  };
  for (const auto& c : cases) {
    net::TIdHTTP http;
    http.Host = c.host;
    http.Port = c.port;
    auto transport = std::make_unique<net::TIdMemoryTransport>("HTTP/1.0 200 OK\r\n\r\n");
    const net::TIdMemoryTransport& peer = *transport;
    http.SetTransport(std::move(transport));
    auto body = Form();
    http.PostForm(kPath, *body);
    EXPECT_NE(peer.Sent.find(c.header), std::string::npos) << peer.Sent.substr(0, 200);
  }
}

}  // namespace
}  // namespace nettest
