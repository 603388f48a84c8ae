#include "script_server.h"

#include "net_fixture.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <stdexcept>

namespace nettest {

namespace {

// No test waits longer than this for its client; a stuck client fails the test, not the suite.
constexpr int kPatienceMs = 10000;

}  // namespace

ScriptServer::ScriptServer(std::vector<Script> scripts) : FScripts(std::move(scripts)) {
  FReceived.resize(FScripts.size());
  FDone.resize(FScripts.size(), false);
  FListener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (FListener < 0 ||
      bind(FListener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(FListener, 8) != 0 || pipe(FStopPipe) != 0) {
    throw std::runtime_error(std::string("script server: ") + std::strerror(errno));
  }
  socklen_t length = sizeof address;
  getsockname(FListener, reinterpret_cast<sockaddr*>(&address), &length);
  FPort = ntohs(address.sin_port);
  FThread = std::thread([this] { Run(); });
}

ScriptServer::~ScriptServer() {
  const char stop = 1;
  (void)!write(FStopPipe[1], &stop, 1);
  FThread.join();
  close(FListener);
  close(FStopPipe[0]);
  close(FStopPipe[1]);
}

std::string ScriptServer::Received(size_t connection) {
  std::unique_lock lock(FMutex);
  FChanged.wait_for(lock, std::chrono::milliseconds(kPatienceMs),
                    [&] { return connection < FDone.size() && FDone[connection]; });
  return connection < FReceived.size() ? FReceived[connection] : std::string();
}

size_t ScriptServer::Accepted() {
  std::lock_guard lock(FMutex);
  size_t count = 0;
  for (size_t i = 0; i < FDone.size(); ++i) count += FDone[i] || !FReceived[i].empty();
  return count;
}

void ScriptServer::Run() {
  for (size_t index = 0; index < FScripts.size(); ++index) {
    pollfd fds[2] = {{FListener, POLLIN, 0}, {FStopPipe[0], POLLIN, 0}};
    if (poll(fds, 2, -1) <= 0 || (fds[1].revents & POLLIN) != 0) return;
    const int fd = accept4(FListener, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) return;
    Play(fd, FScripts[index], index);
    close(fd);
    std::lock_guard lock(FMutex);
    FDone[index] = true;
    FChanged.notify_all();
  }
}

void ScriptServer::Play(int fd, const Script& script, size_t index) {
  std::string unread;  // received and not yet consumed by a step
  // Takes one block; false when the client closed, the test is stopping, or it took too long.
  auto receive = [&]() {
    pollfd fds[2] = {{fd, POLLIN, 0}, {FStopPipe[0], POLLIN, 0}};
    if (poll(fds, 2, kPatienceMs) <= 0 || (fds[1].revents & POLLIN) != 0) return false;
    char buffer[65536];
    const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) return false;
    unread.append(buffer, static_cast<size_t>(n));
    std::lock_guard lock(FMutex);
    FReceived[index].append(buffer, static_cast<size_t>(n));
    return true;
  };
  auto consume_until = [&](const std::string& marker) {
    size_t at;
    while ((at = unread.find(marker)) == std::string::npos) {
      if (!receive()) return false;
    }
    unread.erase(0, at + marker.size());
    return true;
  };
  for (const Step& step : script) {
    switch (step.kind) {
      case Step::kSend:
        if (send(fd, step.text.data(), step.text.size(), MSG_NOSIGNAL) < 0) return;
        break;
      case Step::kLine:
        if (!consume_until("\n")) return;
        break;
      case Step::kUntil:
        if (!consume_until(step.text)) return;
        break;
      case Step::kHttpRequest: {
        size_t end;
        while ((end = unread.find("\r\n\r\n")) == std::string::npos) {
          if (!receive()) return;
        }
        size_t length = 0;
        const size_t at = unread.substr(0, end).find("Content-Length: ");
        if (at != std::string::npos) length = std::stoul(unread.substr(at + 16));
        while (unread.size() < end + 4 + length) {
          if (!receive()) return;
        }
        unread.erase(0, end + 4 + length);
        break;
      }
      case Step::kClose:
        return;
      case Step::kSilent:
        break;
      case Step::kPause: {
        // Sleeps in poll on the stop pipe, so a stopping test does not wait for it.
        pollfd stop = {FStopPipe[0], POLLIN, 0};
        if (poll(&stop, 1, std::stoi(step.text)) != 0) return;
        break;
      }
      case Step::kFlood: {
        // Large sends keep the client's socket readable all the time.
        std::string burst;
        while (burst.size() < 65536) burst += step.text;
        for (;;) {
          pollfd fds[2] = {{fd, POLLOUT, 0}, {FStopPipe[0], POLLIN, 0}};
          if (poll(fds, 2, kPatienceMs) <= 0 || (fds[1].revents & POLLIN) != 0) return;
          if (send(fd, burst.data(), burst.size(), MSG_NOSIGNAL | MSG_DONTWAIT) < 0 &&
              errno != EAGAIN) {
            return;
          }
        }
      }
    }
  }
  while (receive()) {
  }
}

}  // namespace nettest

namespace nettest {

Script MailServer(int Recipients, std::vector<std::string> Replace) {
  std::vector<std::string> replies = {"250-mail.example\r\n250 AUTH LOGIN\r\n",
                                      "334 VXNlcm5hbWU6\r\n",
                                      "334 UGFzc3dvcmQ6\r\n",
                                      "235 2.7.0 Accepted\r\n",
                                      "250 Flushed\r\n",
                                      "250 OK\r\n"};
  for (int i = 0; i < Recipients; ++i) replies.push_back("250 OK\r\n");
  replies.push_back("354 Go ahead\r\n");
  for (size_t i = 0; i < Replace.size() && i < replies.size(); ++i) {
    if (!Replace[i].empty()) replies[i] = Replace[i];
  }
  Script script = {Send("220 mail.example ESMTP\r\n")};
  for (const std::string& reply : replies) {
    script.push_back(Line());
    script.push_back(Send(reply));
  }
  script.push_back(Until("\r\n.\r\n"));
  script.push_back(Send("250 Queued\r\n"));
  return script;
}

Script WebServer(const std::string& Reply) { return {HttpRequest(), Send(Reply), Close()}; }

std::string Found(const std::string& Location) {
  return "HTTP/1.1 302 Found\r\nLocation: " + Location + "\r\nContent-Length: 0\r\n\r\n";
}

uint16_t UnusedPort() {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  close(fd);
  return ntohs(address.sin_port);
}

}  // namespace nettest
