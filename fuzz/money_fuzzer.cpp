// The money parser and formatter: what parses, formatted with four decimals, parses to the
// same amount; a sum either is exact or fails cleanly.
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>
#include <string_view>

#include "data/money.h"
#include "platform/exception.h"

namespace {

constexpr std::string_view kSeparators[] = {".", ",", "\xD9\xAB", "\xC2\xA0"};

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string_view separator = kSeparators[data[0] % std::size(kSeparators)];
  const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
  Currency amount;
  try {
    amount = Currency::Parse(text, separator);
  } catch (const Exception&) {
    return 0;
  }
  Check(Currency::Parse(amount.Format(4, separator, ""), separator) == amount);
  for (int decimals = 0; decimals < 4; ++decimals) {
    Currency rounded;
    try {
      rounded = Currency::Parse(amount.Format(decimals, separator, ""), separator);
    } catch (const Exception&) {
      continue;  // rounded away from zero past the largest amount
    }
    // Rounding moves the amount by at most half of the last place kept.
    int64_t step = 1;
    for (int i = decimals; i < 4; ++i) step *= 10;
    const int64_t moved = rounded.Raw() - amount.Raw();
    Check(moved <= step / 2 && moved >= -step / 2);
  }
  try {
    const Currency sum = amount + amount;
    Check(sum.Raw() / 2 == amount.Raw());
  } catch (const Exception&) {
  }
  return 0;
}
