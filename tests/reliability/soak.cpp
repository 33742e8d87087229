#include "soak.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "reliability_support.h"
#include "results/disk_file_system.h"

#if defined(__SANITIZE_ADDRESS__)
#define VINTOK_SOAK_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VINTOK_SOAK_ASAN 1
#endif
#endif

#ifdef VINTOK_SOAK_ASAN
// From the sanitizer runtime (its header is not installed with every compiler).
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#elif defined(__GLIBC__)
#include <malloc.h>
#endif

#ifdef __linux__
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace vintok::reliability {
namespace {

// The real disk without the waits for the platters.
class UnsyncedDisk final : public results::FileSystem {
 public:
  long long syncs = 0;

  std::unique_ptr<results::WritableFile> Open(const std::string& path, bool create,
                                              std::error_code& error) override {
    auto file = disk_.Open(path, create, error);
    if (!file) return nullptr;
    return std::make_unique<File>(*this, std::move(file));
  }
  std::error_code Remove(const std::string& path) override { return disk_.Remove(path); }
  std::error_code Read(const std::string& path, std::string& contents) override {
    return disk_.Read(path, contents);
  }

 private:
  class File final : public results::WritableFile {
   public:
    File(UnsyncedDisk& disk, std::unique_ptr<results::WritableFile> real)
        : disk_(disk), real_(std::move(real)) {}
    std::error_code Size(uint64_t& size) override { return real_->Size(size); }
    std::error_code Write(std::string_view bytes) override { return real_->Write(bytes); }
    std::error_code Sync() override {
      ++disk_.syncs;
      return {};
    }
    std::error_code Truncate(uint64_t size) override { return real_->Truncate(size); }
    std::error_code Close() override { return real_->Close(); }

   private:
    UnsyncedDisk& disk_;
    std::unique_ptr<results::WritableFile> real_;
  };
  results::DiskFileSystem disk_;
};

uint64_t HeapInUse() {
#ifdef VINTOK_SOAK_ASAN
  return __sanitizer_get_current_allocated_bytes();
#elif defined(__GLIBC__)
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;  // small blocks and mapped large ones
#else
  return 0;
#endif
}

uint64_t ResidentKb() {
#ifdef __linux__
  unsigned long long pages = 0, resident = 0;
  if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(statm, "%llu %llu", &pages, &resident) != 2) resident = 0;
    std::fclose(statm);
  }
  return resident * static_cast<uint64_t>(sysconf(_SC_PAGESIZE)) / 1024;
#else
  return 0;
#endif
}

uint64_t PeakResidentKb() {
#ifdef __linux__
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<uint64_t>(usage.ru_maxrss);
#else
  return 0;
#endif
}

int Count(const std::string& text, const std::string& what) {
  int count = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size()))
    ++count;
  return count;
}

}  // namespace

SoakFigures RunSoak(int reads, const std::string& dir, const std::string& testDataDir,
                    const std::string& examplesDir) {
  SoakFigures figures;
  const auto begin = std::chrono::steady_clock::now();
  const config::EventConfig event = WorkedEvent(dir, testDataDir + "/ini/worked_example.ini");
  UnsyncedDisk disk;
  ibutton::DriverSessionData session;

  // Ten reads in a round: four clean, two with a loose contact that settles,
  // one whose slot settles on its second reading, one that never verifies,
  // an empty reader, one with start and finish errors.
  SimulatedReader clean(testDataDir + "/fobs/worked-example.txt", session, disk);
  SimulatedReader flaky(examplesDir + "/fob-flaky.txt", session, disk);
  SimulatedReader settles(testDataDir + "/fobs/settles-second.txt", session, disk);
  SimulatedReader neverAgrees(testDataDir + "/fobs/never-agrees.txt", session, disk);
  SimulatedReader empty(dir + "no-fob-on-the-reader.txt", session, disk);
  SimulatedReader withErrors(testDataDir + "/fobs/late-start-no-finish.txt", session, disk);
  SimulatedReader* const round[10] = {&clean, &clean,       &flaky, &clean,      &settles,
                                      &clean, &neverAgrees, &flaky, &withErrors, &empty};

  const int warmUp = reads < 100 ? reads : 100;
  // The soak's own bookkeeping is sized up front so that the heap figures
  // show only what the reads keep.
  std::vector<std::string> exportedNumbers;
  exportedNumbers.reserve(static_cast<size_t>(reads));
  PlainView view;
  for (int i = 0; i < reads; ++i) {
    if (i == warmUp) {
      figures.heapStartBytes = HeapInUse();
      figures.rssStartKb = ResidentKb();
    }
    const std::string number = std::to_string(i + 1);
    view.startNum = view.fobNum = number;
    view.colour.reset();
    switch (round[i % 10]->Read(view, event)) {
      case results::ReadEnd::Exported:
        ++figures.exported;
        exportedNumbers.push_back(number);
        break;
      case results::ReadEnd::WithErrors:
        ++figures.withErrors;
        break;
      case results::ReadEnd::NoFob:
        ++figures.noFob;
        break;
      case results::ReadEnd::Refused:
        break;
    }
    ++figures.reads;
  }
  figures.heapEndBytes = HeapInUse();
  figures.rssEndKb = ResidentKb();

  const std::string kor = ReadAll(dir + "ibutton.kor");
  const std::string log = ReadAll(dir + "ibutton.log");
  figures.korBlocks = Count(kor, "# -- Start No.");
  figures.logBlocks = Count(log, kLogSeparator);
  // Each exported read's heading, once and in order, and nothing else.
  std::string expected;
  for (const std::string& n : exportedNumbers)
    expected += "# -- Start No." + n + " Fob No:" + n + " --";
  std::string headings;
  for (size_t at = kor.find("# -- "); at != std::string::npos; at = kor.find("# -- ", at + 1))
    headings += kor.substr(at, kor.find("\r\n", at) - at);
  figures.exportedOnceInOrder = kor.rfind(kKorHeader, 0) == 0 && headings == expected;

  for (SimulatedReader* reader : {&clean, &flaky, &settles, &neverAgrees, &empty, &withErrors})
    figures.pausedMs += reader->PausedMs();
  figures.syncsSkipped = disk.syncs;
  figures.peakRssKb = PeakResidentKb();
  figures.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
  return figures;
}

}  // namespace vintok::reliability
