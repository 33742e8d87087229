#pragma once

// What the reliability tests, the kill harness and the soak share: the
// window's read as plain data, the worked example's event in a program
// directory, and one read through the simulated port.

#include <array>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "config/clock.h"
#include "config/config_loader.h"
#include "config/file_store.h"
#include "ibutton/driver_session.h"
#include "ibutton/punch_reader.h"
#include "ibutton/simulated_port.h"
#include "results/append_file.h"
#include "results/read_handler.h"
#include "plain_read_view.h"

namespace vintok::reliability {

using testing::FixedClock;
using testing::PlainView;

// Loads the worked example's event (19 June 2012, UTC+2, foxes 1..3 in slots
// 1..3) from `iniPath`, copied into the program directory `dir` (ending in a
// separator) unless one is there already.
inline config::EventConfig WorkedEvent(const std::string& dir, const std::string& iniPath) {
  const config::FileStore& disk = config::DiskFiles();
  const std::string target = dir + config::kIniFileName;
  if (!disk.Exists(target)) disk.Save(target, disk.Load(iniPath).value_or(std::string()));
  config::EventConfig event;
  config::LoadEventConfig(event, dir, FixedClock(), Edition::Current);
  return event;
}

// One reader on the simulated port with the fob file at `fobPath`, pausing
// not at all but counting the pauses, and its read handler.
class SimulatedReader {
 public:
  SimulatedReader(const std::string& fobPath, ibutton::DriverSessionData& session,
                  results::FileSystem& files, Edition edition = Edition::Current)
      : port_(fobPath),
        reader_(
            port_, session, [this](int ms) { pausedMs_ += ms; }, edition,
            ibutton::SimulatedPort::kPortNum, ibutton::SimulatedPort::kPortType),
        handler_(reader_, files, edition) {}
  SimulatedReader(const SimulatedReader&) = delete;
  SimulatedReader& operator=(const SimulatedReader&) = delete;

  results::ReadEnd Read(results::ReadView& view, const config::EventConfig& event) {
    return handler_.TouchMemoryList(view, event);
  }
  long long PausedMs() const { return pausedMs_; }

 private:
  long long pausedMs_ = 0;
  ibutton::SimulatedPort port_;
  ibutton::PunchMemoryReader reader_;
  results::ReadHandler handler_;
};

// The file's bytes; empty when it cannot be read.
inline std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline constexpr const char* kKorHeader = "@SAVE\r\n@BEGIN-KOR\r\n";
inline constexpr const char* kLogSeparator = "\r\n-----------------------\r\n\r\n";

}  // namespace vintok::reliability
