// Starts the built program on a private X server, beside a store of its own, and works it
// through the keyboard as a user would: real key events from the X server, no hook inside
// the program.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <string>

#include "data/store_file.h"
#include "gui_support.h"

extern char** environ;

namespace {

// An Xvfb server on a display number it picks itself; stopped when this goes away.
class TXvfb {
 public:
  TXvfb() {
    int fds[2];
    if (pipe(fds) != 0) return;
    fcntl(fds[0], F_SETFD, FD_CLOEXEC);
    const std::string fd = std::to_string(fds[1]);
    const char* argv[] = {"Xvfb",        "-displayfd", fd.c_str(), "-screen",  "0",
                          "1024x768x24", "-nolisten",  "tcp",      "-noreset", nullptr};
    if (posix_spawnp(&FPid, "Xvfb", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) {
      FPid = -1;
    }
    close(fds[1]);
    std::string number;
    pollfd ready{fds[0], POLLIN, 0};
    char c = 0;
    while (FPid > 0 && poll(&ready, 1, 20000) == 1 && read(fds[0], &c, 1) == 1 && c != '\n') {
      number += c;
    }
    close(fds[0]);
    if (!number.empty()) FDisplay = ":" + QString::fromStdString(number);
  }
  ~TXvfb() {
    if (FPid > 0) {
      kill(FPid, SIGTERM);
      waitpid(FPid, nullptr, 0);
    }
  }
  TXvfb(const TXvfb&) = delete;
  TXvfb& operator=(const TXvfb&) = delete;

  const QString& Display() const { return FDisplay; }

 private:
  pid_t FPid = -1;
  QString FDisplay;
};

class ExecutableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (QStandardPaths::findExecutable("Xvfb").isEmpty() ||
        QStandardPaths::findExecutable("xdotool").isEmpty()) {
      GTEST_SKIP() << "Xvfb and xdotool are needed (tools/install-deps.sh installs them)";
    }
    ASSERT_FALSE(FXvfb.Display().isEmpty()) << "Xvfb did not start";
    FProgram = FFolder.filePath("quillby");
    ASSERT_TRUE(QFile::copy(QUILLBY_EXECUTABLE, FProgram));
    CreateStoreFile(FFolder.filePath("quillby.mdb").toStdString());
    TQuillbyData(FProgram.toStdString()).CreateUser("Ann Example", "ann", "secret");

    FEnvironment = QProcessEnvironment::systemEnvironment();
    FEnvironment.insert("DISPLAY", FXvfb.Display());
    FEnvironment.remove("QT_QPA_PLATFORM");
    FEnvironment.remove("WAYLAND_DISPLAY");
    FEnvironment.insert("XDG_CONFIG_HOME", FFolder.filePath("config"));
    FEnvironment.insert("HOME", FElsewhere.path());
  }

  void TearDown() override {
    if (FQuillby.state() != QProcess::NotRunning) {
      FQuillby.terminate();
      if (!FQuillby.waitForFinished(5000)) FQuillby.kill();
      FQuillby.waitForFinished(5000);
    }
  }

  // Runs xdotool on the test's display; true when it succeeded.
  bool Xdo(const QStringList& arguments) {
    QProcess xdotool;
    xdotool.setProcessEnvironment(FEnvironment);
    xdotool.start("xdotool", arguments);
    return xdotool.waitForFinished(10000) && xdotool.exitStatus() == QProcess::NormalExit &&
           xdotool.exitCode() == 0;
  }

  // Runs xdotool and returns what it printed, empty when it failed.
  QString XdoOutput(const QStringList& arguments) {
    QProcess xdotool;
    xdotool.setProcessEnvironment(FEnvironment);
    xdotool.start("xdotool", arguments);
    if (!xdotool.waitForFinished(10000) || xdotool.exitCode() != 0) return {};
    return QString::fromUtf8(xdotool.readAllStandardOutput()).trimmed();
  }

  // Waits until the window of that title is on screen and has the keyboard focus, so that
  // the keys typed next reach it.
  bool WindowFocused(const QString& title) {
    return WaitFor(
        [&] {
          return FQuillby.state() == QProcess::Running &&
                 Xdo({"search", "--onlyvisible", "--name", "^" + title}) &&
                 XdoOutput({"getwindowfocus", "getwindowname"}).startsWith(title);
        },
        30000);
  }

  TXvfb FXvfb;
  QTemporaryDir FFolder;
  QTemporaryDir FElsewhere;
  QString FProgram;
  QProcessEnvironment FEnvironment;
  QProcess FQuillby;
};

TEST_F(ExecutableTest, SignsInAndCalculatesThroughTheKeyboard) {
  FQuillby.setProcessEnvironment(FEnvironment);
  FQuillby.setWorkingDirectory(FElsewhere.path());
  FQuillby.setProcessChannelMode(QProcess::ForwardedChannels);
  FQuillby.start(FProgram, {});
  ASSERT_TRUE(FQuillby.waitForStarted(10000));

  ASSERT_TRUE(WindowFocused("Login")) << "the login dialog never showed";
  // The focus starts in the username box.
  ASSERT_TRUE(Xdo({"type", "--delay", "20", "ann"}));
  ASSERT_TRUE(Xdo({"key", "Tab"}));
  ASSERT_TRUE(Xdo({"type", "--delay", "20", "secret"}));
  ASSERT_TRUE(Xdo({"key", "Return"}));
  ASSERT_TRUE(WindowFocused("Quillby Desktop")) << "the desktop never showed";

  // The focus starts in the rent box; four tabs lead to the salary, four more to Calculate.
  ASSERT_TRUE(Xdo({"type", "--delay", "20", "1800"}));
  ASSERT_TRUE(Xdo({"key", "--delay", "20", "Tab", "Tab", "Tab", "Tab"}));
  ASSERT_TRUE(Xdo({"type", "--delay", "20", "60000"}));
  ASSERT_TRUE(Xdo({"key", "--delay", "20", "Tab", "Tab", "Tab", "Tab", "space"}));

  // The calculator saved the figures for Ann in the store beside the program.
  TQuillbyData data(FProgram.toStdString());
  ASSERT_TRUE(data.VerifyLogin("ann", "secret"));
  TDebtFigures figures;
  ASSERT_TRUE(WaitFor([&] { return data.LoadDebtCalc(0, figures); }, 30000));
  EXPECT_EQ(figures.Rent, Currency::FromUnits(1800));
  EXPECT_EQ(figures.GrossSal, Currency::FromUnits(60000));
  EXPECT_EQ(figures.CrCard, Currency());
  EXPECT_EQ(FQuillby.state(), QProcess::Running);
  EXPECT_FALSE(QFile::exists(QDir(FElsewhere.path()).filePath("quillby.mdb")));
}

}  // namespace
