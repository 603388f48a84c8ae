// The multipart body: the size it announces is the number of bytes it produces, read in any
// block sizes, and reading it again after a rewind gives the same bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "net/multipart.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

std::string ReadAll(net::TIdMultiPartFormDataStream& body, size_t block) {
  std::string out;
  std::string buffer(block, '\0');
  for (;;) {
    const size_t got = body.Read(buffer.data(), buffer.size());
    if (got == 0) return out;
    Check(got <= block);
    out.append(buffer.data(), got);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const size_t block = data[0] % 64 + 1;
  // Fields are name NUL value NUL, as many as the input holds; at least one, as a body is only
  // ever read after a field was added.
  std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  net::TIdMultiPartFormDataStream body;
  do {
    const size_t name_end = std::min(rest.find('\0'), rest.size());
    const std::string name(rest.substr(0, name_end));
    rest.remove_prefix(std::min(name_end + 1, rest.size()));
    const size_t value_end = std::min(rest.find('\0'), rest.size());
    const std::string value(rest.substr(0, value_end));
    rest.remove_prefix(std::min(value_end + 1, rest.size()));
    body.AddField(name, value);
  } while (!rest.empty());
  const std::string first = ReadAll(body, block);
  Check(static_cast<int64_t>(first.size()) == body.Size());
  Check(body.Position() == body.Size());
  body.Rewind();
  Check(ReadAll(body, 4096) == first);
  return 0;
}
