#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A server on 127.0.0.1 that plays one script per accepted connection and records every byte
// it received on each. After its script a connection is read until the client closes it.
namespace nettest {

struct Step {
  enum Kind { kSend, kLine, kUntil, kHttpRequest, kClose, kSilent, kFlood, kPause } kind;
  std::string text;
};
using Script = std::vector<Step>;

inline Step Send(std::string bytes) { return {Step::kSend, std::move(bytes)}; }
// Reads one line, up to and including its LF.
inline Step Line() { return {Step::kLine, {}}; }
// Reads until the bytes have arrived ("\r\n.\r\n" ends a mail message).
inline Step Until(std::string marker) { return {Step::kUntil, std::move(marker)}; }
// Reads a request head and as many body bytes as its Content-Length says.
inline Step HttpRequest() { return {Step::kHttpRequest, {}}; }
// Closes the connection at once.
inline Step Close() { return {Step::kClose, {}}; }
// Reads whatever comes and answers nothing until the client closes.
inline Step Silent() { return {Step::kSilent, {}}; }
// Sends the bytes again and again until the client closes.
inline Step Flood(std::string bytes) { return {Step::kFlood, std::move(bytes)}; }
// Answers nothing for the given time, then goes on with the script: a slow server.
inline Step Pause(int milliseconds) { return {Step::kPause, std::to_string(milliseconds)}; }

class ScriptServer {
 public:
  explicit ScriptServer(std::vector<Script> scripts);
  ~ScriptServer();
  ScriptServer(const ScriptServer&) = delete;
  ScriptServer& operator=(const ScriptServer&) = delete;

  uint16_t Port() const { return FPort; }
  // The bytes received on the connection, once the client has closed it.
  std::string Received(size_t connection = 0);
  // The number of connections accepted so far.
  size_t Accepted();

 private:
  void Run();
  void Play(int fd, const Script& script, size_t index);

  int FListener = -1;
  int FStopPipe[2] = {-1, -1};
  uint16_t FPort = 0;
  std::vector<Script> FScripts;
  std::mutex FMutex;
  std::condition_variable FChanged;
  std::vector<std::string> FReceived;
  std::vector<bool> FDone;
  std::thread FThread;
};

// The mail server's side of one accepted submission with AUTH LOGIN and the given number of
// recipients; a non-empty entry of Replace stands for the reply at its place (EHLO first).
Script MailServer(int Recipients, std::vector<std::string> Replace = {});
// A web server that reads one request, sends the reply and closes.
Script WebServer(const std::string& Reply);
// A redirect reply to that location.
std::string Found(const std::string& Location);

// A port on 127.0.0.1 where nothing listens.
uint16_t UnusedPort();

}  // namespace nettest
