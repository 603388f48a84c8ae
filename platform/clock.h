#pragma once

#include <functional>
#include <string>

namespace platform {

// One moment on the local clock, with the offset from UTC in force at that moment.
struct LocalDateTime {
  int year = 1970;
  int month = 1;  // 1..12
  int day = 1;    // 1..31
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
  int weekday = 4;  // 0 = Sunday
  // False when the system could not say which time zone is in force.
  bool zone_known = true;
  int utc_offset_seconds = 0;  // local time minus UTC
};

// The current local date and time. Tests replace the clock with SetClockProvider; passing
// nullptr restores the system clock.
LocalDateTime Now();
using ClockProvider = std::function<LocalDateTime()>;
void SetClockProvider(ClockProvider provider);

// The moment in the user's short date and long time formats ("%x %X" of the C library's
// locale as the environment sets it); at midnight to the second the time is left out.
std::string FormatShortDateLongTime(const LocalDateTime& moment);

}  // namespace platform
