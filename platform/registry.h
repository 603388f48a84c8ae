#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/exception.h"

namespace platform {

// A failure of the settings store, with the registry's own texts ("Failed to set data for
// 'Password'", "Invalid data type for 'Password'") or a message naming the file.
class ERegistryException : public Exception {
 public:
  using Exception::Exception;
};

// A key below the current user's root, one name per level. A name is only ever a name: it may
// hold any character, a backslash included, and never reaches another key or the file system.
using TKeyPath = std::vector<std::string>;

// Splits a key text at backslashes as the registry does ("\Software\Quillby" is two names).
TKeyPath SplitKeyPath(const std::string& Path);

// $XDG_CONFIG_HOME/Quillby/registry, or ~/.config/Quillby/registry when that is not set.
std::string DefaultRegistryFile();

// Refuses the folder of the file, when it exists, unless it is private to the user
// (CheckPrivateFolder); the program does not start with settings others could change.
void CheckRegistryFolder(const std::string& FileName = DefaultRegistryFile());

// The current user's part of the registry, kept in one file (mode 0600) that is rewritten
// atomically on every change: a temporary file beside it, flushed to the disk, then renamed over
// it, all under a lock so two copies of the program never lose each other's changes. Names and
// values are the program's 8-bit text; key names compare without regard to letter case. A
// damaged or unreadable file is reported and never overwritten.
class TRegistry {
 public:
  explicit TRegistry(std::string FileName = DefaultRegistryFile());

  const std::string& FileName() const { return FFileName; }
  // How long a change waits for another copy of the program to finish its own before it fails.
  void SetLockTimeout(std::chrono::milliseconds Timeout) { FLockTimeout = Timeout; }

  // Makes Key the current key. Without CanCreate it returns false when Key does not exist; with
  // it, Key and any missing parent keys are created, and false means they could not be written.
  bool OpenKey(const TKeyPath& Key, bool CanCreate);
  void CloseKey();
  bool KeyExists(const TKeyPath& Key);
  // Deletes Key with all its subkeys; false when it does not exist or could not be written.
  bool DeleteKey(const TKeyPath& Key);

  // Values of the current key. A missing value reads as empty (0); a value of another type
  // fails with "Invalid data type for '<Name>'"; a write that cannot be done fails with
  // "Failed to set data for '<Name>'".
  bool ValueExists(const std::string& Name);
  std::string ReadString(const std::string& Name);
  void WriteString(const std::string& Name, const std::string& Value);
  std::uint32_t ReadInteger(const std::string& Name);
  void WriteInteger(const std::string& Name, std::uint32_t Value);

 private:
  std::string FFileName;
  std::chrono::milliseconds FLockTimeout{10000};
  bool FHasKey = false;
  TKeyPath FCurrentKey;
};

}  // namespace platform
