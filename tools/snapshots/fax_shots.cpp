#include <QDir>
#include <QFileInfo>
#include <QPdfWriter>
#include <cstdio>

#include "desktop/fax_sheet.h"
#include "platform/exception.h"
#include "tools/snapshots/shots.h"

namespace {

const QPageLayout kLetter(QPageSize(QPageSize::Letter), QPageLayout::Portrait,
                          QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);

// Each page as Name.png, Name_2.png, ..., and the whole sheet as Name.pdf.
void SaveSheet(const TFaxSheet& Sheet, const TShotContext& Context, const QString& Name) {
  const QDir out(Context.OutDir);
  const std::vector<QImage> pages = FaxPictures(Sheet, kLetter, 96);
  for (size_t i = 0; i < pages.size(); ++i) {
    const QString path =
        out.filePath(Name + (i == 0 ? QString() : "_" + QString::number(i + 1)) + ".png");
    if (!pages[i].save(path, "PNG")) {
      throw Exception("Cannot write the picture '" + path.toStdString() + "'.");
    }
    std::printf("%s\n", path.toLocal8Bit().constData());
  }
  const QString pdf = out.filePath(Name + ".pdf");
  {
    QPdfWriter writer(pdf);
    writer.setPageLayout(kLetter);
    writer.setTitle(Sheet.Subject);
    writer.setCreator("Quillby Desktop");
    PrintFax(Sheet, writer);
  }
  if (QFileInfo(pdf).size() == 0)
    throw Exception("Cannot write the file '" + pdf.toStdString() + "'.");
  std::printf("%s\n", pdf.toLocal8Bit().constData());
}

void ShootFax(TShotContext& Context) {
  const QString from = "Ann Example";
  SaveSheet(SignupFax({"Ann Example", "ann@example.org", "1 Main St", "97035", "555 0100",
                       "Evenings", "$5001 - $10000"},
                      from),
            Context, "fax_1_free_counsel");
  SaveSheet(ReferralFax({"Ann Example", "ann@example.org", "Bob Friend", "bob@example.org",
                         "Start your journey to be debt free.",
                         "Hi Bob,\n\nThe community here helped me out of my debts. Have a look "
                         "at what they offer.\n\nThanks\nAnn\n"},
                        from),
            Context, "fax_2_refer_friend");
  SaveSheet(FeedbackFax("The calculator helped me see where my money goes.\n\nCould the "
                        "Free Counseling form also ask for a second phone number?",
                        from),
            Context, "fax_3_help_improve");
}

[[maybe_unused]] const bool registered = RegisterShot("fax", &ShootFax);

}  // namespace
