#include "ibutton/default_port.h"

#include <cstdlib>
#include <string>

#include "ibutton/null_port.h"
#include "ibutton/simulated_port.h"
#ifdef __linux__
#include "ibutton/w1_netlink_port.h"
#endif
#ifdef _WIN32
#include "ibutton/vendor_dll_port.h"
#endif

namespace vintok::ibutton {

std::unique_ptr<OneWireDriver> CreateDefaultDriver() {
#ifdef _WIN32
  // The vendor driver library keeps the default port in its own settings.
  return LoadVendorDriver();
#else
  // The 1-Wire layer's own setting, not the program's: the program asks the
  // layer for its default port exactly as it asks the vendor driver.
  const char* setting = std::getenv("ONEWIRE_DEFAULT_PORT");
  return DriverForSetting(setting ? setting : "");
#endif
}

std::unique_ptr<OneWireDriver> DriverForSetting(std::string_view setting) {
  constexpr std::string_view kSimScheme = "sim:";
  if (setting.starts_with(kSimScheme) && setting.size() > kSimScheme.size())
    return std::make_unique<SimulatedPort>(std::string(setting.substr(kSimScheme.size())));
#ifdef __linux__
  if (auto kernelPort = CreateW1NetlinkPort(setting)) return kernelPort;
#endif
  return std::make_unique<NullPort>();
}

}  // namespace vintok::ibutton
