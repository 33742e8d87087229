#include "ibutton/simulated_bus.h"

#include <algorithm>

namespace vintok::ibutton {

namespace {
constexpr uint8_t kReadRom = 0x33;
constexpr uint8_t kSkipRom = 0xCC;
constexpr uint8_t kReadMemory = 0xF0;
constexpr int kSlotBytes = 4;
constexpr int kPunchMemoryBytes = kSlotCount * kSlotBytes;
}  // namespace

SimulatedBus::SimulatedBus(std::optional<FobImage> fob) : fob_(std::move(fob)) {}

bool SimulatedBus::Reset() {
  state_ = fob_ ? State::RomCommand : State::Silent;
  return fob_.has_value();
}

uint8_t SimulatedBus::TouchByte(uint8_t sent) {
  switch (state_) {
    case State::SendRom: {
      const uint8_t driven = fob_->rom[romIndex_];
      if (++romIndex_ == 8) state_ = State::FunctionCommand;
      return sent & driven;
    }
    case State::Memory:
      return sent & MemoryByte();
    case State::Silent:
      return sent;
    default:
      return Listen(sent);
  }
}

// The fob reads the master's byte while it waits for a command or an address.
uint8_t SimulatedBus::Listen(uint8_t sent) {
  switch (state_) {
    case State::RomCommand:
      if (sent == kReadRom) {
        state_ = State::SendRom;
        romIndex_ = 0;
      } else {
        state_ = sent == kSkipRom ? State::FunctionCommand : State::Silent;
      }
      break;
    case State::FunctionCommand:
      state_ = sent == kReadMemory ? State::AddressLow : State::Silent;
      break;
    case State::AddressLow:
      address_ = sent;
      state_ = State::AddressHigh;
      break;
    case State::AddressHigh:
      address_ = static_cast<uint16_t>(address_ | (sent << 8));
      latched_.fill(std::nullopt);
      state_ = State::Memory;
      break;
    default:
      break;
  }
  return sent;
}

uint8_t SimulatedBus::MemoryByte() {
  const uint16_t address = address_++;
  if (address >= kPunchMemoryBytes) return 0xFF;
  const int slot = address / kSlotBytes;
  const auto& values = fob_->slotValues[slot];
  if (values.empty()) return 0xFF;
  if (!latched_[slot]) {
    const int reach = reachCount_[slot]++;
    latched_[slot] = values[std::min<size_t>(reach, values.size() - 1)];
  }
  const int shift = 8 * (kSlotBytes - 1 - address % kSlotBytes);  // big-endian
  return static_cast<uint8_t>(*latched_[slot] >> shift);
}

}  // namespace vintok::ibutton
