#include "net/connection.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

#include "net/errors.h"

namespace net {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

namespace {

milliseconds& WaitLimitValue() {
  static milliseconds limit = kDefaultWaitLimit;
  return limit;
}

milliseconds& ConversationLimitValue() {
  static milliseconds limit = kDefaultConversationLimit;
  return limit;
}

int MillisecondsUntil(Clock::time_point end) {
  const auto left = std::chrono::duration_cast<milliseconds>(end - Clock::now()).count();
  if (left <= 0) return 0;
  return static_cast<int>(std::min<long long>(left + 1, 1 << 30));
}

// Waits for the events on the socket until the end; false when the time ran out.
bool WaitFor(int fd, short events, Clock::time_point end) {
  // Checked before polling too: a server that always has a byte ready must still run out.
  if (Clock::now() >= end) return false;
  for (;;) {
    pollfd p{fd, events, 0};
    const int rc = poll(&p, 1, MillisecondsUntil(end));
    if (rc > 0) return true;
    if (rc == 0) {
      if (Clock::now() >= end) return false;
      continue;
    }
    if (errno != EINTR) return true;  // let the following call report the failure
  }
}

// A lookup request handed to the resolver. If it cannot be cancelled when the time runs out the
// resolver still writes into it, so it is then left to the resolver rather than freed.
struct Lookup {
  std::string name;
  addrinfo hints{};
  gaicb request{};
};

}  // namespace

milliseconds WaitLimit() { return WaitLimitValue(); }
void SetWaitLimit(milliseconds limit) { WaitLimitValue() = limit; }
milliseconds ConversationLimit() { return ConversationLimitValue(); }
void SetConversationLimit(milliseconds limit) { ConversationLimitValue() = limit; }

void TSocketHandle::ShutdownAndClose() {
  if (FHandle < 0) return;
  ::shutdown(FHandle, SHUT_WR);
  Close();
}

void TSocketHandle::Close() {
  if (FHandle >= 0) {
    ::close(FHandle);
    FHandle = -1;
  }
}

namespace {

// The IPv4 address of a host name, looked up by `end`.
in_addr Resolve(const std::string& Host, Clock::time_point end) {
  in_addr address{};
  std::string upper = Host;
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  if (upper == "LOCALHOST") {
    address.s_addr = htonl(INADDR_LOOPBACK);
    return address;
  }
  if (inet_pton(AF_INET, Host.c_str(), &address) == 1) return address;

  auto lookup = std::make_unique<Lookup>();
  lookup->name = Host;
  lookup->hints.ai_family = AF_INET;
  lookup->hints.ai_socktype = SOCK_STREAM;
  lookup->request.ar_name = lookup->name.c_str();
  lookup->request.ar_request = &lookup->hints;
  gaicb* list[] = {&lookup->request};
  int rc = getaddrinfo_a(GAI_NOWAIT, list, 1, nullptr);
  if (rc != 0) throw EIdSocketError(SocketErrorFromLookup(rc, errno));
  for (;;) {
    rc = gai_error(&lookup->request);
    if (rc != EAI_INPROGRESS) break;
    const int left = MillisecondsUntil(end);
    if (left == 0) {
      if (gai_cancel(&lookup->request) != EAI_CANCELED) lookup.release();
      throw EIdSocketError(10060);
    }
    timespec wait{left / 1000, (left % 1000) * 1000000L};
    const gaicb* waiting[] = {&lookup->request};
    gai_suspend(waiting, 1, &wait);
  }
  if (rc != 0) throw EIdSocketError(SocketErrorFromLookup(rc, errno));
  const addrinfo* first = lookup->request.ar_result;
  while (first != nullptr && first->ai_family != AF_INET) first = first->ai_next;
  if (first != nullptr) address = reinterpret_cast<const sockaddr_in*>(first->ai_addr)->sin_addr;
  const bool found = first != nullptr;
  freeaddrinfo(lookup->request.ar_result);
  if (!found) throw EIdSocketError(11001);
  return address;
}

}  // namespace

void TIdSocketTransport::Open(const std::string& host, uint16_t port, Clock::time_point end) {
  Close();
  TSocketHandle socket(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  if (!socket.Valid()) throw EIdInvalidSocket();
  sockaddr_in peer{};
  peer.sin_family = AF_INET;
  peer.sin_port = htons(port);
  peer.sin_addr = Resolve(host, end);
  if (::connect(socket.Get(), reinterpret_cast<sockaddr*>(&peer), sizeof peer) != 0) {
    if (errno != EINPROGRESS) throw EIdSocketError(SocketErrorFromErrno(errno));
    if (!WaitFor(socket.Get(), POLLOUT, end)) throw EIdSocketError(10060);
    int error = 0;
    socklen_t length = sizeof error;
    getsockopt(socket.Get(), SOL_SOCKET, SO_ERROR, &error, &length);
    if (error != 0) throw EIdSocketError(SocketErrorFromErrno(error));
  }
  FSocket = std::move(socket);
}

int TIdSocketTransport::Send(std::string_view block, bool more_to_come, Clock::time_point end) {
  const int flags = MSG_NOSIGNAL | (more_to_come ? MSG_MORE : 0);
  size_t sent = 0;
  while (sent < block.size()) {
    const ssize_t n = ::send(FSocket.Get(), block.data() + sent, block.size() - sent, flags);
    if (n >= 0) {
      sent += static_cast<size_t>(n);
      continue;
    }
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
      if (!WaitFor(FSocket.Get(), POLLOUT, end)) return 10060;
      continue;
    }
    return SocketErrorFromErrno(errno);
  }
  return 0;
}

TIdTransport::TReceived TIdSocketTransport::Receive(char* buffer, size_t size,
                                                    Clock::time_point end) {
  if (!WaitFor(FSocket.Get(), POLLIN, end)) return {0, 10060};
  ssize_t n;
  do {
    n = ::recv(FSocket.Get(), buffer, size, 0);
  } while (n < 0 && errno == EINTR);
  if (n < 0) return {0, SocketErrorFromErrno(errno)};
  return {static_cast<size_t>(n), 0};
}

int TIdMemoryTransport::Send(std::string_view block, bool, Clock::time_point) {
  if (!FOpen) return 10057;
  Sent.append(block);
  return 0;
}

TIdTransport::TReceived TIdMemoryTransport::Receive(char* buffer, size_t size, Clock::time_point) {
  const size_t count = std::min({size, FBlockSize, FReplies.size() - FRead});
  std::memcpy(buffer, FReplies.data() + FRead, count);
  FRead += count;
  return {count, 0};
}

TIdTCPConnection::~TIdTCPConnection() {
  try {
    Disconnect();
  } catch (...) {
    // The log could not take the entry; the connection is closed all the same.
  }
}

void TIdTCPConnection::StartConversation() { FDeadline = Clock::now() + ConversationLimit(); }

Clock::time_point TIdTCPConnection::WaitEnd() const {
  return std::min(Clock::now() + WaitLimit(), FDeadline);
}

void TIdTCPConnection::Fail(int code, bool close) {
  if (close) Disconnect();
  throw EIdSocketError(code);
}

void TIdTCPConnection::TimedOut() { Fail(10060, true); }

void TIdTCPConnection::Connect() {
  Disconnect();
  FInputBuffer.clear();
  try {
    FTransport->Open(Host, Port, WaitEnd());
  } catch (const EIdException&) {
    // A failed attempt like any other: the log shows it as a disconnect.
    if (Intercept != nullptr) Intercept->Disconnect();
    throw;
  }
  if (Intercept == nullptr) return;
  try {
    Intercept->Connect();
  } catch (...) {
    // A connect that fails leaves no connection behind, whatever failed.
    FTransport->Close();
    try {
      Intercept->Disconnect();
    } catch (...) {
      // The log's failure is already on its way.
    }
    throw;
  }
}

void TIdTCPConnection::Write(std::string_view block, bool more_to_come) {
  if (!Connected()) throw EIdNotConnected();
  if (Intercept != nullptr) Intercept->Send(block);
  const int code = FTransport->Send(block, more_to_come, WaitEnd());
  if (code == 10060) TimedOut();
  if (code != 0) Fail(code, code == 10053 || code == 10054 || code == 10058);
}

bool TIdTCPConnection::ReadFromStack(std::optional<milliseconds> limit) {
  if (!Connected()) return false;
  const auto general_end = WaitEnd();
  const auto limit_end = limit ? Clock::now() + *limit : Clock::time_point::max();
  const bool limit_first = limit_end < general_end;
  // Checked before waiting too: a server that always has a byte ready must still run out.
  const auto end = std::min(general_end, limit_end);
  char buffer[RecvBufferSize];
  const TIdTransport::TReceived got = Clock::now() >= end
                                          ? TIdTransport::TReceived{0, 10060}
                                          : FTransport->Receive(buffer, sizeof buffer, end);
  if (got.Error == 10060) {
    if (limit_first) throw EIdReadTimeout();
    TimedOut();
  }
  if (got.Error != 0) {
    if (got.Error == 10053 || got.Error == 10058) {
      Disconnect();
      if (!FInputBuffer.empty()) return false;
    }
    throw EIdSocketError(got.Error);
  }
  if (got.Count == 0) {
    Disconnect();
    return false;
  }
  const std::string_view block(buffer, got.Count);
  if (Intercept != nullptr) Intercept->Receive(block);
  FReceivedCount += got.Count;
  FInputBuffer.append(block);
  return true;
}

std::string TIdTCPConnection::ReadLn(std::optional<milliseconds> limit) {
  size_t searched = 0;
  for (;;) {
    const size_t lf = FInputBuffer.find('\n', searched);
    if (lf != std::string::npos) {
      size_t length = lf;
      if (length > 0 && FInputBuffer[length - 1] == '\r') --length;
      if (length > MaxLineLength) throw EIdReadLnMaxLineLengthExceeded();
      std::string line = FInputBuffer.substr(0, length);
      FInputBuffer.erase(0, lf + 1);
      return line;
    }
    // A CR may still be followed by its LF, so it does not count towards the limit yet.
    if (FInputBuffer.size() > MaxLineLength + 1) throw EIdReadLnMaxLineLengthExceeded();
    searched = FInputBuffer.size();
    if (!ReadFromStack(limit)) throw EIdConnClosedGracefully();
  }
}

void TIdTCPConnection::Disconnect() {
  if (!Connected()) return;
  FTransport->Close();
  if (Intercept != nullptr) Intercept->Disconnect();
}

}  // namespace net
