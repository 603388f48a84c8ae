#pragma once

#include <stdlib.h>

#include <filesystem>
#include <optional>
#include <string>

// Sets an environment variable for as long as it lives, then puts back the value it had, or
// none, so that a test leaves the environment as it found it.
class TEnvironmentOverride {
 public:
  TEnvironmentOverride(const char* Name, const std::string& Value) : FName(Name) {
    if (const char* old = getenv(Name)) FOld = old;
    setenv(Name, Value.c_str(), 1);
  }
  ~TEnvironmentOverride() {
    if (FOld) {
      setenv(FName.c_str(), FOld->c_str(), 1);
    } else {
      unsetenv(FName.c_str());
    }
  }
  TEnvironmentOverride(const TEnvironmentOverride&) = delete;
  TEnvironmentOverride& operator=(const TEnvironmentOverride&) = delete;

 private:
  std::string FName;
  std::optional<std::string> FOld;
};

// Makes a folder the working directory for as long as it lives, then goes back, so that files
// the program writes in its working directory (the connection log) land in the test's folder.
class TWorkingDirectory {
 public:
  explicit TWorkingDirectory(const std::filesystem::path& Folder)
      : FOld(std::filesystem::current_path()) {
    std::filesystem::current_path(Folder);
  }
  ~TWorkingDirectory() {
    std::error_code ignored;
    std::filesystem::current_path(FOld, ignored);
  }
  TWorkingDirectory(const TWorkingDirectory&) = delete;
  TWorkingDirectory& operator=(const TWorkingDirectory&) = delete;

 private:
  std::filesystem::path FOld;
};
