#pragma once

#include <QIcon>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <vector>

// The product's pictures, drawn for this project at run time so that no bitmap has to ship.
namespace artwork {

QPixmap SplashArt();        // 447 × 245, the start-up splash
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
// The icon painted at Size × Size pixels; IconImages paints it at the window icon's usual sizes
// and needs no GUI thread, and ApplicationIcon makes the window icon of what it painted.
QImage IconImage(int Size);
std::vector<QImage> IconImages();
QIcon ApplicationIcon(std::vector<QImage> Images);

}  // namespace artwork
