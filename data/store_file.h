#pragma once

#include <string>

// Creates an empty store with the four tables at `path`, readable and writable by its owner only.
// Never touches an existing file: when anything is at `path` it throws Exception saying so, and a
// creation that fails halfway removes the file it made.
void CreateStoreFile(const std::string& path);
