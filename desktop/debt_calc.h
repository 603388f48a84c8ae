#pragma once

#include <QColor>
#include <QString>
#include <array>

#include "data/money.h"

// The debt load calculator's arithmetic and wording, apart from its widgets.
namespace debtcalc {

struct TDebtBand {
  double Bound;  // the highest ratio of the band
  const char* Range;
  const char* Comment;
  QColor Colour;
};

extern const std::array<TDebtBand, 4> kBands;

// The first band whose bound the ratio does not exceed; the unrounded ratio decides.
int BandOf(double Ratio);

// Monthly debt payments over monthly income, worked out in extended precision.
double Ratio(Currency Debts, Currency AnnualIncome);

// Ratio × 100 with two decimals, the locale's group and decimal separators, and "%".
QString FormatDebtLoad(double Ratio);

// An edit box's text as an amount: empty is zero; anything else goes through the money type's
// conversion with the locale's decimal separator, which names the text when it fails.
Currency ParseAmount(const QString& Text);

// An amount as it is written back into a box: two decimals, the locale's decimal separator, no
// grouping.
QString FormatAmount(Currency Amount);

}  // namespace debtcalc
