// Any 32 slot values with any event and override: the evaluation, the report
// and the export block must hold together for both editions.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include "config/event_config.h"
#include "results/evaluation.h"
#include "results/export_file.h"
#include "results/report.h"

#include "fuzz_check.h"

namespace {

using namespace vintok;

size_t CountLines(const std::string& text) {
  size_t count = 0;
  for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at + 2))
    ++count;
  return count;
}

bool HasLineBreak(const std::string& text) {
  return text.find_first_of("\r\n") != std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const Edition edition = in.ConsumeBool() ? Edition::Earlier : Edition::Current;

  config::EventConfig event;
  // The loader lets only slot numbers through for start and finish.
  event.StartControl = in.ConsumeIntegralInRange<int32_t>(0, config::kSlotCount - 1);
  event.FinishControl = in.ConsumeIntegralInRange<int32_t>(0, config::kSlotCount - 1);
  event.UtcOffset = in.ConsumeIntegral<int32_t>();
  event.TimeLimit = in.ConsumeIntegral<int32_t>();
  event.WindowOpen = in.ConsumeIntegral<int32_t>();
  event.WindowClose = in.ConsumeIntegral<int32_t>();
  for (int32_t& fox : event.FoxNumbers) fox = in.ConsumeIntegral<int32_t>();
  event.StartPrefix = in.ConsumeRandomLengthString(12);
  event.FinishPrefix = in.ConsumeRandomLengthString(12);
  event.FoxPrefix = in.ConsumeRandomLengthString(12);

  results::OverrideInput override;
  override.hourText = in.ConsumeRandomLengthString(6);
  override.minuteText = in.ConsumeRandomLengthString(6);
  override.switchedOn = in.ConsumeBool();
  const std::string startText = in.ConsumeRandomLengthString(8);
  const std::string fobText = in.ConsumeRandomLengthString(8);

  std::array<int32_t, config::kSlotCount> punches{};
  for (int32_t& value : punches) value = in.ConsumeIntegral<int32_t>();

  results::Evaluation e;
  try {
    e = results::EvaluatePunches(punches, event, override, edition);
  } catch (const std::runtime_error& error) {
    Check(std::string(error.what()) == "Invalid argument to time encode");
    return 0;
  }

  // The order: the valid punches first, by time, then the finish fallback.
  Check(e.PunchCount >= 1 && e.PunchCount <= config::kSlotCount + 1);
  Check(e.FoxesFound == e.PunchCount - 2);
  for (int p = 0; p < e.PunchCount; ++p) Check(results::SlotAt(e, p) >= 0);
  // The finish fallback takes the position after the valid punches and is
  // the only source of the finish error line.
  const bool fallback =
      e.ErrorText.find(edition == Edition::Earlier ? "**No Finish Punch**"
                                                   : "**Finish Punch ERROR**") != std::string::npos;
  if (fallback) Check(e.SlotOrder[static_cast<size_t>(e.PunchCount - 1)] == event.FinishControl);
  const int ordered = fallback ? e.PunchCount - 1 : e.PunchCount;
  // The fallback also rewrites the finish slot's time, so a finish punched
  // before the last fox no longer sorts where it stands.
  int32_t previous = INT32_MIN;
  for (int p = 0; p < ordered; ++p) {
    const int slot = e.SlotOrder[static_cast<size_t>(p)];
    if (fallback && slot == event.FinishControl) continue;
    const int32_t time = e.PunchTable[static_cast<size_t>(slot)];
    Check(previous <= time);
    previous = time;
  }
  if (!fallback)
    for (int slot = 0; slot < config::kSlotCount; ++slot)
      Check(std::count(e.SlotOrder.begin(), e.SlotOrder.begin() + config::kSlotCount, slot) == 1);

  const auto lines = results::ReportLines(fobText, e, event, edition);
  const size_t errorLines = CountLines(e.ErrorText);
  Check(lines.size() == 5 + static_cast<size_t>(e.PunchCount - 1) + errorLines + 1);
  Check(lines.back().empty());
  const std::string report = results::ReportText(lines);
  const std::string log = results::RunLogBlock(report);
  Check(log.size() == report.size() + 2 + 23 + 2 + 2);

  const std::string block = results::KorBlock(startText, fobText, e, event, edition);
  if (!HasLineBreak(startText) && !HasLineBreak(fobText)) {
    const size_t foxes = e.PunchCount > 2 ? static_cast<size_t>(e.PunchCount - 2) : 0;
    Check(CountLines(block) == 3 + foxes + (edition == Edition::Earlier ? 1 : 0));
    Check(block.size() >= 2 && block.compare(block.size() - 2, 2, "\r\n") == 0);
  }
  for (int32_t seconds : {e.StartTime, e.FinishTime}) {
    const std::string kor = results::FormatKorTime(seconds);
    Check(kor.size() == 20 || kor.size() == 12);  // midnight has no time part
  }
  return 0;
}
