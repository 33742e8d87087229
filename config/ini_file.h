#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "config/file_store.h"

namespace vintok::config {

// Integer text of an INI value: decimal with an optional sign, or
// hexadecimal after "$", or after "0x"/"0X" when the text is longer than two
// characters. Decimal must fit a signed 32-bit value; hexadecimal may use all
// 32 bits ($FFFFFFFF is -1). Surrounding blanks are ignored. Nothing for
// anything else (empty, "0x" alone, "12abc", out of range).
std::optional<int32_t> ParseIniInteger(std::string_view text);

// A Windows-style INI file (vintok.ini), read and written the way the
// Windows private-profile functions treat it, since operators edit the file
// by hand on those machines:
// - "[Section]" lines start a section; "Key=Value" lines belong to the
//   section above them; a key before the first section belongs to none;
//   lines without "=" are ignored.
// - Section and key names are matched without regard to case; blanks around
//   names and values are ignored; when a section or a key appears twice, the
//   first one counts.
// - Lines end in CR LF or LF. The file is taken as bytes: a value ends at a
//   NUL byte, as it would in the C string the Windows functions return.
// - A missing or unreadable file reads as empty.
// Every call goes to the file: nothing is cached between calls, so the file
// is read at the moment a value is asked for.
class IniFile {
 public:
  explicit IniFile(std::string path, const FileStore& files = DiskFiles());

  const std::string& Path() const { return path_; }

  // The value as stored, or `fallback` when the key is absent.
  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view fallback) const;
  // The value read by ParseIniInteger, or `fallback` when the key is absent
  // or its value is not an integer.
  int32_t ReadInteger(std::string_view section, std::string_view key, int32_t fallback) const;

  // Writes one value to the file at once: the whole file is read, the key's
  // line replaced (or added at the end of its section, or a new section added
  // at the end of the file) and the file written back with CR LF line ends.
  // Creates the file when missing. Throws std::runtime_error
  // "Unable to write to <path>" when the file cannot be written.
  void WriteString(std::string_view section, std::string_view key, std::string_view value);
  // Writes the value in decimal.
  void WriteInteger(std::string_view section, std::string_view key, int32_t value);

 private:
  std::string Contents() const;
  std::optional<std::string> Find(std::string_view section, std::string_view key) const;

  std::string path_;
  const FileStore& files_;
};

}  // namespace vintok::config
