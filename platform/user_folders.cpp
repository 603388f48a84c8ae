#include "platform/user_folders.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>

namespace platform {

std::string UserBaseFolder(const char* Variable, const char* Fallback) {
  // The base directory rules ignore a relative value.
  const char* value = std::getenv(Variable);
  if (value != nullptr && value[0] == '/') return value;
  const char* home = std::getenv("HOME");
  return std::string(home != nullptr && home[0] != '\0' ? home : ".") + "/" + Fallback;
}

bool MakePrivateFolder(const std::string& Path) {
  struct stat st {};
  if (::stat(Path.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) return true;
    errno = ENOTDIR;
    return false;
  }
  const std::string::size_type slash = Path.rfind('/');
  if (slash != std::string::npos && slash > 0 && !MakePrivateFolder(Path.substr(0, slash))) {
    return false;
  }
  return ::mkdir(Path.c_str(), 0700) == 0 || errno == EEXIST;
}

}  // namespace platform
