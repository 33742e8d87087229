#pragma once

// The event of the operators' worked example: 19 June 2012, window 09:00 to
// 16:00 local, start slot 0, finish slot 31, foxes 1..3 in slots 1..3.

#include <array>
#include <cstdint>
#include <string>

#include "config/event_config.h"
#include "test_files.h"

namespace vintok::testing {

inline constexpr int32_t kEventDay = 1340064000;  // 2012-06-19 00:00:00

inline constexpr int32_t At(int hour, int minute, int second) {
  return kEventDay + hour * 3600 + minute * 60 + second;
}

inline config::EventConfig WorkedConfig() {
  config::EventConfig c;
  c.StartControl = 0;
  c.FinishControl = 31;
  c.FoxNumbers[1] = 1;
  c.FoxNumbers[2] = 2;
  c.FoxNumbers[3] = 3;
  c.StartPrefix = "S";
  c.FoxPrefix = "F";
  c.FinishPrefix = "Z";
  c.FileBase = "ibutton";
  c.TimeLimit = 120;
  c.UtcOffset = 0;
  c.WindowOpen = At(9, 0, 0);
  c.WindowClose = At(16, 0, 0);
  return c;
}

// An empty slot reads FF FF FF FF.
inline std::array<int32_t, 32> EmptyFob() {
  std::array<int32_t, 32> slots;
  slots.fill(-1);
  return slots;
}

inline std::array<int32_t, 32> WorkedPunches() {
  auto slots = EmptyFob();
  slots[0] = At(10, 0, 0);
  slots[2] = At(10, 12, 30);
  slots[1] = At(10, 25, 10);
  slots[3] = At(10, 40, 0);
  slots[31] = At(10, 52, 5);
  return slots;
}

inline std::string ExpectedText(const std::string& name) {
  return ReadBytes(std::string(VINTOK_TEST_DATA_DIR) + "/expected/" + name);
}

}  // namespace vintok::testing
