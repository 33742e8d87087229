#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vintok::ibutton {

inline constexpr int kSlotCount = 32;

// What a fob holds, as the simulated 1-Wire port serves it.
struct FobImage {
  // Registration number bytes in the order the device sends them after
  // Read ROM.
  std::array<uint8_t, 8> rom{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  // Raw big-endian contents of each slot. An empty list reads FF FF FF FF.
  // With several values, the k-th Read Memory command that reaches the slot
  // sees the k-th value, later commands the last one.
  std::array<std::vector<uint32_t>, kSlotCount> slotValues{};
};

// Result of parsing a fob description: the image, or the first fault found.
struct FobParseResult {
  std::optional<FobImage> fob;
  int faultLine = 0;      // 1-based line of the fault, 0 when fob is set
  std::string fault;      // what is wrong on that line
};

// Parses the text format of a fob file:
//   rom = 01 A2 B3 C4 D5 E6 F7 08
//   slot 0 = 2012-06-19 10:00:00    (UTC, as the boxes write it)
//   slot 2 = 1340100750             (signed 32-bit epoch seconds)
//   slot 5 = 0x7FFFFFFF             (the four raw bytes, 8 hex digits)
//   slot 7 = 1340100750 1340100751  (one value per Read Memory command)
// '#' starts a comment, blank lines are ignored, keywords in any case.
FobParseResult ParseFobText(std::string_view text);

// Reads and parses the fob file at `path`. A missing file gives no fob and
// no message (nothing on the reader). A malformed one gives no fob and one
// line on standard error naming the file, the line and the fault.
std::optional<FobImage> LoadFobFile(const std::string& path);

}  // namespace vintok::ibutton
