#include "data/quillby_data.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <limits>
#include <thread>

#include "data/md5.h"
#include "platform/executable_path.h"
#include "platform/registry.h"
#include "store_fixture.h"

namespace {

using testing::HasSubstr;

// The message of the failure `action` raises; fails the test when it raises none.
template <typename Action>
std::string FailureOf(Action&& action) {
  try {
    action();
  } catch (const EDatabaseError& e) {
    return e.Message();
  }
  ADD_FAILURE() << "no EDatabaseError";
  return {};
}

TEST(StorePath, TheDataModuleUsesTheStoreItIsGivenWhateverItsFolderIsCalled) {
  // A folder name may hold blanks and ";" like any other character.
  TempFolder root;
  const std::string folder = root / "quill by;x";
  std::filesystem::create_directory(folder);
  const std::string store = folder + "/quillby.mdb";
  CreateStoreFile(store);
  TQuillbyData data(store);
  data.CreateUser("Ann", "ann", "pw");
  EXPECT_EQ(data.DatabasePath(), store);
  EXPECT_EQ(Count(store, "Users"), "1");
}

TEST(StorePath, WithoutAPathTheRunningExecutableCountsNotTheWorkingDirectory) {
  const std::string exe = platform::ExecutablePath();
  EXPECT_EQ(exe, std::filesystem::canonical("/proc/self/exe").string());
  const std::string beside_exe = exe.substr(0, exe.rfind('/') + 1) + "quillby.mdb";
  ASSERT_FALSE(std::filesystem::exists(beside_exe)) << "the test folder holds a store";

  // A store in the working directory is not the one the program uses.
  TempFolder elsewhere;
  CreateStoreFile(elsewhere / "quillby.mdb");
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(elsewhere.Path());
  TQuillbyData data;
  const std::string message = FailureOf([&] { data.LoginExists("bob"); });
  std::filesystem::current_path(previous);
  EXPECT_EQ(data.DatabasePath(), beside_exe);
  EXPECT_THAT(message, HasSubstr("\"" + beside_exe + "\" does not exist"));
  EXPECT_FALSE(std::filesystem::exists(beside_exe));
}

TEST_F(StoreTest, CreatingTheDataModuleOpensNothing) {
  TempFolder empty;
  TQuillbyData data(empty / "quillby.mdb");
  EXPECT_EQ(data.CurrentUserId(), 0);
  EXPECT_FALSE(std::filesystem::exists(empty / "quillby.mdb"));
}

TEST_F(StoreTest, LookupsIgnoreTheCaseOfEveryLetterAndTakeTextAsData) {
  const struct {
    const char* stored;
    const char* typed;
    int code_page_locale;  // 0: Western (1252), 1: Cyrillic (1251)
  } cases[] = {
      {"bob", "BOB", 0},
      {"Bob", "bOb", 0},
      {"o'neil", "O'NEIL", 0},
      {"say \"hi\"", "SAY \"HI\"", 0},
      {"100%", "100%", 0},
      {"a_b", "A_B", 0},
      {"back\\slash", "BACK\\SLASH", 0},
      {"\xe9lodie", "\xc9LODIE", 0},  // élodie, ÉLODIE
      {"stra\xdf"
       "e",
       "STRA\xdf"
       "E",
       0},                                          // straße
      {"\xef\xe5\xf2\xf0", "\xcf\xc5\xd2\xd0", 1},  // петр, ПЕТР in 1251
  };
  for (const auto& c : cases) {
    platform::SetLocaleProvider(
        [&] { return std::string(c.code_page_locale == 1 ? "ru_RU" : "en_US"); });
    TempFolder folder;
    CreateStoreFile(folder / "quillby.mdb");
    TQuillbyData data(folder / "quillby.mdb");
    data.CreateUser("Someone else", "zed", "x");
    data.CreateUser(std::string("Name ") + c.stored, c.stored, "pw");
    const int id = data.CurrentUserId();
    data.CreateUser("Third", "zz", "x");

    EXPECT_TRUE(data.LoginExists(c.typed)) << c.stored;
    EXPECT_EQ(data.CurrentUserId(), id) << c.stored;
    EXPECT_EQ(data.CurrentUserFullName(), std::string("Name ") + c.stored);
    EXPECT_TRUE(data.FullNameExists(std::string("NAME ") + c.typed)) << c.stored;
    EXPECT_TRUE(data.VerifyLogin(c.typed, "pw")) << c.stored;
    // Whole values only: no prefix, no pattern.
    EXPECT_FALSE(data.LoginExists(std::string(c.typed) + "x")) << c.stored;
    EXPECT_FALSE(data.LoginExists(std::string(c.typed).substr(1))) << c.stored;
    EXPECT_FALSE(data.LoginExists("%")) << c.stored;
    EXPECT_FALSE(data.LoginExists("_")) << c.stored;
  }
}

TEST_F(StoreTest, TheStoreAndTheSettingsFileFindTheSameNames) {
  // A remembered password belongs to the user the store signs in, so both compare names alike.
  const struct {
    const char* locale;
    const char* stored;
    const char* typed;
  } cases[] = {
      {"el_GR", "\xF3\xEF\xF6\xEF\xF2", "\xD3\xCF\xD6\xCF\xD3"},  // σοφος, ΣΟΦΟΣ
      {"tr_TR", "\xDDnci", "inci"},                               // İnci, inci
      {"en_US", "\xC9lodie", "\xE9LODIE"},                        // Élodie, éLODIE
  };
  for (const auto& c : cases) {
    platform::SetLocaleProvider([&] { return std::string(c.locale); });
    TempFolder folder;
    CreateStoreFile(folder / "quillby.mdb");
    TQuillbyData data(folder / "quillby.mdb");
    data.CreateUser("Name", c.stored, "pw");
    platform::TRegistry registry(folder / "registry");
    ASSERT_TRUE(registry.OpenKey({"Software", "Quillby", "Logins", c.stored}, true));

    EXPECT_TRUE(data.LoginExists(c.typed)) << c.locale;
    EXPECT_TRUE(registry.KeyExists({"Software", "Quillby", "Logins", c.typed})) << c.locale;
  }
}

TEST_F(StoreTest, StoresNonAsciiTextAsUnicode) {
  {
    TQuillbyData data(Store());
    data.CreateUser("\xc9lodie M\xfcller", "\xe9lodie", "pw");
  }
  const auto rows = Query(Store(), "SELECT FULLNAME, LOGIN, PASSWORD FROM Users");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0], "\xc3\x89lodie M\xc3\xbcller");
  EXPECT_EQ(rows[0][1], "\xc3\xa9lodie");
  EXPECT_EQ(rows[0][2], MD5Hex("pw"));

  TQuillbyData again(Store());
  ASSERT_TRUE(again.VerifyLogin("\xc9LODIE", "pw"));
  EXPECT_EQ(again.CurrentUserFullName(), "\xc9lodie M\xfcller");
}

TEST_F(StoreTest, VerifyLoginComparesTheDigestAndMovesTheCursorOnlyOnAMatch) {
  TQuillbyData data(Store());
  data.CreateUser("Bob Builder", "bob", "Secret");
  const int bob = data.CurrentUserId();
  data.CreateUser("Ann Other", "ann", "other");
  const int ann = data.CurrentUserId();
  ASSERT_NE(bob, ann);

  EXPECT_FALSE(data.VerifyLogin("BOB", "secret"));  // the password's case counts
  EXPECT_EQ(data.CurrentUserId(), bob);             // but the login was found
  EXPECT_FALSE(data.VerifyLogin("nobody", "Secret"));
  EXPECT_EQ(data.CurrentUserId(), bob);
  EXPECT_TRUE(data.VerifyLogin("Ann", "other"));
  EXPECT_EQ(data.CurrentUserId(), ann);
  EXPECT_FALSE(data.LoginExists("nobody"));
  EXPECT_FALSE(data.FullNameExists("Bob"));
  EXPECT_EQ(data.CurrentUserId(), ann);
  EXPECT_TRUE(data.VerifyLogin("bob", "Secret"));
  EXPECT_EQ(data.CurrentUserId(), bob);
  EXPECT_EQ(data.CurrentUserFullName(), "Bob Builder");

  EXPECT_TRUE(data.VerifyLoginDigest("bob", MD5Hex("Secret")));
  EXPECT_FALSE(data.VerifyLoginDigest("ann", MD5Hex("Secret")));
  EXPECT_EQ(data.CurrentUserId(), ann);
  EXPECT_FALSE(data.VerifyLoginDigest("bob", "Secret"));
}

TEST_F(StoreTest, ALowercaseStoredDigestNeverMatches) {
  const std::string lower = "dc647eb65e6711e155375218212b3964";  // MD5 of "Password"
  Query(Store(),
        "INSERT INTO Users (FULLNAME, LOGIN, PASSWORD, LOGINKEY, FULLNAMEKEY) "
        "VALUES ('Low Case', 'low', '" +
            lower + "', 'low', 'low case')");
  TQuillbyData data(Store());
  EXPECT_FALSE(data.VerifyLogin("low", "Password"));
  EXPECT_TRUE(data.LoginExists("LOW"));
  EXPECT_FALSE(data.VerifyLoginDigest("low", MD5Hex("Password")));
  EXPECT_TRUE(data.VerifyLoginDigest("low", lower));
}

TEST_F(StoreTest, LongPasswordsAreDigestedWhole) {
  TQuillbyData data(Store());
  const std::string long_password = "twenty-one characters plus more";
  data.CreateUser("Long", "long", long_password);
  EXPECT_EQ(Query(Store(), "SELECT PASSWORD FROM Users")[0][0], MD5Hex(long_password));
  EXPECT_TRUE(data.VerifyLogin("long", long_password));
  EXPECT_FALSE(data.VerifyLogin("long", long_password.substr(0, 20)));
  EXPECT_FALSE(data.VerifyLogin("long", long_password + "!"));
}

TDebtFigures Figures(int64_t base) {
  TDebtFigures f;
  Currency* all[] = {&f.Rent,     &f.CrCard, &f.CarLoan,  &f.OtherLoan,
                     &f.GrossSal, &f.Bonus,  &f.OtherSrc, &f.Alimony};
  for (int i = 0; i < 8; ++i) *all[i] = Currency::FromRaw(base + i);
  return f;
}

void ExpectFigures(const TDebtFigures& f, const TDebtFigures& g) {
  EXPECT_EQ(f.Rent, g.Rent);
  EXPECT_EQ(f.CrCard, g.CrCard);
  EXPECT_EQ(f.CarLoan, g.CarLoan);
  EXPECT_EQ(f.OtherLoan, g.OtherLoan);
  EXPECT_EQ(f.GrossSal, g.GrossSal);
  EXPECT_EQ(f.Bonus, g.Bonus);
  EXPECT_EQ(f.OtherSrc, g.OtherSrc);
  EXPECT_EQ(f.Alimony, g.Alimony);
}

TEST_F(StoreTest, DebtFiguresKeepOneRowPerUserUnderTheCurrentUsersId) {
  TQuillbyData data(Store());
  data.CreateUser("First", "first", "pw");
  const int first = data.CurrentUserId();
  data.CreateUser("Second", "second", "pw");
  const int second = data.CurrentUserId();

  TDebtFigures untouched = Figures(777);
  EXPECT_FALSE(data.LoadDebtCalc(0, untouched));
  ExpectFigures(untouched, Figures(777));

  data.SaveDebtCalc(0, Figures(100));   // the current user: second
  data.SaveDebtCalc(-5, Figures(200));  // again, any id <= 0
  data.SaveDebtCalc(first, Figures(std::numeric_limits<int64_t>::max() - 7));

  EXPECT_EQ(Count(Store(), "DebtCalc"), "2");
  EXPECT_EQ(Query(Store(),
                  "SELECT count(*) FROM DebtCalc WHERE \"USER\" = " + std::to_string(second))[0][0],
            "1");
  TDebtFigures read;
  ASSERT_TRUE(data.LoadDebtCalc(0, read));
  ExpectFigures(read, Figures(200));
  ASSERT_TRUE(data.LoadDebtCalc(first, read));
  ExpectFigures(read, Figures(std::numeric_limits<int64_t>::max() - 7));
  // Exact ten-thousandths in the store, beyond what a double holds.
  EXPECT_EQ(Query(Store(),
                  "SELECT ALIMONY FROM DebtCalc WHERE \"USER\" = " + std::to_string(first))[0][0],
            std::to_string(std::numeric_limits<int64_t>::max()));

  data.SaveDebtCalc(second, Figures(std::numeric_limits<int64_t>::min()));
  ASSERT_TRUE(data.LoadDebtCalc(0, read));
  ExpectFigures(read, Figures(std::numeric_limits<int64_t>::min()));
}

TEST_F(StoreTest, EmptyDebtColumnsReadAsZero) {
  Query(Store(), "INSERT INTO DebtCalc (\"USER\", RENT) VALUES (42, 12345)");
  TQuillbyData data(Store());
  TDebtFigures read = Figures(9);
  ASSERT_TRUE(data.LoadDebtCalc(42, read));
  EXPECT_EQ(read.Rent.Raw(), 12345);
  EXPECT_EQ(read.CrCard.Raw(), 0);
  EXPECT_EQ(read.Alimony.Raw(), 0);
}

TEST_F(StoreTest, AppendsStoreEveryValueUnderTheCurrentUser) {
  setenv("TZ", "CET-1", 1);
  tzset();
  TQuillbyData data(Store());
  data.CreateUser("Carol", "carol", "pw");
  const std::string carol = std::to_string(data.CurrentUserId());
  data.AddCounselling(0, "Carol O'Hara", "c@x.example", "1 \"Main\" St\r\nFlat 2", "12345",
                      "555-0100", "evenings 100%", "$10,000 - $20,000");
  data.AddCounselling(7, "N\xe9", "e", "s", "z", "p", "t", "d");
  // 2026-03-01 12:34:56 UTC, one hour ahead in local time.
  const auto when = std::chrono::system_clock::from_time_t(1772368496);
  data.AddFeedback(0, "It's \"great\" \\ 100% caf\xe9", when);
  unsetenv("TZ");
  tzset();

  const auto counselling =
      Query(Store(),
            "SELECT \"USER\", FULLNAME, EMAIL, STREETADDRESS, ZIPCODE, "
            "BESTPHONE, BESTTIME, DEBTAMOUNT, IID FROM Counselling ORDER BY IID");
  ASSERT_EQ(counselling.size(), 2u);
  EXPECT_EQ(counselling[0], (std::vector<std::string>{
                                carol, "Carol O'Hara", "c@x.example", "1 \"Main\" St\r\nFlat 2",
                                "12345", "555-0100", "evenings 100%", "$10,000 - $20,000", "1"}));
  EXPECT_EQ(counselling[1][0], "7");
  EXPECT_EQ(counselling[1][1], "N\xc3\xa9");
  EXPECT_EQ(counselling[1][8], "2");

  const auto feedback =
      Query(Store(), "SELECT IID, \"USER\", COMMENT, \"TIMESTAMP\" FROM HelpImprove");
  ASSERT_EQ(feedback.size(), 1u);
  EXPECT_EQ(feedback[0], (std::vector<std::string>{"1", carol, "It's \"great\" \\ 100% caf\xc3\xa9",
                                                   "2026-03-01 13:34:56"}));
}

TEST_F(StoreTest, ARefusedOverlongValueNamesItsColumnAndLeavesNoRow) {
  TQuillbyData data(Store());
  data.CreateUser("Keeper", "keeper", "pw");
  const int keeper = data.CurrentUserId();

  std::string accented;
  for (int i = 0; i < 15; ++i) accented += "\xe9";
  // A NUL must not stop the counting short.
  const std::string nul_long = std::string("a\0", 2) + std::string(10238, 'x');
  const struct {
    const char* column;
    std::string full_name, login;
    bool refused;
  } users[] = {
      {"LOGIN", "Ok", std::string(15, 'l'), false},
      {"LOGIN", "Ok", accented, false},  // widths count characters, not bytes
      {"LOGIN", "Too long", std::string(16, 'l'), true},
      {"LOGIN", "Too long", accented + "\xe9", true},
      {"FULLNAME", std::string(50, 'f'), "f50", false},
      {"FULLNAME", std::string(51, 'f'), "f51", true},
      {"LOGIN", "Ok", std::string("n\0l", 3), false},
      {"LOGIN", "Too long", nul_long, true},
      {"FULLNAME", nul_long, "fnul", true},
  };
  int expected_rows = 1;
  for (const auto& c : users) {
    if (!c.refused) {
      data.CreateUser(c.full_name, c.login, "pw");
      ++expected_rows;
      continue;
    }
    ASSERT_TRUE(data.VerifyLogin("keeper", "pw"));
    const std::string message = FailureOf([&] { data.CreateUser(c.full_name, c.login, "pw"); });
    EXPECT_THAT(message, HasSubstr(std::string("column \"") + c.column + "\" of table \"Users\""));
    EXPECT_THAT(message,
                HasSubstr(c.column == std::string("LOGIN") ? "15 characters" : "50 characters"));
    EXPECT_THAT(message, HasSubstr(Store()));
    EXPECT_EQ(Count(Store(), "Users"), std::to_string(expected_rows));
    EXPECT_EQ(data.CurrentUserId(), keeper) << "a cancelled row does not become current";
    data.CreateUser("Next", "next" + std::to_string(expected_rows), "pw");
    ++expected_rows;
  }
  EXPECT_EQ(Count(Store(), "Users"), std::to_string(expected_rows));
  EXPECT_FALSE(data.LoginExists(std::string(16, 'l')));
  for (const auto& c : users) {
    const bool fits =
        FitsColumn("Users", "FULLNAME", c.full_name) && FitsColumn("Users", "LOGIN", c.login);
    EXPECT_EQ(fits, !c.refused) << c.column << " " << c.login.size();
  }
  // Columns no width limits take anything.
  EXPECT_EQ(ColumnWidth("Counselling", "STREETADDRESS"), 0);
  EXPECT_TRUE(FitsColumn("Counselling", "STREETADDRESS", std::string(5000, 's')));
  EXPECT_TRUE(FitsColumn("HelpImprove", "COMMENT", std::string(100000, 'c')));

  const struct {
    const char* column;
    int width;
  } counselling[] = {{"FULLNAME", 50},  {"EMAIL", 50},    {"ZIPCODE", 7},
                     {"BESTPHONE", 14}, {"BESTTIME", 50}, {"DEBTAMOUNT", 25}};
  int appended = 0;
  for (size_t i = 0; i < std::size(counselling); ++i) {
    const int width = counselling[i].width;
    for (const std::string& value :
         {std::string(width, 'v'), std::string(width + 1, 'v'), nul_long}) {
      std::string values[6] = {"n", "e", "z", "p", "t", "d"};
      values[i] = value;
      // The check before a signup is sent agrees with what the store refuses.
      EXPECT_EQ(FitsColumn("Counselling", counselling[i].column, value),
                value.size() == static_cast<size_t>(width))
          << counselling[i].column << " " << value.size();
      auto add = [&] {
        data.AddCounselling(0, values[0], values[1], std::string(5000, 's'), values[2], values[3],
                            values[4], values[5]);
      };
      if (value.size() == static_cast<size_t>(counselling[i].width)) {
        add();
        ++appended;
      } else {
        const std::string message = FailureOf(add);
        EXPECT_THAT(message, HasSubstr(std::string("column \"") + counselling[i].column +
                                       "\" of table \"Counselling\""));
        EXPECT_THAT(message, HasSubstr(std::to_string(counselling[i].width) + " characters"));
      }
      EXPECT_EQ(Count(Store(), "Counselling"), std::to_string(appended));
    }
  }
}

TEST_F(StoreTest, AMissingFileFailsTheFirstOperationAndIsNotCreated) {
  TempFolder empty;
  TQuillbyData data(empty / "quillby.mdb");
  const std::string store = empty / "quillby.mdb";
  const std::function<void()> operations[] = {
      [&] { data.VerifyLogin("bob", "pw"); },
      [&] { data.CreateUser("Bob", "bob", "pw"); },
      [&] { data.AddFeedback(0, "c", std::chrono::system_clock::now()); },
  };
  for (const auto& operation : operations) {
    const std::string message = FailureOf(operation);
    EXPECT_THAT(message, HasSubstr("\"" + store + "\""));
    EXPECT_THAT(message, HasSubstr("does not exist"));
    EXPECT_FALSE(std::filesystem::exists(store));
  }
  // Once the file is there, the same data module opens it.
  CreateStoreFile(store);
  data.CreateUser("Bob", "bob", "pw");
  EXPECT_TRUE(data.VerifyLogin("bob", "pw"));
}

TEST_F(StoreTest, AFileThatIsNotADatabaseIsReportedAndKept) {
  TempFolder folder;
  const std::string store = folder / "quillby.mdb";
  const std::string contents = "Standard Jet DB\nnot a SQLite file at all, some bytes of text\n";
  std::ofstream(store) << contents;
  TQuillbyData data(folder / "quillby.mdb");
  for (int attempt = 0; attempt < 2; ++attempt) {
    const std::string message = FailureOf([&] { data.LoginExists("bob"); });
    EXPECT_THAT(message, HasSubstr("\"" + store + "\""));
    EXPECT_THAT(message, HasSubstr("not a database"));
  }
  std::ifstream in(store);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), contents);
}

TEST_F(StoreTest, AMissingTableFailsOnlyTheOperationsThatNeedIt) {
  Query(Store(), "DROP TABLE HelpImprove");
  TQuillbyData data(Store());
  data.CreateUser("Dana", "dana", "pw");
  const std::string message =
      FailureOf([&] { data.AddFeedback(0, "hello", std::chrono::system_clock::now()); });
  EXPECT_THAT(message, HasSubstr("\"" + Store() + "\""));
  EXPECT_THAT(message, HasSubstr("no table \"HelpImprove\""));
  EXPECT_TRUE(data.VerifyLogin("dana", "pw"));
  data.AddCounselling(0, "n", "e", "s", "z", "p", "t", "d");
  EXPECT_EQ(Count(Store(), "Counselling"), "1");
}

TEST_F(StoreTest, AMissingColumnIsNamed) {
  Query(Store(), "ALTER TABLE Counselling DROP COLUMN BESTTIME");
  TQuillbyData data(Store());
  const std::string message =
      FailureOf([&] { data.AddCounselling(0, "n", "e", "s", "z", "p", "t", "d"); });
  EXPECT_THAT(message, HasSubstr("no column \"BESTTIME\""));
  EXPECT_THAT(message, HasSubstr("\"" + Store() + "\""));
}

// Runs `check` in a child process without root's right to write any file; the child's exit
// status is the number of failed expectations.
int AsUnprivileged(const std::function<int()>& check) {
  const pid_t child = fork();
  if (child == 0) {
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(100);
    _exit(check());
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 101;
}

TEST_F(StoreTest, AReadOnlyFileOrFolderIsReadButRefusesWritesNamingWhatIsReadOnly) {
  {
    TQuillbyData data(Store());
    data.CreateUser("Eve", "eve", "pw");
  }
  const std::string file = "\"" + Store() + "\"";
  const std::string folder = "\"" + FFolder.Path() + "\"";
  const struct {
    mode_t file_mode, folder_mode;
    std::string blamed, not_blamed;
  } cases[] = {
      {0444, 0755, "store file " + file + " is read-only", "folder"},
      // SQLite writes its journal beside the file, so a writable file in a read-only folder
      // cannot be written either; the file is not to blame.
      {0666, 0555, "its folder " + folder + " is read-only", file + " is read-only"},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(chmod(FFolder.Path().c_str(), c.folder_mode), 0);
    ASSERT_EQ(chmod(Store().c_str(), c.file_mode), 0);
    const int failures = AsUnprivileged([&] {
      int failed = 0;
      TQuillbyData data(Store());
      if (!data.VerifyLogin("eve", "pw")) ++failed;
      std::string message;
      try {
        data.CreateUser("Fay", "fay", "pw");
        ++failed;
      } catch (const EDatabaseError& e) {
        message = e.Message();
      }
      if (message.find(c.blamed) == std::string::npos) ++failed;
      if (message.find(c.not_blamed) != std::string::npos) ++failed;
      if (data.CurrentUserId() == 0) ++failed;
      return failed;
    });
    EXPECT_EQ(failures, 0) << c.blamed;
    ASSERT_EQ(chmod(FFolder.Path().c_str(), 0700), 0);
    EXPECT_EQ(Count(Store(), "Users"), "1");
  }
}

TEST_F(StoreTest, TwoCopiesShareTheFile) {
  TQuillbyData first(Store());
  TQuillbyData second(Store());
  first.CreateUser("Gil", "gil", "pw");
  EXPECT_TRUE(second.VerifyLogin("GIL", "pw"));
  second.CreateUser("Hal", "hal", "pw");
  EXPECT_TRUE(second.LoginExists("hal"));
  EXPECT_TRUE(first.LoginExists("hal"));
  ASSERT_TRUE(first.VerifyLogin("gil", "pw"));
  first.SaveDebtCalc(0, Figures(1));
  second.SaveDebtCalc(0, Figures(2));
  EXPECT_EQ(Count(Store(), "DebtCalc"), "2");
  TDebtFigures read;
  ASSERT_TRUE(second.LoadDebtCalc(first.CurrentUserId(), read));
  ExpectFigures(read, Figures(1));
}

TEST_F(StoreTest, AWriteThatMeetsAnotherCopysLockWaitsThenFailsClearly) {
  TQuillbyData data(Store());
  data.CreateUser("Ivy", "ivy", "pw");

  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open_v2(Store().c_str(), &other, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
  const std::string message =
      FailureOf([&] { data.AddFeedback(0, "blocked", std::chrono::system_clock::now()); });
  EXPECT_THAT(message, HasSubstr("in use by another program"));
  EXPECT_THAT(message, HasSubstr("\"" + Store() + "\""));

  // A lock released while the write waits lets the write through.
  // The commit may meet the waiting write's own brief shared lock, so it waits for it in turn
  // rather than fail and leave the write to time out.
  sqlite3_busy_timeout(other, 10000);
  std::atomic<bool> writing = false;
  std::jthread release([&] {
    while (!writing) std::this_thread::yield();
    EXPECT_EQ(sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
  });
  writing = true;
  data.AddFeedback(0, "after the lock", std::chrono::system_clock::now());
  release.join();
  sqlite3_close(other);
  const auto comments = Query(Store(), "SELECT COMMENT FROM HelpImprove");
  ASSERT_EQ(comments.size(), 1u);
  EXPECT_EQ(comments[0][0], "after the lock");
}

TEST_F(StoreTest, CloseEndsTheCursorAndTheNextOperationOpensAgain) {
  TQuillbyData data(Store());
  data.CreateUser("Jo", "jo", "pw");
  data.Close();
  EXPECT_EQ(data.CurrentUserId(), 0);
  EXPECT_TRUE(data.VerifyLogin("jo", "pw"));
  EXPECT_EQ(data.CurrentUserFullName(), "Jo");
}

}  // namespace
