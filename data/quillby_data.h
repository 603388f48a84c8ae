#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <string_view>

#include "data/money.h"
#include "platform/exception.h"

// A failure of the store; the message names the file (and the column of a refused value).
class EDatabaseError : public Exception {
 public:
  using Exception::Exception;
};

// The most characters a text column of the store keeps, as the schema the store is made from
// has it; 0 for a column no width limits.
int ColumnWidth(std::string_view Table, std::string_view Column);
// Whether an 8-bit value fits that column, counted as the store counts it.
bool FitsColumn(std::string_view Table, std::string_view Column, std::string_view Value);

// The eight figures of the debt load calculator, in the order of the DebtCalc columns.
struct TDebtFigures {
  Currency Rent, CrCard, CarLoan, OtherLoan, GrossSal, Bonus, OtherSrc, Alimony;
};

// The data module: the one connection to the store and its four tables.
// Every failure of the store is thrown as an Exception carrying a readable message that names
// the file; writes are cancelled before their failure travels on.
class TQuillbyData {
 public:
  // Runs DataModuleCreate: points the connection at the store file `StorePath` (quillby.mdb
  // beside the running executable when empty). Opens nothing.
  explicit TQuillbyData(const std::string& StorePath = {});
  ~TQuillbyData();
  TQuillbyData(const TQuillbyData&) = delete;
  TQuillbyData& operator=(const TQuillbyData&) = delete;

  std::string DatabasePath() const;

  // Closes the connection and every open table with it (logout, teardown).
  void Close();

  bool VerifyLogin(const std::string& Login, const std::string& Password);
  bool VerifyLoginDigest(const std::string& Login, const std::string& Digest);
  void CreateUser(const std::string& FullName, const std::string& Login,
                  const std::string& Password);
  bool FullNameExists(const std::string& FullName);
  bool LoginExists(const std::string& Login);
  bool LoadDebtCalc(int UserId, TDebtFigures& Figures);
  void SaveDebtCalc(int UserId, const TDebtFigures& Figures);
  void AddCounselling(int UserId, const std::string& FullName, const std::string& Email,
                      const std::string& StreetAddress, const std::string& ZipCode,
                      const std::string& BestPhone, const std::string& BestTime,
                      const std::string& DebtAmount);
  void AddFeedback(int UserId, const std::string& Comment,
                   std::chrono::system_clock::time_point Timestamp);

  // The current user: the Users row the cursor stands on (IID 0 and empty name before sign-in).
  int CurrentUserId() const;
  std::string CurrentUserFullName() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> FImpl;
};
