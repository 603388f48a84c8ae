#pragma once

#include <QColor>
#include <QString>
#include <array>

#include "data/money.h"

// The debt load calculator's arithmetic and wording, apart from its widgets.
namespace debtcalc {

struct TDebtBand {
  int TopPercent;  // the highest whole percent of the band; the last band is open above
  const char* Comment;
  QColor Colour;
  const char* RangeLabel;  // the legend's labels of the band
  const char* CommentLabel;
};

inline constexpr int kBandCount = 4;
extern const std::array<TDebtBand, kBandCount> kBands;

// The legend's range text of a band, from its own and the previous band's top: "36% or less",
// "37% - 42%", "50% or more".
QString RangeText(int Band);

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
