#pragma once

#include <memory>
#include <string_view>

#include "ibutton/onewire_driver.h"

namespace vintok::ibutton {

// The 1-Wire backend of this machine's default port. On Windows that is the
// vendor driver library. Elsewhere the 1-Wire layer keeps its own setting in
// the environment variable ONEWIRE_DEFAULT_PORT (the program itself has no
// port setting): see DriverForSetting.
std::unique_ptr<OneWireDriver> CreateDefaultDriver();

// The backend for a port setting:
//   "sim:PATH"        the simulated port, PATH describing the fob on the reader
//   "w1", "w1:N"      the Linux kernel's w1 bus master (lowest-numbered, or N)
//   anything else     no port: TMReadDefaultPort reports none
std::unique_ptr<OneWireDriver> DriverForSetting(std::string_view setting);

}  // namespace vintok::ibutton
