#pragma once

#include <string>

namespace platform {

// A per-user base folder of the XDG base directories: $Variable when it holds an absolute path,
// otherwise Fallback below $HOME ("." when HOME is not set), e.g.
// UserBaseFolder("XDG_DATA_HOME", ".local/share").
std::string UserBaseFolder(const char* Variable, const char* Fallback);

// Creates the folder and its missing parents, private to the user (0700); an existing folder is
// left as it is. False when the folder is not there afterwards (errno says why).
bool MakePrivateFolder(const std::string& Path);

}  // namespace platform
