#include "net/logfile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "net/errors.h"
#include "platform/clock.h"

namespace net {

void TIdLogBase::SetActive(bool active) {
  if (active == FActive) return;
  if (active) {
    Open();
  } else {
    Close();
  }
  FActive = active;
}

void TIdLogBase::Connect() {
  if (FActive) WriteEntry("Stat Connected.\r\n");
}

void TIdLogBase::Disconnect() {
  if (FActive) WriteEntry("Stat Disconnected.\r\n");
}

void TIdLogBase::Status(std::string_view text) {
  if (FActive) WriteEntry("Stat " + std::string(text) + "\r\n");
}

void TIdLogBase::Send(std::string_view block) { LogData("Sent ", block); }

void TIdLogBase::Receive(std::string_view block) { LogData("Recv ", block); }

std::string TIdLogBase::MarkLineBreaks(std::string_view block) {
  std::string text;
  text.reserve(block.size() + 16);
  for (size_t i = 0; i < block.size(); ++i) {
    const char c = block[i];
    if (c == '\r' && i + 1 < block.size() && block[i + 1] == '\n') {
      text += "<EOL>";
      ++i;
    } else if (c == '\r') {
      text += "<CR>";
    } else if (c == '\n') {
      text += "<LF>";
    } else {
      text.push_back(c);
    }
  }
  return text;
}

void TIdLogBase::LogData(const char* kind, std::string_view block) {
  if (!FActive) return;
  std::string entry = kind;
  if (LogTime) entry += platform::FormatShortDateLongTime(platform::Now());
  entry += ": ";
  entry += ReplaceCRLF ? MarkLineBreaks(block) : std::string(block);
  entry += "\r\n";
  WriteEntry(entry);
}

TIdLogFile::~TIdLogFile() { Close(); }

namespace {

std::string FullPath(const std::string& name) {
  if (!name.empty() && name[0] == '/') return name;
  char cwd[PATH_MAX];
  if (getcwd(cwd, sizeof cwd) == nullptr) return name;
  return std::string(cwd) + "/" + name;
}

}  // namespace

void TIdLogFile::Open() {
  const std::string path = FullPath(Filename);
  bool created = false;
  int fd = open(path.c_str(), O_RDWR | O_APPEND | O_CLOEXEC);
  if (fd < 0 && errno == ENOENT) {
    fd = open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    created = true;
  }
  auto fail = [&](const std::string& reason) {
    if (created) throw EFCreateError("Cannot create file \"" + path + "\". " + reason);
    throw EFOpenError("Cannot open file \"" + path + "\". " + reason);
  };
  if (fd < 0) fail(std::strerror(errno));
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    ::close(fd);
    fail(error == EWOULDBLOCK ? "The file is in use by another program."
                              : std::string(std::strerror(error)));
  }
  FHandle = fd;
}

void TIdLogFile::Close() {
  if (FHandle >= 0) {
    ::close(FHandle);
    FHandle = -1;
  }
}

void TIdLogFile::WriteEntry(const std::string& entry) {
  // One write per entry; a short write on a regular file means the disk is full.
  ssize_t written;
  do {
    written = ::write(FHandle, entry.data(), entry.size());
  } while (written < 0 && errno == EINTR);
  if (written != static_cast<ssize_t>(entry.size())) throw EWriteError();
}

}  // namespace net
