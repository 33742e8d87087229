#include "results/append_file.h"

#include <stdexcept>

namespace vintok::results {
namespace {

[[noreturn]] void ThrowWriteError(const std::string& path, const std::error_code& error) {
  throw std::runtime_error("Unable to write to " + path + ": " + error.message());
}

}  // namespace

void AppendBlock(FileSystem& fileSystem, const std::string& path, std::string_view headerIfNew,
                 std::string_view block) {
  // Open the existing file first; create it only when there is none, and
  // exclusively, so that a file this call removes again is one it made.
  std::error_code error;
  bool created = false;
  std::unique_ptr<WritableFile> file = fileSystem.Open(path, false, error);
  if (!file && error == std::errc::no_such_file_or_directory) {
    file = fileSystem.Open(path, true, error);
    created = file != nullptr;
  }
  if (!file) ThrowWriteError(path, error ? error : std::make_error_code(std::errc::io_error));

  uint64_t sizeBefore = 0;
  if (!created) {
    error = file->Size(sizeBefore);
    if (error) {
      file->Close();
      ThrowWriteError(path, error);
    }
  }

  // An empty file is one whose first block never landed (the program was
  // killed between creating it and writing): it still needs its header.
  std::string text;
  if (created || sizeBefore == 0) text.append(headerIfNew);
  text.append(block);

  error = file->Write(text);
  if (!error) error = file->Sync();
  if (!error) {
    error = file->Close();
    file.reset();
  }
  if (!error) return;

  // Roll back; the first failure is the one the operator sees.
  if (created) {
    if (file) file->Close();
    fileSystem.Remove(path);
  } else {
    std::error_code ignored;
    if (!file) file = fileSystem.Open(path, false, ignored);  // the close itself failed
    if (file) {
      file->Truncate(sizeBefore);
      file->Sync();
      file->Close();
    }
  }
  ThrowWriteError(path, error);
}

}  // namespace vintok::results
