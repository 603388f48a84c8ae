#pragma once

#include <string>
#include <string_view>

#include "net/intercept.h"

namespace net {

// Turns connection events into text entries; subclasses decide where an entry goes.
class TIdLogBase : public TIdConnectionIntercept {
 public:
  bool Active() const { return FActive; }
  void SetActive(bool active);
  bool LogTime = true;
  bool ReplaceCRLF = true;

  void Connect() override;
  void Disconnect() override;
  void Send(std::string_view block) override;
  void Receive(std::string_view block) override;
  void Status(std::string_view text) override;

  // A block as it shows in an entry: CR LF as "<EOL>", then a lone CR as "<CR>", a lone LF
  // as "<LF>".
  static std::string MarkLineBreaks(std::string_view block);

 protected:
  virtual void Open() = 0;
  virtual void Close() = 0;
  virtual void WriteEntry(const std::string& entry) = 0;

 private:
  void LogData(const char* kind, std::string_view block);
  bool FActive = false;
};

// The connection log: one text file, appended across runs, one entry per event, each written
// at once. While active the file is locked against other writers, so a second copy of the
// program cannot interleave its entries.
class TIdLogFile : public TIdLogBase {
 public:
  TIdLogFile() = default;
  ~TIdLogFile() override;
  TIdLogFile(const TIdLogFile&) = delete;
  TIdLogFile& operator=(const TIdLogFile&) = delete;

  std::string Filename;

 protected:
  void Open() override;
  void Close() override;
  void WriteEntry(const std::string& entry) override;

 private:
  int FHandle = -1;
};

}  // namespace net
