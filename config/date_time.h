#pragma once

#include <cstdint>
#include <string>

namespace vintok::config {

// Date-time values count days since 1899-12-30 with the time of day as the
// fraction; 1970-01-01 is 25569.0. Punch times are signed 32-bit epoch
// seconds ("EpochSeconds").
inline constexpr double kUnixEpochDateTime = 25569.0;

double EpochToDateTime(int32_t seconds);

// (d - 25569) * 86400 rounded to the nearest integer, ties to even, taken as
// a signed 32-bit value (wrapping like the 32-bit integer it is stored in).
int32_t DateTimeToEpoch(double dateTime);

// Encodes a calendar date; throws std::runtime_error
// "Invalid argument to date encode" unless 1 <= year <= 9999, 1 <= month
// <= 12 and 1 <= day <= days of that month.
double EncodeDate(int year, int month, int day);

// Encodes a time of day as a fraction of a day; throws std::runtime_error
// "Invalid argument to time encode" unless every part is within its range.
double EncodeTime(int hour, int minute, int second, int millisecond);

// Date-time text, fixed to dd/mm/yyyy hh:nn:ss whatever the machine's
// locale, since the export file takes characters at fixed positions. At
// exactly midnight the blank and the time are left out.
std::string DateTimeText(double dateTime);

}  // namespace vintok::config
