#pragma once

#include "ibutton/onewire_driver.h"

namespace vintok::ibutton {

// The port of a machine without a configured 1-Wire reader: no default port,
// no session. The program ends at start-up with "Please set port first".
class NullPort : public OneWireDriver {
 public:
  int16_t TMReadDefaultPort(int16_t* portNum, int16_t* portType) override;
  int16_t Get_Version(char* buffer) override;
  int32_t TMExtendedStartSession(int16_t portNum, int16_t portType, void* reserved) override;
  int16_t TMSetup(int32_t handle) override;
  int16_t TMRom(int32_t handle, void* stateBuffer, int16_t* rom) override;
  int16_t TMTouchReset(int32_t handle) override;
  int16_t TMTouchByte(int32_t handle, int16_t byte) override;
  int16_t TMEndSession(int32_t handle) override;
};

}  // namespace vintok::ibutton
