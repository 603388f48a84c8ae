#pragma once

// A private X server and the xdotool calls that work a program on it through real key events.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <string>

#include "gui_support.h"

extern char** environ;

// An Xvfb server on a display number it picks itself; stopped when this goes away. It never
// resets when its last client leaves, so a program connecting just then still finds it.
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

// The environment of a program under test on that display: X11 only, with a settings folder and
// a home of the test's own, never the user's.
inline QProcessEnvironment ProgramEnvironment(const QString& Display, const QString& ConfigHome,
                                              const QString& Home) {
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("DISPLAY", Display);
  environment.remove("QT_QPA_PLATFORM");
  environment.remove("WAYLAND_DISPLAY");
  environment.insert("XDG_CONFIG_HOME", ConfigHome);
  environment.insert("HOME", Home);
  return environment;
}

// Starts the program in that environment and working directory; true once it runs.
inline bool StartProgram(QProcess& Process, const QString& Program,
                         const QProcessEnvironment& Environment, const QString& WorkingDirectory) {
  Process.setProcessEnvironment(Environment);
  Process.setWorkingDirectory(WorkingDirectory);
  Process.setProcessChannelMode(QProcess::ForwardedChannels);
  Process.start(Program, {});
  return Process.waitForStarted(10000);
}

// xdotool on a display, with the environment the program under test runs in.
class TXdo {
 public:
  explicit TXdo(const QProcessEnvironment& Environment) : FEnvironment(Environment) {}

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

  // Waits until the program's window of that title is on screen and has the keyboard focus, so that
  // the keys typed next reach it.
  bool WindowFocused(const QProcess& Program, const QString& title) {
    return WaitFor(
        [&] {
          return Program.state() == QProcess::Running &&
                 Xdo({"search", "--onlyvisible", "--name", "^" + title}) &&
                 XdoOutput({"getwindowfocus", "getwindowname"}).startsWith(title);
        },
        30000);
  }

 private:
  QProcessEnvironment FEnvironment;
};
