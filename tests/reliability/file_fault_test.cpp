// A disk that fails under a read: whatever fails, the operator gets
// "Unable to write to <path>: <reason>", every block written before stays
// byte for byte, no part of the failed block is left behind, and the next
// read after the fault appends cleanly.

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>

#include "../core/test_files.h"
#include "reliability_support.h"
#include "results/disk_file_system.h"

namespace vintok::reliability {
namespace {

using testing::ReadBytes;
using testing::TempDir;
namespace fs = std::filesystem;

std::string DataFile(const std::string& name) {
  return std::string(VINTOK_TEST_DATA_DIR) + "/" + name;
}
const std::string kGoodFob = DataFile("fobs/worked-example.txt");
const std::string kErrorFob = DataFile("fobs/late-start-no-finish.txt");
const std::string kIni = DataFile("ini/worked_example.ini");

// The real disk, with faults for one path: opening or creating it can be
// refused, the disk can fill after a number of bytes, and syncing can fail.
class FaultyDisk final : public results::FileSystem {
 public:
  std::string target;
  std::error_code createError;        // creating the missing file
  std::error_code openError;          // opening the existing file
  std::optional<uint64_t> spaceLeft;  // bytes the disk still takes
  std::error_code syncError;

  void Clear() { *this = FaultyDisk(); }

  std::unique_ptr<results::WritableFile> Open(const std::string& path, bool create,
                                              std::error_code& error) override {
    if (path == target && (create ? createError : openError)) {
      error = create ? createError : openError;
      return nullptr;
    }
    auto file = disk_.Open(path, create, error);
    if (!file || path != target) return file;
    return std::make_unique<File>(*this, std::move(file));
  }
  std::error_code Remove(const std::string& path) override { return disk_.Remove(path); }
  std::error_code Read(const std::string& path, std::string& contents) override {
    return disk_.Read(path, contents);
  }

 private:
  class File final : public results::WritableFile {
   public:
    File(FaultyDisk& disk, std::unique_ptr<results::WritableFile> real)
        : disk_(disk), real_(std::move(real)) {}
    std::error_code Size(uint64_t& size) override { return real_->Size(size); }
    std::error_code Write(std::string_view bytes) override {
      if (!disk_.spaceLeft || bytes.size() <= *disk_.spaceLeft) {
        if (disk_.spaceLeft) *disk_.spaceLeft -= bytes.size();
        return real_->Write(bytes);
      }
      const auto fits = bytes.substr(0, static_cast<size_t>(*disk_.spaceLeft));
      *disk_.spaceLeft = 0;
      if (auto error = real_->Write(fits)) return error;
      return std::make_error_code(std::errc::no_space_on_device);
    }
    std::error_code Sync() override {
      if (auto error = real_->Sync()) return error;
      return disk_.syncError;
    }
    std::error_code Truncate(uint64_t size) override { return real_->Truncate(size); }
    std::error_code Close() override { return real_->Close(); }

   private:
    FaultyDisk& disk_;
    std::unique_ptr<results::WritableFile> real_;
  };
  results::DiskFileSystem disk_;
};

std::optional<std::string> Contents(const std::string& path) {
  if (!fs::is_regular_file(path)) return std::nullopt;
  return ReadBytes(path);
}

// The log and export blocks of one clean read of fob 13, from a directory
// where nothing fails.
struct Reference {
  std::string logBlock;
  std::string korBlock;  // without the file's two heading lines
};

Reference Fob13Reference(const std::string& dir) {
  const config::EventConfig event = WorkedEvent(dir, kIni);
  ibutton::DriverSessionData session;
  results::DiskFileSystem disk;
  SimulatedReader reader(kGoodFob, session, disk);
  PlainView view;
  view.startNum = view.fobNum = "13";
  EXPECT_EQ(reader.Read(view, event), results::ReadEnd::Exported);
  return {ReadBytes(dir + "ibutton.log"),
          ReadBytes(dir + "ibutton.kor").substr(std::string(kKorHeader).size())};
}

enum class Target { Log, Export };
enum class Fault { DirectoryNotWritable, FileReadOnly, DiskFull, SyncFails };

struct FaultCase {
  const char* name;
  Target target;
  Fault fault;
  uint64_t spaceLeft;  // DiskFull: bytes that still land
  bool targetExists;   // whether an earlier read made the file
  std::errc reason;
  const char* reasonText;  // as the C library words it
};

class FileFaultTest : public ::testing::TestWithParam<FaultCase> {
 protected:
  TempDir dir;
  TempDir referenceDir;
};

TEST_P(FileFaultTest, FailedBlockLeavesEarlierBlocksAndNothingElse) {
  const FaultCase& c = GetParam();
  const std::string root = dir.Dir();
  const config::EventConfig event = WorkedEvent(root, kIni);
  const std::string logPath = root + "ibutton.log";
  const std::string korPath = root + "ibutton.kor";
  const std::string path = c.target == Target::Log ? logPath : korPath;
  const Reference fob13 = Fob13Reference(referenceDir.Dir());

  FaultyDisk disk;
  ibutton::DriverSessionData session;
  SimulatedReader good(kGoodFob, session, disk);
  SimulatedReader withErrors(kErrorFob, session, disk);

  // Earlier reads: a logged read with errors, and a clean one unless the
  // target must not exist yet.
  PlainView view;
  view.startNum = view.fobNum = "7";
  ASSERT_EQ(withErrors.Read(view, event), results::ReadEnd::WithErrors);
  if (c.targetExists) {
    view.startNum = view.fobNum = "12";
    ASSERT_EQ(good.Read(view, event), results::ReadEnd::Exported);
  } else if (c.target == Target::Log) {
    fs::remove(logPath);
  }
  const std::optional<std::string> logBefore = Contents(logPath);
  const std::optional<std::string> korBefore = Contents(korPath);
  ASSERT_EQ(Contents(path).has_value(), c.targetExists);

  disk.target = path;
  switch (c.fault) {
    case Fault::DirectoryNotWritable:
      disk.createError = std::make_error_code(std::errc::permission_denied);
      break;
    case Fault::FileReadOnly:
      disk.openError = std::make_error_code(std::errc::permission_denied);
      break;
    case Fault::DiskFull:
      disk.spaceLeft = c.spaceLeft;
      break;
    case Fault::SyncFails:
      disk.syncError = std::make_error_code(std::errc::io_error);
      break;
  }

  view.startNum = view.fobNum = "13";
  view.colour.reset();
  try {
    good.Read(view, event);
    FAIL() << "the fault was not reported";
  } catch (const std::runtime_error& e) {
    EXPECT_EQ(std::string(e.what()),
              "Unable to write to " + path + ": " + std::make_error_code(c.reason).message());
#ifdef __GLIBC__
    EXPECT_EQ(std::string(e.what()), "Unable to write to " + path + ": " + c.reasonText);
#endif
  }

  // Earlier blocks byte for byte; the log takes the read's block before the
  // export fails, and nothing is exported after the log failed.
  EXPECT_EQ(Contents(path), c.target == Target::Log ? logBefore : korBefore);
  if (c.target == Target::Export) {
    EXPECT_EQ(Contents(logPath), logBefore.value_or("") + fob13.logBlock);
  } else {
    EXPECT_EQ(Contents(korPath), korBefore);
    EXPECT_TRUE(view.report.ends_with("\r\n\r\n")) << "no trailer after a failed log";
  }
  EXPECT_EQ(view.startNum, "13") << "entries stay for the repeated read";
  EXPECT_FALSE(view.colour.has_value());

  // The operator frees the disk and reads again: one clean block each.
  disk.Clear();
  ASSERT_EQ(good.Read(view, event), results::ReadEnd::Exported);
  const std::string logAfterFault =
      logBefore.value_or("") + (c.target == Target::Export ? fob13.logBlock : "");
  EXPECT_EQ(Contents(logPath), logAfterFault + fob13.logBlock);
  EXPECT_EQ(Contents(korPath), korBefore.value_or(kKorHeader) + fob13.korBlock);
}

// Reasons as the C library words them (the error box shows this text).
const FaultCase kFaultCases[] = {
    {"LogDirectoryNotWritable", Target::Log, Fault::DirectoryNotWritable, 0, false,
     std::errc::permission_denied, "Permission denied"},
    {"ExportDirectoryNotWritable", Target::Export, Fault::DirectoryNotWritable, 0, false,
     std::errc::permission_denied, "Permission denied"},
    {"LogReadOnly", Target::Log, Fault::FileReadOnly, 0, true, std::errc::permission_denied,
     "Permission denied"},
    {"ExportReadOnly", Target::Export, Fault::FileReadOnly, 0, true, std::errc::permission_denied,
     "Permission denied"},
    {"LogFullAt0", Target::Log, Fault::DiskFull, 0, true, std::errc::no_space_on_device,
     "No space left on device"},
    {"LogFullAt1", Target::Log, Fault::DiskFull, 1, true, std::errc::no_space_on_device,
     "No space left on device"},
    {"LogFullAt100", Target::Log, Fault::DiskFull, 100, true, std::errc::no_space_on_device,
     "No space left on device"},
    {"LogFullOneShort", Target::Log, Fault::DiskFull, 228, true, std::errc::no_space_on_device,
     "No space left on device"},
    {"NewLogFullAt50", Target::Log, Fault::DiskFull, 50, false, std::errc::no_space_on_device,
     "No space left on device"},
    {"ExportFullAt0", Target::Export, Fault::DiskFull, 0, true, std::errc::no_space_on_device,
     "No space left on device"},
    {"ExportFullAt30", Target::Export, Fault::DiskFull, 30, true, std::errc::no_space_on_device,
     "No space left on device"},
    {"ExportFullOneShort", Target::Export, Fault::DiskFull, 217, true,
     std::errc::no_space_on_device, "No space left on device"},
    {"NewExportFullInHeader", Target::Export, Fault::DiskFull, 10, false,
     std::errc::no_space_on_device, "No space left on device"},
    {"NewExportFullInBlock", Target::Export, Fault::DiskFull, 60, false,
     std::errc::no_space_on_device, "No space left on device"},
    {"LogSyncFails", Target::Log, Fault::SyncFails, 0, true, std::errc::io_error,
     "Input/output error"},
    {"ExportSyncFails", Target::Export, Fault::SyncFails, 0, true, std::errc::io_error,
     "Input/output error"},
};

INSTANTIATE_TEST_SUITE_P(Seam, FileFaultTest, ::testing::ValuesIn(kFaultCases),
                         [](const auto& info) { return std::string(info.param.name); });

// The block sizes the "one short" cases rely on.
TEST(FileFaultSizes, OneShortCasesCutTheLastByte) {
  TempDir dir;
  const Reference fob13 = Fob13Reference(dir.Dir());
  EXPECT_EQ(fob13.logBlock.size(), 229u);
  EXPECT_EQ(fob13.korBlock.size(), 218u);
}

class RealDiskFaultTest : public ::testing::Test {
 protected:
  void SetUp() override { event = WorkedEvent(dir.Dir(), kIni); }

  // A read that must fail; returns the operator's message.
  std::string FailingRead(SimulatedReader& reader) {
    try {
      reader.Read(view, event);
    } catch (const std::runtime_error& e) {
      return e.what();
    }
    ADD_FAILURE() << "the fault was not reported";
    return {};
  }

  TempDir dir;
  config::EventConfig event;
  ibutton::DriverSessionData session;
  results::DiskFileSystem disk;
  PlainView view;
};

// The reason text the operating system gives for a path that is a directory
// or runs through a file. Windows' C runtime words both differently from
// POSIX ("Permission denied", "No such file or directory").
std::string SystemReason(std::errc posixReason, std::errc windowsReason) {
#ifdef _WIN32
  (void)posixReason;
  return std::make_error_code(windowsReason).message();
#else
  (void)windowsReason;
  return std::make_error_code(posixReason).message();
#endif
}

TEST_F(RealDiskFaultTest, LogReplacedByADirectory) {
  SimulatedReader good(kGoodFob, session, disk);
  ASSERT_EQ(good.Read(view, event), results::ReadEnd::Exported);
  const std::string kor = ReadBytes(dir.File("ibutton.kor"));
  fs::remove(dir.File("ibutton.log"));
  fs::create_directory(dir.File("ibutton.log"));

  view.startNum = view.fobNum = "13";
  EXPECT_EQ(FailingRead(good),
            "Unable to write to " + dir.File("ibutton.log") + ": " +
                SystemReason(std::errc::is_a_directory, std::errc::permission_denied));
  EXPECT_EQ(ReadBytes(dir.File("ibutton.kor")), kor);
  EXPECT_TRUE(fs::is_empty(dir.File("ibutton.log")));
}

TEST_F(RealDiskFaultTest, ExportReplacedByADirectory) {
  SimulatedReader good(kGoodFob, session, disk);
  ASSERT_EQ(good.Read(view, event), results::ReadEnd::Exported);
  const std::string log = ReadBytes(dir.File("ibutton.log"));
  fs::remove(dir.File("ibutton.kor"));
  fs::create_directory(dir.File("ibutton.kor"));

  view.startNum = view.fobNum = "13";
  EXPECT_EQ(FailingRead(good),
            "Unable to write to " + dir.File("ibutton.kor") + ": " +
                SystemReason(std::errc::is_a_directory, std::errc::permission_denied));
  EXPECT_EQ(ReadBytes(dir.File("ibutton.log")).substr(0, log.size()), log);
  EXPECT_EQ(ReadBytes(dir.File("ibutton.log")).size(), 2 * log.size());  // the read's own block
  EXPECT_TRUE(fs::is_empty(dir.File("ibutton.kor")));
}

// The program directory is not a directory at all (a file stands where the
// path expects one): nothing can be created, whoever runs the program.
TEST_F(RealDiskFaultTest, ProgramDirectoryPathRunsThroughAFile) {
  testing::WriteBytes(dir.File("notadir"), "x");
  event.ExeDir = dir.File("notadir") + "/";
  SimulatedReader good(kGoodFob, session, disk);
  EXPECT_EQ(FailingRead(good),
            "Unable to write to " + dir.File("notadir") + "/ibutton.log: " +
                SystemReason(std::errc::not_a_directory, std::errc::no_such_file_or_directory));
  EXPECT_EQ(ReadBytes(dir.File("notadir")), "x");
}

// Permission bits only stop a user without the right to override them; CI
// runs as root, where the seam cases above stand in.
bool CanStillWriteIn(const std::string& directory) {
  const std::string probe = directory + "probe";
  std::error_code ignored;
  {
    std::ofstream out(probe);
    if (!out) return false;
  }
  fs::remove(probe, ignored);
  return true;
}

TEST_F(RealDiskFaultTest, ReadOnlyExportFileWithPermissionBits) {
  SimulatedReader good(kGoodFob, session, disk);
  ASSERT_EQ(good.Read(view, event), results::ReadEnd::Exported);
  const std::string kor = ReadBytes(dir.File("ibutton.kor"));
  fs::permissions(dir.File("ibutton.kor"), fs::perms::owner_read | fs::perms::group_read);
  if (std::ofstream(dir.File("ibutton.kor"), std::ios::app)) {
    fs::permissions(dir.File("ibutton.kor"), fs::perms::owner_all);
    GTEST_SKIP() << "permission bits do not stop this user";
  }
  view.startNum = view.fobNum = "13";
  EXPECT_EQ(FailingRead(good), "Unable to write to " + dir.File("ibutton.kor") + ": " +
                                   std::make_error_code(std::errc::permission_denied).message());
  EXPECT_EQ(ReadBytes(dir.File("ibutton.kor")), kor);
  fs::permissions(dir.File("ibutton.kor"), fs::perms::owner_all);
}

TEST_F(RealDiskFaultTest, DirectoryNotWritableWithPermissionBits) {
  fs::permissions(dir.Dir(), fs::perms::owner_read | fs::perms::owner_exec);
  const bool stopped = !CanStillWriteIn(dir.Dir());
  if (stopped) {
    SimulatedReader good(kGoodFob, session, disk);
    EXPECT_EQ(FailingRead(good), "Unable to write to " + dir.File("ibutton.log") + ": " +
                                     std::make_error_code(std::errc::permission_denied).message());
    EXPECT_FALSE(fs::exists(dir.File("ibutton.log")));
  }
  fs::permissions(dir.Dir(), fs::perms::owner_all);
  if (!stopped) GTEST_SKIP() << "permission bits do not stop this user";
}

// A process killed between creating the export file and writing its first
// block leaves an empty file; the next export must still start the file with
// its two heading lines, or the results software cannot read it.
TEST_F(RealDiskFaultTest, EmptyExportFileLeftByAKilledProcessGetsItsHeading) {
  testing::WriteBytes(dir.File("ibutton.kor"), "");
  SimulatedReader good(kGoodFob, session, disk);
  ASSERT_EQ(good.Read(view, event), results::ReadEnd::Exported);
  EXPECT_EQ(ReadBytes(dir.File("ibutton.kor")),
            testing::ReadBytes(DataFile("expected/worked_example.kor")));
}

}  // namespace
}  // namespace vintok::reliability
