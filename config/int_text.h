#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace vintok::config {

// Text-to-integer conversions used where the operator types numbers.
//
// Accepted form: leading blanks, an optional sign, then decimal digits, or
// hexadecimal digits after "$", "x" or "0x" (either case). Nothing may follow
// the digits. Decimal must fit a signed 32-bit value; hexadecimal may use all
// 32 bits ($FFFFFFFF is -1).
std::optional<int32_t> ParseIntText(std::string_view text);

// The strict conversion: throws std::runtime_error
// "'<text>' is not a valid integer value" when the text is not an integer.
int32_t StrToInt(std::string_view text);

// The lenient conversion: `fallback` when the text is not an integer.
int32_t StrToIntDef(std::string_view text, int32_t fallback);

}  // namespace vintok::config
