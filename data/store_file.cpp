#include "data/store_file.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "data/schema_sql.h"
#include "data/sqlite.h"
#include "platform/codepage.h"
#include "platform/exception.h"
#include "platform/user_folders.h"

namespace {

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : FFd(fd) {}
  ~FileDescriptor() {
    if (FFd >= 0) ::close(FFd);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int Get() const { return FFd; }
  // Closes now, reporting the failure that the destructor would have to swallow.
  int Close() { return ::close(std::exchange(FFd, -1)); }

 private:
  int FFd;
};

std::string Quoted(const std::string& path) { return "\"" + platform::Utf8ToAnsi(path) + "\""; }

constexpr const char* kStoreName = "quillby.mdb";

bool Exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t put = ::write(fd, data, size);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    data += put;
    size -= static_cast<size_t>(put);
  }
  return true;
}

// Copies `from` to `to` (mode 0600) unless `to` exists. The copy is written to a temporary file
// beside `to`, flushed, and then linked to its name, which fails rather than replace a file: a
// crash leaves no half store, and a second copy of the program starting at the same moment keeps
// the store the first one made.
void CopyStoreFile(const std::string& from, const std::string& to) {
  auto failed = [&](int error) {
    return Exception("The store " + Quoted(to) + " could not be made from " + Quoted(from) + ": " +
                     std::strerror(error) + ".");
  };
  FileDescriptor source(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
  if (source.Get() < 0) throw failed(errno);
  std::string temporary = to + ".XXXXXX";
  FileDescriptor target(::mkostemp(temporary.data(), O_CLOEXEC));
  if (target.Get() < 0) throw failed(errno);
  try {
    char buffer[65536];
    for (;;) {
      const ssize_t got = ::read(source.Get(), buffer, sizeof buffer);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) throw failed(errno);
      if (got == 0) break;
      if (!WriteAll(target.Get(), buffer, static_cast<size_t>(got))) throw failed(errno);
    }
    if (::fchmod(target.Get(), 0600) != 0 || ::fsync(target.Get()) != 0 || target.Close() != 0) {
      throw failed(errno);
    }
    if (::link(temporary.c_str(), to.c_str()) != 0 && errno != EEXIST) throw failed(errno);
  } catch (...) {
    ::unlink(temporary.c_str());
    throw;
  }
  ::unlink(temporary.c_str());
}

}  // namespace

void CreateStoreFile(const std::string& path) {
  // O_EXCL makes the existence test and the creation one step; it also refuses a symbolic link.
  FileDescriptor fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
  if (fd.Get() < 0) {
    const int error = errno;
    if (error == EEXIST) {
      throw Exception("The file " + Quoted(path) +
                      " exists already; an existing file is never touched.");
    }
    throw Exception("The store file " + Quoted(path) +
                    " could not be created: " + std::strerror(error) + ".");
  }
  try {
    // The umask may only take bits away; make the mode exact.
    if (::fchmod(fd.Get(), 0600) != 0 || fd.Close() != 0) {
      throw Exception("The store file " + Quoted(path) +
                      " could not be created: " + std::strerror(errno) + ".");
    }
    sqlite::Database db(path, SQLITE_OPEN_READWRITE);
    sqlite::Transaction transaction(db);
    db.Exec(kSchemaSql);
    transaction.Commit();
  } catch (...) {
    ::unlink(path.c_str());
    throw;
  }
}

namespace {

// The installed empty store when the program run from `executable_path` is installed: no store
// beside it, and the empty store where the build system says; empty otherwise.
std::string InstalledEmptyStore(const std::string& executable_path,
                                const std::string& installed_store) {
  if (Exists(FolderOf(executable_path) + "/" + kStoreName)) return {};
  const std::string empty_store = installed_store.empty() || installed_store[0] == '/'
                                      ? installed_store
                                      : FolderOf(executable_path) + "/" + installed_store;
  return !empty_store.empty() && Exists(empty_store) ? empty_store : std::string();
}

}  // namespace

std::string LocateStore(const std::string& executable_path, const std::string& installed_store,
                        const std::string& user_folder) {
  const std::string empty_store = InstalledEmptyStore(executable_path, installed_store);
  if (empty_store.empty()) return FolderOf(executable_path) + "/" + kStoreName;
  // An existing folder is judged too: a store others could swap is no store to use.
  platform::MakePrivateFolder(user_folder);
  const std::string store = user_folder + "/" + kStoreName;
  if (Exists(store)) return store;
  CopyStoreFile(empty_store, store);
  return store;
}

std::string LocateStore(const std::string& executable_path) {
  // The build system says where the installed empty store sits from the executable's folder.
  return LocateStore(executable_path, QUILLBY_INSTALLED_STORE,
                     platform::UserBaseFolder("XDG_DATA_HOME", ".local/share") + "/Quillby");
}

std::string LocateConnectionLog(const std::string& executable_path,
                                const std::string& installed_store,
                                const std::string& state_folder) {
  if (InstalledEmptyStore(executable_path, installed_store).empty()) return kConnectionLogName;
  platform::MakePrivateFolder(state_folder);
  return state_folder + "/" + kConnectionLogName;
}

std::string LocateConnectionLog(const std::string& executable_path) {
  return LocateConnectionLog(
      executable_path, QUILLBY_INSTALLED_STORE,
      platform::UserBaseFolder("XDG_STATE_HOME", ".local/state") + "/Quillby");
}
