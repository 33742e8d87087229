#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "edition/edition.h"
#include "ibutton/driver_session.h"
#include "ibutton/onewire_driver.h"

namespace vintok::ibutton {

// Texts the window shows in its report area around a read.
inline constexpr std::string_view kReadingText = "READING iBUTTON MEMORY";
inline constexpr std::string_view kEnterNumbersText = "PLEASE ENTER A START & FOB NUMBER";
inline constexpr std::string_view kReadFailedText = "READ FAILED, TRY AGAIN";

// Waits the given number of milliseconds. The fob needs the pauses between
// bytes; tests replace the real sleep with a counter.
using PauseFn = std::function<void(int milliseconds)>;
PauseFn RealPause();

// The fob's registration number as the window shows it.
struct RegistrationNumber {
  std::array<uint8_t, 8> bytesRead{};  // in the order the fob sent them
  std::array<std::string, 8> cells;    // SG2 columns 0..7: the first byte read stands in column 7
  int64_t value = 0;                   // first byte read most significant, read as signed
  std::string text;                    // ROMNum: value in decimal, "-1" for eight 0xFF bytes
};

// The 32 slots of one read: punch (first pass, after reconciliation) and
// verification values (second pass; the earlier edition keeps none, they stay 0).
struct PunchTable {
  std::array<int32_t, 32> punch{};
  std::array<int32_t, 32> verify{};
};

enum class ReadOutcome {
  Refused,       // kEnterNumbersText; no driver call was made
  NoSession,     // no session granted; nothing shown
  PortNotReady,  // TMSetup did not report a ready port; the session stays open
  Failed,        // kReadFailedText; the session was ended
  Verified,      // the evaluation follows; the session stays open
};

struct FobRead {
  ReadOutcome outcome = ReadOutcome::Refused;
  std::optional<RegistrationNumber> rom;  // set once the registration number was read
  PunchTable table;                       // valid when outcome is Failed or Verified
};

// The fob side of the window's read handler: the entry test, the driver
// session, the registration number and the two verified passes over the
// punch memory, up to the decision whether the read is good. Knows nothing of
// the window; the window feeds in the entry texts and shows the result.
class PunchMemoryReader {
 public:
  PunchMemoryReader(OneWireDriver& driver, DriverSessionData& session, PauseFn pause,
                    Edition edition, int16_t portNum, int16_t portType);

  // Throws std::runtime_error "'<text>' is not a valid integer value" when the
  // start number is not an integer (and the fob number is not "000"); no
  // driver call is made then. `utcOffsetHours` is used by the earlier edition
  // only, whose second pass moves each punch value to the event's clock.
  FobRead Read(const std::string& fobNumText, const std::string& startNumText,
               int32_t utcOffsetHours);

  // True once TMSetup has reported a ready port; it is then never called again.
  bool SetupDone() const { return setupDone_; }

  // Starts a Read Memory command at the first byte of `slot` (0..31).
  void ResetForTimeRead(uint8_t slot);
  // The next four bytes of the running Read Memory command, most significant
  // first, as a signed 32-bit value.
  int32_t ReadTime();

 private:
  struct SlotValue {
    int32_t value;
    bool exchangeFailed;  // an exchange of this memory read reported a failure
  };
  SlotValue ReadSlotValue();
  RegistrationNumber ReadRegistrationNumber();
  int16_t Send(int16_t byte);
  bool ReadCurrentEdition(PunchTable& table);
  bool ReadEarlierEdition(PunchTable& table, int32_t utcOffsetHours);

  OneWireDriver& driver_;
  DriverSessionData& session_;
  PauseFn pause_;
  Edition edition_;
  int16_t portNum_;
  int16_t portType_;
  bool setupDone_ = false;
  bool exchangeFailed_ = false;  // since the last reset
  bool romFailed_ = false;
};

}  // namespace vintok::ibutton
