#include "ibutton/punch_reader.h"

#include <cstdio>

#include "config/int_text.h"

namespace vintok::ibutton {
namespace {

constexpr int16_t kReadRom = 0x33;
constexpr int16_t kSkipRom = 0xCC;
constexpr int16_t kReadMemory = 0xF0;
constexpr int16_t kReadSlot = 0xFF;  // the fob drives the line while the master sends all ones
constexpr int kSlots = 32;

// The fob is given a fixed gap after every command, address and data byte
// before the master drives the line again; a settling gap ends the read.
constexpr int kBytePauseMs = 2;
constexpr int kSettlePauseMs = 10;
constexpr int kEarlierSettlePauseMs = 20;

}  // namespace

PunchMemoryReader::PunchMemoryReader(OneWireDriver& driver, DriverSessionData& session,
                                     PauseFn pause, Edition edition, int16_t portNum,
                                     int16_t portType)
    : driver_(driver),
      session_(session),
      pause_(std::move(pause)),
      edition_(edition),
      portNum_(portNum),
      portType_(portType) {}

int16_t PunchMemoryReader::Send(int16_t byte) {
  const int16_t result = driver_.TMTouchByte(session_.SessionHandle, byte);
  // A line byte is 0..255; anything else is the driver saying the exchange
  // did not happen (a reader unplugged, a bus master gone).
  if (result < 0 || result > 0xFF) exchangeFailed_ = true;
  return result;
}

void PunchMemoryReader::ResetForTimeRead(uint8_t slot) {
  exchangeFailed_ = false;
  driver_.TMTouchReset(session_.SessionHandle);
  // The single fob on the reader is addressed without its registration number.
  Send(kSkipRom);
  pause_(kBytePauseMs);
  Send(kReadMemory);
  pause_(kBytePauseMs);
  Send(static_cast<int16_t>((slot * 4) & 0xFF));
  pause_(kBytePauseMs);
  Send(0x00);
  pause_(kBytePauseMs);
}

int32_t PunchMemoryReader::ReadTime() { return ReadSlotValue().value; }

PunchMemoryReader::SlotValue PunchMemoryReader::ReadSlotValue() {
  // The results are taken as they come, also a failing exchange's negative
  // one; the register arithmetic wraps at 32 bits, so it is done unsigned.
  // A failed command or address byte spoils every value of the memory read;
  // a failed data byte only the value it belongs to.
  const bool commandFailed = exchangeFailed_;
  uint32_t value = 0;
  for (int i = 0; i < 4; ++i)
    value = value * 256u + static_cast<uint32_t>(static_cast<int32_t>(Send(kReadSlot)));
  pause_(kBytePauseMs);
  const bool failed = exchangeFailed_;
  exchangeFailed_ = commandFailed;
  return {static_cast<int32_t>(value), failed};
}

RegistrationNumber PunchMemoryReader::ReadRegistrationNumber() {
  RegistrationNumber rom;
  exchangeFailed_ = false;
  driver_.TMTouchReset(session_.SessionHandle);
  Send(kReadRom);
  pause_(kBytePauseMs);
  uint64_t accumulator = 0;
  for (int i = 0; i < 8; ++i) {
    const auto b = static_cast<uint8_t>(Send(kReadSlot) & 0xFF);
    pause_(kBytePauseMs);
    accumulator = accumulator * 256u + b;
    rom.bytesRead[i] = b;
    char cell[3];
    std::snprintf(cell, sizeof cell, "%02X", b);
    rom.cells[7 - i] = cell;
  }
  rom.value = static_cast<int64_t>(accumulator);
  rom.text = std::to_string(rom.value);
  romFailed_ = exchangeFailed_;
  return rom;
}

bool PunchMemoryReader::ReadCurrentEdition(PunchTable& table) {
  std::array<bool, kSlots> punchFailed{};
  std::array<bool, kSlots> verifyFailed{};
  ResetForTimeRead(0);
  for (int i = 0; i < kSlots; ++i) {
    const SlotValue read = ReadSlotValue();
    table.punch[i] = read.value;
    punchFailed[i] = read.exchangeFailed;
  }
  ResetForTimeRead(0);
  for (int i = 0; i < kSlots; ++i) {
    const SlotValue read = ReadSlotValue();
    table.verify[i] = read.value;
    verifyFailed[i] = read.exchangeFailed;
  }
  pause_(kBytePauseMs);

  // A slot the two passes disagree on is read once more; a third value that
  // matches either pass settles it. Every slot gets its chance, even after
  // one has failed, so the operator sees the whole table. A value that came
  // through a failed exchange counts as a disagreement: the driver's error
  // result can mimic a real byte (-1 next to 0xFF bytes reads as FFFFFFFF),
  // so it may never settle a slot.
  bool verified = true;
  for (int i = 0; i < kSlots; ++i) {
    if (table.verify[i] == table.punch[i] && !punchFailed[i] && !verifyFailed[i]) continue;
    ResetForTimeRead(static_cast<uint8_t>(i));
    const SlotValue again = ReadSlotValue();
    if (!again.exchangeFailed && again.value == table.punch[i] && !punchFailed[i])
      continue;
    if (!again.exchangeFailed && again.value == table.verify[i] && !verifyFailed[i])
      table.punch[i] = again.value;
    else
      verified = false;
  }
  pause_(kSettlePauseMs);
  return verified;
}

bool PunchMemoryReader::ReadEarlierEdition(PunchTable& table, int32_t utcOffsetHours) {
  ResetForTimeRead(0);
  bool verified = true;
  for (int i = 0; i < kSlots; ++i) {
    const SlotValue read = ReadSlotValue();
    table.punch[i] = read.value;
    if (read.exchangeFailed) verified = false;
  }
  // Both editions' clocks wrap like a 32-bit register.
  const uint32_t shift = static_cast<uint32_t>(utcOffsetHours) * 3600u;
  ResetForTimeRead(0);
  for (int i = 0; i < kSlots; ++i) {
    const SlotValue check = ReadSlotValue();
    if (check.exchangeFailed || check.value != table.punch[i]) verified = false;
    table.punch[i] = static_cast<int32_t>(static_cast<uint32_t>(table.punch[i]) + shift);
  }
  pause_(kEarlierSettlePauseMs);
  return verified;
}

FobRead PunchMemoryReader::Read(const std::string& fobNumText, const std::string& startNumText,
                                int32_t utcOffsetHours) {
  FobRead read;
  read.outcome = ReadOutcome::Refused;
  // The fob number is tested before the start number is converted.
  if (fobNumText == "000") return read;
  if (config::StrToInt(startNumText) == 0) return read;

  session_.SessionHandle = driver_.TMExtendedStartSession(portNum_, portType_, nullptr);
  if (session_.SessionHandle <= 0) {
    read.outcome = ReadOutcome::NoSession;
    return read;
  }
  if (!setupDone_) {
    const int16_t setup = driver_.TMSetup(session_.SessionHandle);
    setupDone_ = setup == 1 || setup == 2;
  }
  if (!setupDone_) {
    read.outcome = ReadOutcome::PortNotReady;
    return read;
  }
  std::array<int16_t, 8> romWords{};
  driver_.TMRom(session_.SessionHandle, session_.TMStateBuffer.data(), romWords.data());

  read.rom = ReadRegistrationNumber();
  const bool verified = edition_ == Edition::Earlier
                            ? ReadEarlierEdition(read.table, utcOffsetHours)
                            : ReadCurrentEdition(read.table);

  // Eight 0xFF bytes: nothing answered on the reader. A registration number
  // read through a failed exchange is not the fob's.
  if (read.rom->text != "-1" && !romFailed_ && verified) {
    read.outcome = ReadOutcome::Verified;
  } else {
    read.outcome = ReadOutcome::Failed;
    driver_.TMEndSession(session_.SessionHandle);
  }
  return read;
}

}  // namespace vintok::ibutton
