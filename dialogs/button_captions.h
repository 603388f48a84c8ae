#pragma once

#include <string>
#include <vector>

// Kept free of Qt so that the parser can be fuzzed on its own.

// The entries of a caption-override text: ";" separates entries; blanks and control characters
// outside double quotes end an entry and are dropped; an entry that begins with a double quote
// runs to its closing quote (two quotes inside stand for one) and may hold blanks and ";".
std::vector<std::string> SplitButtonCaptions(const std::string& ButtonCaptions);
