// Sign-in lookups at 1,000 and 100,000 accounts, and the cost of one feedback append with an
// empty HelpImprove table and with 1,000,000 rows in it.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <filesystem>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>

#include "data/md5.h"
#include "data/quillby_data.h"
#include "data/store_file.h"
#include "platform/codepage.h"
#include "platform/utf8.h"

namespace {

class Folder {
 public:
  Folder() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "quillby-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    FPath = pattern;
  }
  ~Folder() {
    std::error_code ignored;
    std::filesystem::remove_all(FPath, ignored);
  }
  const std::string& Path() const { return FPath; }

 private:
  std::string FPath;
};

void Exec(sqlite3* db, const char* sql) {
  char* error = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
    const std::string message = error ? error : "?";
    sqlite3_free(error);
    throw std::runtime_error(message);
  }
}

// A store in a folder of its own, filled in one transaction of raw inserts.
struct Store {
  Folder folder;
  std::string file;

  Store(int accounts, int feedback_rows) {
    file = folder.Path() + "/quillby.mdb";
    CreateStoreFile(file);
    sqlite3* db = nullptr;
    sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
    Exec(db, "BEGIN");
    sqlite3_stmt* user = nullptr;
    sqlite3_prepare_v2(db,
                       "INSERT INTO Users (FULLNAME, LOGIN, PASSWORD, LOGINKEY, FULLNAMEKEY) "
                       "VALUES (?1, ?2, ?3, ?4, ?5)",
                       -1, &user, nullptr);
    for (int i = 0; i < accounts; ++i) {
      const std::string full_name = "Account Holder " + std::to_string(i);
      const std::string login = "User" + std::to_string(i);
      const std::string digest = MD5Hex("pw" + std::to_string(i));
      const std::string login_key = platform::FoldCase(login);
      const std::string name_key = platform::FoldCase(full_name);
      sqlite3_bind_text(user, 1, full_name.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_text(user, 2, login.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_text(user, 3, digest.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_text(user, 4, login_key.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_text(user, 5, name_key.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_step(user);
      sqlite3_reset(user);
    }
    sqlite3_finalize(user);
    sqlite3_stmt* feedback = nullptr;
    sqlite3_prepare_v2(db,
                       "INSERT INTO HelpImprove (\"USER\", COMMENT, \"TIMESTAMP\") "
                       "VALUES (?1, 'A comment of some ordinary length, as people write them.', "
                       "'2026-01-01 12:00:00')",
                       -1, &feedback, nullptr);
    for (int i = 0; i < feedback_rows; ++i) {
      sqlite3_bind_int(feedback, 1, 1 + i % 1000);
      sqlite3_step(feedback);
      sqlite3_reset(feedback);
    }
    sqlite3_finalize(feedback);
    Exec(db, "COMMIT");
    sqlite3_close(db);
  }
};

Store& StoreWith(int accounts, int feedback_rows) {
  static std::map<std::pair<int, int>, std::unique_ptr<Store>> stores;
  auto& store = stores[{accounts, feedback_rows}];
  if (!store) store = std::make_unique<Store>(accounts, feedback_rows);
  return *store;
}

void VerifyLogin(benchmark::State& state) {
  platform::SetLocaleProvider([] { return std::string("en_US"); });
  const int accounts = static_cast<int>(state.range(0));
  TQuillbyData data(StoreWith(accounts, 0).file);
  data.LoginExists("warm-up");
  int i = 0;
  for (auto _ : state) {
    const int n = (i++ * 7919) % accounts;
    // Typed in another letter case, with the right password.
    if (!data.VerifyLogin("USER" + std::to_string(n), "pw" + std::to_string(n))) {
      state.SkipWithError("sign-in failed");
      break;
    }
  }
}

void LoginExists(benchmark::State& state) {
  platform::SetLocaleProvider([] { return std::string("en_US"); });
  const int accounts = static_cast<int>(state.range(0));
  TQuillbyData data(StoreWith(accounts, 0).file);
  data.LoginExists("warm-up");
  int i = 0;
  for (auto _ : state) {
    const int n = (i++ * 7919) % (2 * accounts);  // half of them are not there
    benchmark::DoNotOptimize(data.LoginExists("user" + std::to_string(n)));
  }
}

void AddFeedback(benchmark::State& state) {
  platform::SetLocaleProvider([] { return std::string("en_US"); });
  TQuillbyData data(StoreWith(1, static_cast<int>(state.range(0))).file);
  data.VerifyLogin("user0", "pw0");
  const auto now = std::chrono::system_clock::now();
  for (auto _ : state) {
    data.AddFeedback(0, "It helped me a lot, thank you. Keep the calculator as it is.", now);
  }
}

BENCHMARK(VerifyLogin)->Arg(1000)->Arg(100000)->Unit(benchmark::kMicrosecond);
BENCHMARK(LoginExists)->Arg(1000)->Arg(100000)->Unit(benchmark::kMicrosecond);
BENCHMARK(AddFeedback)->Arg(0)->Arg(1000000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
