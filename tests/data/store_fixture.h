#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "data/store_file.h"
#include "platform/codepage.h"

// A folder of its own under the temporary directory, removed with everything in it.
class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "quillby-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    FPath = pattern;
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(FPath, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::string& Path() const { return FPath; }
  std::string operator/(const std::string& name) const { return FPath + "/" + name; }

 private:
  std::string FPath;
};

// Rows of a query through SQLite directly, each value as text ("NULL" for null).
inline std::vector<std::vector<std::string>> Query(const std::string& file,
                                                   const std::string& sql) {
  sqlite3* db = nullptr;
  std::vector<std::vector<std::string>> rows;
  if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    ADD_FAILURE() << "cannot open " << file;
    return rows;
  }
  sqlite3_busy_timeout(db, 5000);
  char* error = nullptr;
  const int rc = sqlite3_exec(
      db, sql.c_str(),
      [](void* out, int n, char** values, char**) {
        auto& r = *static_cast<std::vector<std::vector<std::string>>*>(out);
        r.emplace_back();
        for (int i = 0; i < n; ++i) r.back().push_back(values[i] ? values[i] : "NULL");
        return 0;
      },
      &rows, &error);
  if (rc != SQLITE_OK) ADD_FAILURE() << sql << ": " << (error ? error : "?");
  sqlite3_free(error);
  sqlite3_close(db);
  return rows;
}

inline std::string Count(const std::string& file, const std::string& table) {
  return Query(file, "SELECT count(*) FROM " + table)[0][0];
}

// A fresh store beside a pretend executable in a folder of its own; text in code page 1252.
class StoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::SetLocaleProvider([] { return std::string("en_US"); });
    CreateStoreFile(Store());
  }
  void TearDown() override { platform::SetLocaleProvider(nullptr); }

  std::string Executable() const { return FFolder / "quillby"; }
  std::string Store() const { return FFolder / "quillby.mdb"; }

  TempFolder FFolder;
};
