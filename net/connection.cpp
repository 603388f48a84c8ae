#include "net/connection.h"

#include <algorithm>
#include <memory>

#include "net/errors.h"

namespace net {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

namespace {

milliseconds& WaitLimitValue() {
  static milliseconds limit = kDefaultWaitLimit;
  return limit;
}

milliseconds& ConversationLimitValue() {
  static milliseconds limit = kDefaultConversationLimit;
  return limit;
}

}  // namespace

milliseconds WaitLimit() { return WaitLimitValue(); }
void SetWaitLimit(milliseconds limit) { WaitLimitValue() = limit; }
milliseconds ConversationLimit() { return ConversationLimitValue(); }
void SetConversationLimit(milliseconds limit) { ConversationLimitValue() = limit; }

TIdTCPConnection::~TIdTCPConnection() {
  try {
    Disconnect();
  } catch (...) {
    // The log could not take the entry; the connection is closed all the same.
  }
}

void TIdTCPConnection::StartConversation() { FDeadline = Clock::now() + ConversationLimit(); }

Clock::time_point TIdTCPConnection::WaitEnd() const {
  return std::min(Clock::now() + WaitLimit(), FDeadline);
}

void TIdTCPConnection::Fail(int code, bool close) {
  if (close) Disconnect();
  throw EIdSocketError(code);
}

void TIdTCPConnection::TimedOut() { Fail(WSAETIMEDOUT, true); }

void TIdTCPConnection::Connect() {
  Disconnect();
  FInputBuffer.clear();
  FTLS.reset();
  try {
    FTransport->Open(Host, Port, WaitEnd());
  } catch (const EIdException&) {
    // A failed attempt like any other: the log shows it as a disconnect.
    if (Intercept != nullptr) Intercept->Disconnect();
    throw;
  }
  if (Intercept == nullptr) return;
  try {
    Intercept->Connect();
  } catch (...) {
    // A connect that fails leaves no connection behind, whatever failed.
    FTransport->Close();
    try {
      Intercept->Disconnect();
    } catch (...) {
      // The log's failure is already on its way.
    }
    throw;
  }
}

void TIdTCPConnection::Write(std::string_view block, bool more_to_come) {
  if (!Connected()) throw EIdNotConnected();
  if (Intercept != nullptr) Intercept->Send(block);
  int code = 0;
  try {
    code = Active().Send(block, more_to_come, WaitEnd());
  } catch (const EIdTLSError& e) {
    AbandonTLS(e.Reason());
    throw;
  }
  if (code == WSAETIMEDOUT) TimedOut();
  if (code != 0)
    Fail(code, code == WSAECONNABORTED || code == WSAECONNRESET || code == WSAESHUTDOWN);
}

bool TIdTCPConnection::ReadFromStack(std::optional<milliseconds> limit) {
  if (!Connected()) return false;
  const auto general_end = WaitEnd();
  const auto limit_end = limit ? Clock::now() + *limit : Clock::time_point::max();
  const bool limit_first = limit_end < general_end;
  // Checked before waiting too: a server that always has a byte ready must still run out.
  const auto end = std::min(general_end, limit_end);
  char buffer[RecvBufferSize];
  TIdTransport::TReceived got{0, WSAETIMEDOUT};
  try {
    if (Clock::now() < end) got = Active().Receive(buffer, sizeof buffer, end);
  } catch (const EIdTLSError& e) {
    AbandonTLS(e.Reason());
    throw;
  }
  if (got.Error == WSAETIMEDOUT) {
    if (limit_first) throw EIdReadTimeout();
    TimedOut();
  }
  if (got.Error != 0) {
    if (got.Error == WSAECONNABORTED || got.Error == WSAESHUTDOWN) {
      Disconnect();
      if (!FInputBuffer.empty()) return false;
    }
    throw EIdSocketError(got.Error);
  }
  if (got.Count == 0) {
    Disconnect();
    return false;
  }
  const std::string_view block(buffer, got.Count);
  if (Intercept != nullptr) Intercept->Receive(block);
  FReceivedCount += got.Count;
  FInputBuffer.append(block);
  return true;
}

std::string TIdTCPConnection::ReadLn(std::optional<milliseconds> limit) {
  size_t searched = 0;
  for (;;) {
    const size_t lf = FInputBuffer.find('\n', searched);
    if (lf != std::string::npos) {
      size_t length = lf;
      if (length > 0 && FInputBuffer[length - 1] == '\r') --length;
      if (length > MaxLineLength) throw EIdReadLnMaxLineLengthExceeded();
      std::string line = FInputBuffer.substr(0, length);
      FInputBuffer.erase(0, lf + 1);
      return line;
    }
    // A CR may still be followed by its LF, so it does not count towards the limit yet.
    if (FInputBuffer.size() > MaxLineLength + 1) throw EIdReadLnMaxLineLengthExceeded();
    searched = FInputBuffer.size();
    if (!ReadFromStack(limit)) throw EIdConnClosedGracefully();
  }
}

void TIdTCPConnection::StartTLS() {
  if (!Connected()) throw EIdNotConnected();
  if (!FInputBuffer.empty() || FTransport->InputPending()) {
    const std::string reason = "data arrived before the handshake";
    AbandonTLS(reason);
    throw EIdTLSError("The server \"" + Host +
                          "\" sent data before the secure connection was set up, so the "
                          "connection was closed.",
                      reason);
  }
  try {
    if (!FTLSContext || FTLSContext->CAFile() != TLSCAFile) {
      FTLSContext = std::make_shared<const TIdTLSContext>(TLSCAFile);
    }
    auto tls = std::make_unique<TIdTLSTransport>(*FTransport, FTLSContext);
    const TIdTLSSession session = tls->Handshake(Host, WaitEnd());
    FTLS = std::move(tls);
    if (Intercept != nullptr) {
      Intercept->Status("TLS established: " + session.Protocol + ", " + session.Cipher +
                        ", certificate verified for " + session.VerifiedName + ".");
    }
  } catch (const EIdTLSError& e) {
    AbandonTLS(e.Reason());
    throw;
  } catch (const EIdSocketError& e) {
    AbandonTLS(SocketErrorText(e.LastError()));
    throw;
  } catch (...) {
    AbandonTLS("the handshake was abandoned");
    throw;
  }
}

void TIdTCPConnection::AbandonTLS(const std::string& reason) noexcept {
  try {
    if (Intercept != nullptr && Connected()) {
      const bool stop = !reason.empty() && reason.back() == '.';
      Intercept->Status("TLS failed: " + reason + (stop ? "" : "."));
    }
  } catch (...) {
    // The TLS failure is the one to report.
  }
  try {
    Disconnect();
  } catch (...) {
    // As above.
  }
}

void TIdTCPConnection::Disconnect() {
  if (!Connected()) return;
  Active().Close();
  FTLS.reset();
  if (Intercept != nullptr) Intercept->Disconnect();
}

}  // namespace net
