#include "dialogs/button_captions.h"

namespace {

bool EndsEntry(char c) { return static_cast<unsigned char>(c) <= ' '; }

}  // namespace

std::vector<std::string> SplitButtonCaptions(const std::string& Text) {
  std::vector<std::string> entries;
  std::size_t i = 0;
  const std::size_t n = Text.size();
  auto skipBlanks = [&] {
    while (i < n && EndsEntry(Text[i])) ++i;
  };
  skipBlanks();
  while (i < n) {
    std::string entry;
    if (Text[i] == '"') {
      ++i;
      while (i < n) {
        if (Text[i] == '"') {
          if (i + 1 < n && Text[i + 1] == '"') {
            entry += '"';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        entry += Text[i++];
      }
    } else {
      while (i < n && !EndsEntry(Text[i]) && Text[i] != ';') entry += Text[i++];
    }
    entries.push_back(entry);
    skipBlanks();
    if (i < n && Text[i] == ';') {
      ++i;
      skipBlanks();
    }
  }
  return entries;
}
