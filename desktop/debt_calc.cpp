#include "desktop/debt_calc.h"

#include <QLocale>

#include "dialogs/ansi.h"

namespace debtcalc {

const std::array<TDebtBand, 4> kBands = {{
    {0.36, "36% or less", "This is a healthy debt load to carry for most people",
     QColor(0, 102, 102)},
    {0.42, "37% - 42%", "Not bad, but start paying your debt before you get in real trouble",
     QColor(0, 128, 0)},
    {0.49, "43% - 49%",
     "Financial difficulties are probably imminent unless you take an immediate action",
     QColor(0, 0, 255)},
    {0, "50% or more", "Get professional help to aggresively reduce debt", QColor(255, 0, 0)},
}};

int BandOf(double Ratio) {
  for (int band = 0; band < 3; ++band) {
    if (Ratio <= kBands[band].Bound) return band;
  }
  return 3;
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
