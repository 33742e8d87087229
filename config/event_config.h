#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace vintok::config {

inline constexpr int kSlotCount = 32;

// The event as loaded from vintok.ini, plus the time window derived from it.
// Every field starts zeroed; a loading presets some fields and leaves the
// others at their previous value until the file supplies one.
struct EventConfig {
  int32_t StartControl = 0;   // slot of the start box
  int32_t FinishControl = 0;  // slot of the finish box
  std::string StartPrefix;    // report label of the start line
  std::string FinishPrefix;   // report label of the finish line
  std::string FoxPrefix;      // report label of a fox line, before its number
  std::string FileBase;       // name of the run log and export file, no extension
  int32_t TimeLimit = 0;      // finish fallback counts 120 seconds per unit
  std::string ExeDir;         // program directory, ending in a path separator
  int32_t EventDay = 0;
  int32_t EventMonth = 0;
  int32_t EventYear = 0;
  int32_t OpenHour = 0;
  int32_t CloseHour = 0;
  int32_t UtcOffset = 0;      // hours
  double EventDate = 0.0;     // date-time value of the event day
  int32_t EventDayStart = 0;  // epoch seconds
  int32_t WindowOpen = 0;     // epoch seconds, first valid punch time
  int32_t WindowClose = 0;    // epoch seconds, end of the window
  std::array<int32_t, kSlotCount> FoxNumbers{};  // 0 or less: no fox in the slot
  int32_t FobOffset = 0;      // fob number = start number + FobOffset
};

}  // namespace vintok::config
