#include "config/ini_file.h"

#include <stdexcept>
#include <utility>

namespace vintok::config {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  return true;
}

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Walks the lines of the file's bytes; a line is given without its LF and
// without the CR before it.
class LineReader {
 public:
  explicit LineReader(std::string_view bytes) : rest_(bytes) {}

  bool Next(std::string_view& line) {
    if (rest_.empty()) return false;
    const size_t end = rest_.find('\n');
    if (end == std::string_view::npos) {
      line = rest_;
      rest_ = {};
    } else {
      line = rest_.substr(0, end);
      rest_.remove_prefix(end + 1);
    }
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return true;
  }

 private:
  std::string_view rest_;
};

enum class LineKind { Other, Section, Key };

struct IniLine {
  LineKind kind = LineKind::Other;
  std::string_view name;   // section or key name, trimmed
  std::string_view value;  // key value, trimmed
};

IniLine Classify(std::string_view line) {
  const std::string_view text = Trim(line);
  if (!text.empty() && text.front() == '[') {
    const size_t close = text.rfind(']');
    if (close != std::string_view::npos && close > 0)
      return {LineKind::Section, Trim(text.substr(1, close - 1)), {}};
  }
  const size_t equals = text.find('=');
  if (equals == std::string_view::npos) return {};
  return {LineKind::Key, Trim(text.substr(0, equals)), Trim(text.substr(equals + 1))};
}

bool IsBlankLine(std::string_view line) { return Trim(line).empty(); }

}  // namespace

std::optional<int32_t> ParseIniInteger(std::string_view text) {
  text = Trim(text);
  std::string_view hexDigits;
  bool hex = false;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    hex = true;
    hexDigits = text.substr(2);
  } else if (!text.empty() && text[0] == '$') {
    hex = true;
    hexDigits = text.substr(1);
  }

  if (hex) {
    if (hexDigits.empty()) return std::nullopt;
    uint64_t value = 0;
    for (char c : hexDigits) {
      const int digit = HexDigitValue(c);
      if (digit < 0) return std::nullopt;
      value = value * 16 + static_cast<uint64_t>(digit);
      if (value > 0xFFFFFFFFull) return std::nullopt;
    }
    // Hexadecimal fills all 32 bits, like the register it is read into.
    return static_cast<int32_t>(static_cast<uint32_t>(value));
  }

  bool negative = false;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) return std::nullopt;
  const uint64_t limit = negative ? 0x80000000ull : 0x7FFFFFFFull;
  uint64_t magnitude = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    magnitude = magnitude * 10 + static_cast<uint64_t>(c - '0');
    if (magnitude > limit) return std::nullopt;
  }
  const int64_t value =
      negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
  return static_cast<int32_t>(value);
}

IniFile::IniFile(std::string path, const FileStore& files)
    : path_(std::move(path)), files_(files) {}

std::string IniFile::Contents() const { return files_.Load(path_).value_or(std::string()); }

std::optional<std::string> IniFile::Find(std::string_view section, std::string_view key) const {
  const std::string bytes = Contents();
  LineReader lines(bytes);
  std::string_view line;
  bool inSection = false;
  while (lines.Next(line)) {
    const IniLine parsed = Classify(line);
    if (parsed.kind == LineKind::Section) {
      if (inSection) break;  // only the first section of that name counts
      inSection = EqualNoCase(parsed.name, section);
    } else if (parsed.kind == LineKind::Key && inSection && EqualNoCase(parsed.name, key)) {
      std::string_view value = parsed.value;
      if (const size_t nul = value.find('\0'); nul != std::string_view::npos)
        value = Trim(value.substr(0, nul));
      return std::string(value);
    }
  }
  return std::nullopt;
}

std::string IniFile::ReadString(std::string_view section, std::string_view key,
                                std::string_view fallback) const {
  if (std::optional<std::string> value = Find(section, key)) return std::move(*value);
  return std::string(fallback);
}

int32_t IniFile::ReadInteger(std::string_view section, std::string_view key,
                             int32_t fallback) const {
  const std::optional<std::string> text = Find(section, key);
  return text ? ParseIniInteger(*text).value_or(fallback) : fallback;
}

void IniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  std::optional<std::string> loaded = files_.Load(path_);
  // Never rewrite a file that is there but could not be read: its contents
  // would be lost.
  if (!loaded && files_.Exists(path_)) throw std::runtime_error("Unable to write to " + path_);
  const std::string bytes = loaded ? std::move(*loaded) : std::string();

  // First pass: where the section and the key are.
  constexpr size_t kNone = static_cast<size_t>(-1);
  size_t keyLine = kNone;        // line of the key to replace
  size_t lastInSection = kNone;  // last non-blank line of the section, header included
  std::string storedKey;         // the key's name as the file spells it
  {
    LineReader lines(bytes);
    std::string_view line;
    bool inSection = false;
    bool sectionDone = false;
    for (size_t index = 0; lines.Next(line) && !sectionDone; ++index) {
      const IniLine parsed = Classify(line);
      if (parsed.kind == LineKind::Section) {
        if (inSection) {
          sectionDone = true;
          continue;
        }
        inSection = EqualNoCase(parsed.name, section);
        if (inSection) lastInSection = index;
      } else if (inSection) {
        if (!IsBlankLine(line)) lastInSection = index;
        if (parsed.kind == LineKind::Key && EqualNoCase(parsed.name, key)) {
          keyLine = index;
          storedKey = parsed.name;
          sectionDone = true;
        }
      }
    }
  }

  // A replaced key keeps the spelling it has in the file, as with the Windows
  // writer.
  const std::string keyLineText =
      (keyLine == kNone ? std::string(key) : storedKey) + "=" + std::string(value);
  std::string out;
  out.reserve(bytes.size() + keyLineText.size() + section.size() + 8);
  LineReader lines(bytes);
  std::string_view line;
  bool lastBlank = true;
  for (size_t index = 0; lines.Next(line); ++index) {
    if (index == keyLine) {
      out += keyLineText;
    } else {
      out += line;
    }
    out += "\r\n";
    lastBlank = IsBlankLine(line);
    if (index == lastInSection && keyLine == kNone) {
      out += keyLineText;
      out += "\r\n";
      lastBlank = false;
    }
  }
  if (lastInSection == kNone) {
    // A new section goes at the end, set off by a blank line as the Windows
    // writer does.
    if (!lastBlank) out += "\r\n";
    out += "[";
    out += section;
    out += "]\r\n";
    out += keyLineText;
    out += "\r\n";
  }

  if (!files_.Save(path_, out)) throw std::runtime_error("Unable to write to " + path_);
}

void IniFile::WriteInteger(std::string_view section, std::string_view key, int32_t value) {
  WriteString(section, key, std::to_string(value));
}

}  // namespace vintok::config
