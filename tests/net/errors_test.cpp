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
      {10061, "Socket Error # 10061\r\nConnection refused."},
      {11001, "Socket Error # 11001\r\nHost not found."},
      {10035, "Socket Error # 10035\r\nOperation would block. "},
      {10066, "Socket Error # 10066\r\nDirectory not empty"},
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
      {ECONNREFUSED, 10061}, {ETIMEDOUT, 10060},     {ECONNRESET, 10054},   {ECONNABORTED, 10053},
      {EPIPE, 10058},        {ENETUNREACH, 10051},   {EHOSTUNREACH, 10065}, {EADDRINUSE, 10048},
      {EINTR, 10004},        {EWOULDBLOCK, 10035},   {EINPROGRESS, 10036},  {EMFILE, 10024},
      {ENOTCONN, 10057},     {EADDRNOTAVAIL, 10049}, {EHOSTDOWN, 10064},    {ENETDOWN, 10050},
  };
  for (const auto& c : cases) EXPECT_EQ(net::SocketErrorFromErrno(c.error), c.code) << c.error;
  EXPECT_EQ(net::SocketErrorFromLookup(EAI_NONAME, 0), 11001);
  EXPECT_EQ(net::SocketErrorFromLookup(EAI_SYSTEM, ECONNREFUSED), 10061);
}

}  // namespace
