#pragma once

#include <QDate>
#include <QImage>
#include <QPageLayout>
#include <QString>
#include <vector>

class QPagedPaintDevice;
class QWidget;

// A request written out as a fax to the service, for a person without a connection. Every value
// is printed exactly as typed, as plain text.
struct TFaxField {
  QString Caption;
  QString Value;
  // The value runs under its caption across the page, for a text of many lines.
  bool Below = false;
};

struct TFaxSheet {
  QString Subject;  // what is asked for: the cover's "Re:" and the band above the fields
  QString From;     // the signed-in user's full name
  QDate Date = QDate::currentDate();
  std::vector<TFaxField> Fields;
  QString Closing;  // a paragraph after the fields, or empty
};

// What the three sending tabs hold, as their controls show it.
struct TSignupValues {
  QString FullName, Email, StreetAddress, ZipCode, Phone, BestTime, DebtAmount;
};
struct TReferralValues {
  QString FromName, FromEmail, SendToName, SendToEmail, Subject, Message;
};

TFaxSheet SignupFax(const TSignupValues& Values, const QString& From);
TFaxSheet ReferralFax(const TReferralValues& Values, const QString& From);
TFaxSheet FeedbackFax(const QString& Feedback, const QString& From);

// Prints the sheet on Device, laid out for its page, one page after the other; returns the
// number of pages. Throws Exception when the device cannot be painted on.
int PrintFax(const TFaxSheet& Sheet, QPagedPaintDevice& Device);

// The sheet's pages as white pictures of a page with Layout's size and margins at Dpi.
std::vector<QImage> FaxPictures(const TFaxSheet& Sheet, const QPageLayout& Layout, int Dpi);

// Shows the sheet in a print preview, from which it goes to any printer the desktop knows or
// into a PDF file; returns when the preview is closed.
void PreviewFax(const TFaxSheet& Sheet, QWidget* Parent);
