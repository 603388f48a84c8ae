#include "data/quillby_data.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <ctime>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

#include "data/md5.h"
#include "data/schema_sql.h"
#include "data/sqlite.h"
#include "platform/codepage.h"
#include "platform/executable_path.h"
#include "platform/utf8.h"

namespace {

constexpr std::string_view kStoreName = "quillby.mdb";
constexpr int kBusyTimeoutMs = 5000;

std::string Folder(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// The widths of the text columns, read from the schema the store is made from: each constraint
// "<table>.<column> width" holds "length(<column>) <= <width>".
struct TWidth {
  std::string table, column;
  int width;
};
const std::vector<TWidth>& Widths() {
  static const std::vector<TWidth> widths = [] {
    std::vector<TWidth> found;
    const std::string_view sql = kSchemaSql;
    constexpr std::string_view key = "CONSTRAINT \"", suffix = " width\"";
    for (size_t at = sql.find(key); at != std::string_view::npos; at = sql.find(key, at)) {
      at += key.size();
      const size_t end = sql.find(suffix, at);
      const size_t dot = sql.find('.', at);
      const size_t bound = sql.find("<= ", end);
      if (end == std::string_view::npos || dot > end || bound == std::string_view::npos) continue;
      TWidth w{std::string(sql.substr(at, dot - at)),
               std::string(sql.substr(dot + 1, end - dot - 1)), 0};
      std::from_chars(sql.data() + bound + 3, sql.data() + sql.size(), w.width);
      found.push_back(std::move(w));
    }
    return found;
  }();
  return widths;
}

std::string LocalTimestamp(std::chrono::system_clock::time_point when) {
  const std::time_t t = std::chrono::system_clock::to_time_t(when);
  std::tm local{};
  localtime_r(&t, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  return text;
}

struct UserRow {
  int64_t IID = 0;
  std::string FullName, Login, Password;
};

enum Table { kUsers, kDebtCalc, kCounselling, kHelpImprove, kTableCount };

struct TableInfo {
  const char* name;
  std::vector<const char*> columns;
};

const std::array<TableInfo, kTableCount>& Tables() {
  static const std::array<TableInfo, kTableCount> tables{{
      {"Users", {"IID", "FULLNAME", "LOGIN", "PASSWORD", "LOGINKEY", "FULLNAMEKEY"}},
      {"DebtCalc",
       {"USER", "RENT", "CRCARD", "CARLOAN", "OTHERLOAN", "GROSSSAL", "BONUS", "OTHERSRC",
        "ALIMONY"}},
      {"Counselling",
       {"USER", "FULLNAME", "EMAIL", "STREETADDRESS", "ZIPCODE", "BESTPHONE", "BESTTIME",
        "DEBTAMOUNT", "IID"}},
      {"HelpImprove", {"IID", "USER", "COMMENT", "TIMESTAMP"}},
  }};
  return tables;
}

}  // namespace

struct TQuillbyData::Impl {
  std::string Path;  // the file, as the file system spells it (UTF-8)

  sqlite::Database Db;
  std::array<bool, kTableCount> Open{};
  sqlite::Statement FindLogin, FindFullName, InsertUser;
  sqlite::Statement FindDebtCalc, LoadDebtCalc, UpdateDebtCalc, InsertDebtCalc;
  sqlite::Statement InsertCounselling;
  sqlite::Statement InsertFeedback;

  std::optional<UserRow> Current;

  std::string File() const { return "\"" + platform::Utf8ToAnsi(Path) + "\""; }

  [[noreturn]] void Fail(const std::string& message) const { throw EDatabaseError(message); }

  void Connect() {
    if (Db) return;
    struct stat info {};
    if (::stat(Path.c_str(), &info) != 0) {
      if (errno == ENOENT) Fail("The store file " + File() + " does not exist.");
      Fail("The store file " + File() + " could not be opened: " + std::strerror(errno) + ".");
    }
    // Never SQLITE_OPEN_CREATE: the program only ever opens an existing store.
    sqlite::Database db(Path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX);
    sqlite3_busy_timeout(db.Handle(), kBusyTimeoutMs);
    // Reading the schema is where a file that is not a database shows it.
    {
      sqlite::Statement probe(db, "SELECT count(*) FROM sqlite_schema");
      probe.Step();
    }
    Db = std::move(db);
  }

  void OpenTable(Table table) {
    if (Open[table]) return;
    Connect();
    const TableInfo& info = Tables()[table];
    sqlite::Statement columns(Db, "SELECT name FROM pragma_table_info(?1)");
    columns.Bind(1, std::string_view(info.name));
    std::vector<std::string> present;
    while (columns.Step()) present.push_back(columns.Text(0));
    columns.Reset();
    if (present.empty()) Fail("The store file " + File() + " has no table \"" + info.name + "\".");
    for (const char* column : info.columns) {
      if (std::find(present.begin(), present.end(), column) == present.end()) {
        Fail("The table \"" + std::string(info.name) + "\" of the store file " + File() +
             " has no column \"" + column + "\".");
      }
    }
    switch (table) {
      case kUsers:
        FindLogin = sqlite::Statement(
            Db,
            "SELECT IID, FULLNAME, LOGIN, PASSWORD FROM Users WHERE LOGINKEY = ?1 "
            "ORDER BY LOGIN, IID LIMIT 1");
        FindFullName = sqlite::Statement(
            Db,
            "SELECT IID, FULLNAME, LOGIN, PASSWORD FROM Users WHERE FULLNAMEKEY = ?1 "
            "ORDER BY LOGIN, IID LIMIT 1");
        InsertUser = sqlite::Statement(
            Db,
            "INSERT INTO Users (FULLNAME, LOGIN, PASSWORD, LOGINKEY, FULLNAMEKEY) "
            "VALUES (?1, ?2, ?3, ?4, ?5)");
        break;
      case kDebtCalc:
        FindDebtCalc =
            sqlite::Statement(Db, "SELECT rowid FROM DebtCalc WHERE \"USER\" = ?1 LIMIT 1");
        LoadDebtCalc = sqlite::Statement(
            Db,
            "SELECT RENT, CRCARD, CARLOAN, OTHERLOAN, GROSSSAL, BONUS, OTHERSRC, ALIMONY "
            "FROM DebtCalc WHERE \"USER\" = ?1 LIMIT 1");
        UpdateDebtCalc = sqlite::Statement(
            Db,
            "UPDATE DebtCalc SET RENT = ?2, CRCARD = ?3, CARLOAN = ?4, OTHERLOAN = ?5, "
            "GROSSSAL = ?6, BONUS = ?7, OTHERSRC = ?8, ALIMONY = ?9 WHERE rowid = ?1");
        InsertDebtCalc = sqlite::Statement(
            Db,
            "INSERT INTO DebtCalc (\"USER\", RENT, CRCARD, CARLOAN, OTHERLOAN, GROSSSAL, BONUS, "
            "OTHERSRC, ALIMONY) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)");
        break;
      case kCounselling:
        InsertCounselling = sqlite::Statement(
            Db,
            "INSERT INTO Counselling (\"USER\", FULLNAME, EMAIL, STREETADDRESS, ZIPCODE, "
            "BESTPHONE, BESTTIME, DEBTAMOUNT) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)");
        break;
      case kHelpImprove:
        InsertFeedback = sqlite::Statement(
            Db, "INSERT INTO HelpImprove (\"USER\", COMMENT, \"TIMESTAMP\") VALUES (?1, ?2, ?3)");
        break;
      case kTableCount:
        break;
    }
    Open[table] = true;
  }

  void CloseAll() noexcept {
    FindLogin = {};
    FindFullName = {};
    InsertUser = {};
    FindDebtCalc = {};
    LoadDebtCalc = {};
    UpdateDebtCalc = {};
    InsertDebtCalc = {};
    InsertCounselling = {};
    InsertFeedback = {};
    Open = {};
    Db = {};
    Current.reset();
  }

  // The store's failure as a message for the user: the file, the table, and for a refused value
  // the column and its width.
  [[noreturn]] void Report(const sqlite::Error& error, Table table, bool writing) const {
    const std::string name = Tables()[table].name;
    const std::string text = platform::Utf8ToAnsi(error.SqliteText());
    if (error.ExtendedCode() == SQLITE_CONSTRAINT_CHECK) {
      for (const TWidth& w : Widths()) {
        const std::string constraint = w.table + "." + w.column + " width";
        if (w.table == name && error.SqliteText().find(constraint) != std::string::npos) {
          Fail("The value for column \"" + w.column + "\" of table \"" + name +
               "\" is longer than " + std::to_string(w.width) + " characters; the store file " +
               File() + " refused the row.");
        }
      }
    }
    switch (error.Code()) {
      case SQLITE_NOTADB:
        Fail("The file " + File() + " is not a Quillby store: " + text + ".");
      case SQLITE_BUSY:
      case SQLITE_LOCKED:
        Fail("The store file " + File() + " is in use by another program; table \"" + name +
             "\" could not be " + (writing ? "written" : "read") + ": " + text + ".");
      case SQLITE_READONLY: {
        // SQLite writes its journal beside the file, so the folder may be what stops it.
        std::string folder = Folder(Path);
        if (folder.size() > 1) folder.pop_back();
        if (folder.empty()) folder = ".";
        if (::access(Path.c_str(), W_OK) == 0 && ::access(folder.c_str(), W_OK) != 0) {
          Fail("The store file " + File() + " cannot be written because its folder \"" +
               platform::Utf8ToAnsi(folder) +
               "\" is read-only, and the store needs to write its journal there; table \"" + name +
               "\" could not be written: " + text + ".");
        }
        Fail("The store file " + File() + " is read-only; table \"" + name +
             "\" could not be written: " + text + ".");
      }
      default:
        Fail("The store file " + File() + " could not be " + (writing ? "written" : "read") +
             " (table \"" + name + "\"): " + text + ".");
    }
  }

  // Runs `work` on `table`, opening it first, and turns the store's failures into messages.
  template <typename Work>
  auto Run(Table table, bool writing, Work&& work) {
    try {
      OpenTable(table);
      return work();
    } catch (const sqlite::Error& error) {
      Report(error, table, writing);
    }
  }

  int64_t ResolveUser(int user_id) const {
    if (user_id > 0) return user_id;
    return Current ? Current->IID : 0;
  }

  // Adds one row of `table` that belongs to a user: the user goes in the first column, `bind`
  // fills the others.
  template <typename Bind>
  void InsertForUser(Table table, sqlite::Statement& insert, int user_id, Bind&& bind) {
    Run(table, true, [&] {
      const int64_t user = ResolveUser(user_id);
      sqlite::Transaction transaction(Db);
      {
        sqlite::ResetGuard reset(insert);
        insert.Bind(1, user);
        bind(insert);
        insert.Step();
      }
      transaction.Commit();
    });
  }

  bool LocateUser(sqlite::Statement& find, const std::string& value) {
    sqlite::ResetGuard reset(find);
    find.Bind(1, platform::FoldCase(platform::AnsiToUtf8(value)));
    if (!find.Step()) return false;
    Current = UserRow{find.Int64(0), platform::Utf8ToAnsi(find.Text(1)),
                      platform::Utf8ToAnsi(find.Text(2)), find.Text(3)};
    return true;
  }

  bool VerifyLogin(const std::string& login, const std::string& digest) {
    return Run(kUsers, false, [&] {
      if (!LocateUser(FindLogin, login)) return false;
      // Compared as stored, letter case counting.
      return Current->Password == platform::AnsiToUtf8(digest);
    });
  }
};

TQuillbyData::TQuillbyData(const std::string& StorePath) : FImpl(std::make_unique<Impl>()) {
  FImpl->Path =
      StorePath.empty() ? Folder(platform::ExecutablePath()) + std::string(kStoreName) : StorePath;
}

TQuillbyData::~TQuillbyData() = default;

std::string TQuillbyData::DatabasePath() const { return FImpl->Path; }

void TQuillbyData::Close() { FImpl->CloseAll(); }

bool TQuillbyData::VerifyLogin(const std::string& Login, const std::string& Password) {
  return FImpl->VerifyLogin(Login, MD5Hex(Password));
}

bool TQuillbyData::VerifyLoginDigest(const std::string& Login, const std::string& Digest) {
  return FImpl->VerifyLogin(Login, Digest);
}

void TQuillbyData::CreateUser(const std::string& FullName, const std::string& Login,
                              const std::string& Password) {
  Impl& d = *FImpl;
  d.Run(kUsers, true, [&] {
    const std::string full_name = platform::AnsiToUtf8(FullName);
    const std::string login = platform::AnsiToUtf8(Login);
    const std::string digest = MD5Hex(Password);
    sqlite::Transaction transaction(d.Db);
    {
      sqlite::ResetGuard reset(d.InsertUser);
      d.InsertUser.Bind(1, full_name);
      d.InsertUser.Bind(2, login);
      d.InsertUser.Bind(3, digest);
      d.InsertUser.Bind(4, platform::FoldCase(login));
      d.InsertUser.Bind(5, platform::FoldCase(full_name));
      d.InsertUser.Step();
    }
    const int64_t iid = sqlite3_last_insert_rowid(d.Db.Handle());
    transaction.Commit();
    // The new row becomes current only once it is in the store.
    d.Current = UserRow{iid, platform::Utf8ToAnsi(full_name), platform::Utf8ToAnsi(login), digest};
  });
}

bool TQuillbyData::FullNameExists(const std::string& FullName) {
  return FImpl->Run(kUsers, false,
                    [&] { return FImpl->LocateUser(FImpl->FindFullName, FullName); });
}

bool TQuillbyData::LoginExists(const std::string& Login) {
  return FImpl->Run(kUsers, false, [&] { return FImpl->LocateUser(FImpl->FindLogin, Login); });
}

bool TQuillbyData::LoadDebtCalc(int UserId, TDebtFigures& Figures) {
  Impl& d = *FImpl;
  return d.Run(kDebtCalc, false, [&] {
    sqlite::ResetGuard reset(d.LoadDebtCalc);
    d.LoadDebtCalc.Bind(1, d.ResolveUser(UserId));
    if (!d.LoadDebtCalc.Step()) return false;
    Currency* out[] = {&Figures.Rent,     &Figures.CrCard, &Figures.CarLoan,  &Figures.OtherLoan,
                       &Figures.GrossSal, &Figures.Bonus,  &Figures.OtherSrc, &Figures.Alimony};
    for (int i = 0; i < 8; ++i) {
      // An empty column reads as 0.
      *out[i] = Currency::FromRaw(d.LoadDebtCalc.IsNull(i) ? 0 : d.LoadDebtCalc.Int64(i));
    }
    return true;
  });
}

void TQuillbyData::SaveDebtCalc(int UserId, const TDebtFigures& Figures) {
  Impl& d = *FImpl;
  d.Run(kDebtCalc, true, [&] {
    const int64_t user = d.ResolveUser(UserId);
    const Currency in[] = {Figures.Rent,     Figures.CrCard, Figures.CarLoan,  Figures.OtherLoan,
                           Figures.GrossSal, Figures.Bonus,  Figures.OtherSrc, Figures.Alimony};
    // Locate, then edit or append, in one transaction so that another copy of the program
    // cannot add the user's row in between.
    sqlite::Transaction transaction(d.Db);
    std::optional<int64_t> row;
    {
      sqlite::ResetGuard reset(d.FindDebtCalc);
      d.FindDebtCalc.Bind(1, user);
      if (d.FindDebtCalc.Step()) row = d.FindDebtCalc.Int64(0);
    }
    sqlite::Statement& write = row ? d.UpdateDebtCalc : d.InsertDebtCalc;
    sqlite::ResetGuard reset(write);
    write.Bind(1, row ? *row : user);
    for (int i = 0; i < 8; ++i) write.Bind(i + 2, in[i].Raw());
    write.Step();
    transaction.Commit();
  });
}

void TQuillbyData::AddCounselling(int UserId, const std::string& FullName, const std::string& Email,
                                  const std::string& StreetAddress, const std::string& ZipCode,
                                  const std::string& BestPhone, const std::string& BestTime,
                                  const std::string& DebtAmount) {
  Impl& d = *FImpl;
  d.InsertForUser(kCounselling, d.InsertCounselling, UserId, [&](sqlite::Statement& insert) {
    int index = 2;
    for (const std::string* text :
         {&FullName, &Email, &StreetAddress, &ZipCode, &BestPhone, &BestTime, &DebtAmount}) {
      insert.Bind(index++, platform::AnsiToUtf8(*text));
    }
  });
}

void TQuillbyData::AddFeedback(int UserId, const std::string& Comment,
                               std::chrono::system_clock::time_point Timestamp) {
  Impl& d = *FImpl;
  d.InsertForUser(kHelpImprove, d.InsertFeedback, UserId, [&](sqlite::Statement& insert) {
    insert.Bind(2, platform::AnsiToUtf8(Comment));
    insert.Bind(3, LocalTimestamp(Timestamp));
  });
}

int TQuillbyData::CurrentUserId() const {
  return FImpl->Current ? static_cast<int>(FImpl->Current->IID) : 0;
}

std::string TQuillbyData::CurrentUserFullName() const {
  return FImpl->Current ? FImpl->Current->FullName : std::string();
}

int ColumnWidth(std::string_view Table, std::string_view Column) {
  for (const TWidth& w : Widths()) {
    if (w.table == Table && w.column == Column) return w.width;
  }
  return 0;
}

bool FitsColumn(std::string_view Table, std::string_view Column, std::string_view Value) {
  const int width = ColumnWidth(Table, Column);
  if (width == 0) return true;
  // As the schema counts: characters of the stored UTF-8, or its bytes when it holds a NUL.
  const std::string stored = platform::AnsiToUtf8(Value);
  size_t length = stored.size();
  if (stored.find('\0') == std::string::npos) {
    length = std::count_if(stored.begin(), stored.end(),
                           [](char c) { return (static_cast<unsigned char>(c) & 0xc0) != 0x80; });
  }
  return length <= static_cast<size_t>(width);
}
