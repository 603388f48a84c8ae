#include "platform/clock.h"

#include <locale.h>
#include <time.h>

#include <array>

namespace platform {

namespace {

ClockProvider& Provider() {
  static ClockProvider provider;
  return provider;
}

LocalDateTime SystemNow() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  tm local{};
  LocalDateTime result;
  if (localtime_r(&now.tv_sec, &local) == nullptr) {
    result.zone_known = false;
    gmtime_r(&now.tv_sec, &local);
  } else {
    result.utc_offset_seconds = static_cast<int>(local.tm_gmtoff);
  }
  result.year = local.tm_year + 1900;
  result.month = local.tm_mon + 1;
  result.day = local.tm_mday;
  result.hour = local.tm_hour;
  result.minute = local.tm_min;
  result.second = local.tm_sec;
  result.millisecond = static_cast<int>(now.tv_nsec / 1000000);
  result.weekday = local.tm_wday;
  return result;
}

// The environment's time formats, read at each call so a changed environment takes effect.
class TimeLocale {
 public:
  TimeLocale() {
    FLocale = newlocale(LC_TIME_MASK, "", nullptr);
    if (FLocale == nullptr) FLocale = newlocale(LC_TIME_MASK, "C", nullptr);
  }
  ~TimeLocale() {
    if (FLocale != nullptr) freelocale(FLocale);
  }
  TimeLocale(const TimeLocale&) = delete;
  TimeLocale& operator=(const TimeLocale&) = delete;
  locale_t Get() const { return FLocale; }

 private:
  locale_t FLocale = nullptr;
};

}  // namespace

void SetClockProvider(ClockProvider provider) { Provider() = std::move(provider); }

LocalDateTime Now() { return Provider() ? Provider()() : SystemNow(); }

std::string FormatShortDateLongTime(const LocalDateTime& moment) {
  tm t{};
  t.tm_year = moment.year - 1900;
  t.tm_mon = moment.month - 1;
  t.tm_mday = moment.day;
  t.tm_hour = moment.hour;
  t.tm_min = moment.minute;
  t.tm_sec = moment.second;
  t.tm_wday = moment.weekday;
  t.tm_isdst = -1;
  const bool midnight = moment.hour == 0 && moment.minute == 0 && moment.second == 0;
  TimeLocale time_locale;
  std::array<char, 128> buffer{};
  const char* format = midnight ? "%x" : "%x %X";
  size_t length = time_locale.Get() != nullptr
                      ? strftime_l(buffer.data(), buffer.size(), format, &t, time_locale.Get())
                      : strftime(buffer.data(), buffer.size(), format, &t);
  return std::string(buffer.data(), length);
}

}  // namespace platform
