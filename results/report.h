#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "config/event_config.h"
#include "edition/edition.h"
#include "results/evaluation.h"

namespace vintok::results {

// The line the window adds under the report once the run log holds it; shown
// and printed, never logged.
inline constexpr std::string_view kReportTrailer = "KESTRIX timing system";

// Seconds as minutes:seconds, the minutes right-aligned in three characters:
// 65 -> "  1:05", 60000 -> "000:00" (only the last three digits of the
// minutes), -65 -> " -1:-5" (the sign stays inside each field).
std::string FormatMinSec(int32_t seconds);

// The report of one evaluated read, line by line: fob number, foxes found,
// run time, the split table heading, the start line, one line per further
// entry of the order, the error lines and a closing empty line.
std::vector<std::string> ReportLines(const std::string& fobText, const Evaluation& evaluation,
                                     const config::EventConfig& config, Edition edition);

// The report as the report area holds it: every line followed by CR LF.
std::string ReportText(const std::vector<std::string>& lines);

// The block appended to the run log for one read: the report text, an empty
// line, a separator of 23 hyphens and an empty line.
std::string RunLogBlock(const std::string& reportText);

}  // namespace vintok::results
