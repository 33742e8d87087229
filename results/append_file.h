#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>

namespace vintok::results {

// One open file, positioned for appending. Every operation returns an empty
// error_code on success, otherwise the operating system's error.
class WritableFile {
 public:
  virtual ~WritableFile() = default;
  // Length of the file in bytes.
  virtual std::error_code Size(uint64_t& size) = 0;
  // Appends all bytes at the end of the file; on an error some of them may
  // already have landed.
  virtual std::error_code Write(std::string_view bytes) = 0;
  // Returns once the written bytes are on the disk, not just in a cache.
  virtual std::error_code Sync() = 0;
  // Cuts the file to `size` bytes.
  virtual std::error_code Truncate(uint64_t size) = 0;
  // Closes the file; the object does nothing further after this call.
  virtual std::error_code Close() = 0;
};

// The file operations a block append needs, so that tests can make the disk
// fail at any byte.
class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // Opens the file at `path` for appending. With create false the file must
  // exist (no_such_file_or_directory otherwise); with create true it must
  // not (file_exists otherwise) and is created empty. Null with `error` set
  // on failure.
  virtual std::unique_ptr<WritableFile> Open(const std::string& path, bool create,
                                             std::error_code& error) = 0;
  // Deletes the file at `path`.
  virtual std::error_code Remove(const std::string& path) = 0;
  // Reads the whole of a small file (no_such_file_or_directory when there is
  // none).
  virtual std::error_code Read(const std::string& path, std::string& contents) = 0;
};

// Appends `block` to the file at `path` whole or not at all. A file that does
// not exist yet is created and gets `headerIfNew` before the block, and so
// does an existing empty file. The text
// goes out in one write and is flushed to the disk before this returns. On any
// failure an existing file is cut back to the length it had before and a file
// created here is removed, then std::runtime_error
// "Unable to write to <path>: <the system's reason>" is thrown. An existing
// file is never cut below its earlier length.
//
// While the block is being written, a marker file beside it (path +
// ".pending") records the lengths before and after. A process killed in the
// middle of the write (the kernel may cut a write short at a page boundary
// when the process is killed) leaves the marker; the next append, or
// RecoverInterruptedAppend at start-up, cuts the unfinished block off.
void AppendBlock(FileSystem& fileSystem, const std::string& path, std::string_view headerIfNew,
                 std::string_view block);

// Cuts off a block whose append was interrupted (see AppendBlock) and removes
// its marker. A block that landed whole is kept. Does nothing when there is
// no marker; failures are left for the next append to report.
void RecoverInterruptedAppend(FileSystem& fileSystem, const std::string& path);

}  // namespace vintok::results
