// A stand-in for the vendor's 1-Wire driver library, for testing the Windows
// binding without the hardware: it exports the eight driver functions under
// their plain names, with the stdcall convention on 32-bit x86, and serves the
// fob file named by ONEWIRE_SIM_FOB through the simulated 1-Wire bus.
//
// Like the real library it keeps its sessions per process, so its state is a
// single object inside this library.

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstring>
#include <optional>
#include <string>

#include "ibutton/fob_file.h"
#include "ibutton/simulated_bus.h"
#include "tests/windows/driver_double.h"

#define DRIVER_EXPORT extern "C" __declspec(dllexport)

namespace {

using vintok::ibutton::LoadFobFile;
using vintok::ibutton::SimulatedBus;
namespace dd = vintok::ibutton::driver_double;

constexpr short kFailed = -1;

std::optional<std::string> FobVariable() {
  char value[1024];
  const DWORD length = GetEnvironmentVariableA(dd::kFobVariable, value, sizeof value);
  if (length == 0 || length >= sizeof value) return std::nullopt;
  return std::string(value, length);
}

struct Driver {
  long handle = 0;      // the open session, 0 when none
  long lastHandle = 0;  // every session gets a new handle
  std::optional<SimulatedBus> bus;

  bool IsOpen(long h) const { return h > 0 && h == handle; }
};

Driver& TheDriver() {
  static Driver driver;
  return driver;
}

}  // namespace

DRIVER_EXPORT short WINAPI TMReadDefaultPort(short* portNum, short* portType) {
  if (!FobVariable()) return 0;
  *portNum = dd::kPortNum;
  *portType = dd::kPortType;
  return 1;
}

DRIVER_EXPORT short WINAPI Get_Version(char* buffer) {
  std::strcpy(buffer, dd::kVersion);
  return static_cast<short>(std::strlen(dd::kVersion));
}

// A new session replaces an earlier one that was never ended, as the reader
// expects of the real driver.
DRIVER_EXPORT long WINAPI TMExtendedStartSession(short portNum, short portType, void*) {
  const std::optional<std::string> fob = FobVariable();
  if (!fob || portNum != dd::kPortNum || portType != dd::kPortType) return 0;
  Driver& driver = TheDriver();
  driver.bus.emplace(LoadFobFile(*fob));
  driver.handle = ++driver.lastHandle;
  return driver.handle;
}

DRIVER_EXPORT short WINAPI TMSetup(long handle) { return TheDriver().IsOpen(handle) ? 1 : 0; }

// Leaves the registration number in the low byte of each word of `rom`, read
// off the bus like the reader does it.
DRIVER_EXPORT short WINAPI TMRom(long handle, void* stateBuffer, short* rom) {
  Driver& driver = TheDriver();
  if (!driver.IsOpen(handle) || stateBuffer == nullptr) return kFailed;
  if (!driver.bus->Reset()) return 0;
  driver.bus->TouchByte(0x33);
  for (int i = 0; i < 8; ++i) rom[i] = driver.bus->TouchByte(0xFF);
  return 1;
}

DRIVER_EXPORT short WINAPI TMTouchReset(long handle) {
  Driver& driver = TheDriver();
  if (!driver.IsOpen(handle)) return kFailed;
  return driver.bus->Reset() ? 1 : 0;
}

DRIVER_EXPORT short WINAPI TMTouchByte(long handle, short byte) {
  Driver& driver = TheDriver();
  if (!driver.IsOpen(handle) || byte < 0 || byte > 0xFF) return kFailed;
  return driver.bus->TouchByte(static_cast<uint8_t>(byte));
}

#ifndef VINTOK_DOUBLE_WITHOUT_END_SESSION
DRIVER_EXPORT short WINAPI TMEndSession(long handle) {
  Driver& driver = TheDriver();
  if (!driver.IsOpen(handle)) return 0;
  driver.handle = 0;
  driver.bus.reset();
  return 1;
}
#endif
