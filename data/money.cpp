#include "data/money.h"

#include <limits>

#include "platform/exception.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

[[noreturn]] void NotANumber(std::string_view text) {
  throw EConvertError("'" + std::string(text) + "' is not a valid floating point value");
}

}  // namespace

Currency Currency::Parse(std::string_view text, std::string_view decimal_separator) {
  std::string_view s = text;
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);

  bool negative = false;
  if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
    negative = s.front() == '-';
    s.remove_prefix(1);
  }

  // Digits as one decimal string; `point` counts the digits before the separator.
  std::string digits;
  size_t point = std::string::npos;
  while (!s.empty()) {
    if (IsDigit(s.front())) {
      digits.push_back(s.front());
      s.remove_prefix(1);
    } else if (point == std::string::npos && !decimal_separator.empty() &&
               s.starts_with(decimal_separator)) {
      point = digits.size();
      s.remove_prefix(decimal_separator.size());
    } else {
      break;
    }
  }
  if (digits.empty()) NotANumber(text);
  if (point == std::string::npos) point = digits.size();

  int64_t exponent = 0;
  if (!s.empty() && (s.front() == 'e' || s.front() == 'E')) {
    s.remove_prefix(1);
    bool exp_negative = false;
    if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
      exp_negative = s.front() == '-';
      s.remove_prefix(1);
    }
    if (s.empty() || !IsDigit(s.front())) NotANumber(text);
    while (!s.empty() && IsDigit(s.front())) {
      if (exponent < 100000) exponent = exponent * 10 + (s.front() - '0');
      s.remove_prefix(1);
    }
    if (exp_negative) exponent = -exponent;
  }
  if (!s.empty()) NotANumber(text);

  // Value = digits × 10^(exponent − (digits.size() − point)); we want it × 10^4, rounded.
  const int64_t shift = exponent - static_cast<int64_t>(digits.size() - point) + 4;
  size_t first = digits.find_first_not_of('0');
  if (first == std::string::npos) return Currency();
  digits.erase(0, first);
  const int64_t kept = static_cast<int64_t>(digits.size()) + shift;  // integer digits kept
  if (kept > 19) NotANumber(text);
  unsigned __int128 value = 0;
  bool round_up = false;
  for (int64_t i = 0; i < kept; ++i) {
    const int digit = i < static_cast<int64_t>(digits.size()) ? digits[i] - '0' : 0;
    value = value * 10 + digit;
  }
  if (kept >= 0 && kept < static_cast<int64_t>(digits.size())) round_up = digits[kept] >= '5';
  if (round_up) ++value;
  const unsigned __int128 limit =
      static_cast<unsigned __int128>(std::numeric_limits<int64_t>::max()) + (negative ? 1 : 0);
  if (value > limit) NotANumber(text);
  if (negative) return Currency(static_cast<int64_t>(-static_cast<__int128>(value)));
  return Currency(static_cast<int64_t>(value));
}

std::string Currency::Format(int decimals, std::string_view decimal_separator,
                             std::string_view group_separator) const {
  if (decimals < 0) decimals = 0;
  if (decimals > 4) decimals = 4;
  const bool negative = FValue < 0;
  unsigned __int128 magnitude =
      negative ? static_cast<unsigned __int128>(-static_cast<__int128>(FValue)) : FValue;
  unsigned __int128 divisor = 1;
  for (int i = decimals; i < 4; ++i) divisor *= 10;
  magnitude = (magnitude + divisor / 2) / divisor;

  std::string digits;
  do {
    digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(magnitude % 10)));
    magnitude /= 10;
  } while (magnitude > 0);
  while (static_cast<int>(digits.size()) <= decimals) digits.insert(digits.begin(), '0');

  const std::string integer = digits.substr(0, digits.size() - decimals);
  std::string out;
  if (negative && digits.find_first_not_of('0') != std::string::npos) out = "-";
  for (size_t i = 0; i < integer.size(); ++i) {
    if (i > 0 && (integer.size() - i) % 3 == 0) out.append(group_separator);
    out.push_back(integer[i]);
  }
  if (decimals > 0) {
    out.append(decimal_separator);
    out.append(digits.substr(digits.size() - decimals));
  }
  return out;
}

Currency Currency::operator+(Currency other) const {
  int64_t sum = 0;
  if (__builtin_add_overflow(FValue, other.FValue, &sum)) {
    throw Exception("The amounts are too large to add up.");
  }
  return Currency(sum);
}
