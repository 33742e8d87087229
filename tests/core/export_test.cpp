#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <string>

#include "results/export_file.h"
#include "tests/core/worked_example.h"

namespace vintok::results {
namespace {

using testing::At;
using testing::EmptyFob;
using testing::ExpectedText;
using testing::kEventDay;
using testing::WorkedConfig;
using testing::WorkedPunches;

const OverrideInput kNoOverride{"00", "00", false};

std::string Block(const std::array<int32_t, 32>& slots, const config::EventConfig& config,
                  Edition edition = Edition::Current) {
  return KorBlock("12", "12", EvaluatePunches(slots, config, kNoOverride, edition), config,
                  edition);
}

TEST(FormatKorTime, CharacterPositionsOfTheDateTimeText) {
  struct Case {
    int32_t epoch;
    const char* text;
  } cases[] = {
      {At(9, 5, 7), "09:05:07'00 19.06.12"},
      {At(23, 59, 59), "23:59:59'00 19.06.12"},
      {kEventDay, "'00 19.06.12"},  // midnight: the date-time text has no time
      {kEventDay + 1, "00:00:01'00 19.06.12"},
      {0, "'00 01.01.70"},
      {-1, "23:59:59'00 31.12.69"},
      {std::numeric_limits<int32_t>::max(), "03:14:07'00 19.01.38"},
      {std::numeric_limits<int32_t>::min(), "20:45:52'00 13.12.01"},
  };
  for (const Case& c : cases) EXPECT_EQ(FormatKorTime(c.epoch), c.text) << c.epoch;
}

TEST(KorBlock, WorkedExampleBothEditions) {
  EXPECT_EQ(KorFileHeader() + Block(WorkedPunches(), WorkedConfig()),
            ExpectedText("worked_example.kor"));
  EXPECT_EQ(KorFileHeader() + Block(WorkedPunches(), WorkedConfig(), Edition::Earlier),
            ExpectedText("worked_example_earlier.kor"));
}

TEST(KorBlock, StartAndFinishOnly) {
  auto slots = EmptyFob();
  slots[0] = At(10, 0, 0);
  slots[31] = At(11, 0, 0);
  EXPECT_EQ(Block(slots, WorkedConfig()),
            "# -- Start No.12 Fob No:12 --\r\n"
            "127 12 10:00:00'00 19.06.12 0; #start\r\n"
            "128 12 11:00:00'00 19.06.12 0; #finish\r\n");
  EXPECT_EQ(Block(slots, WorkedConfig(), Edition::Earlier),
            "# -- Start No.12 Fob No:12 --\r\n"
            "254 12 11:00:00'00 19.06.12 0; 0; #begin\r\n"
            "253 12 10:00:00'00 19.06.12 0; #start\r\n"
            "248 12 11:00:00'00 19.06.12 0; #finish\r\n");
}

TEST(KorBlock, FoxCodesAndMidnight) {
  config::EventConfig c = WorkedConfig();
  c.WindowOpen = kEventDay - 3600;
  c.FoxNumbers = {};
  c.FoxNumbers[2] = 1;
  c.FoxNumbers[5] = 12;
  auto slots = EmptyFob();
  slots[0] = kEventDay - 60;
  slots[2] = kEventDay;  // exactly midnight
  slots[5] = At(0, 30, 0);
  slots[31] = At(1, 0, 0);
  EXPECT_EQ(KorBlock("7", "0107", EvaluatePunches(slots, c, kNoOverride, Edition::Current), c,
                     Edition::Current),
            "# -- Start No.7 Fob No:0107 --\r\n"
            "127 7 23:59:00'00 18.06.12 0; #start\r\n"
            " 1 7 '00 19.06.12 0; #fox\r\n"
            " 12 7 00:30:00'00 19.06.12 0; #fox\r\n"
            "128 7 01:00:00'00 19.06.12 0; #finish\r\n");
  EXPECT_EQ(KorBlock("7", "0107", EvaluatePunches(slots, c, kNoOverride, Edition::Earlier), c,
                     Edition::Earlier),
            "# -- Start No.7 Fob No:0107 --\r\n"
            "254 7 01:00:00'00 19.06.12 0; 2; #begin\r\n"
            "253 7 23:59:00'00 18.06.12 0; #start\r\n"
            " 65 7 '00 19.06.12 0; #fox\r\n"
            " 76 7 00:30:00'00 19.06.12 0; #fox\r\n"
            "248 7 01:00:00'00 19.06.12 0; #finish\r\n");
}

TEST(KorBlock, FoxBeforeTheStartIsLeftOutAndTheStartWrittenAsAFox) {
  auto slots = WorkedPunches();
  slots[0] = At(10, 13, 0);  // after the fox in slot 2
  EXPECT_EQ(Block(slots, WorkedConfig()),
            "# -- Start No.12 Fob No:12 --\r\n"
            "127 12 10:13:00'00 19.06.12 0; #start\r\n"
            " 0 12 10:13:00'00 19.06.12 0; #fox\r\n"
            " 1 12 10:25:10'00 19.06.12 0; #fox\r\n"
            " 3 12 10:40:00'00 19.06.12 0; #fox\r\n"
            "128 12 10:52:05'00 19.06.12 0; #finish\r\n");
}

TEST(KorBlock, AllSlotsValidWritesTheFallbackFinish) {
  // Such a read has a finish error and is never exported by the window; the
  // block still reads the 33rd entry of the order and nothing beyond it.
  config::EventConfig c = WorkedConfig();
  auto slots = EmptyFob();
  for (int slot = 0; slot < 32; ++slot) {
    c.FoxNumbers[static_cast<size_t>(slot)] = slot + 1;
    slots[static_cast<size_t>(slot)] = At(10, slot, 0);
  }
  slots[31] = At(10, 15, 30);
  const std::string block = Block(slots, c);
  EXPECT_EQ(std::count(block.begin(), block.end(), '\n'), 1 + 1 + 31 + 1);
  EXPECT_NE(block.find(" 16 12 10:15:00'00 19.06.12 0; #fox\r\n"
                       " 32 12 14:00:00'00 19.06.12 0; #fox\r\n"
                       " 17 12 10:16:00'00 19.06.12 0; #fox\r\n"),
            std::string::npos);
  const std::string tail =
      " 31 12 10:30:00'00 19.06.12 0; #fox\r\n"
      "128 12 14:00:00'00 19.06.12 0; #finish\r\n";
  EXPECT_EQ(block.substr(block.size() - tail.size()), tail);
}

}  // namespace
}  // namespace vintok::results
