#pragma once

#include <QString>
#include <cstdint>

namespace vintok::app {

// A number as at least two digits, zeros added on the left ("%.*d" with
// precision 2): 9 -> "09", 23 -> "23", -5 -> "-05".
QString TwoDigitText(int32_t value);

// The fob number proposed for a start number text; a text that is not an
// integer counts as start number 0.
int32_t ProposedFobNumber(const QString& startText, int32_t fobOffset);

// The override time one spin step later (+5 minutes) or earlier (-5 minutes).
// The time is kept on multiples of 5 minutes from 00:00 to 23:55; 00:00 counts
// as not set, so a step from it starts at the opening hour.
struct OverrideTime {
  QString hour;
  QString minute;
};
OverrideTime StepOverrideTime(const QString& hourText, const QString& minuteText, int32_t openHour,
                              bool later);

}  // namespace vintok::app
