#include "config/config_loader.h"

#include <cstdint>
#include <stdexcept>

#include "config/date_time.h"
#include "config/ini_file.h"

namespace vintok::config {
namespace {

// The reader keeps every figure in a signed 32-bit register and lets it wrap.
int32_t Wrap32(int64_t value) { return static_cast<int32_t>(static_cast<uint32_t>(value)); }

// The date parts go to the date encoder as unsigned 16-bit numbers.
int Word(int32_t value) { return static_cast<uint16_t>(value); }

// The earlier edition keeps start, finish and fox numbers in one section.
const char* ControlSection(Edition edition) {
  return edition == Edition::Earlier ? "Controls" : "Control";
}

void AssignPresets(EventConfig& config) {
  config.StartControl = 0;
  config.FinishControl = 31;
  config.StartPrefix = "S";
  config.FinishPrefix = "Z";
  config.FoxPrefix = "F";
  config.FileBase = "ibutton";
  config.TimeLimit = 120;
}

void ReadEventAndWindow(const IniFile& ini, EventConfig& config) {
  config.FileBase = ini.ReadString("Event", "Files", config.FileBase);
  config.TimeLimit = ini.ReadInteger("Event", "TimeLimit", config.TimeLimit);
  config.EventDay = ini.ReadInteger("Event", "Day", 1);
  config.EventMonth = ini.ReadInteger("Event", "Month", 1);
  config.EventYear = ini.ReadInteger("Event", "Year", 2010);
  config.OpenHour = ini.ReadInteger("Event", "OpenHour", 9);
  config.CloseHour = ini.ReadInteger("Event", "CloseHour", 16);
  config.UtcOffset = ini.ReadInteger("Event", "UTCoffset", 0);

  config.EventDate =
      EncodeDate(Word(config.EventYear), Word(config.EventMonth), Word(config.EventDay));
  // The offset is taken off the day start as seconds, not hours: files in use
  // were set up against this, so the window keeps it.
  config.EventDayStart =
      Wrap32(static_cast<int64_t>(DateTimeToEpoch(config.EventDate)) - config.UtcOffset);
  config.WindowOpen = Wrap32(config.EventDayStart + static_cast<int64_t>(config.OpenHour) * 3600);
  config.WindowClose = Wrap32(config.EventDayStart + static_cast<int64_t>(config.CloseHour) * 3600);
}

// Start and finish index the fob's 32 slots: a value outside them stops the
// loading, and the fields keep their in-range presets.
void ReadControls(const IniFile& ini, EventConfig& config, const char* section) {
  const int32_t start = ini.ReadInteger(section, "Start", config.StartControl);
  const int32_t finish = ini.ReadInteger(section, "Finish", config.FinishControl);
  const auto check = [section](const char* key, int32_t slot) {
    if (slot < 0 || slot >= kSlotCount)
      throw std::runtime_error(std::string(section) + " " + key + " = " + std::to_string(slot) +
                               " is not a slot from 0 to " + std::to_string(kSlotCount - 1));
  };
  check("Start", start);
  check("Finish", finish);
  config.StartControl = start;
  config.FinishControl = finish;
}

void ReadFoxNumbers(const IniFile& ini, EventConfig& config, Edition edition) {
  for (int slot = 0; slot < kSlotCount; ++slot) {
    const std::string number = std::to_string(slot);
    if (edition == Edition::Earlier) {
      // The earlier reader kept fox numbers in 16 bits.
      const int32_t fox = ini.ReadInteger("Controls", "Fox" + number, 0);
      config.FoxNumbers[slot] = static_cast<int16_t>(static_cast<uint16_t>(fox));
    } else {
      const int32_t fox = ini.ReadInteger("FoxNumber", "Box" + number, -1);
      const int32_t si = ini.ReadInteger("SiNumber", "Box" + number, -1);
      if (fox >= 0 && si >= 0) config.FoxNumbers[slot] = fox;
    }
  }
}

void ReadPrefixes(const IniFile& ini, EventConfig& config) {
  config.StartPrefix = ini.ReadString("Prefix", "Start", config.StartPrefix);
  config.FinishPrefix = ini.ReadString("Prefix", "Finish", config.FinishPrefix);
  config.FoxPrefix = ini.ReadString("Prefix", "Fox", config.FoxPrefix);
}

// The file a new installation starts from. "TimeLimt" is the name existing
// installations carry; it is never read back, so the limit stays at 120.
void WriteDefaultFile(IniFile& ini, const EventConfig& config, Edition edition) {
  const char* controls = ControlSection(edition);
  ini.WriteString("Event", "Name", "ARDF");
  ini.WriteString("Event", "Files", config.FileBase);
  ini.WriteInteger("Event", "TimeLimt", config.TimeLimit);
  ini.WriteInteger(controls, "Start", config.StartControl);
  ini.WriteInteger(controls, "Finish", config.FinishControl);
  for (int box = 1; box <= 5; ++box) {
    if (edition == Edition::Earlier)
      ini.WriteInteger("Controls", "Fox" + std::to_string(box), config.FinishControl);
    else
      ini.WriteInteger("FoxNumber", "Box" + std::to_string(box), 100 + box);
  }
  ini.WriteString("Prefix", "Start", config.StartPrefix);
  ini.WriteString("Prefix", "Finish", config.FinishPrefix);
  ini.WriteString("Prefix", "Fox", config.FoxPrefix);
}

std::vector<std::string> Summary(const EventConfig& config, const Clock& clock, Edition edition) {
  const UtcTimeOfDay utc = clock.UtcNow();
  const int64_t offset = config.UtcOffset;
  return {
      "",
      "PC time : " + DateTimeText(clock.LocalNow()),
      "UTC time: " + std::to_string(utc.hour) + ":" + std::to_string(utc.minute) + ":" +
          std::to_string(utc.second),
      std::string("UTC Hours Offset: ") + (offset < 0 ? "-" : "+") +
          std::to_string(offset < 0 ? -offset : offset),
      "",
      "",
      "Start Control: " + std::to_string(config.StartControl),
      "Finish Control: " + std::to_string(config.FinishControl),
      edition == Edition::Earlier ? "(read from .INI file)" : "(from .INI file)",
  };
}

}  // namespace

std::vector<std::string> LoadEventConfig(EventConfig& config, const std::string& exeDir,
                                         const Clock& clock, Edition edition,
                                         const FileStore& files) {
  AssignPresets(config);
  config.ExeDir = exeDir;
  IniFile ini(config.ExeDir + kIniFileName, files);

  if (files.Exists(ini.Path())) {
    ReadEventAndWindow(ini, config);
    ReadControls(ini, config, ControlSection(edition));
    ReadFoxNumbers(ini, config, edition);
    ReadPrefixes(ini, config);
    if (edition == Edition::Current)
      config.FobOffset =
          Wrap32(static_cast<int64_t>(ini.ReadInteger("Event", "Start1Fob", 101)) - 1);
  } else {
    WriteDefaultFile(ini, config, edition);
  }
  return Summary(config, clock, edition);
}

}  // namespace vintok::config
