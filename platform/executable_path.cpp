#include "platform/executable_path.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/exception.h"

namespace platform {

std::string ExecutablePath() {
  // readlink does not say whether it truncated, so grow the buffer until the link fits.
  std::vector<char> buffer(256);
  for (;;) {
    const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0) {
      throw Exception(std::string("The path of the running program could not be read: ") +
                      std::strerror(errno) + ".");
    }
    if (static_cast<size_t>(n) < buffer.size()) return std::string(buffer.data(), n);
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace platform
