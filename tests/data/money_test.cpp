#include "data/money.h"

#include <gtest/gtest.h>

#include <limits>

#include "platform/exception.h"

namespace {

TEST(CurrencyParse, AcceptsNumbersAndRoundsToFourDecimals) {
  const struct {
    const char* text;
    const char* separator;
    int64_t raw;
  } cases[] = {
      {"1800", ".", 18000000},
      {"  12.5 ", ".", 125000},
      {"0.00005", ".", 1},
      {"-0.00005", ".", -1},
      {"0.00004", ".", 0},
      {"1.23456", ".", 12346},
      {".5", ".", 5000},
      {"5.", ".", 50000},
      {"+3", ".", 30000},
      {"1e3", ".", 10000000},
      {"2.5E-1", ".", 2500},
      {"1234,5", ",", 12345000},
      {"922337203685477.5807", ".", std::numeric_limits<int64_t>::max()},
      {"-922337203685477.5808", ".", std::numeric_limits<int64_t>::min()},
      {"000", ".", 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Currency::Parse(c.text, c.separator).Raw(), c.raw) << c.text;
  }
}

TEST(CurrencyParse, RefusesWhatIsNotANumber) {
  const struct {
    const char* text;
    const char* separator;
  } cases[] = {
      {"", "."},      {".", "."},       {"1.2.3", "."}, {"abc", "."},
      {"12a", "."},   {"1,5", "."},     {"1.5", ","},   {"1e", "."},
      {"- 1", "."},   {"922337203685477.5808", "."},     {"1e30", "."},
  };
  for (const auto& c : cases) {
    try {
      Currency::Parse(c.text, c.separator);
      ADD_FAILURE() << "accepted " << c.text;
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.Message(), "'" + std::string(c.text) + "' is not a valid floating point value");
    }
  }
}

TEST(CurrencyFormat, RoundsAndGroups) {
  EXPECT_EQ(Currency::FromRaw(18000000).Format(2, ".", ","), "1,800.00");
  EXPECT_EQ(Currency::FromRaw(12345).Format(2, ",", "."), "1,23");
  EXPECT_EQ(Currency::FromRaw(12355).Format(2, ".", ""), "1.24");
  EXPECT_EQ(Currency::FromRaw(-12355).Format(2, ".", ""), "-1.24");
  EXPECT_EQ(Currency::FromRaw(-1).Format(2, ".", ""), "0.00");
  EXPECT_EQ(Currency::FromRaw(0).Format(0, ".", ","), "0");
  EXPECT_EQ(Currency::FromRaw(std::numeric_limits<int64_t>::min()).Format(4, ".", ","),
            "-922,337,203,685,477.5808");
}

TEST(CurrencySum, IsExactAndRefusesOverflow) {
  Currency sum;
  for (int i = 0; i < 10; ++i) sum += Currency::Parse("0.1", ".");
  EXPECT_EQ(sum, Currency::FromUnits(1));
  EXPECT_THROW(Currency::FromRaw(std::numeric_limits<int64_t>::max()) + Currency::FromRaw(1),
               Exception);
}

}  // namespace
