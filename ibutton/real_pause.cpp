#include "ibutton/punch_reader.h"

#include <chrono>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#include <timeapi.h>
#endif

namespace vintok::ibutton {

PauseFn RealPause() {
#ifdef _WIN32
  // Windows sleeps in steps of its timer tick, 15.6 ms by default: a 2 ms
  // pause would take eight times as long and a read over a second. Ask for
  // 1 ms ticks for the life of the process.
  static const bool fineTimer = timeBeginPeriod(1) == TIMERR_NOERROR;
  (void)fineTimer;
#endif
  return [](int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  };
}

}  // namespace vintok::ibutton
