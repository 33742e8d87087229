// What a read costs the program once the fob is read: the evaluation of the
// worked example's 32 slots with its report, run log and export texts, per
// read; then the soak's 10,000 reads through the simulated port with their
// time and memory.
//
//   evaluation_bench [evaluations] [soak reads]

#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "results/evaluation.h"
#include "results/export_file.h"
#include "results/report.h"
#include "soak.h"

using namespace vintok;

namespace {

config::EventConfig WorkedEvent() {
  config::EventConfig c;
  c.StartControl = 0;
  c.FinishControl = 31;
  for (int slot = 1; slot <= 3; ++slot) c.FoxNumbers[static_cast<size_t>(slot)] = slot;
  c.StartPrefix = "S";
  c.FoxPrefix = "F";
  c.FinishPrefix = "Z";
  c.TimeLimit = 120;
  c.WindowOpen = 1340064000 + 9 * 3600;  // 19 June 2012, 09:00 to 16:00
  c.WindowClose = 1340064000 + 16 * 3600;
  return c;
}

}  // namespace

int main(int argc, char* argv[]) {
  const int evaluations = argc > 1 ? std::stoi(argv[1]) : 100000;
  const int soakReads = argc > 2 ? std::stoi(argv[2]) : 10000;

  const config::EventConfig event = WorkedEvent();
  std::array<int32_t, 32> slots;
  slots.fill(-1);
  const int32_t day = 1340064000;
  slots[0] = day + 10 * 3600;
  slots[2] = day + 10 * 3600 + 750;
  slots[1] = day + 10 * 3600 + 1510;
  slots[3] = day + 10 * 3600 + 2400;
  slots[31] = day + 10 * 3600 + 3125;

  size_t bytes = 0;  // keeps the work from being optimised away
  const auto begin = std::chrono::steady_clock::now();
  for (int i = 0; i < evaluations; ++i) {
    const results::Evaluation e = results::EvaluatePunches(slots, event, {}, Edition::Current);
    const std::string log = results::RunLogBlock(
        results::ReportText(results::ReportLines("12", e, event, Edition::Current)));
    const std::string kor = results::KorBlock("12", "12", e, event, Edition::Current);
    bytes += log.size() + kor.size();
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
  std::printf("evaluation + report + export text: %.2f us per read (%d reads, %zu bytes)\n",
              seconds * 1e6 / evaluations, evaluations, bytes);

  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() /
      ("vintok_soak_bench_" +
       std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
  std::filesystem::create_directories(dir);
  const reliability::SoakFigures f = reliability::RunSoak(
      soakReads, (dir / "").string(), VINTOK_TEST_DATA_DIR, VINTOK_EXAMPLES_DIR);
  std::filesystem::remove_all(dir);
  std::printf(
      "soak: %d reads in %.2f s (%.1f us per read, pauses skipped: %lld ms, syncs "
      "skipped: %lld)\n",
      f.reads, f.seconds, f.seconds * 1e6 / f.reads, f.pausedMs, f.syncsSkipped);
  std::printf(
      "soak: exported %d, export blocks %d, with errors %d, no fob %d, log blocks %d, "
      "each exported once in order: %s\n",
      f.exported, f.korBlocks, f.withErrors, f.noFob, f.logBlocks,
      f.exportedOnceInOrder ? "yes" : "NO");
  std::printf(
      "soak memory: heap in use %llu -> %llu bytes, RSS %llu -> %llu KiB, peak RSS %llu KiB\n",
      static_cast<unsigned long long>(f.heapStartBytes),
      static_cast<unsigned long long>(f.heapEndBytes),
      static_cast<unsigned long long>(f.rssStartKb), static_cast<unsigned long long>(f.rssEndKb),
      static_cast<unsigned long long>(f.peakRssKb));
  return f.exportedOnceInOrder ? 0 : 1;
}
