#include "data/sqlite.h"

#include <sqlite3.h>

#include <utility>

#include "platform/codepage.h"

namespace sqlite {

Database::Database(const std::string& path, int flags) : FPath(path) {
  // The store is a few pages, which SQLite's defaults would outweigh: a 20-page block for each
  // connection's cache and a lookaside buffer, about 130 kB. The settings are the process's and
  // are taken only before SQLite starts; afterwards they are refused and nothing changes.
  static const bool lean = [] {
    sqlite3_config(SQLITE_CONFIG_PAGECACHE, nullptr, 0, 0);
    sqlite3_config(SQLITE_CONFIG_LOOKASIDE, 0, 0);
    return true;
  }();
  (void)lean;
  const int rc = sqlite3_open_v2(path.c_str(), &FHandle, flags, nullptr);
  if (rc != SQLITE_OK) {
    // Even a failed open may allocate a handle that carries the message.
    const std::string text = FHandle ? sqlite3_errmsg(FHandle) : sqlite3_errstr(rc);
    sqlite3_close_v2(FHandle);
    FHandle = nullptr;
    throw Error(
        "The store file \"" + platform::Utf8ToAnsi(path) + "\" could not be opened: " + text + ".",
        rc & 0xff, rc, text);
  }
  sqlite3_extended_result_codes(FHandle, 1);
}

Database::~Database() { sqlite3_close_v2(FHandle); }

Database::Database(Database&& other) noexcept
    : FHandle(std::exchange(other.FHandle, nullptr)), FPath(std::move(other.FPath)) {}

Database& Database::operator=(Database&& other) noexcept {
  if (this != &other) {
    sqlite3_close_v2(FHandle);
    FHandle = std::exchange(other.FHandle, nullptr);
    FPath = std::move(other.FPath);
  }
  return *this;
}

void Database::Exec(const char* sql) {
  char* message = nullptr;
  const int rc = sqlite3_exec(FHandle, sql, nullptr, nullptr, &message);
  sqlite3_free(message);
  if (rc != SQLITE_OK) Fail(rc, "The store could not be used");
}

bool Database::ReadOnly() const { return sqlite3_db_readonly(FHandle, "main") == 1; }

void Database::Fail(int rc, std::string_view what) const {
  const std::string text = FHandle ? sqlite3_errmsg(FHandle) : sqlite3_errstr(rc);
  throw Error(std::string(what) + ": " + text + " (file \"" + platform::Utf8ToAnsi(FPath) + "\").",
              rc & 0xff, rc, text);
}

Statement::Statement(Database& db, std::string_view sql) : FDb(&db) {
  const int rc = sqlite3_prepare_v3(db.Handle(), sql.data(), static_cast<int>(sql.size()),
                                    SQLITE_PREPARE_PERSISTENT, &FHandle, nullptr);
  if (rc != SQLITE_OK) {
    sqlite3_finalize(FHandle);
    FHandle = nullptr;
    db.Fail(rc, "The store could not be read");
  }
}

Statement::~Statement() { sqlite3_finalize(FHandle); }

Statement::Statement(Statement&& other) noexcept
    : FDb(std::exchange(other.FDb, nullptr)), FHandle(std::exchange(other.FHandle, nullptr)) {}

Statement& Statement::operator=(Statement&& other) noexcept {
  if (this != &other) {
    sqlite3_finalize(FHandle);
    FDb = std::exchange(other.FDb, nullptr);
    FHandle = std::exchange(other.FHandle, nullptr);
  }
  return *this;
}

void Statement::Bind(int index, int64_t value) {
  const int rc = sqlite3_bind_int64(FHandle, index, value);
  if (rc != SQLITE_OK) FDb->Fail(rc, "A value could not be bound");
}

void Statement::Bind(int index, std::string_view utf8) {
  // A non-null pointer even for empty text, so that '' is stored rather than NULL.
  const int rc = sqlite3_bind_text64(FHandle, index, utf8.empty() ? "" : utf8.data(), utf8.size(),
                                     SQLITE_TRANSIENT, SQLITE_UTF8);
  if (rc != SQLITE_OK) FDb->Fail(rc, "A value could not be bound");
}

bool Statement::Step() {
  const int rc = sqlite3_step(FHandle);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  FDb->Fail(rc, "The store refused the operation");
}

void Statement::Reset() noexcept {
  if (FHandle == nullptr) return;
  sqlite3_reset(FHandle);
  sqlite3_clear_bindings(FHandle);
}

bool Statement::IsNull(int column) const {
  return sqlite3_column_type(FHandle, column) == SQLITE_NULL;
}

int64_t Statement::Int64(int column) const { return sqlite3_column_int64(FHandle, column); }

std::string Statement::Text(int column) const {
  const auto* text = sqlite3_column_text(FHandle, column);
  if (text == nullptr) return {};
  return std::string(reinterpret_cast<const char*>(text),
                     static_cast<size_t>(sqlite3_column_bytes(FHandle, column)));
}

Transaction::Transaction(Database& db) : FDb(db) {
  FDb.Exec("BEGIN IMMEDIATE");
  FOpen = true;
}

Transaction::~Transaction() {
  if (FOpen) sqlite3_exec(FDb.Handle(), "ROLLBACK", nullptr, nullptr, nullptr);
}

void Transaction::Commit() {
  FDb.Exec("COMMIT");
  FOpen = false;
}

}  // namespace sqlite
