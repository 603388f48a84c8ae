#pragma once

#include <string>

namespace platform {

// The user's home folder: $HOME, or the password database's entry for the user when HOME is
// unset or empty. Throws Exception when neither names one.
std::string HomeFolder();

// A per-user base folder of the XDG base directories: $Variable when it holds an absolute path,
// otherwise Fallback below the home folder, e.g. UserBaseFolder("XDG_DATA_HOME", ".local/share").
std::string UserBaseFolder(const char* Variable, const char* Fallback);

// Creates the folder and its missing parents, private to the user (0700). An existing folder is
// left as it is, but must pass CheckPrivateFolder. Throws Exception naming the folder when it is
// refused or cannot be made.
void MakePrivateFolder(const std::string& Path);

// Refuses, with an Exception naming it, an existing folder that is not the user's own or that
// the group or others may write (as ssh refuses such a ~/.ssh): whoever can change the folder
// can swap the files in it. A missing folder passes.
void CheckPrivateFolder(const std::string& Path);

}  // namespace platform
