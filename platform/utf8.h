#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

// One character read from the start of UTF-8 text.
struct TUtf8Char {
  char32_t CodePoint = 0;  // meaningless when not Valid
  std::size_t Length = 0;  // bytes taken, at least 1
  bool Valid = false;
};

// Reads the character at the start of `text`, which must not be empty. An invalid sequence
// takes only the bytes that could still have begun a character (a lone lead byte, or a lead
// byte and the continuation bytes that fit it), never the byte that broke it off, so bad input
// costs only its own bytes. Over-long forms, surrogates and values above U+10FFFF are invalid.
TUtf8Char ReadUtf8(std::string_view text);

bool IsValidUtf8(std::string_view text);

void AppendUtf8(std::string& out, char32_t code_point);

// The key under which names are compared without regard to letter case, by the store and the
// settings file alike: every letter folded (upper then lower case, so that forms like the final
// sigma meet their kin), not only ASCII. Bytes that are not valid UTF-8 are kept as they are.
std::string FoldCase(std::string_view utf8);

}  // namespace platform
