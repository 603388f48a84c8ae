#include "desktop/fax_sheet.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QLocale>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QTextLayout>
#include <algorithm>
#include <iterator>
#include <memory>

#include "desktop/artwork.h"
#include "desktop/contact.h"
#include "desktop/look.h"
#include "desktop/print_preview.h"
#include "dialogs/app_events.h"
#include "dialogs/signup_dialog.h"
#include "platform/exception.h"

namespace {

// The sheet is designed in 96-dpi pixels, the unit of the program's fonts and pictures, and
// drawn in the device's own pixels, so that text is measured where it is printed.
constexpr double kUnitsPerInch = 96;
constexpr double kCaptionColumn = 150;  // where a value beside its caption starts
constexpr double kCoverHeader = 100;    // emblem and title, on the first page
constexpr double kPageHeader = 34;      // the reminder at the top of the following pages
constexpr double kFooter = 30;
constexpr double kBandHeight = 26;

QFont CaptionFont() { return look::ArialFont(14, true); }
QFont ValueFont() { return look::TimesFont(16); }

class TFaxLayout {
 public:
  TFaxLayout(const TFaxSheet& Sheet, const QPaintDevice* Device, QSizeF Area, int Pages);
  int PageCount() const { return FPage + 1; }
  void Paint(QPainter& p, int Page) const;

 private:
  struct TLine {
    int Page;
    QPointF At;
    QTextLine Line;
    QColor Colour;
  };
  struct TBand {
    int Page;
    double Top;
  };

  double U(double Units) const { return Units * FScale; }
  QFont Scaled(QFont Font) const;
  // Text broken into lines Width wide: a layout per paragraph, an empty paragraph a blank line.
  std::vector<QTextLine> Wrap(const QString& Text, const QFont& Font, double Width);
  // Moves to the next page unless Height more fits on this one.
  void Need(double Height);
  void Place(const QTextLine& Line, double Left, double Top, const QColor& Colour);
  void Row(const QString& Caption, const QString& Value, bool Below);
  void Band();
  void Paragraph(const QString& Text);
  void PaintHeader(QPainter& p, int Page) const;

  const TFaxSheet& FSheet;
  const QPaintDevice* FDevice;
  QSizeF FArea;
  double FScale;
  int FPages;  // as the cover states it
  std::vector<std::unique_ptr<QTextLayout>> FLayouts;
  std::vector<TLine> FLines;
  std::vector<TBand> FBands;
  int FPage = 0;
  double FY = 0;
};

TFaxLayout::TFaxLayout(const TFaxSheet& Sheet, const QPaintDevice* Device, QSizeF Area, int Pages)
    : FSheet(Sheet),
      FDevice(Device),
      FArea(Area),
      FScale(Device->logicalDpiY() / kUnitsPerInch),
      FPages(Pages) {
  FY = U(kCoverHeader);
  Row("To:", QString("%1\n%2\n%3").arg(contact::kServiceName, contact::kStreet, contact::kTown),
      false);
  Row("Fax:", contact::kFax, false);
  Row("From:", Sheet.From, false);
  Row("Date:", QLocale().toString(Sheet.Date, QLocale::LongFormat), false);
  Row("Pages:", QString::number(FPages), false);
  Row("Re:", Sheet.Subject, false);
  FY += U(12);
  Band();
  for (const TFaxField& field : Sheet.Fields) Row(field.Caption, field.Value, field.Below);
  if (!Sheet.Closing.isEmpty()) {
    FY += U(10);
    Paragraph(Sheet.Closing);
  }
}

QFont TFaxLayout::Scaled(QFont Font) const {
  Font.setPixelSize(std::max(1, qRound(Font.pixelSize() * FScale)));
  return Font;
}

std::vector<QTextLine> TFaxLayout::Wrap(const QString& Text, const QFont& Font, double Width) {
  QTextOption option;
  option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  std::vector<QTextLine> lines;
  for (const QString& paragraph : Text.split(QLatin1Char('\n'))) {
    auto layout = std::make_unique<QTextLayout>(paragraph, Scaled(Font), FDevice);
    layout->setTextOption(option);
    layout->beginLayout();
    for (QTextLine line = layout->createLine(); line.isValid(); line = layout->createLine()) {
      line.setLineWidth(U(Width));
      line.setPosition(QPointF(0, 0));
      lines.push_back(line);
    }
    layout->endLayout();
    FLayouts.push_back(std::move(layout));
  }
  return lines;
}

void TFaxLayout::Need(double Height) {
  const double bottom = FArea.height() - U(kFooter);
  const double top = U(FPage == 0 ? kCoverHeader : kPageHeader);
  // What does not fit on an empty page is printed all the same, rather than lost.
  if (FY + Height > bottom && FY > top) {
    ++FPage;
    FY = U(kPageHeader);
  }
}

void TFaxLayout::Place(const QTextLine& Line, double Left, double Top, const QColor& Colour) {
  FLines.push_back({FPage, QPointF(Left, Top), Line, Colour});
}

void TFaxLayout::Row(const QString& Caption, const QString& Value, bool Below) {
  const double width = FArea.width() / FScale;
  const std::vector<QTextLine> captions =
      Wrap(Caption, CaptionFont(), Below ? width : kCaptionColumn - 8);
  const std::vector<QTextLine> values =
      Wrap(Value, ValueFont(), Below ? width : width - kCaptionColumn);
  double captionsEnd = 0;
  if (Below) {
    Need(captions.front().height() + values.front().height());
    for (const QTextLine& line : captions) {
      Place(line, 0, FY, look::kDarkTeal);
      FY += line.height();
    }
    FY += U(2);
  } else {
    // A caption stands on its value's first line, on the same baseline.
    Need(std::max(captions.front().height(), values.front().height()));
    captionsEnd = FY + std::max(0.0, values.front().ascent() - captions.front().ascent());
    for (const QTextLine& line : captions) {
      Place(line, 0, captionsEnd, look::kDarkTeal);
      captionsEnd += line.height();
    }
  }
  const int page = FPage;
  for (const QTextLine& line : values) {
    Need(line.height());
    Place(line, Below ? 0 : U(kCaptionColumn), FY, Qt::black);
    FY += line.height();
  }
  if (page == FPage) FY = std::max(FY, captionsEnd);
  FY += U(8);
}

void TFaxLayout::Band() {
  Need(U(kBandHeight + 40));
  FBands.push_back({FPage, FY});
  FY += U(kBandHeight + 12);
}

void TFaxLayout::Paragraph(const QString& Text) {
  for (const QTextLine& line : Wrap(Text, ValueFont(), FArea.width() / FScale)) {
    Need(line.height());
    Place(line, 0, FY, Qt::black);
    FY += line.height();
  }
}

void TFaxLayout::PaintHeader(QPainter& p, int Page) const {
  const double width = FArea.width();
  if (Page == 0) {
    p.save();
    p.translate(0, U(2));
    p.scale(U(84) / artwork::kIconUnits, U(84) / artwork::kIconUnits);
    artwork::PaintIcon(p);
    p.restore();
    p.setFont(Scaled(look::ArialFont(44, true, true)));
    p.setPen(look::kTitleOrange);
    p.drawText(QPointF(U(104), U(50)), "FAX");
    p.setFont(Scaled(look::ArialFont(16, true, true)));
    p.setPen(look::kSeaGreen);
    p.drawText(QPointF(U(106), U(76)), "Quillby Desktop");
    p.fillRect(QRectF(0, U(kCoverHeader - 12), width, U(3)), look::kDarkTeal);
  } else {
    const QFont font = Scaled(look::ArialFont(12, false, true));
    p.setFont(font);
    p.setPen(look::kSeaGreen);
    const QString reminder = QString("Fax to %1 from %2: %3, continued")
                                 .arg(contact::kServiceName, FSheet.From, FSheet.Subject);
    p.drawText(QPointF(0, U(14)),
               QFontMetricsF(font, FDevice).elidedText(reminder, Qt::ElideRight, width));
    p.fillRect(QRectF(0, U(20), width, U(1)), look::kDarkTeal);
  }

  const QFont footer = Scaled(look::ArialFont(12, true, true));
  const double rule = FArea.height() - U(kFooter - 8);
  p.fillRect(QRectF(0, rule, width, U(1)), look::kDarkTeal);
  p.setFont(footer);
  p.setPen(look::kDarkTeal);
  const QRectF line(0, rule + U(4), width, U(kFooter - 12));
  p.drawText(line, Qt::AlignLeft | Qt::AlignVCenter, "Quillby Desktop");
  p.drawText(line, Qt::AlignRight | Qt::AlignVCenter,
             QString("Page %1 of %2").arg(Page + 1).arg(FPages));
}

void TFaxLayout::Paint(QPainter& p, int Page) const {
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);
  PaintHeader(p, Page);
  for (const TBand& band : FBands) {
    if (band.Page != Page) continue;
    const QRectF rect(0, band.Top, FArea.width(), U(kBandHeight));
    p.fillRect(rect, look::kDarkTeal);
    p.setFont(Scaled(look::ArialFont(16, true)));
    p.setPen(Qt::white);
    p.drawText(rect, Qt::AlignCenter, FSheet.Subject);
  }
  for (const TLine& line : FLines) {
    if (line.Page != Page) continue;
    p.setPen(line.Colour);
    line.Line.draw(&p, line.At);
  }
  p.restore();
}

// Laid out once more when the page count the cover states turns out different.
std::unique_ptr<TFaxLayout> LayOut(const TFaxSheet& Sheet, const QPaintDevice* Device,
                                   QSizeF Area) {
  auto layout = std::make_unique<TFaxLayout>(Sheet, Device, Area, 1);
  for (int tries = 0; tries < 3 && layout->PageCount() != 1; ++tries) {
    const int pages = layout->PageCount();
    layout = std::make_unique<TFaxLayout>(Sheet, Device, Area, pages);
    if (layout->PageCount() == pages) break;
  }
  return layout;
}

}  // namespace

TFaxSheet SignupFax(const TSignupValues& Values, const QString& From) {
  TFaxSheet sheet;
  sheet.Subject = "Free Counseling";
  sheet.From = From;
  const QString* values[] = {&Values.FullName,  &Values.Email, &Values.StreetAddress,
                             &Values.ZipCode,   &Values.Phone, &Values.BestTime,
                             &Values.DebtAmount};
  static_assert(std::size(values) == std::size(kSignupCaptions));
  for (size_t i = 0; i < std::size(values); ++i) {
    sheet.Fields.push_back({kSignupCaptions[i], *values[i]});
  }
  sheet.Closing =
      "Please call me on " + Values.Phone + " for a free consultation" +
      (Values.BestTime.isEmpty() ? QString(".")
                                 : "; the best time to call me is " + Values.BestTime + ".");
  return sheet;
}

TFaxSheet ReferralFax(const TReferralValues& Values, const QString& From) {
  TFaxSheet sheet;
  sheet.Subject = "Refer a friend";
  sheet.From = From;
  sheet.Fields = {{"Send To Name:", Values.SendToName}, {"Send to Email:", Values.SendToEmail},
                  {"From Name:", Values.FromName},      {"From Email:", Values.FromEmail},
                  {"Subject:", Values.Subject},         {"Comment:", Values.Message, true}};
  sheet.Closing = "Please pass this message on to my friend.";
  return sheet;
}

TFaxSheet FeedbackFax(const QString& Feedback, const QString& From) {
  TFaxSheet sheet;
  sheet.Subject = "Help us improve";
  sheet.From = From;
  sheet.Fields = {{"Feedback:", Feedback, true}};
  return sheet;
}

int PrintFax(const TFaxSheet& Sheet, QPagedPaintDevice& Device) {
  QPainter p;
  if (!p.begin(&Device)) throw Exception("The fax sheet cannot be printed: the printer refused.");
  const auto layout = LayOut(Sheet, &Device, QSizeF(Device.width(), Device.height()));
  for (int page = 0; page < layout->PageCount(); ++page) {
    if (page > 0 && !Device.newPage()) {
      throw Exception("The fax sheet cannot be printed: the printer refused page " +
                      std::to_string(page + 1) + ".");
    }
    layout->Paint(p, page);
  }
  return layout->PageCount();
}

std::vector<QImage> FaxPictures(const TFaxSheet& Sheet, const QPageLayout& Layout, int Dpi) {
  const QRect full = Layout.fullRectPixels(Dpi);
  const QRect paint = Layout.paintRectPixels(Dpi);
  const auto blank = [Dpi](QSize size) {
    QImage image(size, QImage::Format_RGB32);
    image.setDotsPerMeterX(qRound(Dpi / 0.0254));
    image.setDotsPerMeterY(qRound(Dpi / 0.0254));
    image.fill(Qt::white);
    return image;
  };
  // Measured on a picture of the pages' resolution that outlives the layout.
  const QImage metrics = blank(QSize(1, 1));
  const auto layout = LayOut(Sheet, &metrics, paint.size());
  std::vector<QImage> pictures;
  for (int page = 0; page < layout->PageCount(); ++page) {
    pictures.push_back(blank(full.size()));
    QPainter p(&pictures.back());
    p.translate(paint.topLeft());
    layout->Paint(p, page);
  }
  return pictures;
}

void PreviewFax(const TFaxSheet& Sheet, QWidget* Parent) {
  TPrintPreview preview;
  preview.DocumentName = QString("Fax to %1: %2").arg(contact::kServiceName, Sheet.Subject);
  preview.Title = "Quillby Desktop";
  // Start-up has set the program's icon; painting it again would cost what start-up saved.
  const QIcon icon = QApplication::windowIcon();
  preview.Icon = icon.isNull() ? artwork::ApplicationIcon(artwork::IconImages()) : icon;
  preview.Description = "Print preview of the fax sheet: " + Sheet.Subject;
  preview.Parent = Parent;
  preview.Paint = [&Sheet](QWidget& Window, QPagedPaintDevice& Printer) {
    Guard(&Window, [&] { PrintFax(Sheet, Printer); });
  };
  ShowPrintPreview(preview);
}
