#include "results/append_file.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>

#include "results/disk_file_system.h"
#include "tests/core/worked_example.h"

namespace vintok::results {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;

const std::string kHeader = "@SAVE\r\n@BEGIN-KOR\r\n";
const std::string kBlock =
    "# -- Start No.12 Fob No:12 --\r\n127 12 10:00:00'00 19.06.12 0; #start\r\n";

// The real disk with faults injected: a write lets only the first
// `writeLimit` bytes through and then reports a full disk; open, sync and
// close can be made to fail after doing their real work (or none of it).
class FaultyDisk final : public FileSystem {
 public:
  std::optional<size_t> writeLimit;
  std::error_code openError, syncError, closeError;
  int opens = 0;

  std::unique_ptr<WritableFile> Open(const std::string& path, bool create,
                                     std::error_code& error) override {
    ++opens;
    if (openError) {
      error = openError;
      return nullptr;
    }
    auto file = disk_.Open(path, create, error);
    if (!file) return nullptr;
    return std::make_unique<File>(*this, std::move(file));
  }
  std::error_code Remove(const std::string& path) override { return disk_.Remove(path); }
  std::error_code Read(const std::string& path, std::string& contents) override {
    return disk_.Read(path, contents);
  }

 private:
  class File final : public WritableFile {
   public:
    File(FaultyDisk& owner, std::unique_ptr<WritableFile> real)
        : owner_(owner), real_(std::move(real)) {}
    std::error_code Size(uint64_t& size) override { return real_->Size(size); }
    std::error_code Write(std::string_view bytes) override {
      if (!owner_.writeLimit || bytes.size() <= *owner_.writeLimit) return real_->Write(bytes);
      if (auto error = real_->Write(bytes.substr(0, *owner_.writeLimit))) return error;
      return std::make_error_code(std::errc::no_space_on_device);
    }
    std::error_code Sync() override {
      if (auto error = real_->Sync()) return error;
      return owner_.syncError;
    }
    std::error_code Truncate(uint64_t size) override { return real_->Truncate(size); }
    std::error_code Close() override {
      if (auto error = real_->Close()) return error;
      return owner_.closeError;
    }

   private:
    FaultyDisk& owner_;
    std::unique_ptr<WritableFile> real_;
  };
  DiskFileSystem disk_;
};

class AppendBlockTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = fs::temp_directory_path() /
           ("vintok-append-" + std::string(info->name()) + "-" +
            std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    fs::create_directories(dir_);
    path_ = (dir_ / "ibutton.kor").string();
  }
  void TearDown() override {
    std::error_code ignored;
    if (fs::exists(path_, ignored))
      fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(dir_, ignored);
  }
  void WriteFile(const std::string& bytes) { std::ofstream(path_, std::ios::binary) << bytes; }
  std::string Contents() const { return ReadBytes(path_); }
  bool Exists() const { return fs::exists(path_); }

  // Runs AppendBlock and returns the error text, or "" when it succeeded.
  std::string Append(FileSystem& disk, const std::string& block = kBlock) {
    try {
      AppendBlock(disk, path_, kHeader, block);
      return "";
    } catch (const std::runtime_error& e) {
      return e.what();
    }
  }

  fs::path dir_;
  std::string path_;
};

TEST_F(AppendBlockTest, NewFileGetsTheHeaderLaterBlocksDoNot) {
  DiskFileSystem disk;
  EXPECT_EQ(Append(disk), "");
  EXPECT_EQ(Contents(), kHeader + kBlock);
  EXPECT_EQ(Append(disk, "second\r\n"), "");
  EXPECT_EQ(Contents(), kHeader + kBlock + "second\r\n");

  // An existing file is appended to as it stands, without a header.
  WriteFile("old log\r\n");
  EXPECT_EQ(Append(disk, ""), "");
  EXPECT_EQ(Append(disk), "");
  EXPECT_EQ(Contents(), "old log\r\n" + kBlock);
}

TEST_F(AppendBlockTest, FailingDiskKeepsTheOldLengthExactly) {
  const std::string before = kHeader + "# -- Start No.3 Fob No:3 --\r\n";
  for (size_t limit : {size_t{0}, size_t{1}, size_t{20}, kBlock.size() - 1}) {
    SCOPED_TRACE(limit);
    WriteFile(before);
    FaultyDisk disk;
    disk.writeLimit = limit;
    EXPECT_EQ(Append(disk), "Unable to write to " + path_ + ": No space left on device");
    EXPECT_EQ(Contents(), before);
  }
}

TEST_F(AppendBlockTest, FailingDiskRemovesAFileItCreated) {
  for (size_t limit : {size_t{0}, size_t{7}, kHeader.size() + 3}) {
    SCOPED_TRACE(limit);
    FaultyDisk disk;
    disk.writeLimit = limit;
    EXPECT_EQ(Append(disk), "Unable to write to " + path_ + ": No space left on device");
    EXPECT_FALSE(Exists());
  }
}

TEST_F(AppendBlockTest, FailedFlushOrCloseRollsBack) {
  WriteFile("kept\r\n");
  FaultyDisk syncFails;
  syncFails.syncError = std::make_error_code(std::errc::io_error);
  EXPECT_EQ(Append(syncFails), "Unable to write to " + path_ + ": Input/output error");
  EXPECT_EQ(Contents(), "kept\r\n");

  // The file is already closed when closing reports the error: it is opened
  // again to be cut back.
  FaultyDisk closeFails;
  closeFails.closeError = std::make_error_code(std::errc::io_error);
  EXPECT_EQ(Append(closeFails), "Unable to write to " + path_ + ": Input/output error");
  EXPECT_EQ(Contents(), "kept\r\n");
  EXPECT_EQ(closeFails.opens, 2);

  fs::remove(path_);
  EXPECT_EQ(Append(closeFails), "Unable to write to " + path_ + ": Input/output error");
  EXPECT_FALSE(Exists());
}

TEST_F(AppendBlockTest, RefusedOpenChangesNothing) {
  WriteFile("kept\r\n");
  FaultyDisk disk;
  disk.openError = std::make_error_code(std::errc::permission_denied);
  EXPECT_EQ(Append(disk), "Unable to write to " + path_ + ": Permission denied");
  EXPECT_EQ(Contents(), "kept\r\n");
}

TEST_F(AppendBlockTest, ReadOnlyFileGivesTheSystemsReason) {
  WriteFile("kept\r\n");
  fs::permissions(path_, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  if (std::ofstream(path_, std::ios::app)) GTEST_SKIP() << "this user may write to read-only files";
  DiskFileSystem disk;
  EXPECT_EQ(Append(disk), "Unable to write to " + path_ + ": Permission denied");
  EXPECT_EQ(Contents(), "kept\r\n");
}

TEST_F(AppendBlockTest, UnwritablePathsGiveTheSystemsReason) {
  DiskFileSystem disk;
  const std::string missing = (dir_ / "no such folder" / "ibutton.kor").string();
  try {
    AppendBlock(disk, missing, kHeader, kBlock);
    ADD_FAILURE();
  } catch (const std::runtime_error& e) {
    EXPECT_EQ(std::string(e.what()),
              "Unable to write to " + missing + ": No such file or directory");
  }
  EXPECT_FALSE(fs::exists(missing));

  // A folder where the file should be.
  const std::string folder = dir_.string();
  try {
    AppendBlock(disk, folder, kHeader, kBlock);
    ADD_FAILURE();
  } catch (const std::runtime_error& e) {
    const std::string text = e.what();
    EXPECT_EQ(text.rfind("Unable to write to " + folder + ": ", 0), 0u) << text;
    EXPECT_GT(text.size(), ("Unable to write to " + folder + ": ").size()) << text;
  }
  EXPECT_TRUE(fs::is_directory(folder));
}

#ifdef __linux__
TEST_F(AppendBlockTest, RealFullDevice) {
  DiskFileSystem disk;
  try {
    AppendBlock(disk, "/dev/full", kHeader, kBlock);
    ADD_FAILURE();
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "Unable to write to /dev/full: No space left on device");
  }
}
#endif

}  // namespace
}  // namespace vintok::results

namespace vintok::results {
namespace {

// A killed program leaves the marker of its unfinished append; what stands in
// the file then decides whether the block is cut off.
TEST_F(AppendBlockTest, InterruptedAppendIsCutOffItsCompleteTwinIsKept) {
  const std::string before = kHeader + kBlock;
  const uint64_t after = before.size() + kBlock.size();
  const struct {
    const char* what;
    std::string file;    // the file as the kill left it
    std::string marker;  // the marker as the kill left it
    std::string recovered;
  } cases[] = {
      {"cut inside the block", before + kBlock.substr(0, 20),
       std::to_string(before.size()) + " " + std::to_string(after), before},
      {"cut one byte short", before + kBlock.substr(0, kBlock.size() - 1),
       std::to_string(before.size()) + " " + std::to_string(after), before},
      {"block landed, marker not yet removed", before + kBlock,
       std::to_string(before.size()) + " " + std::to_string(after), before + kBlock},
      {"killed before the block's write", before,
       std::to_string(before.size()) + " " + std::to_string(after), before},
      {"marker itself cut short", before, std::to_string(before.size()) + " ", before},
      {"empty marker", before, "", before},
      {"marker that is not ours", before + "x", "12abc 40", before + "x"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    WriteFile(c.file);
    testing::WriteBytes(path_ + ".pending", c.marker);
    DiskFileSystem disk;
    RecoverInterruptedAppend(disk, path_);
    EXPECT_EQ(Contents(), c.recovered);
    EXPECT_FALSE(fs::exists(path_ + ".pending"));
  }
}

TEST_F(AppendBlockTest, NextAppendRecoversFirstAndLeavesNoMarker) {
  WriteFile(kHeader + kBlock + "# -- Start No.13 F");
  testing::WriteBytes(path_ + ".pending",
                      std::to_string(kHeader.size() + kBlock.size()) + " 999");
  DiskFileSystem disk;
  EXPECT_EQ(Append(disk, "second\r\n"), "");
  EXPECT_EQ(Contents(), kHeader + kBlock + "second\r\n");
  EXPECT_FALSE(fs::exists(path_ + ".pending"));

  // Without a marker nothing is cut, whatever the file ends with.
  WriteFile("no marker, no cut");
  RecoverInterruptedAppend(disk, path_);
  EXPECT_EQ(Contents(), "no marker, no cut");
}

// The first append of a new file was killed: the file it had created, empty
// or holding part of its header and block, goes again.
TEST_F(AppendBlockTest, FileCreatedByAnInterruptedAppendIsRemoved) {
  for (const std::string& left : {std::string(), kHeader.substr(0, 5), kHeader + "# -- St"}) {
    SCOPED_TRACE(left.size());
    WriteFile(left);
    testing::WriteBytes(path_ + ".pending",
                        "0 " + std::to_string(kHeader.size() + kBlock.size()));
    DiskFileSystem disk;
    RecoverInterruptedAppend(disk, path_);
    EXPECT_FALSE(Exists());
    EXPECT_FALSE(fs::exists(path_ + ".pending"));
  }
}

TEST_F(AppendBlockTest, MissingFileWithMarkerLosesOnlyTheMarker) {
  testing::WriteBytes(path_ + ".pending", "0 70");
  DiskFileSystem disk;
  RecoverInterruptedAppend(disk, path_);
  EXPECT_FALSE(Exists());
  EXPECT_FALSE(fs::exists(path_ + ".pending"));
}

}  // namespace
}  // namespace vintok::results
