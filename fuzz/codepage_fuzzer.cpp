// The code-page conversions both ways: UTF-8 output is always valid, and a second trip through
// Unicode changes nothing; in a single-byte page every byte comes back as it was.
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>

#include "platform/codepage.h"
#include "platform/utf8.h"

namespace {

constexpr int kPages[] = {1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257,
                          1258, 874,  932,  936,  949,  950,  9999};

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const int page = kPages[data[0] % std::size(kPages)];
  const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);

  // The text as 8-bit text of the page.
  const std::string utf8 = platform::AnsiToUtf8(text, page);
  Check(platform::IsValidUtf8(utf8));
  const std::string ansi = platform::Utf8ToAnsi(utf8, page);
  const bool single_byte = page != 932 && page != 936 && page != 949 && page != 950 && page != 9999;
  // 1258 joins a letter and a following tone mark into one character, as Unicode has it.
  if (single_byte && page != 1258) Check(ansi == text);
  Check(platform::Utf8ToAnsi(platform::AnsiToUtf8(ansi, page), page) == ansi);

  // The text as UTF-8 from a widget or the store.
  const std::string from_utf8 = platform::Utf8ToAnsi(text, page);
  const std::string back = platform::AnsiToUtf8(from_utf8, page);
  Check(platform::IsValidUtf8(back));
  Check(platform::AnsiToUtf8(platform::Utf8ToAnsi(back, page), page) == back);
  return 0;
}
