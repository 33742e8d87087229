#include "ibutton/simulated_port.h"

#include <cstdio>
#include <limits>

#include "ibutton/fob_file.h"

namespace vintok::ibutton {

SimulatedPort::SimulatedPort(std::string fobPath) : fobPath_(std::move(fobPath)) {}

int16_t SimulatedPort::TMReadDefaultPort(int16_t* portNum, int16_t* portType) {
  *portNum = kPortNum;
  *portType = kPortType;
  return 1;
}

int16_t SimulatedPort::Get_Version(char* buffer) {
  std::snprintf(buffer, kVersionBufferSize, "simulated 1-Wire port 1.0 (%s)", fobPath_.c_str());
  return 1;
}

int32_t SimulatedPort::TMExtendedStartSession(int16_t portNum, int16_t portType, void*) {
  if (portNum != kPortNum || portType != kPortType) return 0;
  // Handles stay above 0 however many sessions a long event opens.
  lastHandle_ = lastHandle_ == std::numeric_limits<int32_t>::max() ? 1 : lastHandle_ + 1;
  // The fob may have been swapped since the last read: look at the file again.
  bus_.emplace(LoadFobFile(fobPath_));
  return lastHandle_;
}

bool SimulatedPort::IsOpen(int32_t handle) const {
  return bus_.has_value() && handle == lastHandle_;
}

int16_t SimulatedPort::TMSetup(int32_t handle) { return IsOpen(handle) ? 1 : -1; }

int16_t SimulatedPort::TMRom(int32_t handle, void*, int16_t*) { return IsOpen(handle) ? 1 : -1; }

int16_t SimulatedPort::TMTouchReset(int32_t handle) {
  if (!IsOpen(handle)) return -1;
  return bus_->Reset() ? 1 : 0;
}

int16_t SimulatedPort::TMTouchByte(int32_t handle, int16_t byte) {
  if (!IsOpen(handle) || byte < 0 || byte > 0xFF) return -1;
  return bus_->TouchByte(static_cast<uint8_t>(byte));
}

int16_t SimulatedPort::TMEndSession(int32_t handle) {
  if (!IsOpen(handle)) return -1;
  bus_.reset();
  return 1;
}

}  // namespace vintok::ibutton
