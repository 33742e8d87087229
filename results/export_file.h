#pragma once

#include <cstdint>
#include <string>

#include "config/event_config.h"
#include "edition/edition.h"
#include "results/evaluation.h"

namespace vintok::results {

// Time and date of a punch as the results software reads them from the
// export file, hh:nn:ss'00 dd.mm.yy ("09:05:07'00 19.06.12"). Built from fixed
// character positions of the date-time text, so at midnight, where that text
// carries the date alone, nothing stands before the apostrophe.
std::string FormatKorTime(int32_t seconds);

// The two lines a new export file begins with.
std::string KorFileHeader();

// The result block of one error-free read: the heading, the start punch, the
// fox punches between the earliest and the latest entry of the order, and the
// finish punch, each line ending in CR LF. The earlier edition adds a begin
// line and uses the codes 254/253/248 and fox number + 64.
std::string KorBlock(const std::string& startText, const std::string& fobText,
                     const Evaluation& evaluation, const config::EventConfig& config,
                     Edition edition);

}  // namespace vintok::results
