#include "desktop/artwork.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include "desktop/look.h"
#include "dialogs/glyphs.h"

namespace artwork {
namespace {

// Canvas, a picture in 96-dpi coordinates (SharpCanvas), filled with Fill.
QPixmap Filled(const QImage& Canvas, const QColor& Fill) {
  QPixmap pixmap = QPixmap::fromImage(Canvas);
  pixmap.fill(Fill);
  return pixmap;
}

// A picture in 96-dpi coordinates with the device pixels of the sharpest screen.
QPixmap Blank(int width, int height, const QColor& fill) {
  return Filled(SharpCanvas(width, height), fill);
}

// Fills the whole picture, shading from Top at its top edge to Bottom at its bottom edge.
void FillShadedDown(QPainter& p, const QPixmap& pixmap, const QColor& Top, const QColor& Bottom) {
  const QRectF area(QPointF(0, 0), pixmap.deviceIndependentSize());
  QLinearGradient shade(0, 0, 0, area.height());
  shade.setColorAt(0, Top);
  shade.setColorAt(1, Bottom);
  p.fillRect(area, shade);
}

// A quill pen: a curved vane with a shaft, its nib at `nib`, tilted by `tilt` degrees.
void DrawQuill(QPainter& p, QPointF nib, double length, const QColor& vane, double tilt) {
  p.save();
  p.translate(nib);
  p.rotate(tilt);
  QPainterPath feather;
  feather.moveTo(0, 0);
  feather.cubicTo(length * 0.10, -length * 0.35, length * 0.30, -length * 0.85, 0, -length);
  feather.cubicTo(-length * 0.22, -length * 0.70, -length * 0.16, -length * 0.30, 0, 0);
  p.setPen(QPen(vane.darker(150), 1));
  p.setBrush(vane);
  p.drawPath(feather);
  p.setPen(QPen(vane.darker(220), 1.5));
  p.drawLine(QPointF(0, 0), QPointF(length * 0.02, -length * 0.92));
  for (int i = 1; i < 7; ++i) {
    const double y = -length * (0.2 + i * 0.1);
    p.setPen(QPen(vane.lighter(130), 0.8));
    p.drawLine(QPointF(0, y), QPointF(length * 0.09, y - length * 0.06));
    p.drawLine(QPointF(0, y), QPointF(-length * 0.08, y - length * 0.05));
  }
  p.restore();
}

void DrawCoins(QPainter& p, QPointF base, int count, double radius) {
  for (int i = 0; i < count; ++i) {
    const QRectF coin(base.x() - radius, base.y() - i * radius * 0.35 - radius * 0.4, radius * 2,
                      radius * 0.8);
    p.setPen(QPen(QColor(150, 110, 20), 1));
    p.setBrush(QColor(232, 190, 70));
    p.drawEllipse(coin);
  }
}

}  // namespace

QPixmap SplashArt(qreal Ratio) {
  QPixmap pixmap = Filled(SharpCanvas(kSplashSize.width(), kSplashSize.height(), Ratio), Qt::white);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  FillShadedDown(p, pixmap, look::kDarkTeal, look::kMoneyGreen);  // the sky

  // Rolling hills: the way out of debt, step by step.
  QPainterPath hills;
  hills.moveTo(0, 200);
  hills.cubicTo(120, 150, 220, 230, 447, 170);
  hills.lineTo(447, 245);
  hills.lineTo(0, 245);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(120, 170, 120));
  p.drawPath(hills);

  QRadialGradient sun(360, 70, 50);
  sun.setColorAt(0, QColor(255, 230, 160));
  sun.setColorAt(1, QColor(255, 155, 106, 0));
  p.setBrush(sun);
  p.drawEllipse(QPointF(360, 70), 50, 50);

  DrawCoins(p, QPointF(330, 205), 6, 22);
  DrawCoins(p, QPointF(385, 215), 4, 18);
  DrawQuill(p, QPointF(34, 230), 150, QColor(250, 250, 245), 14);

  p.setPen(Qt::white);
  p.setFont(look::ArialFont(40, true, true));
  p.drawText(QRect(120, 40, 300, 50), Qt::AlignLeft | Qt::AlignVCenter, "Marrowvale");
  p.setPen(look::kTitleOrange);
  p.setFont(look::ArialFont(22, true, false));
  p.drawText(QRect(124, 88, 300, 30), Qt::AlignLeft | Qt::AlignVCenter, "Quillby Desktop");
  p.setPen(QColor(235, 245, 235));
  p.setFont(look::ArialFont(13, false, true));
  p.drawText(QRect(126, 120, 300, 20), Qt::AlignLeft | Qt::AlignVCenter,
             "Your community for a debt-free life");
  return pixmap;
}

namespace {

// The logo's emblem, centred on (58, 44) of the logo's picture.
void PaintEmblem(QPainter& p) {
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  p.setBrush(look::kMoneyGreen);
  p.drawEllipse(QPointF(58, 44), 38, 38);
  p.setBrush(look::kDarkTeal);
  p.drawEllipse(QPointF(58, 44), 30, 30);
  DrawCoins(p, QPointF(70, 66), 3, 12);
  DrawQuill(p, QPointF(40, 72), 58, Qt::white, 25);
}

}  // namespace

QPixmap Logo() {
  QPixmap pixmap = Blank(117, 87, Qt::white);
  QPainter p(&pixmap);
  PaintEmblem(p);
  return pixmap;
}

void PaintIcon(QPainter& p) {
  p.save();
  // The emblem's outer ring (radius 38) with a margin of 2 units all round.
  p.translate(kIconUnits / 2.0 - 58, kIconUnits / 2.0 - 44);
  PaintEmblem(p);
  p.restore();
}

QImage IconImage(int Size) {
  QImage image(Size, Size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.scale(double(Size) / kIconUnits, double(Size) / kIconUnits);
  PaintIcon(p);
  return image;
}

std::vector<QImage> IconImages() {
  std::vector<QImage> images;
  for (int size : kWindowIconSizes) images.push_back(IconImage(size));
  return images;
}

QIcon ApplicationIcon(std::vector<QImage> Images) {
  QIcon icon;
  for (QImage& image : Images) icon.addPixmap(QPixmap::fromImage(std::move(image)));
  return icon;
}

QPixmap SideBanner() {
  QPixmap pixmap = Blank(153, 205, look::kMoneyGreen);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  FillShadedDown(p, pixmap, Qt::white, look::kMoneyGreen);
  // A staircase of bars that shrink: debts going down.
  const int heights[] = {120, 95, 70, 48, 28};
  for (int i = 0; i < 5; ++i) {
    const QRectF bar(14 + i * 26, 180 - heights[i], 20, heights[i]);
    p.setPen(Qt::NoPen);
    p.setBrush(i < 3 ? look::kDarkTeal : look::kSeaGreen);
    p.drawRoundedRect(bar, 3, 3);
  }
  p.setPen(QPen(look::kTitleOrange, 3));
  p.drawLine(QPointF(18, 40), QPointF(140, 150));
  p.setPen(look::kDarkTeal);
  p.setFont(look::ArialFont(12, true, true));
  p.drawText(QRect(0, 182, 153, 20), Qt::AlignCenter, "Step by step");
  return pixmap;
}

QPixmap CommunityStrip() {
  QPixmap pixmap = Blank(144, 53, Qt::white);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  // Five heads and shoulders side by side.
  for (int i = 0; i < 5; ++i) {
    const double x = 16 + i * 28;
    const QColor colour = i % 2 ? look::kSeaGreen : look::kDarkTeal;
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawEllipse(QPointF(x, 17), 7, 7);
    p.drawRoundedRect(QRectF(x - 11, 27, 22, 20), 9, 9);
  }
  return pixmap;
}

QPixmap Quill() {
  QPixmap pixmap = Blank(53, 82, Qt::white);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  DrawQuill(p, QPointF(14, 79), 76, look::kDarkTeal, 18);
  return pixmap;
}

QPixmap House() {
  QPixmap pixmap = Blank(97, 72, Qt::white);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(look::kDarkTeal, 2));
  p.setBrush(QColor(245, 240, 225));
  p.drawRect(QRectF(22, 32, 52, 34));
  QPolygonF roof;
  roof << QPointF(14, 34) << QPointF(48, 8) << QPointF(82, 34);
  p.setBrush(look::kTitleOrange);
  p.drawPolygon(roof);
  p.setBrush(look::kSeaGreen);
  p.drawRect(QRectF(42, 46, 12, 20));
  p.setBrush(QColor(200, 230, 240));
  p.drawRect(QRectF(28, 40, 10, 9));
  p.drawRect(QRectF(58, 40, 10, 9));
  return pixmap;
}

QPixmap CalculatorGlyph() {
  QPixmap pixmap = Blank(16, 16, Qt::transparent);
  QPainter p(&pixmap);
  p.setPen(QColor(40, 40, 40));
  p.setBrush(QColor(230, 230, 220));
  p.drawRect(2, 0, 11, 15);
  p.fillRect(4, 2, 8, 3, look::kDarkTeal);
  for (int row = 0; row < 3; ++row) {
    for (int col = 0; col < 3; ++col) p.fillRect(4 + col * 3, 7 + row * 3, 2, 2, Qt::black);
  }
  return pixmap;
}

QPixmap ReviewGlyph() {
  QPixmap pixmap = Blank(16, 16, Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0, 128, 0));
  QPolygonF arrow;
  arrow << QPointF(1, 8) << QPointF(8, 2) << QPointF(8, 5) << QPointF(15, 5) << QPointF(15, 11)
        << QPointF(8, 11) << QPointF(8, 14);
  p.drawPolygon(arrow);
  return pixmap;
}

QPixmap CounselBenefits() {
  QPixmap pixmap = Blank(179, 298, QColor(226, 240, 220));
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);
  p.setPen(QPen(QColor(150, 190, 150), 1));
  p.drawRect(QRectF(0.5, 0.5, 178, 297));

  p.setPen(look::kDarkTeal);
  p.setFont(look::ArialFont(13, true, true));
  p.drawText(QRect(6, 8, 167, 36), Qt::AlignCenter | Qt::TextWordWrap,
             "Take the first step out of debt today");

  const char* const benefits[] = {
      "Lower your monthly payments",     "Reduce your interest rates", "Have late fees waived",
      "Stop the collection calls",       "Avoid bankruptcy",           "One single monthly payment",
      "Be debt free in 12 to 36 months",
  };
  p.setFont(look::SansFont(11, true));
  int top = 56;
  for (const char* benefit : benefits) {
    QPainterPath tick;
    tick.moveTo(8, top + 9);
    tick.lineTo(12, top + 14);
    tick.lineTo(20, top + 3);
    p.setPen(QPen(QColor(0, 140, 0), 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(tick);
    p.setPen(QColor(30, 60, 30));
    p.drawText(QRect(26, top, 147, 34), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, benefit);
    top += 34;
  }
  return pixmap;
}

QPixmap SendMailGlyph(bool Disabled) {
  return DrawGlyph(
      16,
      [](QPainter& p) {
        p.setPen(QPen(QColor(60, 60, 60), 1));
        p.setBrush(QColor(250, 246, 220));
        p.drawRect(QRectF(1.5, 3.5, 13, 9));
        p.drawPolyline(QPolygonF() << QPointF(1.5, 3.5) << QPointF(8, 9) << QPointF(14.5, 3.5));
      },
      Disabled);
}

QPixmap ResetGlyph(bool Disabled) {
  return DrawGlyph(
      16,
      [](QPainter& p) {
        p.setPen(QPen(QColor(0, 90, 160), 2, Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(2.5, 2.5, 11, 11), 60 * 16, 270 * 16);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 90, 160));
        p.drawPolygon(QPolygonF() << QPointF(9, 0) << QPointF(14, 3) << QPointF(9, 6));
      },
      Disabled);
}

}  // namespace artwork
