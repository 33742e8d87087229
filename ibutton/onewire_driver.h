#pragma once

#include <cstdint>

namespace vintok::ibutton {

// Size of the driver's per-process state buffer (TMStateBuffer).
inline constexpr int kStateBufferSize = 15360;
// Size of the text buffer handed to Get_Version.
inline constexpr int kVersionBufferSize = 204;

// The eight operations the reader uses from a 1-Wire driver library. Every
// backend (the vendor DLL on Windows, the kernel's w1 netlink interface on
// Linux, the simulated port, the null port) implements exactly these. The
// reader never learns which backend it talks to.
//
// Results keep the widths of the vendor interface: 16-bit signed for port
// numbers and most results, 32-bit signed for session handles.
class OneWireDriver {
 public:
  virtual ~OneWireDriver() = default;

  // Fills *portNum and *portType with the default port. Returns 1 or more
  // when a default port exists; 0 or below when there is none (then the two
  // outputs are unspecified).
  virtual int16_t TMReadDefaultPort(int16_t* portNum, int16_t* portType) = 0;

  // Writes a NUL-terminated version text into a buffer of
  // kVersionBufferSize bytes. The reader ignores result and text.
  virtual int16_t Get_Version(char* buffer) = 0;

  // Opens a session on the port. Returns a handle above 0 on success, 0 or
  // below when no session was granted. A new session may be opened while an
  // earlier one was never ended.
  virtual int32_t TMExtendedStartSession(int16_t portNum, int16_t portType,
                                         void* reserved) = 0;

  // Prepares the port for 1-Wire traffic. Returns 1 or 2 when ready; any
  // other value means not ready.
  virtual int16_t TMSetup(int32_t handle) = 0;

  // Registration-number operation on the driver's state buffer; the reader
  // ignores result and buffer. `rom` points to 8 zero-filled 16-bit words.
  virtual int16_t TMRom(int32_t handle, void* stateBuffer, int16_t* rom) = 0;

  // 1-Wire reset: the next byte starts a new command. The reader ignores the
  // result (some masters cannot report a presence pulse).
  virtual int16_t TMTouchReset(int32_t handle) = 0;

  // Sends one byte (0..255) and returns the byte seen on the line. With 0xFF
  // sent, that is the byte the device drives. A negative result means the
  // exchange failed.
  virtual int16_t TMTouchByte(int32_t handle, int16_t byte) = 0;

  // Ends the session; the result is ignored.
  virtual int16_t TMEndSession(int32_t handle) = 0;
};

}  // namespace vintok::ibutton
