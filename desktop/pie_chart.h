#pragma once

#include <QColor>
#include <QString>
#include <QWidget>
#include <vector>

// A two-slice pie with its legend at the left, painted by us. Points keep the order they were
// added in; each slice is sized by the magnitude of its value, so a negative point still gets a
// slice while its legend percentage keeps the sign.
class TPieChart : public QWidget {
  Q_OBJECT

 public:
  struct TPiePoint {
    double X = 0;
    double Value = 0;
    QString Label;
    QColor Color;
  };

  explicit TPieChart(QWidget* parent = nullptr);

  void Clear();
  void AddXY(double X, double Value, const QString& Label, const QColor& Color);
  const std::vector<TPiePoint>& Points() const { return FPoints; }

  // The point's share of the sum of magnitudes, in percent.
  double Percent(int Index) const;
  // "<label> <percent> %", the percent with up to two decimals in the user's locale.
  QString LegendText(int Index) const;
  static QString FormatPercent(double Percent);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void Paint();
  void Changed();
  double MagnitudeSum() const;

  std::vector<TPiePoint> FPoints;
};
