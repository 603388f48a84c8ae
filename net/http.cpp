#include "net/http.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <optional>

#include "net/errors.h"
#include "net/text.h"

namespace net {

namespace {

bool SameText(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

bool ParseInt(std::string_view text, int base, long long& value) {
  if (text.empty()) return false;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  return error == std::errc() && end == text.data() + text.size();
}

// A length as a reply gives it, nothing when the text is no number. A number past every type
// counts as the largest one, which every bound refuses.
std::optional<unsigned long long> ParseLength(std::string_view text, int base) {
  unsigned long long value = 0;
  if (text.empty()) return std::nullopt;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (end != text.data() + text.size()) return std::nullopt;
  if (error == std::errc::result_out_of_range) return ULLONG_MAX;
  if (error != std::errc()) return std::nullopt;
  return value;
}

class EBodyEndedEarly : public EIdException {
 public:
  EBodyEndedEarly() : EIdException("The form body ended before all of its bytes were sent.") {}
};

}  // namespace

int TIdHTTPResponse::ResponseCode() const {
  if (ResponseText.empty()) return -1;
  const size_t space = ResponseText.find(' ');
  if (space == std::string::npos) return -1;
  std::string rest = Trim(std::string_view(ResponseText).substr(space + 1));
  rest = rest.substr(0, rest.find(' '));
  long long code = 0;
  if (!ParseInt(rest, 10, code) || code < INT32_MIN || code > INT32_MAX) return -1;
  return static_cast<int>(code);
}

bool TIdHTTPResponse::HasHeader(std::string_view name) const {
  for (const std::string& line : RawHeaders) {
    const size_t colon = line.find(':');
    if (colon != std::string::npos && SameText(std::string_view(line).substr(0, colon), name)) {
      return true;
    }
  }
  return false;
}

std::string TIdHTTPResponse::HeaderValue(std::string_view name) const {
  for (size_t i = 0; i < RawHeaders.size(); ++i) {
    const std::string& line = RawHeaders[i];
    const size_t colon = line.find(':');
    if (colon == std::string::npos || !SameText(std::string_view(line).substr(0, colon), name)) {
      continue;
    }
    std::string value = Trim(std::string_view(line).substr(colon + 1));
    for (size_t j = i + 1; j < RawHeaders.size(); ++j) {
      const std::string& next = RawHeaders[j];
      if (next.empty() || (next[0] != ' ' && next[0] != '\t')) break;
      value += " " + Trim(next);
    }
    return value;
  }
  return {};
}

void TIdHTTPResponse::Clear() {
  ResponseText.clear();
  RawHeaders.clear();
}

bool TIdHTTP::KeepAlive() const {
  if (!FConnection.Connected()) return false;
  return SameText(FResponse.HeaderValue("Connection"), "KEEP-ALIVE") ||
         SameText(FResponse.HeaderValue("Proxy-Connection"), "KEEP-ALIVE");
}

void TIdHTTP::SendRequest(const std::string& path, TIdMultiPartFormDataStream& body) {
  const int64_t length = body.Size();
  std::string head = "POST " + path + " HTTP/1.0\r\n";
  head += "Connection: keep-alive\r\n";
  head += "Content-Type: " + body.FormContentType() + "\r\n";
  head += "Content-Length: " + std::to_string(length) + "\r\n";
  // An IPv6 address goes in brackets, and the scheme's own port is left out.
  const bool ipv6 = Host.find(':') != std::string::npos;
  head += "Host: " + (ipv6 ? "[" + Host + "]" : Host) +
          (Port != (UseTLS ? 443 : 80) ? ":" + std::to_string(Port) : "") + "\r\n";
  head += "Accept: " + Accept + "\r\n";
  head += "User-Agent: " + UserAgent + "\r\n";
  head += "\r\n";
  // The head is held back for the body's first block, so the two leave together and no
  // delayed acknowledgement stands between them.
  FConnection.Write(head, length > 0);
  body.Rewind();
  std::string block(TIdTCPConnection::RecvBufferSize, '\0');
  int64_t left = length;
  while (left > 0) {
    const size_t want = static_cast<size_t>(std::min<int64_t>(left, block.size()));
    const size_t got = body.Read(block.data(), want);
    if (got == 0) throw EBodyEndedEarly();
    FConnection.Write(std::string_view(block.data(), got));
    left -= static_cast<int64_t>(got);
  }
}

uint64_t TIdHTTP::Consumed() {
  return FConnection.ReceivedCount() - FConnection.InputBuffer().size();
}

void TIdHTTP::BodyTooLarge() {
  throw EIdReplyTooLarge("The server's reply body exceeds " + std::to_string(MaxBodySize) +
                         " bytes.");
}

void TIdHTTP::ReadResponseHead() {
  const uint64_t start = Consumed();
  auto read_line = [&] {
    std::string line = FConnection.ReadLn();
    if (Consumed() - start > MaxHeadSize) {
      // A head that never ends is no reply to judge.
      FResponse.Clear();
      throw EIdReplyTooLarge("The server's reply head exceeds " + std::to_string(MaxHeadSize) +
                             " bytes.");
    }
    return line;
  };
  do {
    FResponse.Clear();
    FResponse.ResponseText = read_line();
    bool any_header = false;
    for (;;) {
      std::string line;
      try {
        line = read_line();
      } catch (const EIdConnClosedGracefully&) {
        // Headers already read stand; a reply cut off before any of them does not.
        if (!any_header) throw;
        break;
      }
      if (line.empty()) break;
      FResponse.RawHeaders.push_back(std::move(line));
      any_header = true;
    }
  } while (FResponse.ResponseCode() == 100);
}

std::string TIdHTTP::ReadBody(std::optional<std::chrono::milliseconds> limit) {
  std::string& input = FConnection.InputBuffer();
  std::string body;
  long long length = -1;
  const bool has_length = FResponse.HasHeader("Content-Length");
  if (has_length) {
    const auto declared = ParseLength(FResponse.HeaderValue("Content-Length"), 10);
    if (declared && *declared > MaxBodySize) BodyTooLarge();
    if (declared) length = static_cast<long long>(*declared);
  }
  if (length > 0) {
    while (static_cast<long long>(input.size()) < length) {
      if (!FConnection.ReadFromStack(limit)) break;  // a short body ends quietly
    }
    const size_t take = static_cast<size_t>(std::min<long long>(length, input.size()));
    body = input.substr(0, take);
    input.erase(0, take);
  } else if (FResponse.HeaderValue("Transfer-Encoding").find("chunked") != std::string::npos) {
    // The chunks' size lines count towards the bound too, so tiny chunks cannot run on.
    const uint64_t start = Consumed();
    for (;;) {
      const std::string size_line = FConnection.ReadLn(limit);
      // The size may be followed by an extension (";name=value") or blanks.
      const auto size =
          ParseLength(std::string_view(size_line).substr(0, size_line.find_first_of(" \t;")), 16)
              .value_or(0);
      if (size == 0) break;
      if (size > MaxBodySize || Consumed() - start + size > MaxBodySize) BodyTooLarge();
      while (input.size() < size) {
        if (!FConnection.ReadFromStack(limit)) throw EIdConnClosedGracefully();
      }
      body.append(input, 0, static_cast<size_t>(size));
      input.erase(0, static_cast<size_t>(size));
      FConnection.ReadLn(limit);
    }
    FConnection.ReadLn(limit);
  } else if (!has_length) {
    while (FConnection.ReadFromStack(limit)) {
      if (input.size() > MaxBodySize) BodyTooLarge();
    }
    body.swap(input);
  }
  return body;
}

std::string TIdHTTP::PostForm(const std::string& path, TIdMultiPartFormDataStream& body) {
  FResponse.Clear();
  FConnection.Disconnect();
  FConnection.Host = Host;
  FConnection.Port = Port;
  FConnection.Intercept = Intercept;
  FConnection.TLSCAFile = TLSCAFile;
  FConnection.StartConversation();
  try {
    FConnection.Connect();
    if (UseTLS) FConnection.StartTLS();
    SendRequest(path, body);
    ReadResponseHead();
    const int code = StatusCode();
    const bool redirect = (code >= 300 && code <= 399 && code != 304) || !Location().empty();
    std::string text;
    if (redirect || code < 200 || code > 299) {
      std::string dropped = ReadBody(DiscardReadTimeout);
      throw EIdHTTPProtocolException(code, FResponse.ResponseText, std::move(dropped));
    }
    if (code != 204) text = ReadBody(std::nullopt);
    if (!KeepAlive()) FConnection.Disconnect();
    return text;
  } catch (const EIdReplyTooLarge&) {
    // The rest of the reply stays unread, so the connection cannot serve another post.
    try {
      FConnection.Disconnect();
    } catch (...) {
      // The bound is the failure to report.
    }
    throw;
  } catch (const EIdSocketError& e) {
    // A post that ran out of time ends as one that got no reply at all, whatever part of the
    // reply had arrived.
    if (e.LastError() == WSAETIMEDOUT) FResponse.Clear();
    CloseUnlessKeptAlive();
    throw;
  } catch (...) {
    CloseUnlessKeptAlive();
    throw;
  }
}

void TIdHTTP::CloseUnlessKeptAlive() {
  if (KeepAlive()) return;
  try {
    FConnection.Disconnect();
  } catch (...) {
    // The failure that ended the post is the one to report.
  }
}

}  // namespace net
