#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "data/quillby_data.h"
#include "store_fixture.h"

namespace {

using testing::HasSubstr;

struct Outcome {
  int status = -1;
  std::string output;  // stdout and stderr together
};

Outcome RunCommand(const std::string& command) {
  Outcome outcome;
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return outcome;
  std::array<char, 4096> buffer;
  size_t n;
  while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
    outcome.output.append(buffer.data(), n);
  const int status = pclose(pipe);
  outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return outcome;
}

std::string Mkdb(const std::string& arguments) {
  return std::string(QUILLBY_MKDB) + " " + arguments;
}

TEST(Mkdb, CreatesAStoreForItsOwnerOnlyThatTheSqliteToolReads) {
  TempFolder folder;
  const std::string store = folder / "quillby.mdb";
  const Outcome made = RunCommand("umask 000; " + Mkdb("'" + store + "'"));
  ASSERT_EQ(made.status, 0) << made.output;
  struct stat info {};
  ASSERT_EQ(stat(store.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0600u);
  // Nothing else is left behind, no journal either.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()),
                          std::filesystem::directory_iterator()),
            1);

  const Outcome tables = RunCommand("/usr/bin/sqlite3 '" + store + "' .tables");
  ASSERT_EQ(tables.status, 0) << tables.output;
  for (const char* table : {"Users", "DebtCalc", "Counselling", "HelpImprove"}) {
    EXPECT_THAT(tables.output, HasSubstr(table));
  }
  const struct {
    const char* table;
    const char* columns;
  } expected[] = {
      {"Users", "IID|FULLNAME|LOGIN|PASSWORD|LOGINKEY|FULLNAMEKEY"},
      {"DebtCalc", "USER|RENT|CRCARD|CARLOAN|OTHERLOAN|GROSSSAL|BONUS|OTHERSRC|ALIMONY"},
      {"Counselling",
       "USER|FULLNAME|EMAIL|STREETADDRESS|ZIPCODE|BESTPHONE|BESTTIME|DEBTAMOUNT|IID"},
      {"HelpImprove", "IID|USER|COMMENT|TIMESTAMP"},
  };
  for (const auto& e : expected) {
    const Outcome columns = RunCommand(
        "/usr/bin/sqlite3 '" + store +
        "' \"SELECT group_concat(name, '|') FROM pragma_table_info('" + e.table + "')\"");
    EXPECT_EQ(columns.output, std::string(e.columns) + "\n") << e.table;
  }
  // The plain tool can write it too: nothing in the file needs the program's own functions.
  const Outcome insert =
      RunCommand("/usr/bin/sqlite3 '" + store +
                 "' \"INSERT INTO HelpImprove (\\\"USER\\\", COMMENT) VALUES (1, 'x'); "
                 "PRAGMA integrity_check;\"");
  EXPECT_EQ(insert.status, 0) << insert.output;
  EXPECT_EQ(insert.output, "ok\n");

  // And the program works with it.
  platform::SetLocaleProvider([] { return std::string("en_US"); });
  TQuillbyData data(folder / "quillby.mdb");
  data.CreateUser("Kim", "kim", "pw");
  EXPECT_TRUE(data.VerifyLogin("KIM", "pw"));
  platform::SetLocaleProvider(nullptr);
}

TEST(Mkdb, NeverTouchesAnExistingFile) {
  TempFolder folder;
  const std::string file = folder / "quillby.mdb";
  std::ofstream(file) << "precious";
  ASSERT_EQ(chmod(file.c_str(), 0644), 0);
  const std::string dangling = folder / "link.mdb";
  ASSERT_EQ(symlink((folder / "nowhere.mdb").c_str(), dangling.c_str()), 0);

  for (const std::string& path : {file, dangling}) {
    const Outcome refused = RunCommand(Mkdb("'" + path + "'"));
    EXPECT_EQ(refused.status, 1) << path;
    EXPECT_THAT(refused.output, HasSubstr(path)) << path;
    EXPECT_THAT(refused.output, HasSubstr("exists")) << path;
  }
  std::ifstream in(file);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "precious");
  struct stat info {};
  ASSERT_EQ(stat(file.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0644u);
  EXPECT_FALSE(std::filesystem::exists(folder / "nowhere.mdb"));
}

TEST(Mkdb, ReportsOtherFailuresAndUsageErrors) {
  TempFolder folder;
  const Outcome no_folder = RunCommand(Mkdb("'" + (folder / "missing/quillby.mdb") + "'"));
  EXPECT_EQ(no_folder.status, 1);
  EXPECT_THAT(no_folder.output, HasSubstr("could not be created"));

  for (const char* arguments : {"", "a b", "''", "--help"}) {
    const Outcome usage = RunCommand(Mkdb(arguments));
    EXPECT_EQ(usage.status, 2) << arguments;
    EXPECT_THAT(usage.output, HasSubstr("usage: quillby-mkdb PATH")) << arguments;
  }
  EXPECT_TRUE(std::filesystem::is_empty(folder.Path()));
}

// The build's step that puts a store beside the program: creates one when none is there and
// leaves an existing file alone.
TEST(Mkdb, TheBuildStepNeverOverwritesAStore) {
  TempFolder folder;
  const std::string store = folder / "quillby.mdb";
  const std::string step = std::string("'") + QUILLBY_CMAKE + "' -DMKDB='" + QUILLBY_MKDB +
                           "' -DSTORE='" + store + "' -P '" + QUILLBY_MAKE_STORE + "'";
  const Outcome first = RunCommand(step);
  ASSERT_EQ(first.status, 0) << first.output;
  EXPECT_EQ(RunCommand("/usr/bin/sqlite3 '" + store + "' 'SELECT count(*) FROM Users'").output,
            "0\n");
  RunCommand("/usr/bin/sqlite3 '" + store +
             "' \"INSERT INTO Users (LOGIN, LOGINKEY, FULLNAMEKEY) VALUES ('keep', 'keep', '')\"");
  const Outcome second = RunCommand(step);
  EXPECT_EQ(second.status, 0) << second.output;
  EXPECT_EQ(RunCommand("/usr/bin/sqlite3 '" + store + "' 'SELECT LOGIN FROM Users'").output,
            "keep\n");
}

}  // namespace
