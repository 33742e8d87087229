// One read of the worked example's fob on the simulated port, with the real
// pauses the fob needs, repeated a few times. Prints the wall time of each
// read next to the sum of its pauses; the difference is what the program and
// the simulated bus add. The overhead is split into the time the sleeps ran
// past their pause (the operating system's timer) and the work between them.

#include <chrono>
#include <cstdio>
#include <string>

#include "ibutton/driver_session.h"
#include "ibutton/punch_reader.h"
#include "ibutton/simulated_port.h"

using namespace vintok::ibutton;

int main(int argc, char* argv[]) {
  const std::string fob = argc > 1 ? argv[1] : VINTOK_EXAMPLES_DIR "/fob-worked-example.txt";
  const int repeats = argc > 2 ? std::stoi(argv[2]) : 5;

  SimulatedPort port(fob);
  DriverSessionData session;
  using Clock = std::chrono::steady_clock;
  using Ms = std::chrono::duration<double, std::milli>;
  double pausedMs = 0;
  double sleptMs = 0;
  const PauseFn sleep = RealPause();
  PunchMemoryReader reader(
      port, session,
      [&](int ms) {
        pausedMs += ms;
        const auto before = Clock::now();
        sleep(ms);
        sleptMs += Ms(Clock::now() - before).count();
      },
      vintok::Edition::Current, SimulatedPort::kPortNum, SimulatedPort::kPortType);

  std::printf("fob: %s\n", fob.c_str());
  std::printf("%4s %10s %10s %10s %12s %10s  %s\n", "read", "wall ms", "pauses ms", "overhead",
              "sleep late", "work ms", "outcome");
  double worstWork = 0;
  for (int i = 1; i <= repeats; ++i) {
    pausedMs = 0;
    sleptMs = 0;
    const auto begin = Clock::now();
    const FobRead read = reader.Read("12", "12", 0);
    const double wallMs = Ms(Clock::now() - begin).count();
    const double workMs = wallMs - sleptMs;
    if (workMs > worstWork) worstWork = workMs;
    std::printf("%4d %10.3f %10.0f %10.3f %12.3f %10.3f  %s\n", i, wallMs, pausedMs,
                wallMs - pausedMs, sleptMs - pausedMs, workMs,
                read.outcome == ReadOutcome::Verified ? "verified" : "not verified");
  }
  std::printf("largest work outside the pauses: %.3f ms\n", worstWork);
  return 0;
}
