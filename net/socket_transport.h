#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "net/socket.h"
#include "net/transport.h"

namespace net {

// A TCP connection over IPv6 or IPv4: lookup, non-blocking connect to each address of the host
// in the resolver's order, and bounded waits.
class TIdSocketTransport : public TIdTransport {
 public:
  void Open(const std::string& host, uint16_t port, Clock::time_point end) override;
  bool IsOpen() const override { return FSocket.Valid(); }
  int Send(std::string_view block, bool more_to_come, Clock::time_point end) override;
  TReceived Receive(char* buffer, std::size_t size, Clock::time_point end) override;
  bool InputPending() const override;
  void Close() override { FSocket.ShutdownAndClose(); }

 private:
  TSocketHandle FSocket;
};

}  // namespace net
