#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "net/intercept.h"
#include "net/socket_transport.h"
#include "net/tls_transport.h"
#include "net/transport.h"

namespace net {

// Every single wait on the network (lookup, connect, send, receive) ends after this limit, and a
// whole conversation (one mail send, one post) after the conversation limit, so neither a silent
// server nor one that trickles a byte at a time can hold the program. Running out fails as socket
// error WSAETIMEDOUT (10060) and closes the connection. Tests lower both.
std::chrono::milliseconds WaitLimit();
void SetWaitLimit(std::chrono::milliseconds limit);
std::chrono::milliseconds ConversationLimit();
void SetConversationLimit(std::chrono::milliseconds limit);
constexpr std::chrono::milliseconds kDefaultWaitLimit{60000};
constexpr std::chrono::milliseconds kDefaultConversationLimit{300000};

// The connection shared by the mail and web clients: connect, whole-block writes, bounded reads
// into an input buffer, line reading, half-close then close, over a transport. Every event goes to
// the intercept (the connection log) as it happens.
class TIdTCPConnection {
 public:
  static constexpr size_t RecvBufferSize = 32768;

  std::string Host;
  uint16_t Port = 0;
  size_t MaxLineLength = 16384;
  TIdConnectionIntercept* Intercept = nullptr;
  // A PEM file of trust anchors that StartTLS adds to the system's store; empty for none.
  std::string TLSCAFile;

  TIdTCPConnection() = default;
  ~TIdTCPConnection();
  TIdTCPConnection(const TIdTCPConnection&) = delete;
  TIdTCPConnection& operator=(const TIdTCPConnection&) = delete;

  // The bytes' way to the server and back; a TCP socket unless replaced (tests, fuzzing).
  void SetTransport(std::unique_ptr<TIdTransport> transport) {
    FTLS.reset();
    FTransport = std::move(transport);
  }

  // Starts the overall deadline of one conversation.
  void StartConversation();

  // Resolves Host and connects. On failure the socket is closed, a disconnect is logged and
  // EIdSocketError is raised (EIdInvalidSocket when no socket can be had).
  void Connect();
  bool Connected() const { return FTransport->IsOpen(); }

  // Turns the open connection into a TLS one: handshake within the usual wait, the certificate
  // verified for Host, the outcome logged as a status entry. Input already waiting (in the
  // input buffer or the socket) fails it before the handshake, as it would otherwise be read as
  // if it had come through TLS. On failure the connection is closed and EIdTLSError (or
  // EIdSocketError for a wait that ran out) is raised. Disconnect ends TLS too.
  void StartTLS();
  bool Secure() const { return FTLS != nullptr; }

  // Writes the whole block. more_to_come asks the stack to hold a small block back until the
  // next write, so a head and its body leave in one segment.
  void Write(std::string_view block, bool more_to_come = false);

  // One line ending at LF, with a CR before the LF dropped. A line longer than MaxLineLength
  // fails with EIdReadLnMaxLineLengthExceeded; a server that closes before the line is complete
  // gives EIdConnClosedGracefully.
  std::string ReadLn(std::optional<std::chrono::milliseconds> limit = std::nullopt);

  // Takes one block from the socket into the input buffer. Returns false when the server has
  // closed the connection (the socket is then closed). A given limit that runs out raises
  // EIdReadTimeout.
  bool ReadFromStack(std::optional<std::chrono::milliseconds> limit = std::nullopt);

  std::string& InputBuffer() { return FInputBuffer; }
  // Every byte taken from the peer so far, those still in the input buffer included; the
  // clients measure the parts of a reply by it.
  uint64_t ReceivedCount() const { return FReceivedCount; }

  // Logs the disconnect, half-closes and closes; nothing when no socket is open.
  void Disconnect();

 private:
  std::chrono::steady_clock::time_point WaitEnd() const;
  void TimedOut();
  void Fail(int code, bool close);
  // Logs why TLS failed and closes, keeping the failure that is on its way.
  void AbandonTLS(const std::string& reason) noexcept;
  TIdTransport& Active() const { return FTLS ? *FTLS : *FTransport; }

  std::unique_ptr<TIdTransport> FTransport = std::make_unique<TIdSocketTransport>();
  std::unique_ptr<TIdTLSTransport> FTLS;  // over FTransport while TLS is on
  std::shared_ptr<const TIdTLSContext> FTLSContext;
  std::string FInputBuffer;
  uint64_t FReceivedCount = 0;
  std::chrono::steady_clock::time_point FDeadline = std::chrono::steady_clock::time_point::max();
};

}  // namespace net
