#include "dialogs/glyphs.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QtMath>
#include <functional>

QImage SharpCanvas(int Width, int Height) {
  return SharpCanvas(Width, Height, qGuiApp ? qGuiApp->devicePixelRatio() : 1.0);
}

QImage SharpCanvas(int Width, int Height, qreal Ratio) {
  QImage image(qCeil(Width * Ratio), qCeil(Height * Ratio), QImage::Format_ARGB32_Premultiplied);
  image.setDevicePixelRatio(Ratio);
  image.fill(Qt::transparent);
  return image;
}

QPixmap DrawGlyph(int Size, const std::function<void(QPainter&)>& Paint, bool Disabled) {
  QImage image = SharpCanvas(Size, Size);
  {
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    Paint(painter);
  }
  if (Disabled) {
    // The greyed twin: every pixel as a light grey of its brightness, same coverage.
    for (int y = 0; y < image.height(); ++y) {
      auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
      for (int x = 0; x < image.width(); ++x) {
        const QColor c = QColor::fromRgba(qUnpremultiply(line[x]));
        const int grey = 128 + qGray(c.rgb()) / 3;
        line[x] = qPremultiply(qRgba(grey, grey, grey, c.alpha()));
      }
    }
  }
  return QPixmap::fromImage(std::move(image));
}

namespace {

const QColor kGreen(0, 128, 0);
const QColor kRed(200, 0, 0);

QPen Stroke(const QColor& Colour, qreal Width) {
  return QPen(Colour, Width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void CheckMark(QPainter& p) {
  p.setPen(Stroke(kGreen, 3));
  p.drawPolyline(QPolygonF({QPointF(3, 9.5), QPointF(7, 13.5), QPointF(15, 4.5)}));
}

void Cross(QPainter& p) {
  p.setPen(Stroke(kRed, 3));
  p.drawLine(QPointF(4.5, 4.5), QPointF(13.5, 13.5));
  p.drawLine(QPointF(13.5, 4.5), QPointF(4.5, 13.5));
}

void NoEntry(QPainter& p) {
  p.setPen(QPen(QColor(120, 0, 0), 1));
  p.setBrush(kRed);
  p.drawEllipse(QPointF(9, 9), 7.5, 7.5);
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::white);
  p.drawRect(QRectF(4, 7.5, 10, 3));
}

void CircularArrows(QPainter& p) {
  p.setPen(Stroke(kGreen, 2));
  p.setBrush(Qt::NoBrush);
  const QRectF ring(3.5, 3.5, 11, 11);
  p.drawArc(ring, 30 * 16, 140 * 16);
  p.drawArc(ring, 210 * 16, 140 * 16);
  p.setPen(Qt::NoPen);
  p.setBrush(kGreen);
  // Arrow heads at the end of each arc, pointing along the turn.
  p.drawPolygon(QPolygonF({QPointF(1.5, 7), QPointF(6.5, 7), QPointF(4, 11)}));
  p.drawPolygon(QPolygonF({QPointF(16.5, 11), QPointF(11.5, 11), QPointF(14, 7)}));
}

void WalkingFigure(QPainter& p) {
  p.setPen(Qt::NoPen);
  p.setBrush(kGreen);
  p.drawEllipse(QPointF(10, 3), 2, 2);
  p.setPen(Stroke(kGreen, 2));
  p.drawLine(QPointF(9.5, 6), QPointF(8.5, 11));       // body
  p.drawLine(QPointF(8.5, 11), QPointF(5, 16));        // back leg
  p.drawLine(QPointF(8.5, 11), QPointF(11, 13.5));     // front thigh
  p.drawLine(QPointF(11, 13.5), QPointF(11.5, 16.5));  // front shin
  p.drawLine(QPointF(9.5, 7), QPointF(5.5, 9.5));      // back arm
  p.drawLine(QPointF(9.5, 7), QPointF(13, 9));         // front arm
}

void Key(QPainter& p) {
  const QColor gold(240, 200, 20);
  const QColor edge(140, 100, 0);
  QPainterPath key;
  key.addEllipse(QPointF(4.5, 8), 3.5, 3.5);
  key.addRect(QRectF(7.5, 7, 7.5, 2.5));
  key.addRect(QRectF(11, 9, 1.5, 2.5));
  key.addRect(QRectF(13.5, 9, 1.5, 3));
  key = key.simplified();
  QPainterPath hole;
  hole.addEllipse(QPointF(3.8, 8), 1.2, 1.2);
  p.setPen(QPen(edge, 1));
  p.setBrush(gold);
  p.drawPath(key.subtracted(hole));
}

}  // namespace

QPixmap KindGlyph(TBitBtnKind Kind, bool Disabled) {
  switch (Kind) {
    case TBitBtnKind::OK:
    case TBitBtnKind::Yes:
      return DrawGlyph(18, CheckMark, Disabled);
    case TBitBtnKind::Cancel:
    case TBitBtnKind::Abort:
      return DrawGlyph(18, Cross, Disabled);
    case TBitBtnKind::No:
      return DrawGlyph(18, NoEntry, Disabled);
    case TBitBtnKind::Retry:
      return DrawGlyph(18, CircularArrows, Disabled);
    case TBitBtnKind::Ignore:
      return DrawGlyph(18, WalkingFigure, Disabled);
    case TBitBtnKind::Custom:
      break;
  }
  return {};
}

QPixmap KeyGlyph(bool Disabled) { return DrawGlyph(16, Key, Disabled); }
