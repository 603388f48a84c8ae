// One complete SMTP submission by TIdSMTP against the same submission by swaks, and one
// PostForm against the same post by curl, on the same loopback peers, plain and over TLS
// (STARTTLS beside swaks --tls, HTTPS beside curl, both verifying the certificate). Each
// conversation is timed on the peer's side, from accept to close, so process start-up does not
// count.
//
// Usage: bench_net [repetitions]   (default 100)

#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

#include "bench/summary.h"
#include "net/errors.h"
#include "net/http.h"
#include "net/smtp.h"
#include "peer_process.h"
#include "tests/net/mailbox.h"

namespace {

const char* kUser = "desktop@quillby.example";
const char* kPassword = "qb2026";

const std::vector<std::pair<std::string, std::string>> kFields = {
    {"FldUserType", "1"},           {"FirstName", "Jane Doe"}, {"EmailAddress", "jane@example.org"},
    {"StreetAddress", "1 Main St"}, {"ZipCode", "12345"},      {"HomePhone", "555-0100"},
    {"BestTime", "evenings"},       {"DebtAmount", "$10,000"}, {"ActionButton", "quillbyapp"},
};

void Fill(net::TIdMessage& message) {
  message.From = nettest::Mailbox("Jane Doe", "jane@example.org");
  nettest::AddMailbox(message.Recipients, "Bob Friend", "bob@example.org");
  nettest::AddMailbox(message.BccList, "", "community@quillby.example");
  message.Subject = "A friend thought of you";
  message.ContentType = "text/html";
  std::string paragraph;
  for (int i = 0; i < 60; ++i) paragraph += "Your friend Jane thinks you would like Quillby. ";
  message.Body = {"<html><body>", "<p>" + paragraph + "</p>", "</body></html>"};
}

std::vector<double> Timings(const std::filesystem::path& file) {
  std::vector<double> values;
  std::ifstream in(file);
  double value;
  while (in >> value) values.push_back(value * 1000.0);
  return values;
}

void Run(std::vector<std::string> args) {
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t pid;
  if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
    int status;
    waitpid(pid, &status, 0);
  }
  posix_spawn_file_actions_destroy(&actions);
}

// The timings the peer added since the last call; the peer records a conversation just after
// the client has gone, so wait until all of them are in.
std::vector<double> Take(const std::filesystem::path& file, size_t& seen, int expected) {
  std::vector<double> all = Timings(file);
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (all.size() < seen + static_cast<size_t>(expected) &&
         std::chrono::steady_clock::now() < give_up) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    all = Timings(file);
  }
  std::vector<double> fresh(all.begin() + static_cast<std::ptrdiff_t>(std::min(seen, all.size())),
                            all.end());
  seen = all.size();
  return fresh;
}

}  // namespace

int main(int argc, char** argv) {
  const int repetitions = argc > 1 ? std::atoi(argv[1]) : 100;
  char pattern[] = "/tmp/quillby-bench-XXXXXX";
  const std::filesystem::path folder = mkdtemp(pattern);
  std::filesystem::create_directory(folder / "smtp");
  std::filesystem::create_directory(folder / "http");
  std::filesystem::create_directory(folder / "smtps");
  std::filesystem::create_directory(folder / "https");
  {
    peers::PeerProcess smtp_peer(
        {PEERS_DIR "/smtp_peer.py", (folder / "smtp").string(), kUser, kPassword});
    peers::PeerProcess http_peer({PEERS_DIR "/http_peer.py", (folder / "http").string()});
    peers::PeerProcess smtps_peer(
        {PEERS_DIR "/tls_smtp_peer.py", (folder / "smtps").string(), kUser, kPassword, "starttls"});
    peers::PeerProcess https_peer(
        {PEERS_DIR "/http_peer.py", (folder / "https").string(), "--test-tls"});
    const auto smtp_timings = folder / "smtp" / "timings.txt";
    const auto http_timings = folder / "http" / "timings.txt";
    const auto smtps_timings = folder / "smtps" / "timings.txt";
    const auto https_timings = folder / "https" / "timings.txt";
    const std::string smtps_ca = (folder / "smtps" / "ca.pem").string();
    const std::string https_ca = (folder / "https" / "ca.pem").string();
    size_t smtp_seen = 0;
    size_t http_seen = 0;
    size_t smtps_seen = 0;
    size_t https_seen = 0;

    // The same message text for swaks, as TIdSMTP puts it on the wire.
    {
      net::TIdMessage message;
      Fill(message);
      message.ExtraHeaders.SetValue("X-Mailer", "Quillby Desktop");
      std::ofstream out(folder / "message.txt", std::ios::binary);
      message.WriteText([&](std::string_view line) { out << line << "\r\n"; });
    }

    // The two clients take turns, so a change in the machine's load touches both alike.
    const std::string server = "127.0.0.1:" + std::to_string(smtp_peer.Port());
    const std::string url =
        "http://127.0.0.1:" + std::to_string(http_peer.Port()) + "/signup/dbsignup.html";
    const std::string smtps_server = "127.0.0.1:" + std::to_string(smtps_peer.Port());
    const std::string https_url =
        "https://127.0.0.1:" + std::to_string(https_peer.Port()) + "/signup/dbsignup.html";
    std::vector<double> ours_smtp, swaks, ours_http, curl;
    std::vector<double> ours_smtps, swaks_tls, ours_https, curl_https;
    auto add = [](std::vector<double>& to, const std::vector<double>& from) {
      to.insert(to.end(), from.begin(), from.end());
    };
    // One client of each kind for the whole run, as the window keeps its two.
    net::TIdHTTP http;
    http.Host = "127.0.0.1";
    http.Port = http_peer.Port();
    net::TIdHTTP https;
    https.Host = "127.0.0.1";
    https.Port = https_peer.Port();
    https.UseTLS = true;
    https.TLSCAFile = https_ca;
    net::TIdSMTP smtp;
    smtp.Host = "127.0.0.1";
    smtp.Port = smtp_peer.Port();
    smtp.Username = kUser;
    smtp.Password = kPassword;
    net::TIdSMTP smtps;
    smtps.Host = "127.0.0.1";
    smtps.Port = smtps_peer.Port();
    smtps.Username = kUser;
    smtps.Password = kPassword;
    smtps.Security = net::msStartTLS;
    smtps.TLSCAFile = smtps_ca;
    auto submit = [](net::TIdSMTP& client) {
      net::TIdMessage message;
      Fill(message);
      client.Connect();
      client.Authenticate();
      client.Send(message);
      client.Disconnect();
    };
    auto post = [](net::TIdHTTP& client) {
      net::TIdMultiPartFormDataStream body;
      for (const auto& [name, value] : kFields) body.AddField(name, value);
      try {
        client.PostForm("/signup/dbsignup.html", body);
      } catch (const net::EIdHTTPProtocolException&) {
        // The 302 the service answers with.
      }
    };
    auto swaks_args = [&](const std::string& to) {
      return std::vector<std::string>{"swaks",
                                      "--server",
                                      to,
                                      "--helo",
                                      "Quillby",
                                      "--auth",
                                      "LOGIN",
                                      "--auth-user",
                                      kUser,
                                      "--auth-password",
                                      kPassword,
                                      "--from",
                                      "jane@example.org",
                                      "--to",
                                      "bob@example.org,community@quillby.example",
                                      "--data",
                                      "@" + (folder / "message.txt").string(),
                                      "--hide-all"};
    };
    auto curl_args = [&](const std::string& to) {
      std::vector<std::string> args = {"curl",      "-s", "-o",     "/dev/null",
                                       "--http1.0", "-H", "Expect:"};
      for (const auto& [name, value] : kFields) {
        args.push_back("-F");
        args.push_back(name + "=" + value);
      }
      args.push_back(to);
      return args;
    };
    for (int i = 0; i < repetitions; ++i) {
      submit(smtp);
      add(ours_smtp, Take(smtp_timings, smtp_seen, 1));
      Run(swaks_args(server));
      add(swaks, Take(smtp_timings, smtp_seen, 1));

      submit(smtps);
      add(ours_smtps, Take(smtps_timings, smtps_seen, 1));
      std::vector<std::string> tls_args = swaks_args(smtps_server);
      for (const char* arg : {"--tls", "--tls-verify", "--tls-ca-path"}) tls_args.push_back(arg);
      tls_args.push_back(smtps_ca);
      Run(tls_args);
      add(swaks_tls, Take(smtps_timings, smtps_seen, 1));

      post(http);
      add(ours_http, Take(http_timings, http_seen, 1));
      Run(curl_args(url));
      add(curl, Take(http_timings, http_seen, 1));

      post(https);
      add(ours_https, Take(https_timings, https_seen, 1));
      std::vector<std::string> secure_curl = curl_args(https_url);
      secure_curl.insert(secure_curl.begin() + 1, {"--cacert", https_ca});
      Run(secure_curl);
      add(curl_https, Take(https_timings, https_seen, 1));
    }

    std::printf("Conversation time on the peer's side (accept to close), %d repetitions:\n",
                repetitions);
    Print("SMTP submission, TIdSMTP", ours_smtp);
    Print("SMTP submission, swaks", swaks);
    Print("HTTP form post, TIdHTTP::PostForm", ours_http);
    Print("HTTP form post, curl", curl);
    Print("SMTP with STARTTLS, TIdSMTP", ours_smtps);
    Print("SMTP with STARTTLS, swaks --tls", swaks_tls);
    Print("HTTPS form post, TIdHTTP::PostForm", ours_https);
    Print("HTTPS form post, curl", curl_https);
  }
  std::filesystem::remove_all(folder);
  return 0;
}
