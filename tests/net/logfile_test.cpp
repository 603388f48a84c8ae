#include "net/logfile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

#include "net/connection.h"
#include "net/errors.h"
#include "net_fixture.h"
#include "script_server.h"

namespace nettest {
namespace {

class LogFileTest : public NetTest {};

TEST_F(LogFileTest, FourEntryFormsAppendedToAnExistingFile) {
  {
    std::ofstream old("QybSmtp.log", std::ios::binary);
    old << "earlier run\r\n";
  }
  net::TIdLogFile log;
  log.Filename = "QybSmtp.log";
  log.SetActive(true);
  log.Connect();
  log.Send("EHLO Quillby\r\n");
  log.Receive(std::string("250 \xE9\x01\t", 7));
  log.Disconnect();
  log.SetActive(false);
  log.Send("ignored while inactive");
  EXPECT_EQ(ReadFile("QybSmtp.log"),
            "earlier run\r\n"
            "Stat Connected.\r\n"
            "Sent 03/07/04 09:05:00: EHLO Quillby<EOL>\r\n"
            "Recv 03/07/04 09:05:00: 250 \xE9\x01\t\r\n"
            "Stat Disconnected.\r\n");
}

TEST_F(LogFileTest, LineBreakMarkers) {
  const struct {
    std::string block;
    std::string shown;
  } cases[] = {
      {"a\r\nb", "a<EOL>b"}, {"a\rb", "a<CR>b"},      {"a\nb", "a<LF>b"},
      {"\n\r", "<LF><CR>"},  {"\r\r\n", "<CR><EOL>"}, {"\r\n\n", "<EOL><LF>"},
      {"x\r", "x<CR>"},      {"\ny", "<LF>y"},        {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(net::TIdLogBase::MarkLineBreaks(c.block), c.shown);
}

TEST_F(LogFileTest, TimeStampLeavesOutTheTimeAtMidnight) {
  FMoment.hour = 0;
  FMoment.minute = 0;
  FMoment.second = 0;
  net::TIdLogFile log;
  log.Filename = "QybSmtp.log";
  log.SetActive(true);
  log.Send("x");
  FMoment.second = 1;
  log.Send("y");
  log.LogTime = false;
  log.ReplaceCRLF = false;
  log.Send("z\r\n");
  log.SetActive(false);
  EXPECT_EQ(ReadFile("QybSmtp.log"),
            "Sent 03/07/04: x\r\nSent 03/07/04 00:00:01: y\r\nSent : z\r\n\r\n");
}

TEST_F(LogFileTest, SplitLineBreakAcrossTwoReceivedBlocks) {
  ScriptServer server({{Send("250 a\r"), Line(), Send("\n250 b\r\n")}});
  net::TIdLogFile log;
  log.Filename = "QybSmtp.log";
  log.SetActive(true);
  net::TIdTCPConnection connection;
  connection.Host = "127.0.0.1";
  connection.Port = server.Port();
  connection.Intercept = &log;
  connection.StartConversation();
  connection.Connect();
  while (connection.InputBuffer().empty()) connection.ReadFromStack();
  connection.Write("go\n");
  EXPECT_EQ(connection.ReadLn(), "250 a");
  EXPECT_EQ(connection.ReadLn(), "250 b");
  connection.Disconnect();
  log.SetActive(false);
  EXPECT_EQ(ReadFile("QybSmtp.log"),
            "Stat Connected.\r\n"
            "Recv 03/07/04 09:05:00: 250 a<CR>\r\n"
            "Sent 03/07/04 09:05:00: go<LF>\r\n"
            "Recv 03/07/04 09:05:00: <LF>250 b<EOL>\r\n"
            "Stat Disconnected.\r\n");
}

TEST_F(LogFileTest, SecondProgramCannotOpenTheLog) {
  net::TIdLogFile log;
  log.Filename = "QybSmtp.log";
  log.SetActive(true);
  const std::string path = (FFolder / "QybSmtp.log").string();
  // Another process: the lock is per open file, so a fork with its own open shows what a
  // second copy of the program would meet.
  int pipe_fds[2];
  ASSERT_EQ(pipe(pipe_fds), 0);
  const pid_t child = fork();
  if (child == 0) {
    close(pipe_fds[0]);
    std::string message = "opened";
    try {
      net::TIdLogFile second;
      second.Filename = "QybSmtp.log";
      second.SetActive(true);
    } catch (const net::EFOpenError& e) {
      message = e.Message();
    }
    (void)!write(pipe_fds[1], message.data(), message.size());
    _exit(0);
  }
  close(pipe_fds[1]);
  std::string message;
  char buffer[512];
  ssize_t n;
  while ((n = read(pipe_fds[0], buffer, sizeof buffer)) > 0) message.append(buffer, n);
  close(pipe_fds[0]);
  waitpid(child, nullptr, 0);
  EXPECT_EQ(message, "Cannot open file \"" + path + "\". The file is in use by another program.");
}

TEST_F(LogFileTest, FolderThatCannotTakeTheFile) {
  net::TIdLogFile log;
  log.Filename = (FFolder / "missing" / "QybSmtp.log").string();
  try {
    log.SetActive(true);
    ADD_FAILURE() << "opened";
  } catch (const net::EFCreateError& e) {
    EXPECT_EQ(e.Message(),
              "Cannot create file \"" + log.Filename + "\". No such file or directory");
  }
  EXPECT_FALSE(log.Active());
}

// The log holds the mail password: whatever else a shared folder holds under its name is
// refused at once, never followed, waited on or written to.
TEST_F(LogFileTest, OnlyARegularFileOfTheUsersOwnIsOpened) {
  const std::string path = (FFolder / "QybSmtp.log").string();
  const std::string target = (FFolder / "target").string();
  const struct {
    const char* name;
    std::function<void()> plant;
    std::string reason;
  } cases[] = {
      {"symbolic link", [&] { ASSERT_EQ(symlink(target.c_str(), path.c_str()), 0); },
       "It is a symbolic link."},
      {"dangling symbolic link",
       [&] { ASSERT_EQ(symlink((FFolder / "none").c_str(), path.c_str()), 0); },
       "It is a symbolic link."},
      {"FIFO", [&] { ASSERT_EQ(mkfifo(path.c_str(), 0666), 0); }, "It is not a regular file."},
      {"folder", [&] { ASSERT_EQ(mkdir(path.c_str(), 0700), 0); }, "Is a directory"},
      {"hard link", [&] { ASSERT_EQ(link(target.c_str(), path.c_str()), 0); },
       "It has another name (a hard link) as well."},
      {"another user's file",
       [&] {
         { std::ofstream(path) << "theirs\r\n"; }
         ASSERT_EQ(chown(path.c_str(), 65534, 65534), 0);
       },
       "It belongs to another user."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.reason == "It belongs to another user." && geteuid() != 0) continue;  // needs chown
    { std::ofstream(target) << "someone's file\r\n"; }
    c.plant();
    alarm(10);  // an open or a write that waits for ever ends the test here
    net::TIdLogFile log;
    log.Filename = "QybSmtp.log";
    try {
      log.SetActive(true);
      log.Send("secret");
      ADD_FAILURE() << "opened";
    } catch (const net::EFOpenError& e) {
      EXPECT_EQ(e.Message(), "Cannot open file \"" + path + "\". " + c.reason);
    }
    alarm(0);
    EXPECT_FALSE(log.Active());
    EXPECT_EQ(ReadFile(target), "someone's file\r\n");
    EXPECT_FALSE(std::filesystem::exists(FFolder / "none"));
    std::filesystem::remove_all(path);
  }
}

TEST_F(LogFileTest, TheLogIsReadableByItsOwnerAlone) {
  const mode_t old_mask = umask(0);
  {
    net::TIdLogFile log;
    log.Filename = "QybSmtp.log";
    log.SetActive(true);
  }
  umask(old_mask);
  struct stat st {};
  ASSERT_EQ(stat("QybSmtp.log", &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  // A log made readable by all, as earlier versions made it, is closed and kept.
  { std::ofstream("QybSmtp.log", std::ios::trunc) << "earlier run\r\n"; }
  ASSERT_EQ(chmod("QybSmtp.log", 0644), 0);
  net::TIdLogFile log;
  log.Filename = "QybSmtp.log";
  log.LogTime = false;
  log.SetActive(true);
  log.Send("x");
  ASSERT_EQ(stat("QybSmtp.log", &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  EXPECT_EQ(ReadFile("QybSmtp.log"), "earlier run\r\nSent : x\r\n");
}

TEST_F(LogFileTest, FailedWriteIsAStreamWriteError) {
  net::TIdLogFile log;
  log.Filename = "QybSmtp.log";
  log.SetActive(true);
  TFileSizeLimit full(0);
  try {
    log.Send("x");
    ADD_FAILURE() << "written";
  } catch (const net::EWriteError& e) {
    EXPECT_EQ(e.Message(), "Stream write error");
  }
}

}  // namespace
}  // namespace nettest
