#pragma once

// The long soak: thousands of reads in one process through the simulated
// port, mixing clean fobs, flaky slots that settle, fobs that never verify,
// an empty reader and reads with errors. Shared by the soak test and the
// benchmark program.

#include <cstdint>
#include <string>

namespace vintok::reliability {

struct SoakFigures {
  int reads = 0;
  int exported = 0;                  // reads that ended exported
  int withErrors = 0;                // logged, not exported
  int noFob = 0;                     // not verified, or nothing on the reader
  int korBlocks = 0;                 // blocks found in the export file afterwards
  int logBlocks = 0;                 // blocks found in the run log afterwards
  bool exportedOnceInOrder = false;  // each exported read's block, once, in read order
  long long pausedMs = 0;            // the pauses the fob would have needed
  long long syncsSkipped = 0;
  // Memory after the first reads and at the end; 0 where the platform
  // cannot tell.
  uint64_t heapStartBytes = 0, heapEndBytes = 0;
  uint64_t rssStartKb = 0, rssEndKb = 0, peakRssKb = 0;
  double seconds = 0;
};

// Runs `reads` reads with the program directory `dir` (ending in a path
// separator); the event and the fob files come from tests/data and
// examples/. The disk syncs are counted and skipped: they make a block
// durable against power loss, which a soak of the process does not test.
SoakFigures RunSoak(int reads, const std::string& dir, const std::string& testDataDir,
                    const std::string& examplesDir);

}  // namespace vintok::reliability
