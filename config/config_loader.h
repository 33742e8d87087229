#pragma once

#include <string>
#include <vector>

#include "config/clock.h"
#include "config/event_config.h"
#include "config/file_store.h"
#include "edition/edition.h"

namespace vintok::config {

// Name of the configuration file in the program's directory.
inline constexpr const char* kIniFileName = "vintok.ini";

// Loads exeDir + "vintok.ini" into `config`, or writes the file with default
// values when there is none, derives the event's time window, and returns the
// summary lines to append to the report area, in order (the first is the
// empty line). `exeDir` is the program's directory ending in a path
// separator; it becomes config.ExeDir.
//
// The presets are assigned first; every other field keeps its previous value
// until the file supplies one, so a first loading without a file leaves the
// date, hours, offset, window, fox numbers and fob offset at 0.
//
// Throws std::runtime_error with the operator's message and skips the rest of
// the loading; `config` keeps what was loaded up to that point:
// - "Invalid argument to date encode" for an event date that does not exist;
// - "Control Start = 40 is not a slot from 0 to 31" (or Finish; "Controls" in
//   the earlier edition) for a start or finish slot outside the fob's 32
//   slots; StartControl and FinishControl then keep their presets 0 and 31;
// - "Unable to write to <path>" when the default file cannot be written.
std::vector<std::string> LoadEventConfig(EventConfig& config, const std::string& exeDir,
                                         const Clock& clock, Edition edition,
                                         const FileStore& files = DiskFiles());

}  // namespace vintok::config
