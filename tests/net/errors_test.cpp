#include "net/errors.h"

#include <gtest/gtest.h>
#include <netdb.h>

#include <cerrno>

namespace {

TEST(SocketErrorTest, MessageCarriesTheWindowsCodeAndText) {
  const struct {
    int code;
    const char* message;
  } cases[] = {
      {net::WSAECONNREFUSED, "Socket Error # 10061\r\nConnection refused."},
      {net::WSAHOST_NOT_FOUND, "Socket Error # 11001\r\nHost not found."},
      {net::WSAEWOULDBLOCK, "Socket Error # 10035\r\nOperation would block. "},
      {net::WSAENOTEMPTY, "Socket Error # 10066\r\nDirectory not empty"},
      {10099, "Socket Error # 10099\r\n"},
  };
  for (const auto& c : cases) {
    const net::EIdSocketError error(c.code);
    EXPECT_EQ(error.Message(), c.message);
    EXPECT_EQ(error.LastError(), c.code);
  }
}

TEST(SocketErrorTest, PosixErrorsMapToWindowsCodes) {
  const struct {
    int error;
    int code;
  } cases[] = {
      {ECONNREFUSED, net::WSAECONNREFUSED},
      {ETIMEDOUT, net::WSAETIMEDOUT},
      {ECONNRESET, net::WSAECONNRESET},
      {ECONNABORTED, net::WSAECONNABORTED},
      {EPIPE, net::WSAESHUTDOWN},
      {ENETUNREACH, net::WSAENETUNREACH},
      {EHOSTUNREACH, net::WSAEHOSTUNREACH},
      {EADDRINUSE, net::WSAEADDRINUSE},
      {EINTR, net::WSAEINTR},
      {EWOULDBLOCK, net::WSAEWOULDBLOCK},
      {EINPROGRESS, net::WSAEINPROGRESS},
      {EMFILE, net::WSAEMFILE},
      {ENOTCONN, net::WSAENOTCONN},
      {EADDRNOTAVAIL, net::WSAEADDRNOTAVAIL},
      {EHOSTDOWN, net::WSAEHOSTDOWN},
      {ENETDOWN, net::WSAENETDOWN},
  };
  for (const auto& c : cases) EXPECT_EQ(net::SocketErrorFromErrno(c.error), c.code) << c.error;
  EXPECT_EQ(net::SocketErrorFromLookup(EAI_NONAME, 0), net::WSAHOST_NOT_FOUND);
  EXPECT_EQ(net::SocketErrorFromLookup(EAI_SYSTEM, ECONNREFUSED), net::WSAECONNREFUSED);
}

}  // namespace
