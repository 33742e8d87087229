#include "results/export_file.h"

#include <algorithm>

#include "config/date_time.h"

namespace vintok::results {
namespace {

std::string Substring(const std::string& text, size_t position, size_t count) {
  return position < text.size() ? text.substr(position, count) : std::string();
}

std::string PunchLine(const std::string& code, const std::string& startText, int32_t time,
                      const std::string& tail) {
  return code + " " + startText + " " + FormatKorTime(time) + " 0;" + tail + "\r\n";
}

}  // namespace

std::string FormatKorTime(int32_t seconds) {
  // Positions of dd/mm/yyyy hh:nn:ss: the time from the 12th character, the
  // day and month with their slashes, then the last two digits of the year.
  const std::string text = config::DateTimeText(config::EpochToDateTime(seconds));
  std::string result =
      Substring(text, 11, 18) + "'" + "00 " + Substring(text, 0, 6) + Substring(text, 8, 2);
  std::replace(result.begin(), result.end(), '/', '.');
  return result;
}

std::string KorFileHeader() { return "@SAVE\r\n@BEGIN-KOR\r\n"; }

std::string KorBlock(const std::string& startText, const std::string& fobText,
                     const Evaluation& evaluation, const config::EventConfig& config,
                     Edition edition) {
  const bool earlier = edition == Edition::Earlier;
  const auto timeOf = [&](int slot) { return evaluation.PunchTable.at(static_cast<size_t>(slot)); };

  std::string block = "# -- Start No." + startText + " Fob No:" + fobText + " --\r\n";
  if (earlier)
    block += PunchLine("254", startText, timeOf(config.FinishControl),
                       " " + std::to_string(evaluation.FoxesFound) + "; #begin");
  block += PunchLine(earlier ? "253" : "127", startText, timeOf(config.StartControl), " #start");
  // Positions 1 .. PunchCount - 2 lie between the earliest punch and the
  // finish; whatever slot stands there is written with its fox number.
  for (int p = 1; p <= evaluation.PunchCount - 2; ++p) {
    const int slot = SlotAt(evaluation, p);
    const int64_t foxNumber = config.FoxNumbers[static_cast<size_t>(slot)];
    block += PunchLine(" " + std::to_string(earlier ? foxNumber + 64 : foxNumber), startText,
                       timeOf(slot), " #fox");
  }
  block += PunchLine(earlier ? "248" : "128", startText, timeOf(config.FinishControl), " #finish");
  return block;
}

}  // namespace vintok::results
