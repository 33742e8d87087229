// Any bytes as a simulated fob file: the parser either gives a fob or names
// the faulty line; a parsed fob is read whole through the simulated bus and
// the punch memory reader in both editions and, when verified, evaluated,
// reported and exported.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "config/event_config.h"
#include "ibutton/driver_session.h"
#include "ibutton/fob_file.h"
#include "ibutton/punch_reader.h"
#include "ibutton/simulated_bus.h"
#include "results/evaluation.h"
#include "results/export_file.h"
#include "results/report.h"

#include "fuzz_check.h"

namespace {

using namespace vintok;

// One port whose reader holds the parsed fob; every session sees a fresh
// bus, as a fob put back on the reader would.
class MemoryPort final : public ibutton::OneWireDriver {
 public:
  explicit MemoryPort(const ibutton::FobImage& fob) : fob_(fob) {}
  int16_t TMReadDefaultPort(int16_t* portNum, int16_t* portType) override {
    *portNum = 1;
    *portType = 0;
    return 1;
  }
  int16_t Get_Version(char* buffer) override {
    buffer[0] = '\0';
    return 1;
  }
  int32_t TMExtendedStartSession(int16_t, int16_t, void*) override {
    bus_.emplace(fob_);
    return ++handle_;
  }
  int16_t TMSetup(int32_t handle) override { return handle == handle_ ? 1 : -1; }
  int16_t TMRom(int32_t, void*, int16_t*) override { return 1; }
  int16_t TMTouchReset(int32_t handle) override {
    if (handle != handle_ || !bus_) return -1;
    return bus_->Reset() ? 1 : 0;
  }
  int16_t TMTouchByte(int32_t handle, int16_t byte) override {
    if (handle != handle_ || !bus_ || byte < 0 || byte > 255) return -1;
    return bus_->TouchByte(static_cast<uint8_t>(byte));
  }
  int16_t TMEndSession(int32_t handle) override {
    if (handle != handle_) return -1;
    bus_.reset();
    return 1;
  }

 private:
  ibutton::FobImage fob_;
  std::optional<ibutton::SimulatedBus> bus_;
  int32_t handle_ = 0;
};

config::EventConfig Event() {
  config::EventConfig c;
  c.StartControl = 0;
  c.FinishControl = 31;
  c.StartPrefix = "S";
  c.FinishPrefix = "Z";
  c.FoxPrefix = "F";
  c.FileBase = "ibutton";
  c.TimeLimit = 120;
  c.UtcOffset = 2;
  c.WindowOpen = 1340092798;   // 2012-06-19 09:00 local, less the offset in seconds
  c.WindowClose = 1340117998;  // 16:00
  for (int slot = 1; slot <= 30; ++slot) c.FoxNumbers[static_cast<size_t>(slot)] = slot;
  return c;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const ibutton::FobParseResult parsed =
      ibutton::ParseFobText(std::string_view(reinterpret_cast<const char*>(data), size));
  if (!parsed.fob) {
    Check(parsed.faultLine >= 1 && !parsed.fault.empty());
    return 0;
  }
  const ibutton::FobImage& fob = *parsed.fob;
  bool steady = true;  // every slot shows one value to every read
  for (const auto& values : fob.slotValues) steady = steady && values.size() <= 1;
  bool romAllOnes = true;
  for (uint8_t b : fob.rom) romAllOnes = romAllOnes && b == 0xFF;

  const config::EventConfig event = Event();
  for (Edition edition : {Edition::Current, Edition::Earlier}) {
    MemoryPort port(fob);
    ibutton::DriverSessionData session;
    int pauses = 0;
    ibutton::PunchMemoryReader reader(
        port, session, [&](int) { ++pauses; }, edition, 1, 0);
    const ibutton::FobRead read = reader.Read("12", "12", event.UtcOffset);
    Check(read.outcome == ibutton::ReadOutcome::Verified ||
          read.outcome == ibutton::ReadOutcome::Failed);
    Check(read.rom.has_value() && read.rom->bytesRead == fob.rom);
    if (steady) {
      Check((read.outcome == ibutton::ReadOutcome::Verified) == !romAllOnes);
      if (edition == Edition::Current)
        for (size_t slot = 0; slot < fob.slotValues.size(); ++slot) {
          const uint32_t raw = fob.slotValues[slot].empty() ? 0xFFFFFFFFu : fob.slotValues[slot][0];
          Check(read.table.punch[slot] == static_cast<int32_t>(raw));
        }
    }
    if (read.outcome != ibutton::ReadOutcome::Verified) continue;

    const results::Evaluation evaluation =
        results::EvaluatePunches(read.table.punch, event, {}, edition);
    const auto lines = results::ReportLines("12", evaluation, event, edition);
    const std::string log = results::RunLogBlock(results::ReportText(lines));
    Check(log.size() >= 4 && log.compare(log.size() - 4, 4, "\r\n\r\n") == 0);
    if (evaluation.ErrorText.empty()) {
      const std::string block = results::KorBlock("12", "12", evaluation, event, edition);
      Check(block.rfind("# -- Start No.12 Fob No:12 --\r\n", 0) == 0);
    }
  }
  return 0;
}
