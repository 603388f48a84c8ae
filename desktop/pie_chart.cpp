#include "desktop/pie_chart.h"

#include <QLocale>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

#include "desktop/accessibility.h"
#include "dialogs/app_events.h"

namespace {

// Legend: colour boxes 15 wide; the pie keeps clear of the legend's column.
constexpr int kLegendBox = 15;
constexpr int kLegendLeft = 8;
constexpr int kHorizontalMargin = 200;
constexpr int kDepth = 8;  // height of the tilted pie's rim

}  // namespace

TPieChart::TPieChart(QWidget* parent) : QWidget(parent) { InstallDesktopAccessibility(); }

void TPieChart::Clear() {
  FPoints.clear();
  Changed();
}

void TPieChart::AddXY(double X, double Value, const QString& Label, const QColor& Color) {
  FPoints.push_back({X, Value, Label, Color});
  Changed();
}

// A screen reader reads the legend, one line a point.
void TPieChart::Changed() {
  QStringList legend;
  for (int i = 0; i < static_cast<int>(FPoints.size()); ++i) legend << LegendText(i);
  setAccessibleDescription(legend.join(QLatin1Char('\n')));
  update();
}

double TPieChart::MagnitudeSum() const {
  double sum = 0;
  for (const auto& point : FPoints) sum += std::fabs(point.Value);
  return sum;
}

double TPieChart::Percent(int Index) const {
  const double sum = MagnitudeSum();
  if (sum == 0) return 0;
  return FPoints.at(Index).Value * 100 / sum;
}

QString TPieChart::FormatPercent(double Percent) {
  QLocale locale;
  locale.setNumberOptions(QLocale::OmitGroupSeparator);
  QString text = locale.toString(Percent, 'f', 2);
  // Up to two decimals: trailing zeros and a bare separator go.
  const QString point = locale.decimalPoint();
  if (text.contains(point)) {
    while (text.endsWith(locale.zeroDigit())) text.chop(locale.zeroDigit().size());
    if (text.endsWith(point)) text.chop(point.size());
  }
  if (text == locale.negativeSign() + locale.zeroDigit()) text = locale.zeroDigit();
  return text + QStringLiteral(" %");
}

QString TPieChart::LegendText(int Index) const {
  return FPoints.at(Index).Label + QLatin1Char(' ') + FormatPercent(Percent(Index));
}

void TPieChart::paintEvent(QPaintEvent*) {
  GuardPaint(this, [this] { Paint(); });
}

void TPieChart::Paint() {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  if (FPoints.empty()) return;

  // Legend at the left, entries stacked and centred vertically.
  const QFontMetrics metrics(font());
  const int line = std::max(metrics.height(), kLegendBox) + 4;
  int y = (height() - line * static_cast<int>(FPoints.size())) / 2;
  int legendRight = kLegendLeft;
  for (int i = 0; i < static_cast<int>(FPoints.size()); ++i) {
    const QRect box(kLegendLeft, y + (line - 10) / 2, kLegendBox, 10);
    painter.setPen(Qt::black);
    painter.setBrush(FPoints[i].Color);
    painter.drawRect(box);
    const QString text = LegendText(i);
    painter.drawText(QRect(box.right() + 6, y, width(), line), Qt::AlignLeft | Qt::AlignVCenter,
                     text);
    legendRight = std::max(legendRight, box.right() + 6 + metrics.horizontalAdvance(text));
    y += line;
  }

  // The pie: circular in plan, tilted a little, in the room right of the legend.
  const int left = std::max(legendRight + 16, kHorizontalMargin);
  const int diameter = std::min(width() - left - 8, (height() - kDepth - 4) * 2);
  if (diameter <= 0) return;
  const int ellipseHeight = diameter / 2;
  const QRectF top(left + (width() - left - diameter) / 2.0,
                   (height() - ellipseHeight - kDepth) / 2.0, diameter, ellipseHeight);
  const double sum = MagnitudeSum();
  if (sum == 0) return;

  // Rim first (darker), then the top faces.
  for (int layer = kDepth; layer >= 1; --layer) {
    double start = 90 * 16;
    for (const auto& point : FPoints) {
      const int span = static_cast<int>(std::lround(-std::fabs(point.Value) / sum * 360 * 16));
      painter.setPen(Qt::NoPen);
      painter.setBrush(point.Color.darker(160));
      painter.drawPie(top.translated(0, layer), static_cast<int>(start), span);
      start += span;
    }
  }
  double start = 90 * 16;
  for (const auto& point : FPoints) {
    const int span = static_cast<int>(std::lround(-std::fabs(point.Value) / sum * 360 * 16));
    painter.setPen(QPen(Qt::black, 0.5));
    painter.setBrush(point.Color);
    painter.drawPie(top, static_cast<int>(start), span);
    start += span;
  }
}
