// The message dialog's caption-override parser.
#include <cstddef>
#include <cstdint>
#include <string>

#include "dialogs/button_captions.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  size_t total = 0;
  for (const std::string& entry : SplitButtonCaptions(text)) total += entry.size();
  // Entries are made of the text's bytes; quoting only ever takes some away.
  if (total > size) __builtin_trap();
  return 0;
}
