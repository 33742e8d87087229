#pragma once

#include <memory>

#include "ibutton/onewire_driver.h"

namespace vintok::ibutton {

// File name of the vendor's 1-Wire driver library that this build binds: the
// 32-bit program talks to IBFS32.DLL, a 64-bit program to IBFS64.DLL of the
// same driver (a process can only load a library of its own width).
#ifdef _WIN64
inline constexpr const char* kVendorLibraryName = "IBFS64.DLL";
#else
inline constexpr const char* kVendorLibraryName = "IBFS32.DLL";
#endif

// Windows only. Loads the vendor driver library by name, with the system's
// usual library search (the program's folder first), and binds the eight
// driver operations by their plain names. The returned backend keeps the
// library loaded for its whole life.
//
// Throws std::runtime_error when the library or one of its functions cannot
// be found; the message names the library and tells the operator that the
// 1-Wire driver must be installed, e.g.
//   "IBFS32.DLL could not be loaded. The 1-Wire driver must be installed to read fobs."
std::unique_ptr<OneWireDriver> LoadVendorDriver();

}  // namespace vintok::ibutton
