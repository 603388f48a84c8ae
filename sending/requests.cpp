#include "sending/requests.h"

#include "data/quillby_data.h"
#include "deployment.h"
#include "net/http.h"
#include "net/smtp.h"
#include "platform/exception.h"

namespace {

const char* const kSorry =
    "Sorry, your request could not be completed at this time. Please try again later.";

}  // namespace

const TSignup::TField TSignup::kStoredFields[6] = {
    {&TSignup::FullName, "FULLNAME", "Name"},
    {&TSignup::Email, "EMAIL", "Email"},
    {&TSignup::StreetAddress, "STREETADDRESS", "Street Address"},
    {&TSignup::ZipCode, "ZIPCODE", "Zip Code"},
    {&TSignup::BestPhone, "BESTPHONE", "Best Phone"},
    {&TSignup::BestTime, "BESTTIME", "Best time to call"},
};

const TSignup::TField* TSignup::TooWide() const {
  for (const TField& field : kStoredFields) {
    if (!FitsColumn("Counselling", field.Column, this->*field.Value)) return &field;
  }
  return nullptr;
}

std::string TSignup::TooWideMessage(const TField& Field) {
  return std::string(Field.Name) + " can have at most " +
         std::to_string(ColumnWidth("Counselling", Field.Column)) + " characters.";
}

net::TIdMultiPartFormDataStream TSignup::Body() const {
  net::TIdMultiPartFormDataStream body;
  body.AddField("FldUserType", "1");
  body.AddField("FirstName", FullName);
  body.AddField("EmailAddress", Email);
  body.AddField("StreetAddress", StreetAddress);
  body.AddField("ZipCode", ZipCode);
  body.AddField("HomePhone", BestPhone);
  body.AddField("BestTime", BestTime);
  body.AddField("DebtAmount", DebtAmount);
  body.AddField("ActionButton", "quillbyapp");
  return body;
}

void TSignup::Post(net::TIdHTTP& Http) const {
  net::TIdMultiPartFormDataStream body = Body();
  try {
    Http.PostForm(kPath, body);
  } catch (const std::exception&) {
    // The reply is judged by its status and Location alone, which the post leaves readable.
  }
}

void TSignup::Judge(const net::TIdHTTP& Http) {
  if (Http.StatusCode() != 302) throw Exception(kSorry);
  const std::string location = Http.Location();
  if (location.find("emailexists.html") != std::string::npos) {
    throw Exception(
        "The email entered already exists!\r\n\r\nPlease try with a different email id.");
  }
  if (location.find("thank-you.html") == std::string::npos) throw Exception(kSorry);
}

void TSignup::Store(TQuillbyData& Data) const {
  Data.AddCounselling(0, FullName, Email, StreetAddress, ZipCode, BestPhone, BestTime, DebtAmount);
}

net::TIdMessage TReferral::Message() const {
  net::TIdMessage message;
  net::TIdEMailAddressItem& friendItem = message.Recipients.Add();
  friendItem.Name = SendToName;
  friendItem.Address = SendToEmail;
  net::TIdEMailAddressItem& manager = message.BccList.Add();
  manager.Name = deployment::kManagerName;
  manager.Address = deployment::kManagerAddress;
  message.From.Name = FromName;
  message.From.Address = FromEmail;
  message.Subject = Subject;
  message.ContentType = "text/html";
  // The text is escaped before its line breaks become markup of their own.
  std::string converted = net::HtmlText(Comments);
  for (size_t at = 0; (at = converted.find("\r\n", at)) != std::string::npos; at += 4) {
    converted.replace(at, 2, "<br>");
  }
  message.Body = {"<html><head><title></title></head>", "<body>", converted, "</body></html>"};
  return message;
}

net::TIdMessage TFeedback::Message() const {
  net::TIdMessage message;
  net::TIdEMailAddressItem& recipient = message.Recipients.Add();
  recipient.Name = deployment::kFeedbackName;
  recipient.Address = deployment::kManagerAddress;
  message.From.Name = "Quillby";
  message.From.Address = deployment::kMailAccount;
  message.ContentType = "text/html";
  message.Body = {"<html><head><title>Feedback for Quillby</title></head>", "<body>",
                  "<p>Following is the feedback provided by a Quillby user:</p>",
                  "<p>" + net::HtmlText(Comment) + "</p></body></html>"};
  return message;
}

void TFeedback::Store(TQuillbyData& Data, std::chrono::system_clock::time_point Sent) const {
  Data.AddFeedback(0, Comment, Sent);
}

void SubmitMessage(net::TIdSMTP& Smtp, net::TIdMessage& Message) {
  Smtp.Connect();
  try {
    if (!Smtp.Authenticate()) throw Exception("SMTP Authentication failed.");
    Smtp.Send(Message);
  } catch (...) {
    // The first failure is the one to report; the connection goes either way.
    try {
      Smtp.Disconnect();
    } catch (...) {
    }
    throw;
  }
  Smtp.Disconnect();
}
