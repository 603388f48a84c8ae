#pragma once

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "net/connection.h"
#include "net/intercept.h"
#include "platform/clock.h"
#include "platform/codepage.h"
#include "script_server.h"

namespace nettest {

// What a connection hands its log: the bytes received in all, and the last event.
class TRecordedLog : public net::TIdConnectionIntercept {
 public:
  size_t Received = 0;
  std::string Last;
  void Connect() override { Last = "connect"; }
  void Disconnect() override { Last = "disconnect"; }
  void Send(std::string_view) override { Last = "send"; }
  void Status(std::string_view) override { Last = "status"; }
  void Receive(std::string_view block) override {
    Received += block.size();
    Last = "receive";
  }
};

// 9:05:00 on Sunday 7 March 2004, one hour ahead of UTC.
inline platform::LocalDateTime FixedMoment() {
  platform::LocalDateTime moment;
  moment.year = 2004;
  moment.month = 3;
  moment.day = 7;
  moment.hour = 9;
  moment.minute = 5;
  moment.second = 0;
  moment.millisecond = 71;
  moment.weekday = 0;
  moment.utc_offset_seconds = 3600;
  return moment;
}

// Makes every write to a regular file past its first `Bytes` fail for as long as it lives, as a
// full disk does (EFBIG instead of ENOSPC).
class TFileSizeLimit {
 public:
  explicit TFileSizeLimit(rlim_t Bytes) : FOldHandler(signal(SIGXFSZ, SIG_IGN)) {
    getrlimit(RLIMIT_FSIZE, &FOld);
    rlimit limit = FOld;
    limit.rlim_cur = Bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~TFileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &FOld);
    signal(SIGXFSZ, FOldHandler);
  }
  TFileSizeLimit(const TFileSizeLimit&) = delete;
  TFileSizeLimit& operator=(const TFileSizeLimit&) = delete;

 private:
  void (*FOldHandler)(int);
  rlimit FOld{};
};

// A fixed clock, an English locale with C time formats, short time limits, and a temporary
// working folder.
class NetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("LC_ALL", "C", 1);
    platform::SetClockProvider([this] { return FMoment; });
    platform::SetLocaleProvider([this] { return FLocale; });
    net::SetWaitLimit(std::chrono::milliseconds(1500));
    net::SetConversationLimit(std::chrono::milliseconds(3000));
    char pattern[] = "/tmp/quillby-net-XXXXXX";
    FFolder = mkdtemp(pattern);
    FOldFolder = std::filesystem::current_path();
    std::filesystem::current_path(FFolder);
  }
  void TearDown() override {
    std::filesystem::current_path(FOldFolder);
    std::filesystem::remove_all(FFolder);
    platform::SetClockProvider(nullptr);
    platform::SetLocaleProvider(nullptr);
    net::SetWaitLimit(net::kDefaultWaitLimit);
    net::SetConversationLimit(net::kDefaultConversationLimit);
  }
  static std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  platform::LocalDateTime FMoment = FixedMoment();
  std::string FLocale = "en_US";
  std::filesystem::path FFolder;
  std::filesystem::path FOldFolder;
};

}  // namespace nettest
