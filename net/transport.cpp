#include "net/transport.h"

#include <algorithm>
#include <cstring>

#include "net/errors.h"

namespace net {

int TIdMemoryTransport::Send(std::string_view block, bool, Clock::time_point) {
  if (!FOpen) return WSAENOTCONN;
  Sent.append(block);
  return 0;
}

TIdTransport::TReceived TIdMemoryTransport::Receive(char* buffer, size_t size, Clock::time_point) {
  const size_t count = std::min({size, FBlockSize, FReplies.size() - FRead});
  std::memcpy(buffer, FReplies.data() + FRead, count);
  FRead += count;
  return {count, 0};
}

}  // namespace net
