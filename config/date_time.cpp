#include "config/date_time.h"

#include <cmath>
#include <cstdio>
#include <stdexcept>

namespace vintok::config {
namespace {

constexpr int64_t kMillisecondsPerDay = 86400000;
// Days from 0001-01-01 to 1899-12-30, the zero of date-time values.
constexpr int64_t kDateTimeZeroDays = 693593;

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : days[month - 1];
}

struct CivilDate {
  int year, month, day;
};

// Proleptic Gregorian date of a day count since 0001-01-01 (day 0).
CivilDate CivilFromDays(int64_t days) {
  // Shift to days since 0000-03-01 for the era algorithm.
  int64_t z = days + 306;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  const int day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  const int year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
  return {year, month, day};
}

}  // namespace

double EpochToDateTime(int32_t seconds) {
  return static_cast<double>(seconds) / 86400.0 + kUnixEpochDateTime;
}

int32_t DateTimeToEpoch(double dateTime) {
  const double seconds = std::nearbyint((dateTime - kUnixEpochDateTime) * 86400.0);  // ties to even
  if (!(seconds >= -9.2e18 && seconds <= 9.2e18)) return 0;  // NaN or far out of range
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<int64_t>(seconds)));
}

double EncodeDate(int year, int month, int day) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
      day > DaysInMonth(year, month))
    throw std::runtime_error("Invalid argument to date encode");
  const int y = year - 1;
  int64_t days = static_cast<int64_t>(y) * 365 + y / 4 - y / 100 + y / 400;
  for (int m = 1; m < month; ++m) days += DaysInMonth(year, m);
  days += day - 1;
  return static_cast<double>(days - kDateTimeZeroDays);
}

double EncodeTime(int hour, int minute, int second, int millisecond) {
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 ||
      millisecond < 0 || millisecond > 999)
    throw std::runtime_error("Invalid argument to time encode");
  const int64_t ms = ((hour * 60LL + minute) * 60 + second) * 1000 + millisecond;
  return static_cast<double>(ms) / kMillisecondsPerDay;
}

std::string DateTimeText(double dateTime) {
  // Split into whole days and time of day through milliseconds, rounding the
  // way the value was built, so whole seconds come back exact.
  const int64_t totalMs = static_cast<int64_t>(std::llround(std::fabs(dateTime) * kMillisecondsPerDay));
  int64_t days = totalMs / kMillisecondsPerDay;
  const int64_t msOfDay = totalMs % kMillisecondsPerDay;
  if (dateTime < 0) days = -days;
  const CivilDate date = CivilFromDays(days + kDateTimeZeroDays);
  char text[48];
  if (msOfDay == 0) {
    std::snprintf(text, sizeof text, "%02d/%02d/%04d", date.day, date.month, date.year);
  } else {
    const int64_t secondsOfDay = msOfDay / 1000;
    std::snprintf(text, sizeof text, "%02d/%02d/%04d %02d:%02d:%02d", date.day, date.month,
                  date.year, static_cast<int>(secondsOfDay / 3600),
                  static_cast<int>(secondsOfDay / 60 % 60), static_cast<int>(secondsOfDay % 60));
  }
  return text;
}

}  // namespace vintok::config
