#pragma once

#include <string>

// The password digest: the MD5 message digest (RFC 1321) of all the password's bytes, written as
// 32 uppercase hexadecimal digits. Passwords of any length are digested whole.
std::string MD5Hex(const std::string& Password);
