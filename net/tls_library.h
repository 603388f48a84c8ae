#pragma once

#include <string>

namespace net {

// OpenSSL is opened when the first TLS context is made, not when the program starts: mapping
// its two libraries costs about 1.7 MB of resident memory that a session sending nothing never
// needs. Returns an empty string once the library and every function the transport calls are
// there, otherwise why not; later calls give the first call's answer.
std::string OpenTLSLibrary();

// Whether OpenSSL has been opened in this process.
bool TLSLibraryOpen();

}  // namespace net
