#include "net/tls_transport.h"

#include <arpa/inet.h>
#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <algorithm>
#include <climits>

#include "net/errors.h"
#include "net/tls_library.h"

namespace net {

namespace {

// The first reason OpenSSL queued for the failure that just happened, then the queue is
// emptied so the next operation starts clean.
std::string QueuedReason(const char* otherwise) {
  const unsigned long first = ERR_peek_error();
  ERR_clear_error();
  if (first == 0) return otherwise;
  const char* reason = ERR_reason_error_string(first);
  if (reason != nullptr) return reason;
  char text[256];
  ERR_error_string_n(first, text, sizeof text);
  return text;
}

bool IsIpAddress(const std::string& host) {
  unsigned char bytes[16];
  return inet_pton(AF_INET, host.c_str(), bytes) == 1 ||
         inet_pton(AF_INET6, host.c_str(), bytes) == 1;
}

std::string NotSetUp(const std::string& host, const std::string& reason) {
  return "No secure connection could be made with \"" + host + "\": " + reason + ".";
}

}  // namespace

void TIdTLSContext::Free::operator()(ssl_ctx_st* context) const noexcept { SSL_CTX_free(context); }

TIdTLSContext::TIdTLSContext(std::string ca_file) : FCAFile(std::move(ca_file)) {
  if (const std::string missing = OpenTLSLibrary(); !missing.empty()) {
    throw EIdTLSError(NotSetUp("any server", missing), "no TLS library");
  }
  ERR_clear_error();
  FContext.reset(SSL_CTX_new(TLS_client_method()));
  if (!FContext) {
    throw EIdTLSError(NotSetUp("any server", QueuedReason("out of memory")), "no TLS context");
  }
  SSL_CTX* context = FContext.get();
  SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION);
  SSL_CTX_set_options(context, SSL_OP_NO_RENEGOTIATION);
  SSL_CTX_set_verify(context, SSL_VERIFY_PEER, nullptr);
  // A machine without a system store still has the file's anchors; verification fails later,
  // with its reason, if neither knows the server.
  SSL_CTX_set_default_verify_paths(context);
  ERR_clear_error();
  if (!FCAFile.empty() && SSL_CTX_load_verify_locations(context, FCAFile.c_str(), nullptr) != 1) {
    const std::string reason = QueuedReason("no certificates in it");
    throw EIdTLSError("The trust anchors in \"" + FCAFile + "\" cannot be read: " + reason + ".",
                      "trust anchors unreadable: " + reason);
  }
}

TIdTLSContext::~TIdTLSContext() = default;

void TIdTLSTransport::Free::operator()(ssl_st* ssl) const noexcept { SSL_free(ssl); }

TIdTLSTransport::TIdTLSTransport(TIdTransport& inner, std::shared_ptr<const TIdTLSContext> context)
    : FInner(inner), FContext(std::move(context)) {}

TIdTLSTransport::~TIdTLSTransport() = default;

void TIdTLSTransport::Broken(const std::string& reason) {
  FEstablished = false;
  throw EIdTLSError("The secure connection with \"" + FHost + "\" failed: " + reason + ".", reason);
}

int TIdTLSTransport::Flush(bool more_to_come, Clock::time_point end) {
  char chunk[16384];
  while (BIO_ctrl_pending(FOut) > 0) {
    const int n = BIO_read(FOut, chunk, sizeof chunk);
    if (n <= 0) break;
    const bool last = BIO_ctrl_pending(FOut) == 0;
    const int code =
        FInner.Send(std::string_view(chunk, static_cast<size_t>(n)), more_to_come || !last, end);
    if (code != 0) return code;
  }
  return 0;
}

int TIdTLSTransport::Fill(Clock::time_point end, bool& closed) {
  char chunk[32768];
  const TReceived got = FInner.Receive(chunk, sizeof chunk, end);
  if (got.Error != 0) return got.Error;
  closed = got.Count == 0;
  if (!closed) BIO_write(FIn, chunk, static_cast<int>(got.Count));
  return 0;
}

TIdTLSSession TIdTLSTransport::Handshake(const std::string& host, Clock::time_point end) {
  FHost = host;
  FEstablished = false;
  ERR_clear_error();
  FSsl.reset(SSL_new(FContext->Get()));
  BIO* in = BIO_new(BIO_s_mem());
  BIO* out = BIO_new(BIO_s_mem());
  if (!FSsl || in == nullptr || out == nullptr) {
    BIO_free(in);
    BIO_free(out);
    throw EIdTLSError(NotSetUp(host, QueuedReason("out of memory")), "out of memory");
  }
  // An empty input buffer means "wait for more", not the end of the stream.
  BIO_set_mem_eof_return(in, -1);
  SSL_set_bio(FSsl.get(), in, out);
  FIn = in;
  FOut = out;
  SSL* ssl = FSsl.get();
  SSL_set_connect_state(ssl);
  const bool ip = IsIpAddress(host);
  const bool named = ip ? X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl), host.c_str()) == 1
                        : SSL_set_tlsext_host_name(ssl, host.c_str()) == 1 &&
                              SSL_set1_host(ssl, host.c_str()) == 1;
  if (!named) {
    const std::string reason = QueuedReason("the name cannot be checked");
    throw EIdTLSError(NotSetUp(host, reason), reason);
  }
  for (;;) {
    ERR_clear_error();
    const int rc = SSL_do_handshake(ssl);
    // Whatever the engine has to say goes out first, a failure's alert included.
    const int code = Flush(false, end);
    if (rc == 1) {
      if (code != 0) throw EIdSocketError(code);
      break;
    }
    const int error = SSL_get_error(ssl, rc);
    if (error == SSL_ERROR_WANT_READ) {
      if (code != 0) throw EIdSocketError(code);
      bool closed = false;
      if (const int received = Fill(end, closed); received != 0) throw EIdSocketError(received);
      if (closed) {
        const std::string reason = "the server closed the connection during the handshake";
        throw EIdTLSError(NotSetUp(host, reason), reason);
      }
      continue;
    }
    const long verified = SSL_get_verify_result(ssl);
    if (verified != X509_V_OK) {
      ERR_clear_error();
      throw EIdTLSVerifyError(host, X509_verify_cert_error_string(verified), verified);
    }
    const std::string reason = QueuedReason("the handshake failed");
    throw EIdTLSError(NotSetUp(host, reason), reason);
  }
  FEstablished = true;
  const char* peer = SSL_get0_peername(ssl);
  return {SSL_get_version(ssl), SSL_get_cipher_name(ssl), peer != nullptr ? peer : host};
}

void TIdTLSTransport::Open(const std::string& host, uint16_t port, Clock::time_point end) {
  FInner.Open(host, port, end);
  try {
    Handshake(host, end);
  } catch (...) {
    FInner.Close();
    throw;
  }
}

int TIdTLSTransport::Send(std::string_view block, bool more_to_come, Clock::time_point end) {
  if (!FEstablished) return WSAENOTCONN;
  size_t done = 0;
  while (done < block.size()) {
    ERR_clear_error();
    const int n = SSL_write(FSsl.get(), block.data() + done,
                            static_cast<int>(std::min<size_t>(block.size() - done, INT_MAX)));
    if (n <= 0) Broken(QueuedReason("the data could not be encrypted"));
    done += static_cast<size_t>(n);
  }
  return Flush(more_to_come, end);
}

TIdTransport::TReceived TIdTLSTransport::Receive(char* buffer, std::size_t size,
                                                 Clock::time_point end) {
  if (!FEstablished) return {0, WSAENOTCONN};
  for (;;) {
    ERR_clear_error();
    const int n =
        SSL_read(FSsl.get(), buffer, static_cast<int>(std::min<std::size_t>(size, INT_MAX)));
    if (n > 0) return {static_cast<std::size_t>(n), 0};
    const int error = SSL_get_error(FSsl.get(), n);
    if (error == SSL_ERROR_ZERO_RETURN) return {0, 0};
    if (error != SSL_ERROR_WANT_READ) Broken(QueuedReason("a record could not be read"));
    if (const int code = Flush(false, end); code != 0) return {0, code};
    bool closed = false;
    if (const int code = Fill(end, closed); code != 0) return {0, code};
    if (closed) return {0, 0};
  }
}

bool TIdTLSTransport::InputPending() const {
  if (FSsl && (SSL_pending(FSsl.get()) > 0 || BIO_ctrl_pending(FIn) > 0)) return true;
  return FInner.InputPending();
}

void TIdTLSTransport::Close() {
  if (FEstablished && FInner.IsOpen()) {
    ERR_clear_error();
    SSL_shutdown(FSsl.get());
    ERR_clear_error();
    // The alert is a few bytes into an open socket; a peer that cannot take them at once
    // does not get to hold the close.
    Flush(false, Clock::now());
  }
  FEstablished = false;
  FInner.Close();
}

}  // namespace net
