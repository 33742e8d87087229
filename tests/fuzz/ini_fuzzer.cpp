// Any bytes as vintok.ini: the INI reader and the typed loading of both
// editions must either load the event or stop with one of the operator's
// messages, and a written value must read back unchanged.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>

#include "config/clock.h"
#include "config/config_loader.h"
#include "config/ini_file.h"

#include "fuzz_check.h"

namespace {

using namespace vintok;

class MemoryFiles final : public config::FileStore {
 public:
  mutable std::map<std::string, std::string> files;
  bool Exists(const std::string& path) const override { return files.count(path) != 0; }
  std::optional<std::string> Load(const std::string& path) const override {
    const auto found = files.find(path);
    if (found == files.end()) return std::nullopt;
    return found->second;
  }
  bool Save(const std::string& path, const std::string& bytes) const override {
    files[path] = bytes;
    return true;
  }
};

struct FixedClock final : config::Clock {
  double LocalNow() const override { return 41079.5; }
  config::UtcTimeOfDay UtcNow() const override { return {10, 0, 0}; }
};

bool IsOperatorMessage(const std::string& message) {
  if (message == "Invalid argument to date encode") return true;
  for (const char* section : {"Control ", "Controls "})
    for (const char* key : {"Start = ", "Finish = "})
      if (message.rfind(std::string(section) + key, 0) == 0 &&
          message.find(" is not a slot from 0 to 31") != std::string::npos)
        return true;
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const std::string dir = "fuzz/";
  const std::string iniPath = dir + config::kIniFileName;

  config::ParseIniInteger(bytes);

  for (Edition edition : {Edition::Current, Edition::Earlier}) {
    MemoryFiles files;
    files.files[iniPath] = bytes;
    config::EventConfig event;
    try {
      const auto summary = config::LoadEventConfig(event, dir, FixedClock(), edition, files);
      Check(summary.size() == 9);
      // The evaluation indexes the fob's slots with these.
      Check(event.StartControl >= 0 && event.StartControl < config::kSlotCount);
      Check(event.FinishControl >= 0 && event.FinishControl < config::kSlotCount);
    } catch (const std::runtime_error& error) {
      Check(IsOperatorMessage(error.what()));
    }
    Check(files.files.at(iniPath) == bytes);  // reading never writes
  }

  // A value written into whatever the file holds reads back as written, and
  // the file still reads back after a second write.
  MemoryFiles files;
  files.files[iniPath] = bytes;
  config::IniFile ini(iniPath, files);
  ini.WriteString("Event", "Files", "results2012");
  Check(ini.ReadString("Event", "Files", "") == "results2012");
  ini.WriteInteger("FoxNumber", "Box7", -12);
  Check(ini.ReadInteger("FoxNumber", "Box7", 0) == -12);
  Check(ini.ReadString("Event", "Files", "") == "results2012");
  return 0;
}
