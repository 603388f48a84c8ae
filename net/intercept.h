#pragma once

#include <string_view>

namespace net {

// Receives a connection's events, synchronously, as they happen.
class TIdConnectionIntercept {
 public:
  virtual ~TIdConnectionIntercept() = default;
  virtual void Connect() = 0;
  virtual void Disconnect() = 0;
  // Every block written, before it goes to the socket.
  virtual void Send(std::string_view block) = 0;
  // Every block read from the socket, before the reader sees it.
  virtual void Receive(std::string_view block) = 0;
  // A state of the connection in words, such as how TLS was set up or why it failed.
  virtual void Status(std::string_view text) = 0;
};

}  // namespace net
