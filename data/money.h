#pragma once

#include <compare>
#include <cstdint>
#include <string>
#include <string_view>

// The money type: a signed 64-bit count of ten-thousandths (four decimals), exact in sums and
// never passed through floating point on its way to or from the store.
class Currency {
 public:
  static constexpr int64_t kScale = 10000;

  constexpr Currency() = default;
  static constexpr Currency FromRaw(int64_t ten_thousandths) { return Currency(ten_thousandths); }
  static constexpr Currency FromUnits(int64_t units) { return Currency(units * kScale); }
  constexpr int64_t Raw() const { return FValue; }

  // For ratios only; amounts never travel as doubles.
  long double ToLongDouble() const { return static_cast<long double>(FValue) / kScale; }

  // Text to money as the locale-aware conversion does it: surrounding blanks allowed, an
  // optional sign, digits with at most one decimal separator, an optional exponent (e/E); the
  // value is rounded to four decimals, halves away from zero. Throws EConvertError with
  // "'<text>' is not a valid floating point value" for anything else, also when the value does
  // not fit the type.
  static Currency Parse(std::string_view text, std::string_view decimal_separator);

  // The amount rounded to `decimals` (0 to 4) places, halves away from zero, written with the
  // given separators (UTF-8); an empty group separator writes no grouping.
  std::string Format(int decimals, std::string_view decimal_separator,
                     std::string_view group_separator) const;

  // Exact sum; throws Exception when it does not fit the type.
  Currency operator+(Currency other) const;
  Currency& operator+=(Currency other) { return *this = *this + other; }

  constexpr auto operator<=>(const Currency&) const = default;

 private:
  constexpr explicit Currency(int64_t value) : FValue(value) {}
  int64_t FValue = 0;
};
