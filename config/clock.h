#pragma once

namespace vintok::config {

// Time of day in UTC as the configuration summary shows it.
struct UtcTimeOfDay {
  int hour = 0;
  int minute = 0;
  int second = 0;
};

// The system clock, behind a seam so that tests fix the time.
class Clock {
 public:
  virtual ~Clock() = default;
  // Current local date and time as a date-time value.
  virtual double LocalNow() const = 0;
  // Current time of day in UTC.
  virtual UtcTimeOfDay UtcNow() const = 0;
};

// The machine's real clock.
class SystemClock : public Clock {
 public:
  double LocalNow() const override;
  UtcTimeOfDay UtcNow() const override;
};

}  // namespace vintok::config
