#include "net/socket_transport.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

#include "net/errors.h"

namespace net {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

namespace {

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

struct Address {
  sockaddr_storage storage{};
  socklen_t length = 0;
};

Address FromNumeric(int family, const void* bytes, uint16_t port) {
  Address address;
  if (family == AF_INET6) {
    auto* in6 = reinterpret_cast<sockaddr_in6*>(&address.storage);
    in6->sin6_family = AF_INET6;
    in6->sin6_port = htons(port);
    std::memcpy(&in6->sin6_addr, bytes, sizeof in6->sin6_addr);
    address.length = sizeof *in6;
  } else {
    auto* in4 = reinterpret_cast<sockaddr_in*>(&address.storage);
    in4->sin_family = AF_INET;
    in4->sin_port = htons(port);
    std::memcpy(&in4->sin_addr, bytes, sizeof in4->sin_addr);
    address.length = sizeof *in4;
  }
  return address;
}

// Every address of a host, IPv6 and IPv4, in the resolver's order, looked up by `end`.
std::vector<Address> Resolve(const std::string& Host, uint16_t port, Clock::time_point end) {
  std::string upper = Host;
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  if (upper == "LOCALHOST") {
    const in6_addr loopback6 = IN6ADDR_LOOPBACK_INIT;
    const in_addr loopback4{htonl(INADDR_LOOPBACK)};
    return {FromNumeric(AF_INET6, &loopback6, port), FromNumeric(AF_INET, &loopback4, port)};
  }
  in6_addr numeric6{};
  if (inet_pton(AF_INET6, Host.c_str(), &numeric6) == 1) {
    return {FromNumeric(AF_INET6, &numeric6, port)};
  }
  in_addr numeric4{};
  if (inet_pton(AF_INET, Host.c_str(), &numeric4) == 1) {
    return {FromNumeric(AF_INET, &numeric4, port)};
  }

  auto lookup = std::make_unique<Lookup>();
  lookup->name = Host;
  lookup->hints.ai_family = AF_UNSPEC;
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
      const int cancel = gai_cancel(&lookup->request);
      if (cancel == EAI_NOTCANCELED) {
        lookup.release();
      } else if (cancel == EAI_ALLDONE && lookup->request.ar_result != nullptr) {
        // It finished in the meantime: the result is ours to free.
        freeaddrinfo(lookup->request.ar_result);
      }
      throw EIdSocketError(WSAETIMEDOUT);
    }
    timespec wait{left / 1000, (left % 1000) * 1000000L};
    const gaicb* waiting[] = {&lookup->request};
    gai_suspend(waiting, 1, &wait);
  }
  if (rc != 0) throw EIdSocketError(SocketErrorFromLookup(rc, errno));
  std::vector<Address> addresses;
  for (const addrinfo* a = lookup->request.ar_result; a != nullptr; a = a->ai_next) {
    if (a->ai_family == AF_INET6) {
      addresses.push_back(FromNumeric(
          AF_INET6, &reinterpret_cast<const sockaddr_in6*>(a->ai_addr)->sin6_addr, port));
    } else if (a->ai_family == AF_INET) {
      addresses.push_back(
          FromNumeric(AF_INET, &reinterpret_cast<const sockaddr_in*>(a->ai_addr)->sin_addr, port));
    }
  }
  freeaddrinfo(lookup->request.ar_result);
  if (addresses.empty()) throw EIdSocketError(WSAHOST_NOT_FOUND);
  return addresses;
}

// One connect attempt by `end`; 0 with the socket, or the code of the failure.
int ConnectTo(const Address& address, Clock::time_point end, TSocketHandle& connected) {
  TSocketHandle socket(
      ::socket(address.storage.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  if (!socket.Valid()) {
    if (errno == EAFNOSUPPORT) return WSAEAFNOSUPPORT;
    throw EIdInvalidSocket();
  }
  if (::connect(socket.Get(), reinterpret_cast<const sockaddr*>(&address.storage),
                address.length) != 0) {
    if (errno != EINPROGRESS) return SocketErrorFromErrno(errno);
    if (!WaitFor(socket.Get(), POLLOUT, end)) return WSAETIMEDOUT;
    int error = 0;
    socklen_t length = sizeof error;
    getsockopt(socket.Get(), SOL_SOCKET, SO_ERROR, &error, &length);
    if (error != 0) return SocketErrorFromErrno(error);
  }
  connected = std::move(socket);
  return 0;
}

}  // namespace

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

void TIdSocketTransport::Open(const std::string& host, uint16_t port, Clock::time_point end) {
  Close();
  const std::vector<Address> addresses = Resolve(host, port, end);
  int code = 0;
  for (size_t i = 0; i < addresses.size(); ++i) {
    // Each address gets its share of the time left, so one that never answers cannot use up
    // the time of those after it; the last one has all that is left.
    const auto now = Clock::now();
    const auto share = end <= now ? Clock::duration::zero()
                                  : (end - now) / static_cast<long>(addresses.size() - i);
    code = ConnectTo(addresses[i], now + share, FSocket);
    if (code == 0) return;
  }
  throw EIdSocketError(code);
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
      if (!WaitFor(FSocket.Get(), POLLOUT, end)) return WSAETIMEDOUT;
      continue;
    }
    return SocketErrorFromErrno(errno);
  }
  return 0;
}

TIdTransport::TReceived TIdSocketTransport::Receive(char* buffer, size_t size,
                                                    Clock::time_point end) {
  if (!WaitFor(FSocket.Get(), POLLIN, end)) return {0, WSAETIMEDOUT};
  ssize_t n;
  do {
    n = ::recv(FSocket.Get(), buffer, size, 0);
  } while (n < 0 && errno == EINTR);
  if (n < 0) return {0, SocketErrorFromErrno(errno)};
  return {static_cast<size_t>(n), 0};
}

bool TIdSocketTransport::InputPending() const {
  if (!FSocket.Valid()) return false;
  // A peer that has only closed has nothing waiting; the next read tells of the close.
  char byte;
  return ::recv(FSocket.Get(), &byte, 1, MSG_PEEK | MSG_DONTWAIT) > 0;
}

}  // namespace net
