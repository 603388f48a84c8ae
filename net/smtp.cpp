#include "net/smtp.h"

#include <algorithm>
#include <charconv>

#include "net/base64.h"
#include "net/errors.h"
#include "net/text.h"

namespace net {

namespace {

std::string Upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return text;
}

void RequireOneLine(const std::string& address) {
  if (address.find_first_of("\r\n") == std::string::npos) return;
  std::string shown = address;
  std::replace(shown.begin(), shown.end(), '\r', ' ');
  std::replace(shown.begin(), shown.end(), '\n', ' ');
  throw EIdInvalidAddress("The mail address \"" + shown +
                          "\" holds a line break, so the message cannot be sent to it.");
}

}  // namespace

std::string TIdSMTP::ReadReplyLine() {
  for (;;) {
    std::string line = Trim(FConnection.ReadLn());
    if (!line.empty()) return line;
  }
}

void TIdSMTP::ReadReply() {
  std::vector<std::string> lines{ReadReplyLine()};
  if (lines[0].size() > 3 && lines[0][3] == '-') {
    const std::string end_mark = Upper(lines[0].substr(0, 3)) + " ";
    for (;;) {
      lines.push_back(ReadReplyLine());
      const std::string& line = lines.back();
      if (line.size() < 4 || Upper(line.substr(0, 4)) == end_mark) break;
    }
  }
  std::string code = Trim(std::string_view(lines[0]).substr(0, 4));
  if (!code.empty() && code.back() == '-') code.pop_back();
  FReplyCode = code;
  int numeric = 0;
  const auto [end, error] = std::from_chars(code.data(), code.data() + code.size(), numeric);
  FReplyNumericCode = error == std::errc() && end == code.data() + code.size() ? numeric : 0;
  FReplyText.clear();
  for (const std::string& line : lines) FReplyText.push_back(line.size() > 4 ? line.substr(4) : "");
}

int TIdSMTP::SendCmd(std::string_view command, std::vector<int> expected) {
  FConnection.Write(std::string(command) + "\r\n");
  ReadReply();
  if (!expected.empty() &&
      std::find(expected.begin(), expected.end(), FReplyNumericCode) == expected.end()) {
    std::string message;
    for (const std::string& line : FReplyText) message += line + "\r\n";
    throw EIdProtocolReplyError(FReplyNumericCode, message);
  }
  return FReplyNumericCode;
}

void TIdSMTP::ScanMechanisms() {
  for (const std::string& text : FReplyText) {
    const std::string line = Upper(text);
    if (line.rfind("AUTH ", 0) != 0 && line.rfind("AUTH=", 0) != 0) continue;
    std::string words = line.substr(5);
    std::replace(words.begin(), words.end(), '=', ' ');
    size_t start = 0;
    while (start < words.size()) {
      const size_t space = words.find(' ', start);
      const std::string word = words.substr(start, space - start);
      if (!word.empty() && std::find(FAuthMechanisms.begin(), FAuthMechanisms.end(), word) ==
                               FAuthMechanisms.end()) {
        FAuthMechanisms.push_back(word);
      }
      if (space == std::string::npos) break;
      start = space + 1;
    }
  }
}

void TIdSMTP::Greet() {
  FAuthMechanisms.clear();
  if (UseEhlo && SendCmd("EHLO " + HeloName) == 250) {
    ScanMechanisms();
  } else {
    SendCmd("HELO " + HeloName, {250});
  }
}

// What the server said before TLS is not to be trusted, so Greet asks again afterwards and only
// that second answer counts.
void TIdSMTP::StartTLS() {
  const bool offered = SendCmd("EHLO " + HeloName) == 250 &&
                       std::any_of(FReplyText.begin(), FReplyText.end(), [](const std::string& t) {
                         const std::string word = Upper(Trim(t));
                         return word == "STARTTLS" || word.rfind("STARTTLS ", 0) == 0;
                       });
  if (!offered) {
    throw EIdTLSError("The mail server \"" + Host +
                          "\" does not offer STARTTLS, so nothing was sent over the unencrypted "
                          "connection.",
                      "STARTTLS not offered");
  }
  if (SendCmd("STARTTLS") != 220) {
    std::string reply = FReplyCode;
    for (const std::string& line : FReplyText) reply += " " + line;
    throw EIdTLSError("The mail server \"" + Host + "\" refused to start TLS (" + Trim(reply) +
                          "), so nothing was sent over the unencrypted connection.",
                      "STARTTLS refused");
  }
  FConnection.StartTLS();
}

void TIdSMTP::Connect() {
  FConnection.Host = Host;
  FConnection.Port = Port;
  FConnection.Intercept = Intercept;
  FConnection.TLSCAFile = TLSCAFile;
  FConnection.StartConversation();
  FConnection.Connect();
  try {
    if (Security == msImplicitTLS) FConnection.StartTLS();
    ReadReply();
    if (FReplyNumericCode != 220) {
      std::string message;
      for (const std::string& line : FReplyText) message += line + "\r\n";
      throw EIdProtocolReplyError(FReplyNumericCode, message);
    }
    if (Security == msStartTLS) StartTLS();
    Greet();
  } catch (...) {
    try {
      Disconnect();
    } catch (...) {
      // The failure that ended the connect is the one to report.
    }
    throw;
  }
}

bool TIdSMTP::Authenticate() {
  if (AuthenticationType == atNone) {
    FDidAuthenticate = true;
    return false;
  }
  SendCmd("AUTH LOGIN", {334});
  SendCmd(EncodeBase64(Username), {334});
  SendCmd(EncodeBase64(Password), {235});
  FDidAuthenticate = true;
  return true;
}

void TIdSMTP::Send(TIdMessage& message) {
  // An address holding a line break would smuggle a command of its own into the envelope.
  RequireOneLine(message.From.Address);
  for (const TIdEMailAddressList* list : {&message.Recipients, &message.CCList, &message.BccList}) {
    for (size_t i = 0; i < list->Count(); ++i) RequireOneLine((*list)[i].Address);
  }
  SendCmd("RSET");
  if (AuthenticationType != atNone && !FDidAuthenticate &&
      std::find(FAuthMechanisms.begin(), FAuthMechanisms.end(), "LOGIN") != FAuthMechanisms.end()) {
    Authenticate();
  }
  SendCmd("MAIL FROM:<" + message.From.Address + ">", {250});
  for (const TIdEMailAddressList* list : {&message.Recipients, &message.CCList, &message.BccList}) {
    for (size_t i = 0; i < list->Count(); ++i) {
      SendCmd("RCPT TO:<" + (*list)[i].Address + ">", {250, 251});
    }
  }
  SendCmd("DATA", {354});
  message.ExtraHeaders.SetValue("X-Mailer", MailAgent);
  // Each line is its own block in the log, but the lines are held back at the socket until the
  // closing "." goes: a server that stays silent during DATA acknowledges late, and small
  // writes would otherwise wait for each acknowledgement.
  message.WriteText([this](std::string_view line) {
    std::string block(line);
    block += "\r\n";
    FConnection.Write(block, true);
  });
  SendCmd(".", {250});
}

void TIdSMTP::Disconnect() {
  bool quit_failed = false;
  std::exception_ptr failure;
  if (FConnection.Connected()) {
    try {
      FConnection.Write("QUIT\r\n");
    } catch (...) {
      quit_failed = true;
      failure = std::current_exception();
    }
  }
  // Cleared first: the log's entry for the closing may fail, and the next connection must
  // still start unauthenticated.
  FDidAuthenticate = false;
  FConnection.Disconnect();
  if (quit_failed) std::rethrow_exception(failure);
}

}  // namespace net
