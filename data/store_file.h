#pragma once

#include <string>

// Creates an empty store with the four tables at `path`, readable and writable by its owner only.
// Never touches an existing file: when anything is at `path` it throws Exception saying so, and a
// creation that fails halfway removes the file it made.
void CreateStoreFile(const std::string& path);

// The store the program run from `executable_path` uses, made ready for it:
// - quillby.mdb beside the executable when that file is there (the build folder, or any folder
//   that holds the program with its store): used as it is;
// - otherwise, when the installed empty store `installed_store` exists (a relative path counts
//   from the executable's folder), the program is installed and its folder is not the user's to
//   write: quillby.mdb in `user_folder`. On a user's first start that folder is made (0700) and
//   gets a copy of the installed empty store, mode 0600; an existing store is never touched;
// - otherwise quillby.mdb beside the executable, whose absence the store reports on first use.
// Throws Exception when the first-start copy cannot be made.
std::string LocateStore(const std::string& executable_path, const std::string& installed_store,
                        const std::string& user_folder);

// The same with the installed layout: the empty store in the data folder of the installation
// the executable belongs to, the user's store in $XDG_DATA_HOME/Quillby (~/.local/share/Quillby).
std::string LocateStore(const std::string& executable_path);

// The connection log's file name.
constexpr const char* kConnectionLogName = "QybSmtp.log";

// Where the program run from `executable_path` keeps its connection log. Installed (as
// LocateStore decides), in `state_folder`, which is made private to the user (0700) when missing
// and must be private when it exists; otherwise the bare name, so that the file lies in the
// working directory. Throws Exception when the folder is refused or cannot be made.
std::string LocateConnectionLog(const std::string& executable_path,
                                const std::string& installed_store,
                                const std::string& state_folder);

// The same with the installed layout: the state folder is $XDG_STATE_HOME/Quillby
// (~/.local/state/Quillby).
std::string LocateConnectionLog(const std::string& executable_path);
