#pragma once

#include <QIcon>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <vector>

// The product's pictures, drawn for this project by code so that no bitmap has to be kept: at run
// time, and the splash also during the build (tools/splash).
namespace artwork {

// The start-up splash, 447 × 245 at Ratio device pixels to each 96-dpi pixel. The program shows
// the copies painted during the build where it can (SplashPicture, app/splash_form.h).
inline constexpr QSize kSplashSize{447, 245};
QPixmap SplashArt(qreal Ratio);
QPixmap Logo();             // 117 × 87, the header's logo
QPixmap SideBanner();       // 153 × 205, top of the side bar
QPixmap CommunityStrip();   // 144 × 53
QPixmap Quill();            // 53 × 82
QPixmap House();            // 97 × 72
QPixmap CalculatorGlyph();  // 16 × 16
QPixmap ReviewGlyph();      // 16 × 16
QPixmap CounselBenefits();  // 179 × 298, the Free Counseling tab's slogan and benefits
QPixmap SendMailGlyph(bool Disabled = false);  // 16 × 16, greyed when disabled
QPixmap ResetGlyph(bool Disabled = false);     // 16 × 16, greyed when disabled

// The logo's emblem as the application's icon, on a transparent square of 80 × 80 units.
constexpr int kIconUnits = 80;
void PaintIcon(QPainter& p);
// The window icon's sizes, for task bars and window switchers (the usual 16 to 48 px, and 64).
// Larger views take the installed icon theme's pictures (up to 256 px); copies at 128 and 256 px
// in the window icon were kept for the whole run and converted again as each window is made.
inline constexpr int kWindowIconSizes[] = {16, 32, 48, 64};
// The icon painted at Size × Size pixels; IconImages paints it at kWindowIconSizes and needs no
// GUI thread, and ApplicationIcon makes the window icon of what it painted.
QImage IconImage(int Size);
std::vector<QImage> IconImages();
QIcon ApplicationIcon(std::vector<QImage> Images);

}  // namespace artwork
