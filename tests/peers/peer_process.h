#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

extern char** environ;

namespace peers {

// A peer program run by Debian's Python (the first python3 on the PATH may not see Debian's
// modules). It prints its port when it is ready; the peer is stopped when this object goes.
class PeerProcess {
 public:
  explicit PeerProcess(const std::vector<std::string>& args) {
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    std::vector<std::string> all = {"/usr/bin/python3"};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : all) argv.push_back(arg.data());
    argv.push_back(nullptr);
    const int rc = posix_spawn(&FPid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    if (rc != 0) {
      close(out[0]);
      throw std::runtime_error("cannot start " + args.front());
    }
    // Ready once the port line has arrived; wait for it on the pipe, never by sleeping.
    std::string text;
    while (text.find('\n') == std::string::npos) {
      pollfd p{out[0], POLLIN, 0};
      char buffer[64];
      ssize_t n = 0;
      if (poll(&p, 1, 30000) <= 0 || (n = read(out[0], buffer, sizeof buffer)) <= 0) break;
      text.append(buffer, static_cast<size_t>(n));
    }
    close(out[0]);
    if (text.find('\n') == std::string::npos) {
      Stop();
      throw std::runtime_error("peer did not start: " + args.front());
    }
    FPort = static_cast<uint16_t>(std::stoi(text));
  }
  ~PeerProcess() { Stop(); }
  PeerProcess(const PeerProcess&) = delete;
  PeerProcess& operator=(const PeerProcess&) = delete;

  uint16_t Port() const { return FPort; }

 private:
  void Stop() {
    if (FPid <= 0) return;
    kill(FPid, SIGTERM);
    waitpid(FPid, nullptr, 0);
    FPid = -1;
  }
  pid_t FPid = -1;
  uint16_t FPort = 0;
};

}  // namespace peers
