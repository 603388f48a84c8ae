#pragma once

#include <string>

// What a sending tab sends, taken from its controls once before anything is sent, so that what
// is stored and confirmed afterwards is what went out. 8-bit text, as on the wire.

struct TSignup {
  std::string FullName, Email, StreetAddress, ZipCode, BestPhone, BestTime, DebtAmount;
};

struct TReferral {
  std::string FromName, FromEmail, SendToName, SendToEmail, Subject, Comments;
};

struct TFeedback {
  std::string Comment;
};
