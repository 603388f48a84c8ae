#include "platform/user_folders.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/codepage.h"
#include "platform/exception.h"

namespace platform {

namespace {

std::string Quoted(const std::string& Path) { return "\"" + Utf8ToAnsi(Path) + "\""; }

[[noreturn]] void CannotMake(const std::string& Path, int Error) {
  throw Exception("The folder " + Quoted(Path) + " could not be made: " + std::strerror(Error) +
                  ".");
}

// Throws unless the existing entry is a folder fit for the user's private files.
void Judge(const std::string& Path, const struct stat& Status) {
  if (!S_ISDIR(Status.st_mode)) CannotMake(Path, ENOTDIR);
  if (Status.st_uid != ::geteuid()) {
    throw Exception("The folder " + Quoted(Path) +
                    " belongs to another user, so it cannot keep your files safe. Remove it or "
                    "make it yours, then start the program again.");
  }
  if ((Status.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(Status.st_mode & 07777));
    throw Exception("The folder " + Quoted(Path) + " can be changed by other users (mode " + mode +
                    "), so it cannot keep your files safe. Close it with \"chmod go-w " +
                    Utf8ToAnsi(Path) + "\", then start the program again.");
  }
}

}  // namespace

std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] != '\0') return home;
  long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 16384);
  passwd entry{};
  passwd* found = nullptr;
  int rc;
  while ((rc = ::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found)) == ERANGE) {
    buffer.resize(buffer.size() * 2);
  }
  if (rc == 0 && found != nullptr && found->pw_dir != nullptr && found->pw_dir[0] == '/') {
    return found->pw_dir;
  }
  throw Exception("Your home folder is unknown: HOME is not set, and the password database has " +
                  std::string(rc == 0 ? "no home folder for user " + std::to_string(::getuid())
                                      : std::string("no answer: ") + std::strerror(rc)) +
                  ".");
}

std::string UserBaseFolder(const char* Variable, const char* Fallback) {
  // The base directory rules ignore a relative value.
  const char* value = std::getenv(Variable);
  if (value != nullptr && value[0] == '/') return value;
  return HomeFolder() + "/" + Fallback;
}

void CheckPrivateFolder(const std::string& Path) {
  // Followed when it is a link: a folder placed elsewhere is judged where it is.
  struct stat st {};
  if (::stat(Path.c_str(), &st) == 0) Judge(Path, st);
}

void MakePrivateFolder(const std::string& Path) {
  struct stat st {};
  if (::stat(Path.c_str(), &st) == 0) {
    Judge(Path, st);
    return;
  }
  const std::string::size_type slash = Path.rfind('/');
  if (slash != std::string::npos && slash > 0) {
    // A parent is only made, never judged: the system's and other people's folders above the
    // user's own are theirs.
    const std::string parent = Path.substr(0, slash);
    if (::stat(parent.c_str(), &st) != 0) {
      MakePrivateFolder(parent);
    } else if (!S_ISDIR(st.st_mode)) {
      CannotMake(Path, ENOTDIR);
    }
  }
  if (::mkdir(Path.c_str(), 0700) == 0) return;
  if (errno != EEXIST) CannotMake(Path, errno);
  // Made by someone else at the same moment.
  CheckPrivateFolder(Path);
}

}  // namespace platform
