#include "results/evaluation.h"

#include <cmath>
#include <stdexcept>

#include "config/date_time.h"
#include "config/int_text.h"

namespace vintok::results {
namespace {

// Slot values are whatever the fob holds, so sums and differences wrap like
// the 32-bit registers they came from; unsigned arithmetic keeps that defined.
int32_t WrapAdd(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

int32_t WrapMul(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}

void CheckSlotNumber(int32_t slot, const char* what) {
  if (slot < 0 || slot >= kSlotCount)
    throw std::invalid_argument(std::string(what) + " control " + std::to_string(slot) +
                                " is not a slot number 0..31");
}

const char* StartErrorLine(Edition edition) {
  return edition == Edition::Earlier ? "**Start Punch Error**\r\n" : "**Start Punch ERROR**\r\n";
}

const char* FinishErrorLine(Edition edition) {
  return edition == Edition::Earlier ? "**No Finish Punch**\r\n" : "**Finish Punch ERROR**\r\n";
}

}  // namespace

int SlotAt(const Evaluation& evaluation, int position) {
  if (position < 0 || position >= static_cast<int>(evaluation.SlotOrder.size()))
    throw std::out_of_range("slot order position " + std::to_string(position) + " out of range");
  const int slot = evaluation.SlotOrder[static_cast<size_t>(position)];
  if (slot < 0 || slot >= kSlotCount)
    throw std::out_of_range("slot order position " + std::to_string(position) +
                            " holds no slot number");
  return slot;
}

Evaluation EvaluatePunches(const std::array<int32_t, kSlotCount>& punches,
                           const config::EventConfig& config, const OverrideInput& override,
                           Edition edition) {
  CheckSlotNumber(config.StartControl, "Start");
  CheckSlotNumber(config.FinishControl, "Finish");
  const auto start = static_cast<size_t>(config.StartControl);
  const auto finish = static_cast<size_t>(config.FinishControl);

  Evaluation e;
  e.PunchTable = punches;

  // The boxes keep UTC; the event runs on local time. The earlier edition's
  // reader already moved the values while verifying them.
  if (edition == Edition::Current) {
    const int32_t shift = WrapMul(config.UtcOffset, 3600);
    for (int32_t& value : e.PunchTable) value = WrapAdd(value, shift);
  }

  e.StartTime = e.PunchTable[start];
  e.FinishTime = e.PunchTable[finish];

  // Start-time override: the operator's hour and minute on the finish
  // punch's calendar day. 00:00 means "no override".
  int32_t hour = config::StrToIntDef(override.hourText, 0);
  if (hour > 23) hour = 23;
  int32_t minute = config::StrToIntDef(override.minuteText, 0);
  if (minute > 59) minute = 59;
  const bool switchedOn = edition == Edition::Earlier || override.switchedOn;
  if (switchedOn && static_cast<int64_t>(hour) + minute > 0) {
    const double timeOfDay = config::EncodeTime(hour, minute, 0, 0);  // throws when negative
    const double day = std::trunc(config::EpochToDateTime(e.FinishTime));
    e.StartTime = config::DateTimeToEpoch(day + timeOfDay);
    e.PunchTable[start] = e.StartTime;
  }

  // Both window ends count as inside for the start check.
  if (e.PunchTable[start] < config.WindowOpen || e.PunchTable[start] > config.WindowClose)
    e.ErrorText += StartErrorLine(edition);

  e.PunchCount = 0;
  for (int slot = 0; slot < kSlotCount; ++slot) {
    const auto s = static_cast<size_t>(slot);
    e.SlotOrder[s] = static_cast<int16_t>(slot);
    std::string& name = e.grid[s][0];
    std::string& mark = e.grid[s][1];
    name = std::to_string(slot);
    if (slot == config.StartControl)
      name += " (START)";
    else if (slot == config.FinishControl)
      name += " (FINISH)";

    if (config.FoxNumbers[s] > 0 || slot == config.StartControl || slot == config.FinishControl) {
      const int32_t value = e.PunchTable[s];
      if (config.WindowOpen <= value && value < config.WindowClose) {
        mark = config::DateTimeText(config::EpochToDateTime(value));
        ++e.PunchCount;
      } else {
        mark = " (NO PUNCH)";
        e.PunchTable[s] = kNoPunchTime;
      }
    } else {
      mark = " ";
      e.PunchTable[s] = kNoPunchTime;
    }
  }
  e.SlotOrder[kSlotCount] = -1;

  // Exchange only on a strictly later time, so equal times keep slot order
  // and the slots without a valid punch stay last in slot order.
  for (bool exchanged = true; exchanged;) {
    exchanged = false;
    for (size_t p = 1; p < kSlotCount; ++p) {
      if (e.PunchTable[static_cast<size_t>(e.SlotOrder[p - 1])] >
          e.PunchTable[static_cast<size_t>(e.SlotOrder[p])]) {
        std::swap(e.SlotOrder[p - 1], e.SlotOrder[p]);
        exchanged = true;
      }
    }
  }

  // The finish must be the latest valid punch. Otherwise the run is timed
  // against the time limit, counted at 120 seconds per unit, and the finish
  // becomes the last entry of the order (a 33rd one when all 32 slots hold
  // valid punches).
  const bool finishInOrder =
      e.PunchCount > 0 &&
      e.SlotOrder[static_cast<size_t>(e.PunchCount - 1)] == config.FinishControl;
  if (!finishInOrder) {
    e.ErrorText += FinishErrorLine(edition);
    ++e.PunchCount;
    e.FinishTime = WrapAdd(e.StartTime, WrapMul(config.TimeLimit, 120));
    e.PunchTable[finish] = e.FinishTime;
    e.SlotOrder[static_cast<size_t>(e.PunchCount - 1)] = static_cast<int16_t>(config.FinishControl);
  }

  e.RunTime = static_cast<int32_t>(static_cast<uint32_t>(e.FinishTime) -
                                   static_cast<uint32_t>(e.StartTime));
  e.FoxesFound = static_cast<int16_t>(e.PunchCount - 2);
  return e;
}

}  // namespace vintok::results
