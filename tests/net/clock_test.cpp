#include "platform/clock.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>

#include <string>

namespace {

class ClockTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* tz = getenv("TZ");
    FHadTz = tz != nullptr;
    if (FHadTz) FOldTz = tz;
  }
  void TearDown() override {
    if (FHadTz) {
      setenv("TZ", FOldTz.c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }
  static void UseZone(const char* zone) {
    setenv("TZ", zone, 1);
    tzset();
  }
  bool FHadTz = false;
  std::string FOldTz;
};

TEST_F(ClockTest, SystemClockReportsTheOffsetInForce) {
  const struct {
    const char* zone;
    int offset;
  } cases[] = {{"UTC0", 0}, {"<+0530>-5:30", 19800}, {"<-0330>3:30", -12600}};
  for (const auto& c : cases) {
    UseZone(c.zone);
    const platform::LocalDateTime now = platform::Now();
    EXPECT_TRUE(now.zone_known);
    EXPECT_EQ(now.utc_offset_seconds, c.offset) << c.zone;
    EXPECT_GE(now.year, 2024);
    EXPECT_LT(now.millisecond, 1000);
  }
}

TEST_F(ClockTest, ReplacedClockIsUsedUntilRestored) {
  platform::LocalDateTime fixed;
  fixed.year = 1999;
  platform::SetClockProvider([fixed] { return fixed; });
  EXPECT_EQ(platform::Now().year, 1999);
  platform::SetClockProvider(nullptr);
  EXPECT_GE(platform::Now().year, 2024);
}

TEST_F(ClockTest, ShortDateAndLongTimeOfTheEnvironment) {
  setenv("LC_ALL", "C", 1);
  platform::LocalDateTime moment;
  moment.year = 2004;
  moment.month = 3;
  moment.day = 7;
  moment.hour = 21;
  moment.minute = 5;
  moment.second = 1;
  EXPECT_EQ(platform::FormatShortDateLongTime(moment), "03/07/04 21:05:01");
  moment.hour = moment.minute = moment.second = 0;
  EXPECT_EQ(platform::FormatShortDateLongTime(moment), "03/07/04");
}

}  // namespace
