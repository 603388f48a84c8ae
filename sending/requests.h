#pragma once

#include <chrono>
#include <string>

#include "net/message.h"
#include "net/multipart.h"

class TQuillbyData;
namespace net {
class TIdHTTP;
class TIdSMTP;
}  // namespace net

// What a sending tab sends, built from its controls once at the click: the same value is sent,
// judged, stored and confirmed, so what is kept is what went out. 8-bit text, as on the wire.

// A Free Counseling signup, posted as a form; stored once the service has thanked for it.
struct TSignup {
  std::string FullName, Email, StreetAddress, ZipCode, BestPhone, BestTime, DebtAmount;

  // A text the Counselling row keeps: its member, its column and its name for the user.
  struct TField {
    std::string TSignup::*Value;
    const char* Column;
    const char* Name;
  };
  static const TField kStoredFields[6];
  static constexpr const char* kPath = "/signup/dbsignup.html";

  // The first stored field too long for its column, or nullptr; its message says the most.
  const TField* TooWide() const;
  static std::string TooWideMessage(const TField& Field);

  net::TIdMultiPartFormDataStream Body() const;
  // Posts the body; any failure is left for Judge, which reads the reply the post kept.
  void Post(net::TIdHTTP& Http) const;
  // Throws the user's message unless the last reply is a redirect to the thank-you page.
  static void Judge(const net::TIdHTTP& Http);
  void Store(TQuillbyData& Data) const;
};

// A referral: an HTML mail to the friend, the community manager in blind copy. Nothing stored.
struct TReferral {
  std::string FromName, FromEmail, SendToName, SendToEmail, Subject, Comments;

  static constexpr const char* kFollowUp =
      "Please feel free to use our Refer a friend section to share the benefits with your "
      "friends, at a later time";
  net::TIdMessage Message() const;
};

// Feedback: an HTML mail to the service, stored once it has gone.
struct TFeedback {
  std::string Comment;

  static constexpr const char* kFollowUp =
      "Please feel free to use our Feeback section to comment on our services at a later time";
  net::TIdMessage Message() const;
  void Store(TQuillbyData& Data, std::chrono::system_clock::time_point Sent) const;
};

// One message over one connection: connect, authenticate, send, disconnect. The first failure
// is the one thrown; the connection is closed either way.
void SubmitMessage(net::TIdSMTP& Smtp, net::TIdMessage& Message);
