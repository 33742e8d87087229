// The one platform file of the configuration: the broken-down local and UTC
// time come from localtime_s/gmtime_s on Windows and their _r twins
// elsewhere, the thread-safe forms of each C library.
#include <chrono>
#include <ctime>

#include "config/clock.h"
#include "config/date_time.h"

namespace vintok::config {
namespace {

struct WallTime {
  std::tm parts{};
  int millisecond = 0;
};

WallTime Now(bool local) {
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  WallTime wall;
  const auto sinceEpoch = now.time_since_epoch();
  wall.millisecond = static_cast<int>(
      std::chrono::duration_cast<std::chrono::milliseconds>(sinceEpoch).count() % 1000);
  if (wall.millisecond < 0) wall.millisecond += 1000;
#ifdef _WIN32
  if (local)
    localtime_s(&wall.parts, &seconds);
  else
    gmtime_s(&wall.parts, &seconds);
#else
  if (local)
    localtime_r(&seconds, &wall.parts);
  else
    gmtime_r(&seconds, &wall.parts);
#endif
  // A leap second shows as second 60, which a date-time value cannot hold.
  if (wall.parts.tm_sec > 59) wall.parts.tm_sec = 59;
  return wall;
}

}  // namespace

double SystemClock::LocalNow() const {
  const WallTime wall = Now(true);
  return EncodeDate(wall.parts.tm_year + 1900, wall.parts.tm_mon + 1, wall.parts.tm_mday) +
         EncodeTime(wall.parts.tm_hour, wall.parts.tm_min, wall.parts.tm_sec, wall.millisecond);
}

UtcTimeOfDay SystemClock::UtcNow() const {
  const WallTime wall = Now(false);
  return {wall.parts.tm_hour, wall.parts.tm_min, wall.parts.tm_sec};
}

}  // namespace vintok::config
