#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/exception.h"

struct sqlite3;
struct sqlite3_stmt;

namespace sqlite {

// A failure reported by SQLite: its primary and extended result codes and its own text.
class Error : public Exception {
 public:
  Error(std::string message, int code, int extended_code, std::string sqlite_text)
      : Exception(std::move(message)),
        FCode(code),
        FExtendedCode(extended_code),
        FSqliteText(std::move(sqlite_text)) {}
  int Code() const { return FCode; }
  int ExtendedCode() const { return FExtendedCode; }
  // SQLite's own message, e.g. "CHECK constraint failed: ...".
  const std::string& SqliteText() const { return FSqliteText; }

 private:
  int FCode;
  int FExtendedCode;
  std::string FSqliteText;
};

// An open database connection; closed by the destructor.
class Database {
 public:
  Database() = default;
  // Opens `path` with the given sqlite3_open_v2 flags; throws Error naming the file.
  Database(const std::string& path, int flags);
  ~Database();
  Database(Database&& other) noexcept;
  Database& operator=(Database&& other) noexcept;
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  explicit operator bool() const { return FHandle != nullptr; }
  sqlite3* Handle() const { return FHandle; }
  const std::string& Path() const { return FPath; }

  // Runs one or more statements that bind nothing.
  void Exec(const char* sql);
  bool ReadOnly() const;

  // Throws Error for `rc`, with `what` before SQLite's text and the file's path after it.
  [[noreturn]] void Fail(int rc, std::string_view what) const;

 private:
  sqlite3* FHandle = nullptr;
  std::string FPath;
};

// A prepared statement; finalized by the destructor.
class Statement {
 public:
  Statement() = default;
  Statement(Database& db, std::string_view sql);
  ~Statement();
  Statement(Statement&& other) noexcept;
  Statement& operator=(Statement&& other) noexcept;
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  explicit operator bool() const { return FHandle != nullptr; }

  // Parameters count from 1. Text is copied by SQLite.
  void Bind(int index, int64_t value);
  void Bind(int index, std::string_view utf8);
  // One step: true when a row is ready, false when done. Throws Error otherwise.
  bool Step();
  // Ready for the next execution; keeps no bound values.
  void Reset() noexcept;

  bool IsNull(int column) const;
  int64_t Int64(int column) const;
  std::string Text(int column) const;

 private:
  Database* FDb = nullptr;
  sqlite3_stmt* FHandle = nullptr;
};

// Resets a statement on every way out of a scope, so it never holds a read lock.
class ResetGuard {
 public:
  explicit ResetGuard(Statement& statement) : FStatement(statement) {}
  ~ResetGuard() { FStatement.Reset(); }
  ResetGuard(const ResetGuard&) = delete;
  ResetGuard& operator=(const ResetGuard&) = delete;

 private:
  Statement& FStatement;
};

// BEGIN IMMEDIATE on construction; rolled back by the destructor unless committed.
class Transaction {
 public:
  explicit Transaction(Database& db);
  ~Transaction();
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;
  void Commit();

 private:
  Database& FDb;
  bool FOpen = false;
};

}  // namespace sqlite
