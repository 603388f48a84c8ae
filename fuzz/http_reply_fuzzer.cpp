// The HTTP client through a whole form post against a reply from the fuzzer (status line,
// headers, a body by length, chunks or the end of the connection), in blocks it chooses.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "net/http.h"
#include "net/transport.h"
#include "platform/exception.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const size_t block = data[0] == 0 ? size : data[0];
  net::TIdHTTP http;
  http.Host = "localhost";
  // Bounds that the run's inputs (4096 bytes at most, tools/fuzz.sh) can pass.
  http.MaxHeadSize = 2048;
  http.MaxBodySize = 2048;
  http.SetTransport(std::make_unique<net::TIdMemoryTransport>(
      std::string(reinterpret_cast<const char*>(data) + 1, size - 1), block));
  net::TIdMultiPartFormDataStream body;
  body.AddField("fullname", "Jane Doe");
  try {
    http.PostForm("/signup", body);
  } catch (const Exception&) {
    // Any reply may be refused, as long as it is refused cleanly.
  }
  http.Response().HeaderValue("Location");
  http.StatusCode();
  return 0;
}
