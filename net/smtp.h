#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "net/connection.h"
#include "net/intercept.h"
#include "net/message.h"

namespace net {

enum TAuthenticationType { atNone, atLogin };

// How the mail conversation is protected: not at all, TLS started after the greeting by
// STARTTLS, or TLS from the first byte.
enum TIdMailSecurity { msNone, msStartTLS, msImplicitTLS };

// Hands one message per connection to a mail server: greeting, EHLO (HELO when refused),
// AUTH LOGIN, one mail transaction, QUIT.
class TIdSMTP {
 public:
  std::string Host;
  uint16_t Port = 25;
  std::string HeloName = "Quillby";
  bool UseEhlo = true;
  TAuthenticationType AuthenticationType = atLogin;
  std::string Username;
  std::string Password;
  std::string MailAgent = "Quillby Desktop";
  TIdMailSecurity Security = msNone;
  // A PEM file of trust anchors beside the system's store; empty for none.
  std::string TLSCAFile;
  // The connection log; it must outlive the client, which logs the closing of a connection
  // still open when it is destroyed.
  TIdConnectionIntercept* Intercept = nullptr;

  // The bytes' way to the server; a TCP socket unless replaced (tests, fuzzing).
  void SetTransport(std::unique_ptr<TIdTransport> transport) {
    FConnection.SetTransport(std::move(transport));
  }

  // Fails with the connection's or the server's error; the connection is then closed.
  void Connect();
  // True after AUTH LOGIN was accepted; false, sending nothing, for atNone.
  bool Authenticate();
  void Send(TIdMessage& message);
  // Writes QUIT without waiting for its reply, then closes.
  void Disconnect();
  bool Connected() const { return FConnection.Connected(); }

  // The last reply: its code as received, its numeric code (0 when not a number), its lines.
  const std::string& LastCmdResultCode() const { return FReplyCode; }
  int LastCmdResultNumericCode() const { return FReplyNumericCode; }
  const std::vector<std::string>& LastCmdResultText() const { return FReplyText; }
  const std::vector<std::string>& AuthMechanisms() const { return FAuthMechanisms; }

 private:
  // Writes the command and reads its reply; a code not in expected fails (none: any code).
  int SendCmd(std::string_view command, std::vector<int> expected = {});
  void ReadReply();
  std::string ReadReplyLine();
  void ScanMechanisms();
  void Greet();
  void StartTLS();

  TIdTCPConnection FConnection;
  std::string FReplyCode;
  int FReplyNumericCode = 0;
  std::vector<std::string> FReplyText;
  std::vector<std::string> FAuthMechanisms;
  bool FDidAuthenticate = false;
};

}  // namespace net
