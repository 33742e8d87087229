#include "results/report.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "tests/core/worked_example.h"

namespace vintok::results {
namespace {

using testing::At;
using testing::EmptyFob;
using testing::ExpectedText;
using testing::WorkedConfig;
using testing::WorkedPunches;
using Lines = std::vector<std::string>;

const OverrideInput kNoOverride{"00", "00", false};

Lines Report(const std::array<int32_t, 32>& slots, const config::EventConfig& config,
             Edition edition = Edition::Current) {
  return ReportLines("12", EvaluatePunches(slots, config, kNoOverride, edition), config, edition);
}

TEST(FormatMinSec, EveryRowOfTheTable) {
  struct Case {
    int32_t seconds;
    const char* text;
  } cases[] = {
      {0, "  0:00"},
      {65, "  1:05"},
      {3599, " 59:59"},
      {7265, "121:05"},
      {59999, "999:59"},
      {60000, "000:00"},
      {-65, " -1:-5"},
      {-3599, "-59:59"},
      {-1, "  0:-1"},
      {-60, " -1:00"},
      {-600, "-10:00"},
      {-6000, "100:00"},                                // only the last three characters of "-100"
      {std::numeric_limits<int32_t>::max(), "394:07"},  // 35791394 min 7 s
      {std::numeric_limits<int32_t>::min(), "394:-8"},  // -35791394 min -8 s
  };
  for (const Case& c : cases) EXPECT_EQ(FormatMinSec(c.seconds), c.text) << c.seconds;
}

TEST(Report, WorkedExampleBothEditions) {
  const Lines current = Report(WorkedPunches(), WorkedConfig());
  const Lines expected = {
      "iButton fob No. 12",
      "Foxes Found - 3",
      "Run Time -  52:05",
      "Fox   Split    Cumulative",
      "S (0)    ",
      "F2 (2)     12:30   12:30",
      "F1 (1)     12:40   25:10",
      "F3 (3)     14:50   40:00",
      "Z (31)     12:05   52:05",
      "",
  };
  EXPECT_EQ(current, expected);
  const std::string text = ReportText(current);
  EXPECT_EQ(text.substr(text.size() - 28), "Z (31)     12:05   52:05\r\n\r\n");
  EXPECT_EQ(RunLogBlock(text), ExpectedText("worked_example.log"));

  // The earlier edition's label column is one character narrower.
  const Lines earlier = Report(WorkedPunches(), WorkedConfig(), Edition::Earlier);
  EXPECT_EQ(earlier[4], "S (0)   ");
  EXPECT_EQ(earlier[8], "Z (31)    12:05   52:05");
  EXPECT_EQ(RunLogBlock(ReportText(earlier)), ExpectedText("worked_example_earlier.log"));
  EXPECT_EQ(kReportTrailer, "KESTRIX timing system");
}

TEST(Report, LongLabelsAreCut) {
  config::EventConfig c = WorkedConfig();
  c.FoxPrefix = "Fox";
  c.FoxNumbers[14] = 12;
  c.FoxNumbers[15] = 101;
  auto slots = WorkedPunches();
  slots[14] = At(10, 50, 0);
  slots[15] = At(10, 51, 0);
  Lines lines = Report(slots, c);
  EXPECT_EQ(lines[8], "Fox12 (14  10:00   50:00");
  EXPECT_EQ(lines[9], "Fox101 (1   1:00   51:00");
  EXPECT_EQ(lines[10], "Z (31)      1:05   52:05");

  lines = Report(slots, c, Edition::Earlier);
  EXPECT_EQ(lines[8], "Fox12 (1  10:00   50:00");
  c.FoxPrefix = "F";
  lines = Report(slots, c, Edition::Earlier);
  EXPECT_EQ(lines[9], "F101 (15   1:00   51:00");  // no closing bracket
}

TEST(Report, ErrorsAndTheFallbackFinish) {
  // No valid punch: both errors, PunchCount 1, the start line only.
  const Lines none = Report(EmptyFob(), WorkedConfig());
  const Lines expected = {
      "iButton fob No. 12",
      "Foxes Found - -1",
      "Run Time - 240:00",
      "Fox   Split    Cumulative",
      "S (31)   ",
      "**Start Punch ERROR**",
      "**Finish Punch ERROR**",
      "",
  };
  EXPECT_EQ(none, expected);
  EXPECT_EQ(ReportText(none).substr(ReportText(none).size() - 49),
            "**Start Punch ERROR**\r\n**Finish Punch ERROR**\r\n\r\n");

  const Lines earlier = Report(EmptyFob(), WorkedConfig(), Edition::Earlier);
  EXPECT_EQ(earlier[5], "**Start Punch Error**");
  EXPECT_EQ(earlier[6], "**No Finish Punch**");

  // A fallback finish before the last fox gives a negative split.
  config::EventConfig c = WorkedConfig();
  c.TimeLimit = 1;  // 120 s
  auto slots = EmptyFob();
  slots[0] = At(10, 0, 0);
  slots[2] = At(10, 3, 5);
  const Lines negative = Report(slots, c);
  const Lines expectedNegative = {
      "iButton fob No. 12",
      "Foxes Found - 1",
      "Run Time -   2:00",
      "Fox   Split    Cumulative",
      "S (0)    ",
      "F2 (2)      3:05    3:05",
      "Z (31)     -1:-5    2:00",
      "**Finish Punch ERROR**",
      "",
  };
  EXPECT_EQ(negative, expectedNegative);
}

TEST(Report, FoxBeforeTheStart) {
  auto slots = WorkedPunches();
  slots[0] = At(10, 13, 0);  // after the fox in slot 2
  const Lines lines = Report(slots, WorkedConfig());
  EXPECT_EQ(lines[1], "Foxes Found - 3");
  EXPECT_EQ(lines[2], "Run Time -  39:05");
  EXPECT_EQ(lines[4], "S (2)    ");
  EXPECT_EQ(lines[5], "F0 (0)      0:30    0:30");
  EXPECT_EQ(lines[6], "F1 (1)     12:10   12:40");
}

TEST(Report, AllSlotsValidReadsTheFallbackFromThe33rdEntry) {
  config::EventConfig c = WorkedConfig();
  auto slots = EmptyFob();
  for (int slot = 0; slot < 32; ++slot) {
    c.FoxNumbers[static_cast<size_t>(slot)] = slot;
    slots[static_cast<size_t>(slot)] = At(10, slot, 0);
  }
  slots[31] = At(10, 15, 30);
  const Lines lines = Report(slots, c);
  ASSERT_EQ(lines.size(), 5u + 32u + 2u);
  EXPECT_EQ(lines[1], "Foxes Found - 31");
  EXPECT_EQ(lines[2], "Run Time - 240:00");
  // At its sorted place the finish carries the fallback time (14:00), so the
  // next split is negative; its sign falls out of the three minute places.
  EXPECT_EQ(lines[20], "Z (31)    225:00  240:00");
  EXPECT_EQ(lines[21], "F16 (16)  224:00   16:00");
  EXPECT_EQ(lines[35], "F30 (30)    1:00   30:00");
  EXPECT_EQ(lines[36], "Z (31)    210:00  240:00");  // the 33rd entry
  EXPECT_EQ(lines[37], "**Finish Punch ERROR**");
  EXPECT_EQ(lines[38], "");
}

TEST(Report, WrappedTimesPrintTheirFields) {
  // Punches far apart wrap in 32 bits like the values themselves: from the
  // lowest to almost the highest value is 2^32 - 2 seconds, that is -2.
  config::EventConfig c = WorkedConfig();
  c.FoxNumbers = {};
  c.WindowOpen = std::numeric_limits<int32_t>::min();
  c.WindowClose = std::numeric_limits<int32_t>::max();
  auto slots = EmptyFob();
  slots[0] = std::numeric_limits<int32_t>::min();
  slots[31] = std::numeric_limits<int32_t>::max() - 1;
  const Lines lines = Report(slots, c);
  EXPECT_EQ(lines[2], "Run Time -   0:-2");
  EXPECT_EQ(lines[5], "Z (31)      0:-2    0:-2");
}

TEST(Report, RejectsAnOrderThatNamesNoSlot) {
  Evaluation e;
  e.PunchCount = 2;
  e.SlotOrder[1] = 40;
  EXPECT_THROW(ReportLines("1", e, WorkedConfig(), Edition::Current), std::out_of_range);
}

}  // namespace
}  // namespace vintok::results
