// Stand-in for the port factory until the 1-Wire backends are in this tree.
#include "ibutton/default_port.h"

#include "ibutton/null_port.h"

namespace vintok::ibutton {
std::unique_ptr<OneWireDriver> CreateDefaultDriver() { return DriverForSetting({}); }
std::unique_ptr<OneWireDriver> DriverForSetting(std::string_view) {
  return std::make_unique<NullPort>();
}
}  // namespace vintok::ibutton
