#include "net/errors.h"

#include <netdb.h>

#include <cerrno>
#include <map>

namespace net {

namespace {

const std::map<int, const char*>& Texts() {
  static const std::map<int, const char*> texts = {
#define QUILLBY_SOCKET_ERROR_TEXT(code, name, text) {code, text},
      QUILLBY_SOCKET_ERRORS(QUILLBY_SOCKET_ERROR_TEXT)
#undef QUILLBY_SOCKET_ERROR_TEXT
  };
  return texts;
}

}  // namespace

std::string SocketErrorText(int code) {
  const auto it = Texts().find(code);
  return it == Texts().end() ? std::string() : std::string(it->second);
}

EIdSocketError::EIdSocketError(int code)
    : EIdException("Socket Error # " + std::to_string(code) + "\r\n" + SocketErrorText(code)),
      FLastError(code) {}

int SocketErrorFromErrno(int error) {
  switch (error) {
    case EINTR:
      return WSAEINTR;
    case EBADF:
      return WSAEBADF;
    case EACCES:
    case EPERM:
      return WSAEACCES;
    case EFAULT:
      return WSAEFAULT;
    case EINVAL:
      return WSAEINVAL;
    case EMFILE:
    case ENFILE:
      return WSAEMFILE;
    case EWOULDBLOCK:
      return WSAEWOULDBLOCK;
    case EINPROGRESS:
      return WSAEINPROGRESS;
    case EALREADY:
      return WSAEALREADY;
    case ENOTSOCK:
      return WSAENOTSOCK;
    case EDESTADDRREQ:
      return WSAEDESTADDRREQ;
    case EMSGSIZE:
      return WSAEMSGSIZE;
    case EPROTOTYPE:
      return WSAEPROTOTYPE;
    case ENOPROTOOPT:
      return WSAENOPROTOOPT;
    case EPROTONOSUPPORT:
      return WSAEPROTONOSUPPORT;
    case ESOCKTNOSUPPORT:
      return WSAESOCKTNOSUPPORT;
    case EOPNOTSUPP:
      return WSAEOPNOTSUPP;
    case EPFNOSUPPORT:
      return WSAEPFNOSUPPORT;
    case EAFNOSUPPORT:
      return WSAEAFNOSUPPORT;
    case EADDRINUSE:
      return WSAEADDRINUSE;
    case EADDRNOTAVAIL:
      return WSAEADDRNOTAVAIL;
    case ENETDOWN:
      return WSAENETDOWN;
    case ENETUNREACH:
      return WSAENETUNREACH;
    case ENETRESET:
      return WSAENETRESET;
    case ECONNABORTED:
      return WSAECONNABORTED;
    case ECONNRESET:
      return WSAECONNRESET;
    case ENOBUFS:
    case ENOMEM:
      return WSAENOBUFS;
    case EISCONN:
      return WSAEISCONN;
    case ENOTCONN:
      return WSAENOTCONN;
    case ESHUTDOWN:
    case EPIPE:
      return WSAESHUTDOWN;
    case ETOOMANYREFS:
      return WSAETOOMANYREFS;
    case ETIMEDOUT:
      return WSAETIMEDOUT;
    case ECONNREFUSED:
      return WSAECONNREFUSED;
    case ELOOP:
      return WSAELOOP;
    case ENAMETOOLONG:
      return WSAENAMETOOLONG;
    case EHOSTDOWN:
      return WSAEHOSTDOWN;
    case EHOSTUNREACH:
      return WSAEHOSTUNREACH;
    case ENOTEMPTY:
      return WSAENOTEMPTY;
    default:
      return WSABASEERR + error;
  }
}

int SocketErrorFromLookup(int gai_error, int error) {
  switch (gai_error) {
    case EAI_NONAME:
    case EAI_NODATA:
    case EAI_ADDRFAMILY:
      return WSAHOST_NOT_FOUND;
    case EAI_AGAIN:
      return WSATRY_AGAIN;
    case EAI_FAIL:
      return WSANO_RECOVERY;
    case EAI_MEMORY:
      return WSAENOBUFS;
    case EAI_FAMILY:
      return WSAEAFNOSUPPORT;
    case EAI_SOCKTYPE:
      return WSAESOCKTNOSUPPORT;
    case EAI_SERVICE:
      return WSATYPE_NOT_FOUND;
    case EAI_SYSTEM:
      return SocketErrorFromErrno(error);
    default:
      return WSAHOST_NOT_FOUND;
  }
}

}  // namespace net
