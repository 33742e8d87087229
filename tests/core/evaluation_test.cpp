#include "results/evaluation.h"

#include <gtest/gtest.h>

#include <limits>
#include <stdexcept>
#include <string>

#include "config/date_time.h"
#include "tests/core/worked_example.h"

namespace vintok::results {
namespace {

using testing::At;
using testing::EmptyFob;
using testing::kEventDay;
using testing::WorkedConfig;
using testing::WorkedPunches;

const OverrideInput kNoOverride{"00", "00", false};

constexpr const char* kStartError = "**Start Punch ERROR**\r\n";
constexpr const char* kFinishError = "**Finish Punch ERROR**\r\n";

std::string GridText(int32_t epoch) { return config::DateTimeText(config::EpochToDateTime(epoch)); }

TEST(EvaluatePunches, WorkedExample) {
  const Evaluation e =
      EvaluatePunches(WorkedPunches(), WorkedConfig(), kNoOverride, Edition::Current);
  EXPECT_EQ(e.ErrorText, "");
  EXPECT_EQ(e.PunchCount, 5);
  EXPECT_EQ(e.FoxesFound, 3);
  EXPECT_EQ(e.StartTime, At(10, 0, 0));
  EXPECT_EQ(e.FinishTime, At(10, 52, 5));
  EXPECT_EQ(e.RunTime, 52 * 60 + 5);
  const int16_t order[] = {0, 2, 1, 3, 31, 4, 5, 6};
  for (size_t p = 0; p < std::size(order); ++p) EXPECT_EQ(e.SlotOrder[p], order[p]) << p;
  EXPECT_EQ(e.SlotOrder[31], 30);
  EXPECT_EQ(e.SlotOrder[32], -1);

  EXPECT_EQ(e.grid[0][0], "0 (START)");
  EXPECT_EQ(e.grid[0][1], "19/06/2012 10:00:00");
  EXPECT_EQ(e.grid[2][0], "2");
  EXPECT_EQ(e.grid[2][1], "19/06/2012 10:12:30");
  EXPECT_EQ(e.grid[4][0], "4");
  EXPECT_EQ(e.grid[4][1], " ");
  EXPECT_EQ(e.grid[31][0], "31 (FINISH)");
  EXPECT_EQ(e.grid[31][1], "19/06/2012 10:52:05");
  EXPECT_EQ(e.PunchTable[4], kNoPunchTime);
  EXPECT_EQ(e.PunchTable[1], At(10, 25, 10));
}

TEST(EvaluatePunches, WindowEnds) {
  config::EventConfig c = WorkedConfig();
  auto slots = WorkedPunches();
  slots[1] = c.WindowOpen;   // inside
  slots[3] = c.WindowClose;  // outside: the closing end is excluded
  Evaluation e = EvaluatePunches(slots, c, kNoOverride, Edition::Current);
  EXPECT_EQ(e.grid[1][1], "19/06/2012 09:00:00");
  EXPECT_EQ(e.grid[3][1], " (NO PUNCH)");
  EXPECT_EQ(e.PunchTable[3], kNoPunchTime);
  EXPECT_EQ(e.PunchCount, 4);
  EXPECT_EQ(e.SlotOrder[0], 1);  // the fox at the opening is the earliest punch
  EXPECT_EQ(e.ErrorText, "");

  // A start exactly at the close passes the start check but is no punch.
  slots = WorkedPunches();
  slots[0] = c.WindowClose;
  e = EvaluatePunches(slots, c, kNoOverride, Edition::Current);
  EXPECT_EQ(e.grid[0][1], " (NO PUNCH)");
  EXPECT_EQ(e.StartTime, c.WindowClose);
  EXPECT_EQ(e.PunchCount, 4);
  EXPECT_EQ(e.SlotOrder[0], 2);
  EXPECT_EQ(e.ErrorText, "");

  // A start before the opening fails the check; the earliest fox leads.
  slots[0] = c.WindowOpen - 1;
  e = EvaluatePunches(slots, c, kNoOverride, Edition::Current);
  EXPECT_EQ(e.ErrorText, kStartError);
  EXPECT_EQ(e.grid[0][1], " (NO PUNCH)");
  EXPECT_EQ(e.SlotOrder[0], 2);
  EXPECT_EQ(e.SlotOrder[3], 31);
  EXPECT_EQ(e.SlotOrder[4], 0);  // with the other slots without a punch, in slot order
  EXPECT_EQ(e.SlotOrder[5], 4);
}

TEST(EvaluatePunches, StartTimeOverride) {
  struct Case {
    const char* hour;
    const char* minute;
    bool switchedOn;
    Edition edition;
    int32_t start;    // expected StartTime
    bool startError;  // outside the 09:00..16:00 window
  } cases[] = {
      {"10", "05", true, Edition::Current, At(10, 5, 0), false},
      {"30", "75", true, Edition::Current, At(23, 59, 0), true},  // capped at 23 and 59
      {"00", "00", true, Edition::Current, At(10, 0, 0), false},  // 00:00 never overrides
      {"0", "5", true, Edition::Current, At(0, 5, 0), true},
      {"10", "05", false, Edition::Current, At(10, 0, 0), false},  // switch off: ignored
      {"ab", "15", true, Edition::Current, At(0, 15, 0), true},    // not a number is 0
      {"", "", true, Edition::Current, At(10, 0, 0), false},
      {"-5", "3", true, Edition::Current, At(10, 0, 0), false},    // sum not above 0
      {"10", "05", false, Edition::Earlier, At(10, 5, 0), false},  // no switch there
      {"00", "00", false, Edition::Earlier, At(10, 0, 0), false},
  };
  for (const Case& c : cases) {
    const Evaluation e = EvaluatePunches(WorkedPunches(), WorkedConfig(),
                                         {c.hour, c.minute, c.switchedOn}, c.edition);
    SCOPED_TRACE(std::string(c.hour) + ":" + c.minute + (c.switchedOn ? " on" : " off"));
    EXPECT_EQ(e.StartTime, c.start);
    EXPECT_EQ(e.PunchTable[0], c.startError ? kNoPunchTime : c.start);
    EXPECT_EQ(e.grid[0][1], c.startError ? " (NO PUNCH)" : GridText(c.start));
    EXPECT_EQ(e.ErrorText.empty(), !c.startError);
    EXPECT_EQ(e.RunTime, At(10, 52, 5) - c.start);
  }
}

TEST(EvaluatePunches, OverrideTakesTheFinishPunchsDay) {
  // Start punched the evening before; the finish's day wins.
  config::EventConfig c = WorkedConfig();
  c.WindowOpen = At(-24, 0, 0);
  auto slots = WorkedPunches();
  slots[0] = At(-2, 0, 0);
  Evaluation e = EvaluatePunches(slots, c, {"09", "30", true}, Edition::Current);
  EXPECT_EQ(e.StartTime, At(9, 30, 0));
  EXPECT_EQ(e.grid[0][1], "19/06/2012 09:30:00");
  EXPECT_EQ(e.RunTime, At(10, 52, 5) - At(9, 30, 0));

  // An empty finish slot (-1 is 31/12/1969 23:59:59) puts the start on that
  // day, and the start check fails.
  slots = WorkedPunches();
  slots[31] = -1;
  e = EvaluatePunches(slots, WorkedConfig(), {"10", "30", true}, Edition::Current);
  EXPECT_EQ(e.StartTime, -86400 + 10 * 3600 + 30 * 60);
  EXPECT_EQ(e.grid[0][1], " (NO PUNCH)");
  EXPECT_EQ(e.ErrorText, std::string(kStartError) + kFinishError);
  EXPECT_EQ(e.PunchCount, 4);  // three foxes and the fallback finish
  EXPECT_EQ(e.FinishTime, e.StartTime + 120 * 120);
}

TEST(EvaluatePunches, NegativeOverrideFailsToEncodeWhenApplied) {
  const OverrideInput bad[] = {{"-1", "05", true}, {"10", "-5", true}};
  for (const OverrideInput& o : bad) {
    for (Edition edition : {Edition::Current, Edition::Earlier}) {
      try {
        EvaluatePunches(WorkedPunches(), WorkedConfig(), o, edition);
        ADD_FAILURE() << o.hourText << ":" << o.minuteText;
      } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Invalid argument to time encode");
      }
    }
  }
  // Switched off, the same fields are never encoded.
  EXPECT_NO_THROW(
      EvaluatePunches(WorkedPunches(), WorkedConfig(), {"-1", "05", false}, Edition::Current));
}

TEST(EvaluatePunches, EqualTimesKeepSlotOrder) {
  // A fox in a higher slot punched in the same second as the finish comes
  // last, so the finish check fails.
  config::EventConfig c = WorkedConfig();
  c.FinishControl = 1;
  c.FoxNumbers[1] = 0;
  c.FoxNumbers[5] = 5;
  c.FoxNumbers[6] = 6;
  auto slots = EmptyFob();
  slots[0] = At(10, 0, 0);
  slots[6] = At(10, 20, 0);
  slots[5] = At(10, 20, 0);
  slots[1] = At(10, 30, 0);
  slots[3] = At(10, 30, 0);
  Evaluation e = EvaluatePunches(slots, c, kNoOverride, Edition::Current);
  const int16_t failing[] = {0, 5, 6, 1, 3, 1};
  for (size_t p = 0; p < std::size(failing); ++p) EXPECT_EQ(e.SlotOrder[p], failing[p]) << p;
  EXPECT_EQ(e.ErrorText, kFinishError);
  EXPECT_EQ(e.PunchCount, 6);

  // With the finish in the higher slot the same tie passes.
  c.FinishControl = 3;
  c.FoxNumbers[3] = 0;
  c.FoxNumbers[1] = 1;
  e = EvaluatePunches(slots, c, kNoOverride, Edition::Current);
  const int16_t passing[] = {0, 5, 6, 1, 3, 2};
  for (size_t p = 0; p < std::size(passing); ++p) EXPECT_EQ(e.SlotOrder[p], passing[p]) << p;
  EXPECT_EQ(e.ErrorText, "");
  EXPECT_EQ(e.PunchCount, 5);
}

TEST(EvaluatePunches, NoValidPunch) {
  for (Edition edition : {Edition::Current, Edition::Earlier}) {
    const Evaluation e = EvaluatePunches(EmptyFob(), WorkedConfig(), kNoOverride, edition);
    EXPECT_EQ(e.ErrorText, edition == Edition::Current
                               ? "**Start Punch ERROR**\r\n**Finish Punch ERROR**\r\n"
                               : "**Start Punch Error**\r\n**No Finish Punch**\r\n");
    EXPECT_EQ(e.PunchCount, 1);
    EXPECT_EQ(e.FoxesFound, -1);
    EXPECT_EQ(e.RunTime, 120 * 120);
    EXPECT_EQ(e.StartTime, -1);
    EXPECT_EQ(e.FinishTime, 120 * 120 - 1);
    EXPECT_EQ(e.PunchTable[31], 120 * 120 - 1);
    EXPECT_EQ(e.SlotOrder[0], 31);
    EXPECT_EQ(e.SlotOrder[1], 1);  // 0 was moved out by the fallback entry
    EXPECT_EQ(e.grid[0][1], " (NO PUNCH)");
    EXPECT_EQ(e.grid[31][1], " (NO PUNCH)");
  }
}

TEST(EvaluatePunches, FoxAfterFinishUsesTheFallbackFinish) {
  auto slots = WorkedPunches();
  slots[3] = At(11, 0, 0);
  const Evaluation e = EvaluatePunches(slots, WorkedConfig(), kNoOverride, Edition::Current);
  EXPECT_EQ(e.ErrorText, kFinishError);
  EXPECT_EQ(e.PunchCount, 6);
  EXPECT_EQ(e.FoxesFound, 4);
  const int16_t order[] = {0, 2, 1, 31, 3, 31};
  for (size_t p = 0; p < std::size(order); ++p) EXPECT_EQ(e.SlotOrder[p], order[p]) << p;
  EXPECT_EQ(e.FinishTime, At(14, 0, 0));
  EXPECT_EQ(e.PunchTable[31], At(14, 0, 0));
  EXPECT_EQ(e.RunTime, 4 * 3600);
  EXPECT_EQ(e.grid[31][1], "19/06/2012 10:52:05");  // the grid shows the punch read
}

TEST(EvaluatePunches, AllSlotsValidAndFinishNotLastTakesA33rdEntry) {
  config::EventConfig c = WorkedConfig();
  auto slots = EmptyFob();
  for (int slot = 0; slot < 32; ++slot) {
    c.FoxNumbers[static_cast<size_t>(slot)] = slot + 100;
    slots[static_cast<size_t>(slot)] = At(10, slot, 0);
  }
  slots[31] = At(10, 15, 30);  // the finish among the foxes
  const Evaluation e = EvaluatePunches(slots, c, kNoOverride, Edition::Current);
  EXPECT_EQ(e.ErrorText, kFinishError);
  EXPECT_EQ(e.PunchCount, 33);
  EXPECT_EQ(e.FoxesFound, 31);
  EXPECT_EQ(e.SlotOrder[16], 31);
  EXPECT_EQ(e.SlotOrder[31], 30);
  EXPECT_EQ(e.SlotOrder[32], 31);
  EXPECT_EQ(e.FinishTime, At(14, 0, 0));
  EXPECT_EQ(SlotAt(e, 32), 31);
}

TEST(EvaluatePunches, UtcOffsetMovesEverySlotButNotTheWindow) {
  config::EventConfig c = WorkedConfig();
  c.UtcOffset = -2;
  auto utc = WorkedPunches();
  for (int32_t& v : utc) v += 7200;  // empty slots too: -1 + 7200 is no valid time either
  Evaluation e = EvaluatePunches(utc, c, kNoOverride, Edition::Current);
  EXPECT_EQ(e.ErrorText, "");
  EXPECT_EQ(e.StartTime, At(10, 0, 0));
  EXPECT_EQ(e.grid[31][1], "19/06/2012 10:52:05");
  EXPECT_EQ(e.PunchCount, 5);

  // The earlier edition's reader already added the offset: no second shift.
  e = EvaluatePunches(utc, c, kNoOverride, Edition::Earlier);
  EXPECT_EQ(e.StartTime, At(12, 0, 0));
  EXPECT_EQ(e.grid[31][1], "19/06/2012 12:52:05");

  // Local punches moved two hours back fall before the window, which the
  // offset does not move.
  e = EvaluatePunches(WorkedPunches(), c, kNoOverride, Edition::Current);
  EXPECT_EQ(e.StartTime, At(8, 0, 0));
  EXPECT_EQ(e.grid[0][1], " (NO PUNCH)");
  EXPECT_EQ(e.grid[31][1], " (NO PUNCH)");
  EXPECT_EQ(e.ErrorText, std::string(kStartError) + kFinishError);
}

TEST(EvaluatePunches, UnconfiguredFoxSlotsAndSharedStartFinish) {
  config::EventConfig c = WorkedConfig();
  c.FoxNumbers[2] = 0;
  c.FoxNumbers[1] = -4;
  Evaluation e = EvaluatePunches(WorkedPunches(), c, kNoOverride, Edition::Current);
  EXPECT_EQ(e.grid[1][1], " ");
  EXPECT_EQ(e.grid[2][1], " ");
  EXPECT_EQ(e.PunchTable[2], kNoPunchTime);
  EXPECT_EQ(e.PunchCount, 3);
  EXPECT_EQ(e.FoxesFound, 1);

  c = WorkedConfig();
  c.FinishControl = 0;
  e = EvaluatePunches(WorkedPunches(), c, kNoOverride, Edition::Current);
  EXPECT_EQ(e.grid[0][0], "0 (START)");
  EXPECT_EQ(e.grid[31][0], "31");
  EXPECT_EQ(e.grid[31][1], " ");
}

TEST(EvaluatePunches, MidnightPunchShowsTheDateAlone) {
  config::EventConfig c = WorkedConfig();
  c.WindowOpen = kEventDay - 3600;
  auto slots = WorkedPunches();
  slots[2] = kEventDay;
  const Evaluation e = EvaluatePunches(slots, c, kNoOverride, Edition::Current);
  EXPECT_EQ(e.grid[2][1], "19/06/2012");
  EXPECT_EQ(e.SlotOrder[0], 2);
}

TEST(EvaluatePunches, SlotValuesAtThe32BitLimitsWrap) {
  constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
  constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
  config::EventConfig c = WorkedConfig();
  c.WindowOpen = kMin;
  c.WindowClose = kMax;  // everything but kMax itself is inside
  auto slots = EmptyFob();
  slots[0] = -1;
  slots[1] = kMax;
  slots[2] = kMin;
  slots[3] = kMax - 100;
  slots[31] = 0;
  c.UtcOffset = 1;
  Evaluation e = EvaluatePunches(slots, c, kNoOverride, Edition::Current);
  EXPECT_EQ(e.PunchTable[1], kMin + 3599);  // wrapped past the top
  EXPECT_EQ(e.grid[1][1], "13/12/1901 21:45:51");
  EXPECT_EQ(e.grid[2][1], "13/12/1901 21:45:52");
  EXPECT_EQ(e.PunchTable[3], kMin + 3499);
  EXPECT_EQ(e.grid[0][1], "01/01/1970 00:59:59");
  EXPECT_EQ(e.SlotOrder[0], 3);
  EXPECT_EQ(e.SlotOrder[1], 1);
  EXPECT_EQ(e.SlotOrder[2], 2);
  EXPECT_EQ(e.SlotOrder[3], 0);
  EXPECT_EQ(e.SlotOrder[4], 31);
  EXPECT_EQ(e.ErrorText, "");

  c.UtcOffset = -1;
  e = EvaluatePunches(slots, c, kNoOverride, Edition::Current);
  EXPECT_EQ(e.PunchTable[2], kMax - 3599);  // wrapped past the bottom
  EXPECT_EQ(e.grid[2][1], "19/01/2038 02:14:08");

  // An offset and a time limit whose products overflow 32 bits wrap too.
  c = WorkedConfig();
  c.UtcOffset = 1000000;  // 3 600 000 000 s
  c.TimeLimit = kMax;
  e = EvaluatePunches(EmptyFob(), c, kNoOverride, Edition::Current);
  const auto shifted = static_cast<int32_t>(3600000000u - 1u);
  EXPECT_EQ(e.StartTime, shifted);
  EXPECT_EQ(e.RunTime, static_cast<int32_t>(0x7FFFFFFFu * 120u));
  EXPECT_EQ(e.FinishTime,
            static_cast<int32_t>(static_cast<uint32_t>(shifted) + 0x7FFFFFFFu * 120u));
  EXPECT_EQ(e.grid[0][1], " (NO PUNCH)");
}

TEST(EvaluatePunches, RejectsControlsOutsideTheSlots) {
  config::EventConfig c = WorkedConfig();
  c.StartControl = 32;
  EXPECT_THROW(EvaluatePunches(WorkedPunches(), c, kNoOverride, Edition::Current),
               std::invalid_argument);
  c = WorkedConfig();
  c.FinishControl = -1;
  EXPECT_THROW(EvaluatePunches(WorkedPunches(), c, kNoOverride, Edition::Current),
               std::invalid_argument);
}

}  // namespace
}  // namespace vintok::results
