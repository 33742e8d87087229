#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "config/event_config.h"
#include "edition/edition.h"

namespace vintok::results {

inline constexpr int kSlotCount = config::kSlotCount;

// A slot without a valid punch holds this value after the evaluation, so that
// it sorts after every real time.
inline constexpr int32_t kNoPunchTime = 2147483647;

// The operator's start-time override as the window holds it: the two edit
// texts and the state of the switch. The earlier edition has no switch and
// ignores switchedOn.
struct OverrideInput {
  std::string hourText;
  std::string minuteText;
  bool switchedOn = false;
};

// The checked, time-ordered result of one read.
struct Evaluation {
  // Slot values on the event's local clock; kNoPunchTime where no valid punch.
  std::array<int32_t, kSlotCount> PunchTable{};
  // Slot grid cells, [row = slot][column]: column 0 names the slot, column 1
  // shows its date-time text, " (NO PUNCH)" or " ".
  // No "{}": the strings start empty either way, and clang 14 crashes on a
  // braced initialiser of this nested array of strings.
  std::array<std::array<std::string, 2>, kSlotCount> grid;
  // Positions 0 .. PunchCount - 1 hold the valid punches in time order. When
  // all 32 slots hold valid punches and the finish is not the latest, the
  // fallback finish takes a 33rd position; otherwise position 32 holds -1.
  std::array<int16_t, kSlotCount + 1> SlotOrder{};
  int16_t PunchCount = 0;
  int32_t StartTime = 0;
  int32_t FinishTime = 0;
  int32_t RunTime = 0;
  int16_t FoxesFound = 0;
  std::string ErrorText;  // error lines, each ending in CR LF
};

// Evaluates the 32 verified raw slot values of a fob. For the current edition
// they are on the boxes' clock and are moved by UtcOffset here; the earlier
// edition's reader has already added the offset.
//
// Throws std::runtime_error "Invalid argument to time encode" when the
// override applies with a negative hour or minute, and std::invalid_argument
// when StartControl or FinishControl is not a slot number 0..31 (the
// configuration loader never lets such a value through).
Evaluation EvaluatePunches(const std::array<int32_t, kSlotCount>& punches,
                           const config::EventConfig& config, const OverrideInput& override,
                           Edition edition);

// The slot at a position of SlotOrder, checked to be a slot number, so that
// a hand-made Evaluation can never make a reader index outside PunchTable.
// Throws std::out_of_range otherwise.
int SlotAt(const Evaluation& evaluation, int position);

}  // namespace vintok::results
