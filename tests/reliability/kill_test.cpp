// The reader killed at random moments while it reads in a loop: after every
// kill, once the program has started again, both files hold only whole
// blocks, and nothing written before the kill has changed.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <iostream>
#include <random>
#include <string>
#include <thread>

#include "../core/test_files.h"
#include "reliability_support.h"
#include "results/append_file.h"
#include "results/disk_file_system.h"

#ifdef __linux__
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace vintok::reliability {
namespace {

#ifdef __linux__

using testing::ReadBytes;
using testing::TempDir;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

std::string DataFile(const std::string& name) {
  return std::string(VINTOK_TEST_DATA_DIR) + "/" + name;
}

struct Blocks {
  std::string goodLog, errorLog, kor;
};

// The blocks the loop writes, from the same reads in a directory of their own.
Blocks ReferenceBlocks(const std::string& dir) {
  const config::EventConfig event = WorkedEvent(dir, DataFile("ini/worked_example.ini"));
  ibutton::DriverSessionData session;
  results::DiskFileSystem disk;
  SimulatedReader good(DataFile("fobs/worked-example.txt"), session, disk);
  SimulatedReader withErrors(DataFile("fobs/late-start-no-finish.txt"), session, disk);
  PlainView view;
  EXPECT_EQ(good.Read(view, event), results::ReadEnd::Exported);
  const std::string log = ReadBytes(dir + "ibutton.log");
  view.startNum = view.fobNum = "7";
  EXPECT_EQ(withErrors.Read(view, event), results::ReadEnd::WithErrors);
  return {log, ReadBytes(dir + "ibutton.log").substr(log.size()),
          ReadBytes(dir + "ibutton.kor").substr(std::string(kKorHeader).size())};
}

// Splits `text` into whole copies of the given blocks; the number of each,
// or -1 when anything else is in it.
std::vector<int> CountWholeBlocks(const std::string& text, const std::vector<std::string>& blocks) {
  std::vector<int> counts(blocks.size(), 0);
  for (size_t at = 0; at < text.size();) {
    size_t which = 0;
    while (which < blocks.size() && text.compare(at, blocks[which].size(), blocks[which]) != 0)
      ++which;
    if (which == blocks.size()) return {-1};
    ++counts[which];
    at += blocks[which].size();
  }
  return counts;
}

pid_t StartLoop(const std::string& dir) {
  const std::string ini = DataFile("ini/worked_example.ini");
  const std::string good = DataFile("fobs/worked-example.txt");
  const std::string bad = DataFile("fobs/late-start-no-finish.txt");
  std::string program = VINTOK_READ_LOOP;
  char* argv[] = {program.data(),
                  const_cast<char*>(dir.c_str()),
                  const_cast<char*>(ini.c_str()),
                  const_cast<char*>(good.c_str()),
                  const_cast<char*>(bad.c_str()),
                  nullptr};
  pid_t pid = 0;
  EXPECT_EQ(posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, environ), 0);
  return pid;
}

uintmax_t SizeOr0(const std::string& path) {
  std::error_code error;
  const uintmax_t size = fs::file_size(path, error);
  return error ? 0 : size;
}

TEST(KilledReader, EveryKillLeavesOnlyWholeBlocks) {
  TempDir reference;
  const Blocks blocks = ReferenceBlocks(reference.Dir());
  TempDir work;
  const std::string dir = work.Dir();
  // The event file is in place before the first loop starts: a loop killed
  // while copying it would leave half an event file for all later loops.
  fs::copy_file(DataFile("ini/worked_example.ini"), dir + "vintok.ini");
  const std::string logPath = dir + "ibutton.log";
  const std::string korPath = dir + "ibutton.kor";

  constexpr int kKills = 200;
  const auto deadline = Clock::now() + std::chrono::seconds(60);
  std::mt19937 random(20120619);
  std::string logBefore, korBefore;
  int kills = 0;
  int killsWhileReading = 0;
  while (kills < kKills && Clock::now() < deadline) {
    const pid_t pid = StartLoop(dir.substr(0, dir.size() - 1));
    ASSERT_GT(pid, 0);
    if (random() % 2 == 0) {
      // Anywhere in the program's life, start-up included.
      std::this_thread::sleep_for(std::chrono::microseconds(random() % 40000));
    } else {
      // Once it is reading, within a few milliseconds: inside a read.
      const uintmax_t size = SizeOr0(logPath);
      const auto wait = Clock::now() + std::chrono::seconds(5);
      while (SizeOr0(logPath) == size && Clock::now() < wait)
        std::this_thread::sleep_for(std::chrono::microseconds(200));
      std::this_thread::sleep_for(std::chrono::microseconds(random() % 4000));
      ++killsWhileReading;
    }
    ASSERT_EQ(kill(pid, SIGKILL), 0);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)
        << "the read loop stopped by itself, status " << status;
    ++kills;

    // What the program does when it starts again: a block whose write the
    // kill cut short (the kernel may stop a write at a page boundary) goes.
    results::DiskFileSystem disk;
    results::RecoverInterruptedAppend(disk, logPath);
    results::RecoverInterruptedAppend(disk, korPath);

    const std::string log = fs::exists(logPath) ? ReadBytes(logPath) : "";
    const std::string kor = fs::exists(korPath) ? ReadBytes(korPath) : "";
    ASSERT_EQ(log.compare(0, logBefore.size(), logBefore), 0)
        << "log changed before kill " << kills;
    ASSERT_EQ(kor.compare(0, korBefore.size(), korBefore), 0)
        << "export changed before kill " << kills;
    const std::vector<int> logBlocks = CountWholeBlocks(log, {blocks.goodLog, blocks.errorLog});
    ASSERT_NE(logBlocks[0], -1) << "log after kill " << kills << " holds a broken block:\n" << log;
    if (fs::exists(korPath)) {
      ASSERT_EQ(kor.rfind(kKorHeader, 0), 0u) << "export after kill " << kills << ":\n" << kor;
      const std::vector<int> korBlocks =
          CountWholeBlocks(kor.substr(std::string(kKorHeader).size()), {blocks.kor});
      ASSERT_NE(korBlocks[0], -1) << "export after kill " << kills << " holds a broken block:\n"
                                  << kor;
      // A block is exported only after its read's log block is written.
      ASSERT_LE(korBlocks[0], logBlocks[0]);
    }
    logBefore = log;
    korBefore = kor;
  }

  const std::vector<int> logBlocks = CountWholeBlocks(logBefore, {blocks.goodLog, blocks.errorLog});
  const std::vector<int> korBlocks =
      korBefore.empty()
          ? std::vector<int>{0}
          : CountWholeBlocks(korBefore.substr(std::string(kKorHeader).size()), {blocks.kor});
  std::cout << "kills survived: " << kills << " (" << killsWhileReading
            << " while reading); log blocks: " << logBlocks[0] << " clean + " << logBlocks[1]
            << " with errors; export blocks: " << korBlocks[0] << "\n";
  EXPECT_GE(kills, 50) << "too few kills in the time allowed";
  EXPECT_GT(korBlocks[0], 0) << "the loop never got to export";
  ::testing::Test::RecordProperty("kills", kills);
}

#else

TEST(KilledReader, EveryKillLeavesOnlyWholeBlocks) { GTEST_SKIP() << "needs fork and SIGKILL"; }

#endif

}  // namespace
}  // namespace vintok::reliability
