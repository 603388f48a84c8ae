#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "net/connection.h"
#include "net/intercept.h"
#include "net/multipart.h"

namespace net {

// The reply to the last post: the status line and header lines as received.
class TIdHTTPResponse {
 public:
  std::string ResponseText;  // the status line; empty when none arrived
  std::vector<std::string> RawHeaders;

  // -1 when there is no status line or its code is not a number.
  int ResponseCode() const;
  // The first header of that name (letter case ignored), continuation lines joined with a
  // space; empty when absent.
  std::string HeaderValue(std::string_view name) const;
  bool HasHeader(std::string_view name) const;
  void Clear();
};

// Posts a multipart form over HTTP/1.0 and judges the reply; redirects are never followed.
class TIdHTTP {
 public:
  std::string Host;
  uint16_t Port = 80;
  std::string Accept = "text/html, */*";
  std::string UserAgent = "Mozilla/3.0 (compatible; Quillby Net)";
  // HTTPS: TLS right after connecting, the certificate verified for Host.
  bool UseTLS = false;
  // A PEM file of trust anchors beside the system's store; empty for none.
  std::string TLSCAFile;
  // The connection log; it must outlive the client, which logs the closing of a connection
  // still open when it is destroyed.
  TIdConnectionIntercept* Intercept = nullptr;
  // How long to wait for each block of a reply body that is only read to be dropped.
  std::chrono::milliseconds DiscardReadTimeout{2000};

  TIdHTTP() = default;
  TIdHTTP(const TIdHTTP&) = delete;
  TIdHTTP& operator=(const TIdHTTP&) = delete;

  // The bytes' way to the server; a TCP socket unless replaced (tests, fuzzing).
  void SetTransport(std::unique_ptr<TIdTransport> transport) {
    FConnection.SetTransport(std::move(transport));
  }

  // The reply body for a 2xx reply without Location; any other outcome fails.
  std::string PostForm(const std::string& path, TIdMultiPartFormDataStream& body);
  int StatusCode() const { return FResponse.ResponseCode(); }
  std::string Location() const { return FResponse.HeaderValue("Location"); }
  const TIdHTTPResponse& Response() const { return FResponse; }
  bool Connected() const { return FConnection.Connected(); }
  void Disconnect() { FConnection.Disconnect(); }

 private:
  void SendRequest(const std::string& path, TIdMultiPartFormDataStream& body);
  void ReadResponseHead();
  std::string ReadBody(std::optional<std::chrono::milliseconds> limit);
  bool KeepAlive() const;
  // After a failed post: the connection stays only when the reply asked for it.
  void CloseUnlessKeptAlive();

  TIdTCPConnection FConnection;
  TIdHTTPResponse FResponse;
};

}  // namespace net
