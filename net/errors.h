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
