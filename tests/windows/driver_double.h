#pragma once

// What the stand-in for the vendor driver library reports, so that the check
// can tell that values really crossed the library boundary.

namespace vintok::ibutton::driver_double {

// The default port. Unequal and not 0 or 1, so that swapped or truncated
// arguments are seen.
inline constexpr short kPortNum = 3;
inline constexpr short kPortType = 6;

inline constexpr const char* kVersion = "vintok 1-Wire driver stand-in 1.0";

// The environment variable naming the fob file of the reader; read at every
// session start, so changing it swaps the fob. Unset: no default port.
inline constexpr const char* kFobVariable = "ONEWIRE_SIM_FOB";

}  // namespace vintok::ibutton::driver_double
