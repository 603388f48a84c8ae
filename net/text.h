#pragma once

#include <string>
#include <string_view>

namespace net {

// The text without its leading and trailing blanks and control characters, as replies and
// header values are read.
inline std::string Trim(std::string_view text) {
  size_t start = 0;
  size_t end = text.size();
  while (start < end && static_cast<unsigned char>(text[start]) <= ' ') ++start;
  while (end > start && static_cast<unsigned char>(text[end - 1]) <= ' ') --end;
  return std::string(text.substr(start, end - start));
}

}  // namespace net
