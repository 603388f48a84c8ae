#pragma once

#include <string>
#include <string_view>

// The key under which text is compared without regard to letter case: every letter of the UTF-8
// text folded (upper then lower case, so that forms like the final sigma meet their kin), not
// only ASCII. Bytes that are not valid UTF-8 are kept as they are.
std::string FoldCase(std::string_view utf8);
