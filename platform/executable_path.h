#pragma once

#include <string>

namespace platform {

// The full path of the running executable (from /proc/self/exe). Throws Exception when the
// system cannot tell it.
std::string ExecutablePath();

}  // namespace platform
