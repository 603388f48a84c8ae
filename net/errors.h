#pragma once

#include <string>

#include "platform/exception.h"

namespace net {

// The base of every failure of the network clients and the connection log.
class EIdException : public Exception {
 public:
  using Exception::Exception;
};

// A failure of the socket layer, carrying the Windows Sockets error code, so that messages read
// the same on every platform: "Socket Error # 10061\r\nConnection refused.".
class EIdSocketError : public EIdException {
 public:
  explicit EIdSocketError(int code);
  int LastError() const { return FLastError; }

 private:
  int FLastError;
};

// The Windows Sockets error codes the messages and the log carry, each with its Windows name and
// the text shown after "Socket Error # code"; the lookup codes 10109 and 11002-11003 have none.
#define QUILLBY_SOCKET_ERRORS(X)                                                \
  X(10004, WSAEINTR, "Interrupted system call.")                                \
  X(10009, WSAEBADF, "Bad file number.")                                        \
  X(10013, WSAEACCES, "Access denied.")                                         \
  X(10014, WSAEFAULT, "Bad address.")                                           \
  X(10022, WSAEINVAL, "Invalid argument.")                                      \
  X(10024, WSAEMFILE, "Too many open files.")                                   \
  X(10035, WSAEWOULDBLOCK, "Operation would block. ")                           \
  X(10036, WSAEINPROGRESS, "Operation now in progress.")                        \
  X(10037, WSAEALREADY, "Operation already in progress.")                       \
  X(10038, WSAENOTSOCK, "Socket operation on non-socket.")                      \
  X(10039, WSAEDESTADDRREQ, "Destination address required.")                    \
  X(10040, WSAEMSGSIZE, "Message too long.")                                    \
  X(10041, WSAEPROTOTYPE, "Protocol wrong type for socket.")                    \
  X(10042, WSAENOPROTOOPT, "Bad protocol option.")                              \
  X(10043, WSAEPROTONOSUPPORT, "Protocol not supported.")                       \
  X(10044, WSAESOCKTNOSUPPORT, "Socket type not supported.")                    \
  X(10045, WSAEOPNOTSUPP, "Operation not supported on socket.")                 \
  X(10046, WSAEPFNOSUPPORT, "Protocol family not supported.")                   \
  X(10047, WSAEAFNOSUPPORT, "Address family not supported by protocol family.") \
  X(10048, WSAEADDRINUSE, "Address already in use.")                            \
  X(10049, WSAEADDRNOTAVAIL, "Cannot assign requested address.")                \
  X(10050, WSAENETDOWN, "Network is down.")                                     \
  X(10051, WSAENETUNREACH, "Network is unreachable.")                           \
  X(10052, WSAENETRESET, "Net dropped connection or reset.")                    \
  X(10053, WSAECONNABORTED, "Software caused connection abort.")                \
  X(10054, WSAECONNRESET, "Connection reset by peer.")                          \
  X(10055, WSAENOBUFS, "No buffer space available.")                            \
  X(10056, WSAEISCONN, "Socket is already connected.")                          \
  X(10057, WSAENOTCONN, "Socket is not connected.")                             \
  X(10058, WSAESHUTDOWN, "Cannot send or receive after socket is closed.")      \
  X(10059, WSAETOOMANYREFS, "Too many references, cannot splice.")              \
  X(10060, WSAETIMEDOUT, "Connection timed out.")                               \
  X(10061, WSAECONNREFUSED, "Connection refused.")                              \
  X(10062, WSAELOOP, "Too many levels of symbolic links.")                      \
  X(10063, WSAENAMETOOLONG, "File name too long.")                              \
  X(10064, WSAEHOSTDOWN, "Host is down.")                                       \
  X(10065, WSAEHOSTUNREACH, "No route to host.")                                \
  X(10066, WSAENOTEMPTY, "Directory not empty")                                 \
  X(10109, WSATYPE_NOT_FOUND, "")                                               \
  X(11001, WSAHOST_NOT_FOUND, "Host not found.")                                \
  X(11002, WSATRY_AGAIN, "")                                                    \
  X(11003, WSANO_RECOVERY, "")

enum TSocketErrorCode : int {
  WSABASEERR = 10000,  // a POSIX errno the table lacks is reported as this plus errno
#define QUILLBY_SOCKET_ERROR_CODE(code, name, text) name = code,
  QUILLBY_SOCKET_ERRORS(QUILLBY_SOCKET_ERROR_CODE)
#undef QUILLBY_SOCKET_ERROR_CODE
};

// The Windows Sockets text for a code; empty for a code the table does not know.
std::string SocketErrorText(int code);
// The Windows Sockets code for a POSIX errno value, and for a getaddrinfo failure.
int SocketErrorFromErrno(int error);
int SocketErrorFromLookup(int gai_error, int error);

// The server closed the connection before what was awaited had arrived.
class EIdConnClosedGracefully : public EIdException {
 public:
  EIdConnClosedGracefully() : EIdException("Connection Closed Gracefully.") {}
};

class EIdReadLnMaxLineLengthExceeded : public EIdException {
 public:
  EIdReadLnMaxLineLengthExceeded() : EIdException("Max line length exceeded.") {}
};

// A reply larger than the client reads: its head, its number of lines or its body passed one of
// the client's bounds. Nothing after the block that passed it is read.
class EIdReplyTooLarge : public EIdException {
 public:
  using EIdException::EIdException;
};

class EIdNotConnected : public EIdException {
 public:
  EIdNotConnected() : EIdException("Not Connected") {}
};

class EIdInvalidSocket : public EIdException {
 public:
  EIdInvalidSocket() : EIdException("Cannot allocate socket.") {}
};

class EIdReadTimeout : public EIdException {
 public:
  EIdReadTimeout() : EIdException("Read timed out.") {}
};

class EIdFailedToRetreiveTimeZoneInfo : public EIdException {
 public:
  EIdFailedToRetreiveTimeZoneInfo()
      : EIdException("Failed attempting to retrieve time zone information.") {}
};

// A reply whose code the command did not expect; the message is the reply's text lines.
class EIdProtocolReplyError : public EIdException {
 public:
  EIdProtocolReplyError(int code, std::string message)
      : EIdException(std::move(message)), FReplyErrorCode(code) {}
  int ReplyErrorCode() const { return FReplyErrorCode; }

 private:
  int FReplyErrorCode;
};

// An HTTP reply the post does not accept (a redirect, a non-2xx status); the message is the
// status line.
class EIdHTTPProtocolException : public EIdProtocolReplyError {
 public:
  EIdHTTPProtocolException(int code, std::string status_line, std::string body)
      : EIdProtocolReplyError(code, std::move(status_line)), FErrorMessage(std::move(body)) {}
  const std::string& ErrorMessage() const { return FErrorMessage; }

 private:
  std::string FErrorMessage;
};

// A secure connection that could not be set up or broke down. The message is the whole
// sentence for the user; Reason is its cause alone, as the connection log records it.
class EIdTLSError : public EIdException {
 public:
  EIdTLSError(std::string message, std::string reason)
      : EIdException(std::move(message)), FReason(std::move(reason)) {}
  const std::string& Reason() const { return FReason; }

 private:
  std::string FReason;
};

// The server's certificate failed verification (chain, dates or name); VerifyResult is
// OpenSSL's X509_V_ERR code.
class EIdTLSVerifyError : public EIdTLSError {
 public:
  EIdTLSVerifyError(const std::string& host, std::string reason, long verify_result)
      : EIdTLSError("The certificate of \"" + host + "\" could not be verified: " + reason + ".",
                    reason),
        FVerifyResult(verify_result) {}
  long VerifyResult() const { return FVerifyResult; }

 private:
  long FVerifyResult;
};

// A refused use of an object, such as writing into a read-only body.
class EIdUnsupportedOperation : public EIdException {
 public:
  EIdUnsupportedOperation() : EIdException("Unsupported operation.") {}
};

// A mail address that cannot go into the envelope as it stands.
class EIdInvalidAddress : public EIdException {
 public:
  using EIdException::EIdException;
};

// Failures of the log file.
class EFOpenError : public EIdException {
 public:
  using EIdException::EIdException;
};
class EFCreateError : public EIdException {
 public:
  using EIdException::EIdException;
};
class EWriteError : public EIdException {
 public:
  EWriteError() : EIdException("Stream write error") {}
};

}  // namespace net
