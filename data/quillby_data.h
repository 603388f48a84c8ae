#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "data/money.h"

// The eight figures of the debt load calculator, in the order of the DebtCalc columns.
struct TDebtFigures {
  Currency Rent, CrCard, CarLoan, OtherLoan, GrossSal, Bonus, OtherSrc, Alimony;
};

// The data module: the one connection to quillby.mdb beside the executable and the four tables.
// Every failure of the store is thrown as an Exception carrying a readable message that names
// the file; writes are cancelled before their failure travels on.
class TQuillbyData {
 public:
  // Runs DataModuleCreate: points the connection at quillby.mdb in the folder of
  // `executable_path` (the running executable's when empty). Opens nothing.
  explicit TQuillbyData(const std::string& executable_path = {});
  ~TQuillbyData();
  TQuillbyData(const TQuillbyData&) = delete;
  TQuillbyData& operator=(const TQuillbyData&) = delete;

  const std::string& ConnectionString() const;
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
