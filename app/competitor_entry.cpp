#include "app/competitor_entry.h"

#include "config/int_text.h"

namespace vintok::app {

namespace {

int32_t LenientInt(const QString& text) {
  return config::StrToIntDef(text.toLocal8Bit().toStdString(), 0);
}

// 32-bit arithmetic that wraps as the operator's numbers always have; an
// absurd opening hour from the event file must not be undefined behaviour.
int32_t Wrap(int64_t value) { return static_cast<int32_t>(value); }

}  // namespace

QString TwoDigitText(int32_t value) { return QString::asprintf("%.*d", 2, value); }

int32_t ProposedFobNumber(const QString& startText, int32_t fobOffset) {
  return Wrap(int64_t{LenientInt(startText)} + fobOffset);
}

OverrideTime StepOverrideTime(const QString& hourText, const QString& minuteText, int32_t openHour,
                              bool later) {
  int32_t t = Wrap(int64_t{LenientInt(hourText)} * 60 + LenientInt(minuteText));
  t = t / 5 * 5;  // cut toward zero: 7 -> 5, -7 -> -5
  if (t == 0) t = Wrap(int64_t{openHour} * 60);
  t = Wrap(int64_t{t} + (later ? 5 : -5));
  if (t > 1435) t = 0;
  if (t < 0) t = 1435;
  return {TwoDigitText(t / 60), TwoDigitText(t % 60)};
}

}  // namespace vintok::app
