#include "ibutton/fob_file.h"

#include <cctype>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <limits>
#include <sstream>

namespace vintok::ibutton {
namespace {

std::string Lowered(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::vector<std::string> SplitBlanks(std::string_view text) {
  std::vector<std::string> words;
  std::string current;
  for (char c : text) {
    if (std::isspace(static_cast<unsigned char>(c))) {
      if (!current.empty()) words.push_back(std::move(current));
      current.clear();
    } else {
      current += c;
    }
  }
  if (!current.empty()) words.push_back(std::move(current));
  return words;
}

bool AllDigits(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text)
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  return true;
}

bool AllHexDigits(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text)
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
  return true;
}

std::optional<int> ParseSmallNumber(std::string_view text, int maxValue) {
  if (!AllDigits(text) || text.size() > 4) return std::nullopt;
  int value = std::stoi(std::string(text));
  if (value > maxValue) return std::nullopt;
  return value;
}

// Days since 1970-01-01 of a Gregorian date (valid for any year).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : days[m - 1];
}

// "YYYY-MM-DD" and "HH:MM:SS" to epoch seconds, or nothing when either is
// not a real date and time or lies outside the signed 32-bit range.
std::optional<uint32_t> ParseDateTime(const std::string& date, const std::string& time) {
  if (date.size() != 10 || date[4] != '-' || date[7] != '-') return std::nullopt;
  if (time.size() != 8 || time[2] != ':' || time[5] != ':') return std::nullopt;
  auto year = ParseSmallNumber(date.substr(0, 4), 9999);
  auto month = ParseSmallNumber(date.substr(5, 2), 12);
  auto day = ParseSmallNumber(date.substr(8, 2), 31);
  auto hour = ParseSmallNumber(time.substr(0, 2), 23);
  auto minute = ParseSmallNumber(time.substr(3, 2), 59);
  auto second = ParseSmallNumber(time.substr(6, 2), 59);
  if (!year || !month || !day || !hour || !minute || !second) return std::nullopt;
  if (*month < 1 || *day < 1 || *day > DaysInMonth(*year, *month)) return std::nullopt;
  const int64_t seconds = DaysFromCivil(*year, *month, *day) * 86400 + *hour * 3600 +
                          *minute * 60 + *second;
  if (seconds < std::numeric_limits<int32_t>::min() ||
      seconds > std::numeric_limits<int32_t>::max())
    return std::nullopt;
  return static_cast<uint32_t>(static_cast<int32_t>(seconds));
}

std::optional<uint32_t> ParseEpoch(const std::string& word) {
  std::string_view digits = word;
  if (!digits.empty() && (digits[0] == '-' || digits[0] == '+')) digits.remove_prefix(1);
  if (!AllDigits(digits) || digits.size() > 10) return std::nullopt;
  const int64_t value = std::stoll(word);
  if (value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max())
    return std::nullopt;
  return static_cast<uint32_t>(static_cast<int32_t>(value));
}

std::optional<uint32_t> ParseRawHex(const std::string& word) {
  if (word.size() != 10 || word[0] != '0' || (word[1] != 'x' && word[1] != 'X')) return std::nullopt;
  if (!AllHexDigits(std::string_view(word).substr(2))) return std::nullopt;
  return static_cast<uint32_t>(std::stoul(word.substr(2), nullptr, 16));
}

// Parses the values of a slot line; returns a fault text or nothing.
std::optional<std::string> ParseSlotValues(const std::vector<std::string>& words,
                                           std::vector<uint32_t>& values) {
  if (words.empty()) return "slot without a value";
  for (size_t i = 0; i < words.size(); ++i) {
    const std::string& word = words[i];
    std::optional<uint32_t> value;
    if (word.size() == 10 && word[4] == '-') {
      if (i + 1 >= words.size()) return "date '" + word + "' without a time";
      value = ParseDateTime(word, words[i + 1]);
      if (!value) return "'" + word + " " + words[i + 1] + "' is not a valid date and time";
      ++i;
    } else if (word.size() > 1 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X')) {
      value = ParseRawHex(word);
      if (!value) return "'" + word + "' is not 8 hex digits";
    } else {
      value = ParseEpoch(word);
      if (!value) return "'" + word + "' is not a signed 32-bit number of seconds";
    }
    values.push_back(*value);
  }
  return std::nullopt;
}

std::optional<std::string> ParseRom(const std::vector<std::string>& words,
                                    std::array<uint8_t, 8>& rom) {
  if (words.size() != 8) return "rom needs exactly 8 bytes, found " + std::to_string(words.size());
  for (size_t i = 0; i < 8; ++i) {
    if (words[i].size() > 2 || !AllHexDigits(words[i]))
      return "'" + words[i] + "' is not a hex byte";
    rom[i] = static_cast<uint8_t>(std::stoul(words[i], nullptr, 16));
  }
  return std::nullopt;
}

// One line without its comment; returns a fault text or nothing.
std::optional<std::string> ParseLine(std::string_view line, FobImage& fob) {
  const size_t equals = line.find('=');
  if (equals == std::string_view::npos) return "expected 'rom = ...' or 'slot N = ...'";
  const std::vector<std::string> key = SplitBlanks(line.substr(0, equals));
  const std::vector<std::string> values = SplitBlanks(line.substr(equals + 1));
  if (key.size() == 1 && Lowered(key[0]) == "rom") return ParseRom(values, fob.rom);
  if (key.size() == 2 && Lowered(key[0]) == "slot") {
    const auto slot = ParseSmallNumber(key[1], kSlotCount - 1);
    if (!slot) return "slot '" + key[1] + "' is not a slot from 0 to 31";
    fob.slotValues[*slot].clear();
    return ParseSlotValues(values, fob.slotValues[*slot]);
  }
  return "unknown keyword '" + (key.empty() ? std::string() : key[0]) + "'";
}

}  // namespace

FobParseResult ParseFobText(std::string_view text) {
  FobImage fob;
  int lineNumber = 0;
  while (!text.empty()) {
    ++lineNumber;
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    line = line.substr(0, line.find('#'));
    if (SplitBlanks(line).empty()) continue;
    if (auto fault = ParseLine(line, fob)) return {std::nullopt, lineNumber, *fault};
  }
  return {fob, 0, {}};
}

std::optional<FobImage> LoadFobFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return std::nullopt;
  const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  FobParseResult parsed = ParseFobText(text);
  if (!parsed.fob)
    std::fprintf(stderr, "%s:%d: %s\n", path.c_str(), parsed.faultLine, parsed.fault.c_str());
  return parsed.fob;
}

}  // namespace vintok::ibutton
