#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "net/transport.h"

struct ssl_ctx_st;
struct ssl_st;
struct bio_st;

namespace net {

// What a TLS client trusts: the system's store plus the anchors of an optional PEM file, TLS 1.2
// at least, the server's certificate always verified. Built once and shared by connections.
class TIdTLSContext {
 public:
  // Fails with EIdTLSError when the file cannot be read as PEM certificates.
  explicit TIdTLSContext(std::string ca_file);
  ~TIdTLSContext();
  TIdTLSContext(const TIdTLSContext&) = delete;
  TIdTLSContext& operator=(const TIdTLSContext&) = delete;

  ssl_ctx_st* Get() const { return FContext.get(); }
  const std::string& CAFile() const { return FCAFile; }

 private:
  struct Free {
    void operator()(ssl_ctx_st* context) const noexcept;
  };
  std::unique_ptr<ssl_ctx_st, Free> FContext;
  std::string FCAFile;
};

// What a handshake agreed on, for the log.
struct TIdTLSSession {
  std::string Protocol;
  std::string Cipher;
  std::string VerifiedName;
};

// TLS over another transport that is already open. The records go through the inner
// transport's own bounded sends and receives, so every wait of the handshake, of a read and of
// a write ends by the end point given, as on a plain connection. TLS failures raise
// EIdTLSError; the inner transport's failures are its codes.
class TIdTLSTransport : public TIdTransport {
 public:
  TIdTLSTransport(TIdTransport& inner, std::shared_ptr<const TIdTLSContext> context);
  ~TIdTLSTransport() override;
  TIdTLSTransport(const TIdTLSTransport&) = delete;
  TIdTLSTransport& operator=(const TIdTLSTransport&) = delete;

  // Runs the handshake on the open inner transport, sending `host` as the server name (not for
  // an IP address) and checking the certificate for it. Fails with EIdTLSVerifyError,
  // EIdTLSError, or EIdSocketError when the inner transport fails or the time runs out.
  TIdTLSSession Handshake(const std::string& host, Clock::time_point end);

  // Opens the inner transport, then runs the handshake.
  void Open(const std::string& host, uint16_t port, Clock::time_point end) override;
  bool IsOpen() const override { return FInner.IsOpen(); }
  int Send(std::string_view block, bool more_to_come, Clock::time_point end) override;
  TReceived Receive(char* buffer, std::size_t size, Clock::time_point end) override;
  bool InputPending() const override;
  // Sends close_notify after a completed handshake, without waiting, then closes the inner
  // transport.
  void Close() override;

 private:
  struct Free {
    void operator()(ssl_st* ssl) const noexcept;
  };
  int Flush(bool more_to_come, Clock::time_point end);
  int Fill(Clock::time_point end, bool& closed);
  // After a fatal error no close_notify may follow, so the session counts as ended.
  [[noreturn]] void Broken(const std::string& reason);

  TIdTransport& FInner;
  std::shared_ptr<const TIdTLSContext> FContext;
  std::unique_ptr<ssl_st, Free> FSsl;
  bio_st* FIn = nullptr;   // owned by FSsl
  bio_st* FOut = nullptr;  // owned by FSsl
  std::string FHost;
  bool FEstablished = false;
};

}  // namespace net
