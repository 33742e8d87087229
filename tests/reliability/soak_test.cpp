// Ten thousand reads in one process (VINTOK_SOAK_READS sets another count):
// every clean read exported exactly once, nothing lost, no memory growth.
// Under the asan preset LeakSanitizer checks the whole run for leaks.

#include "soak.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>
#include <string>

#include "../core/test_files.h"

namespace vintok::reliability {
namespace {

int SoakReads() {
  const char* text = std::getenv("VINTOK_SOAK_READS");
  return text && *text ? std::atoi(text) : 10000;
}

TEST(Soak, EveryCleanReadExportedOnceWithoutGrowth) {
  testing::TempDir dir;
  const int reads = SoakReads();
  const SoakFigures f = RunSoak(reads, dir.Dir(), VINTOK_TEST_DATA_DIR, VINTOK_EXAMPLES_DIR);

  std::cout << "soak: " << f.reads << " reads in " << f.seconds << " s; exported " << f.exported
            << " (export blocks " << f.korBlocks << "), with errors " << f.withErrors << ", no fob "
            << f.noFob << ", log blocks " << f.logBlocks << "; heap " << f.heapStartBytes << " -> "
            << f.heapEndBytes << " bytes; RSS " << f.rssStartKb << " -> " << f.rssEndKb
            << " KiB, peak " << f.peakRssKb << " KiB\n";

  // A round of ten reads: seven clean (four plain, two flaky that settle, one
  // settling on its second reading), one never verified, one with errors,
  // one empty reader. Clean reads among the first n of a round:
  const int cleanInFirst[11] = {0, 1, 2, 3, 4, 5, 6, 6, 7, 7, 7};
  const int rounds = reads / 10;
  EXPECT_EQ(f.reads, reads);
  EXPECT_EQ(f.exported, 7 * rounds + cleanInFirst[reads % 10]);
  EXPECT_EQ(f.withErrors, rounds + (reads % 10 > 8 ? 1 : 0));
  EXPECT_EQ(f.korBlocks, f.exported);
  EXPECT_TRUE(f.exportedOnceInOrder);
  EXPECT_EQ(f.logBlocks, f.exported + f.withErrors);
  EXPECT_EQ(f.reads, f.exported + f.withErrors + f.noFob);
  // Every read allocates and frees its own; after the first hundred the live
  // heap must not move beyond a little noise.
  if (f.heapStartBytes != 0) {
    EXPECT_LE(f.heapEndBytes, f.heapStartBytes + 16 * 1024) << "the heap grows with the reads";
  }
}

}  // namespace
}  // namespace vintok::reliability
