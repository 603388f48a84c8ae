#include "net/tls_library.h"

#include <dlfcn.h>
#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509_vfy.h>

#include <atomic>

namespace net {

namespace {

// OpenSSL 3's soname; libcrypto comes with it as its dependency.
constexpr const char* kLibrary = "libssl.so.3";

// Every OpenSSL function tls_transport.cpp calls, directly or through OpenSSL's macros.
// clang-format off
#define QUILLBY_TLS_FUNCTIONS(X)                                                               \
  X(BIO_ctrl) X(BIO_ctrl_pending) X(BIO_free) X(BIO_new) X(BIO_read) X(BIO_s_mem) X(BIO_write) \
  X(ERR_clear_error) X(ERR_error_string_n) X(ERR_peek_error) X(ERR_reason_error_string)        \
  X(SSL_CIPHER_get_name) X(SSL_CTX_ctrl) X(SSL_CTX_free) X(SSL_CTX_load_verify_locations)      \
  X(SSL_CTX_new) X(SSL_CTX_set_default_verify_paths) X(SSL_CTX_set_options)                    \
  X(SSL_CTX_set_verify) X(SSL_ctrl) X(SSL_do_handshake) X(SSL_free) X(SSL_get0_param)          \
  X(SSL_get0_peername) X(SSL_get_current_cipher) X(SSL_get_error) X(SSL_get_verify_result)     \
  X(SSL_get_version) X(SSL_new) X(SSL_pending) X(SSL_read) X(SSL_set1_host) X(SSL_set_bio)     \
  X(SSL_set_connect_state) X(SSL_shutdown) X(SSL_write) X(TLS_client_method)                   \
  X(X509_VERIFY_PARAM_set1_ip_asc) X(X509_verify_cert_error_string)
// clang-format on

struct TFunctions {
#define QUILLBY_TLS_MEMBER(name) decltype(&::name) name = nullptr;
  QUILLBY_TLS_FUNCTIONS(QUILLBY_TLS_MEMBER)
#undef QUILLBY_TLS_MEMBER
};

TFunctions functions;
std::atomic<bool> opened{false};

std::string Open() {
  void* library = dlopen(kLibrary, RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    const char* reason = dlerror();
    return reason != nullptr ? reason : std::string(kLibrary) + " cannot be opened";
  }
#define QUILLBY_TLS_LOOKUP(name)                                                      \
  functions.name = reinterpret_cast<decltype(functions.name)>(dlsym(library, #name)); \
  if (functions.name == nullptr) return std::string(kLibrary) + " lacks " #name;
  QUILLBY_TLS_FUNCTIONS(QUILLBY_TLS_LOOKUP)
#undef QUILLBY_TLS_LOOKUP
  opened.store(true, std::memory_order_release);
  return {};
}

}  // namespace

std::string OpenTLSLibrary() {
  static const std::string failure = Open();
  return failure;
}

bool TLSLibraryOpen() { return opened.load(std::memory_order_acquire); }

}  // namespace net

// The program's own definitions of the functions it calls, so that it links without OpenSSL;
// each goes to the library's, which OpenTLSLibrary has looked up before any TLS object exists.
using net::functions;

extern "C" {

long BIO_ctrl(BIO* b, int cmd, long larg, void* parg) {
  return functions.BIO_ctrl(b, cmd, larg, parg);
}
size_t BIO_ctrl_pending(BIO* b) { return functions.BIO_ctrl_pending(b); }
int BIO_free(BIO* a) { return functions.BIO_free(a); }
BIO* BIO_new(const BIO_METHOD* type) { return functions.BIO_new(type); }
int BIO_read(BIO* b, void* data, int dlen) { return functions.BIO_read(b, data, dlen); }
const BIO_METHOD* BIO_s_mem(void) { return functions.BIO_s_mem(); }
int BIO_write(BIO* b, const void* data, int dlen) { return functions.BIO_write(b, data, dlen); }
void ERR_clear_error(void) { functions.ERR_clear_error(); }
void ERR_error_string_n(unsigned long e, char* buf, size_t len) {
  functions.ERR_error_string_n(e, buf, len);
}
unsigned long ERR_peek_error(void) { return functions.ERR_peek_error(); }
const char* ERR_reason_error_string(unsigned long e) {
  return functions.ERR_reason_error_string(e);
}
const char* SSL_CIPHER_get_name(const SSL_CIPHER* c) { return functions.SSL_CIPHER_get_name(c); }
long SSL_CTX_ctrl(SSL_CTX* ctx, int cmd, long larg, void* parg) {
  return functions.SSL_CTX_ctrl(ctx, cmd, larg, parg);
}
void SSL_CTX_free(SSL_CTX* ctx) { functions.SSL_CTX_free(ctx); }
int SSL_CTX_load_verify_locations(SSL_CTX* ctx, const char* CAfile, const char* CApath) {
  return functions.SSL_CTX_load_verify_locations(ctx, CAfile, CApath);
}
SSL_CTX* SSL_CTX_new(const SSL_METHOD* meth) { return functions.SSL_CTX_new(meth); }
int SSL_CTX_set_default_verify_paths(SSL_CTX* ctx) {
  return functions.SSL_CTX_set_default_verify_paths(ctx);
}
uint64_t SSL_CTX_set_options(SSL_CTX* ctx, uint64_t op) {
  return functions.SSL_CTX_set_options(ctx, op);
}
void SSL_CTX_set_verify(SSL_CTX* ctx, int mode, SSL_verify_cb callback) {
  functions.SSL_CTX_set_verify(ctx, mode, callback);
}
long SSL_ctrl(SSL* ssl, int cmd, long larg, void* parg) {
  return functions.SSL_ctrl(ssl, cmd, larg, parg);
}
int SSL_do_handshake(SSL* s) { return functions.SSL_do_handshake(s); }
void SSL_free(SSL* ssl) { functions.SSL_free(ssl); }
X509_VERIFY_PARAM* SSL_get0_param(SSL* ssl) { return functions.SSL_get0_param(ssl); }
const char* SSL_get0_peername(SSL* s) { return functions.SSL_get0_peername(s); }
const SSL_CIPHER* SSL_get_current_cipher(const SSL* s) {
  return functions.SSL_get_current_cipher(s);
}
int SSL_get_error(const SSL* s, int ret_code) { return functions.SSL_get_error(s, ret_code); }
long SSL_get_verify_result(const SSL* ssl) { return functions.SSL_get_verify_result(ssl); }
const char* SSL_get_version(const SSL* s) { return functions.SSL_get_version(s); }
SSL* SSL_new(SSL_CTX* ctx) { return functions.SSL_new(ctx); }
int SSL_pending(const SSL* s) { return functions.SSL_pending(s); }
int SSL_read(SSL* ssl, void* buf, int num) { return functions.SSL_read(ssl, buf, num); }
int SSL_set1_host(SSL* s, const char* hostname) { return functions.SSL_set1_host(s, hostname); }
void SSL_set_bio(SSL* s, BIO* rbio, BIO* wbio) { functions.SSL_set_bio(s, rbio, wbio); }
void SSL_set_connect_state(SSL* s) { functions.SSL_set_connect_state(s); }
int SSL_shutdown(SSL* s) { return functions.SSL_shutdown(s); }
int SSL_write(SSL* ssl, const void* buf, int num) { return functions.SSL_write(ssl, buf, num); }
const SSL_METHOD* TLS_client_method(void) { return functions.TLS_client_method(); }
int X509_VERIFY_PARAM_set1_ip_asc(X509_VERIFY_PARAM* param, const char* ipasc) {
  return functions.X509_VERIFY_PARAM_set1_ip_asc(param, ipasc);
}
const char* X509_verify_cert_error_string(long n) {
  return functions.X509_verify_cert_error_string(n);
}

}  // extern "C"
