#pragma once

#include <string>
#include <string_view>

namespace net {

// Standard alphabet, completed with "=", no line breaks.
std::string EncodeBase64(std::string_view bytes);

}  // namespace net
