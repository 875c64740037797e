#include "platform/local_time.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace quilmarr {
namespace {

struct BrokenDown {
  std::tm local{};
  long offsetSeconds = 0;  // local time minus UTC
};

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
long long DaysFromCivil(long long year, unsigned month, unsigned day) {
  year -= month <= 2 ? 1 : 0;
  const long long era = (year >= 0 ? year : year - 399) / 400;
  const auto yearOfEra = static_cast<unsigned>(year - era * 400);
  const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + static_cast<long long>(dayOfEra) - 719468;
}

long long SecondsOf(const std::tm& t) {
  return DaysFromCivil(t.tm_year + 1900LL, static_cast<unsigned>(t.tm_mon + 1),
                       static_cast<unsigned>(t.tm_mday)) *
             86400 +
         t.tm_hour * 3600LL + t.tm_min * 60LL + t.tm_sec;
}

BrokenDown BreakDown(UnixSeconds time) {
  const auto value = static_cast<std::time_t>(time);
  BrokenDown result;
  std::tm utc{};
#ifdef _WIN32
  _localtime64_s(&result.local, &value);
  _gmtime64_s(&utc, &value);
#else
  localtime_r(&value, &result.local);
  gmtime_r(&value, &utc);
#endif
  result.offsetSeconds = static_cast<long>(SecondsOf(result.local) - SecondsOf(utc));
  return result;
}

}  // namespace

std::string Iso8601LocalTime(UnixSeconds time) {
  const BrokenDown t = BreakDown(time);
  const long offsetMinutes = std::labs(t.offsetSeconds) / 60;
  char text[96] = {};
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%c%02ld:%02ld",
                t.local.tm_year + 1900, t.local.tm_mon + 1, t.local.tm_mday, t.local.tm_hour,
                t.local.tm_min, t.local.tm_sec, t.offsetSeconds < 0 ? '-' : '+', offsetMinutes / 60,
                offsetMinutes % 60);
  return text;
}

std::string FileNameLocalTime(UnixSeconds time) {
  const BrokenDown t = BreakDown(time);
  char text[64] = {};
  std::snprintf(text, sizeof text, "%04d%02d%02d-%02d%02d%02d", t.local.tm_year + 1900,
                t.local.tm_mon + 1, t.local.tm_mday, t.local.tm_hour, t.local.tm_min,
                t.local.tm_sec);
  return text;
}

UnixSeconds NextLocalTimeOfDay(int hour, int minute, UnixSeconds now) {
  for (int day = 0; day < 3; ++day) {
    std::tm wanted = BreakDown(now).local;
    wanted.tm_mday += day;
    wanted.tm_hour = hour;
    wanted.tm_min = minute;
    wanted.tm_sec = 0;
    wanted.tm_isdst = -1;  // as the local rules have it on that day
    const std::time_t at = std::mktime(&wanted);
    if (at != static_cast<std::time_t>(-1) && at > now) return at;
  }
  return now;
}

}  // namespace quilmarr
