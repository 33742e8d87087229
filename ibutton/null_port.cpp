#include "ibutton/null_port.h"

#include <cstring>

namespace vintok::ibutton {

int16_t NullPort::TMReadDefaultPort(int16_t* portNum, int16_t* portType) {
  *portNum = 0;
  *portType = 0;
  return 0;
}

int16_t NullPort::Get_Version(char* buffer) {
  std::strcpy(buffer, "no 1-Wire port");
  return 0;
}

int32_t NullPort::TMExtendedStartSession(int16_t, int16_t, void*) { return 0; }
int16_t NullPort::TMSetup(int32_t) { return 0; }
int16_t NullPort::TMRom(int32_t, void*, int16_t*) { return -1; }
int16_t NullPort::TMTouchReset(int32_t) { return -1; }
int16_t NullPort::TMTouchByte(int32_t, int16_t) { return -1; }
int16_t NullPort::TMEndSession(int32_t) { return 0; }

}  // namespace vintok::ibutton
