#include "ibutton/driver_session.h"

namespace vintok::ibutton {

DriverSessionData& ProcessDriverSession() {
  static DriverSessionData session;
  return session;
}

}  // namespace vintok::ibutton
