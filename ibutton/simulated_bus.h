#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "ibutton/fob_file.h"

namespace vintok::ibutton {

// A 1-Wire bus with at most one memory fob on it, modelled at the byte level:
// the master resets the line and touches bytes; the fob follows the command
// stream as a real device does. Used behind the simulated port and by the
// stand-ins for the kernel and the vendor driver in tests.
//
//   reset, 0x33                 -> the 8 registration bytes
//   reset, 0xCC, 0xF0, lo, hi   -> memory streamed from address hi:lo
//   anything else               -> the fob stays silent (reads 0xFF)
//
// Memory beyond the 32 slots (address 128 on) reads 0xFF.
class SimulatedBus {
 public:
  explicit SimulatedBus(std::optional<FobImage> fob);

  // Returns true when a fob answered the reset with a presence pulse.
  bool Reset();

  // Sends `sent`, returns what was seen on the line. The line is wired-AND:
  // while the fob drives a byte the result is that byte (when 0xFF is sent);
  // while it listens, the result echoes `sent`.
  uint8_t TouchByte(uint8_t sent);

 private:
  enum class State { Silent, RomCommand, SendRom, FunctionCommand, AddressLow, AddressHigh, Memory };

  uint8_t Listen(uint8_t sent);
  uint8_t MemoryByte();

  std::optional<FobImage> fob_;
  State state_ = State::Silent;
  int romIndex_ = 0;
  uint16_t address_ = 0;
  // Value each slot shows to the running Read Memory command, once reached.
  std::array<std::optional<uint32_t>, kSlotCount> latched_{};
  // How many Read Memory commands have reached each slot so far.
  std::array<int, kSlotCount> reachCount_{};
};

}  // namespace vintok::ibutton
