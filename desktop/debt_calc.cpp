#include "desktop/debt_calc.h"

#include <QLocale>

#include "dialogs/ansi.h"

namespace debtcalc {

const std::array<TDebtBand, kBandCount> kBands = {{
    {36, "This is a healthy debt load to carry for most people", QColor(0, 102, 102), "Label10",
     "Label11"},
    {42, "Not bad, but start paying your debt before you get in real trouble", QColor(0, 128, 0),
     "Label12", "Label13"},
    {49, "Financial difficulties are probably imminent unless you take an immediate action",
     QColor(0, 0, 255), "Label14", "Label15"},
    {0, "Get professional help to aggresively reduce debt", QColor(255, 0, 0), "Label16",
     "Label17"},
}};

QString RangeText(int Band) {
  if (Band == 0) return QString("%1% or less").arg(kBands[0].TopPercent);
  const int bottom = kBands[Band - 1].TopPercent + 1;
  if (Band == kBandCount - 1) return QString("%1% or more").arg(bottom);
  return QString("%1% - %2%").arg(bottom).arg(kBands[Band].TopPercent);
}

int BandOf(double Ratio) {
  // A whole percent over 100 is the double nearest the written ratio, as 0.36 is.
  for (int band = 0; band < kBandCount - 1; ++band) {
    if (Ratio <= kBands[band].TopPercent / 100.0) return band;
  }
  return kBandCount - 1;
}

double Ratio(Currency Debts, Currency AnnualIncome) {
  const long double monthly = AnnualIncome.ToLongDouble() / 12;
  return static_cast<double>(Debts.ToLongDouble() / monthly);
}

QString FormatDebtLoad(double Ratio) {
  QLocale locale;
  locale.setNumberOptions(QLocale::DefaultNumberOptions);
  return locale.toString(Ratio * 100, 'f', 2) + QLatin1Char('%');
}

Currency ParseAmount(const QString& Text) {
  if (Text.isEmpty()) return Currency();
  return Currency::Parse(ToAnsi(Text), ToAnsi(QLocale().decimalPoint()));
}

QString FormatAmount(Currency Amount) {
  return QString::fromStdString(Amount.Format(2, QLocale().decimalPoint().toStdString(), ""));
}

}  // namespace debtcalc
