// Reads in a loop until it is killed: two clean reads of the worked example's
// fob (start and fob number 12), then one with start and finish errors
// (number 7), over and over, writing the run log and the export file into
// DIR through the real disk. The kill test stops it at random moments.
//
//   reliability_read_loop DIR INI GOOD_FOB ERROR_FOB

#include <cstdio>
#include <exception>
#include <string>

#include "reliability_support.h"
#include "results/disk_file_system.h"

int main(int argc, char* argv[]) {
  using namespace vintok;
  if (argc != 5) {
    std::fprintf(stderr, "usage: %s DIR INI GOOD_FOB ERROR_FOB\n", argv[0]);
    return 2;
  }
  try {
    const std::string dir = std::string(argv[1]) + "/";
    const config::EventConfig event = reliability::WorkedEvent(dir, argv[2]);
    ibutton::DriverSessionData session;
    results::DiskFileSystem disk;
    reliability::SimulatedReader good(argv[3], session, disk);
    reliability::SimulatedReader withErrors(argv[4], session, disk);
    reliability::PlainView view;
    for (unsigned long i = 0;; ++i) {
      const bool clean = i % 3 != 2;
      view.startNum = view.fobNum = clean ? "12" : "7";
      const results::ReadEnd end = (clean ? good : withErrors).Read(view, event);
      if (end != (clean ? results::ReadEnd::Exported : results::ReadEnd::WithErrors)) {
        std::fprintf(stderr, "read %lu ended unexpectedly\n", i);
        return 1;
      }
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
}
