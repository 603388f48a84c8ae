#include "data/store_file.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "data/schema_sql.h"
#include "data/sqlite.h"
#include "platform/codepage.h"
#include "platform/exception.h"

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
