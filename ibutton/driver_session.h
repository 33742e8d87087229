#pragma once

#include <array>
#include <cstdint>

#include "ibutton/onewire_driver.h"

namespace vintok::ibutton {

// The driver session data, which the vendor library expects to live for the
// whole process: the handle of the latest session and the state buffer every
// session works in. This is the program's only process-wide mutable state.
struct DriverSessionData {
  int32_t SessionHandle = 0;
  std::array<unsigned char, kStateBufferSize> TMStateBuffer{};
};

DriverSessionData& ProcessDriverSession();

}  // namespace vintok::ibutton
