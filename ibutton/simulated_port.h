#pragma once

#include <optional>
#include <string>

#include "ibutton/onewire_driver.h"
#include "ibutton/simulated_bus.h"

namespace vintok::ibutton {

// The port of setting "sim:PATH": a 1-Wire reader on which the fob that the
// file at PATH describes is lying (see fob_file.h for the format). Used by the
// tests, the demo and rehearsals of an event without hardware.
//
// Every session start reads the file afresh, so replacing the file between
// two reads swaps the fob; without a readable, well-formed file nothing lies
// on the reader. Only the latest session is served: a call with any other
// handle, or after the session was ended, fails.
class SimulatedPort : public OneWireDriver {
 public:
  // The default port this backend reports.
  static constexpr int16_t kPortNum = 1;
  static constexpr int16_t kPortType = 0;

  explicit SimulatedPort(std::string fobPath);

  const std::string& FobPath() const { return fobPath_; }

  // Always 1: the simulated reader is this machine's default port.
  int16_t TMReadDefaultPort(int16_t* portNum, int16_t* portType) override;
  // Writes a short version text; returns 1.
  int16_t Get_Version(char* buffer) override;
  // A handle counting up from 1 for the simulated port; 0 for any other port.
  int32_t TMExtendedStartSession(int16_t portNum, int16_t portType, void* reserved) override;
  // 1 for the latest session, -1 for any other handle.
  int16_t TMSetup(int32_t handle) override;
  // 1 for the latest session, -1 otherwise; the buffers are left alone.
  int16_t TMRom(int32_t handle, void* stateBuffer, int16_t* rom) override;
  // 1 when the fob answered with a presence pulse, 0 without a fob, -1 for a
  // handle that is not the latest session.
  int16_t TMTouchReset(int32_t handle) override;
  // The byte seen on the line (0..255); -1 for a byte outside 0..255 or a
  // handle that is not the latest session.
  int16_t TMTouchByte(int32_t handle, int16_t byte) override;
  // 1 when the latest session was ended, -1 for any other handle.
  int16_t TMEndSession(int32_t handle) override;

 private:
  bool IsOpen(int32_t handle) const;

  std::string fobPath_;
  int32_t lastHandle_ = 0;
  std::optional<SimulatedBus> bus_;  // set while the latest session is open
};

}  // namespace vintok::ibutton
