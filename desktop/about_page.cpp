#include "deployment.h"
#include "desktop/contact.h"
#include "desktop/desktop_form.h"
#include "desktop/page.h"

using namespace page;

void TDesktopForm::BuildAbout() {
  pnlAbout = MakePageFrame(tsAbout, "pnlAbout", Label19, "Label19",
                           "Quillby Desktop 1.0, made by the Marrowvale volunteers  ");
  QWidget* about = pnlAbout;
  const QFont text = look::TimesFont(12);
  const QFont bold = look::TimesFont(12, true);
  const QFont italic = look::TimesFont(12, false, true);

  MakeBand(about, "Label20", "Marrowvale Desktop", 26, look::ArialFont(13, true), 112, 241, 24);

  MakeParagraph(
      about, "Label32",
      "The Marrowvale community helps individuals and families reduce and repay their debts. "
      "Members share tools and tips on repairing credit, on dealing with creditors and "
      "collection agencies, and on keeping a budget that works.",
      QRect(112, 64, 455, 61), text);
  MakeParagraph(
      about, "Label33",
      "Our goal is to see you debt free, with a better credit rating and without collection "
      "agencies at your door. We give you unbiased information, so that you can weigh the "
      "ways out of debt, credit counselling and budgeting, and choose what suits you.",
      QRect(112, 131, 446, 81), text);

  MakeLabel(about, "Label34", "Contact Details", 112, 215, bold);
  MakeLabel(about, "Label35",
            QString("%1\n%2\n%3").arg(contact::kServiceName, contact::kStreet, contact::kTown), 112,
            236, text);

  QLabel* phones = MakeLabel(about, "Label36", contact::kTollFree + QString("  ("), 112, 290, text);
  QLabel* tollFree = FollowOn(MakeLabel(about, "Label37", "Toll-Free ", 300, 290, bold), phones);
  FollowOn(MakeLabel(about, "Label38", ")", 352, 290, text), tollFree);
  MakeLabel(about, "Label39",
            "Give us a call to get a free consultation ( between 9 AM and 6 PM PST )", 112, 305,
            italic);

  QLabel* fax = MakeLabel(about, "Label40", contact::kFax + QString(" ("), 112, 331, text);
  QLabel* faxWord =
      FollowOn(MakeLabel(about, "Label41", "Fax", 297, 331, look::TimesFont(13, true, true)), fax);
  FollowOn(MakeLabel(about, "Label42", ")", 321, 331, text), faxWord);
  MakeLabel(about, "Label43", "( or fax us your financial problem )", 112, 346, italic);

  QLabel* mail = MakeLabel(about, "Label44",
                           QString::fromLatin1(deployment::kManagerAddress) + " (", 112, 371, text);
  QLabel* manager =
      FollowOn(MakeLabel(about, "Label46", "Community Manager", 288, 371, bold), mail);
  FollowOn(MakeLabel(about, "Label47", ")", 403, 371, text), manager);
}
