#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace net {

// Where a connection's bytes go and come from: a TCP socket in the program, bytes in memory
// for tests and fuzzing. Failures are the Windows Sockets codes of the socket error table;
// WSAETIMEDOUT (10060) means the given end point passed.
class TIdTransport {
 public:
  using Clock = std::chrono::steady_clock;
  struct TReceived {
    std::size_t Count = 0;  // 0 with no Error: the peer closed the connection
    int Error = 0;
  };

  virtual ~TIdTransport() = default;
  // Connects by `end`; fails with EIdSocketError, or EIdInvalidSocket when no socket can be
  // had, and then leaves nothing open.
  virtual void Open(const std::string& host, uint16_t port, Clock::time_point end) = 0;
  virtual bool IsOpen() const = 0;
  // Sends the whole block by `end`; 0, or the code of the failure.
  virtual int Send(std::string_view block, bool more_to_come, Clock::time_point end) = 0;
  // Takes what has arrived, at most `size` bytes, waiting for it until `end`.
  virtual TReceived Receive(char* buffer, std::size_t size, Clock::time_point end) = 0;
  // True when bytes have arrived that nothing has read yet.
  virtual bool InputPending() const = 0;
  // Half-closes, so the peer sees an orderly end, then closes; nothing when not open.
  virtual void Close() = 0;
};

// A peer that answers from memory: everything it will ever send is given up front and handed
// out in blocks of at most `block_size` bytes; once it is all read the peer closes. What the
// client sends is kept in Sent. Never waits, so a conversation runs at memory speed.
class TIdMemoryTransport : public TIdTransport {
 public:
  explicit TIdMemoryTransport(std::string replies, std::size_t block_size = 65536)
      : FReplies(std::move(replies)), FBlockSize(block_size == 0 ? 1 : block_size) {}

  std::string Sent;

  void Open(const std::string&, uint16_t, Clock::time_point) override { FOpen = true; }
  bool IsOpen() const override { return FOpen; }
  int Send(std::string_view block, bool, Clock::time_point) override;
  TReceived Receive(char* buffer, std::size_t size, Clock::time_point) override;
  bool InputPending() const override { return FOpen && FRead < FReplies.size(); }
  void Close() override { FOpen = false; }

 private:
  std::string FReplies;
  std::size_t FRead = 0;
  std::size_t FBlockSize;
  bool FOpen = false;
};

}  // namespace net
