#include "results/append_file.h"

#include <stdexcept>

namespace vintok::results {
namespace {

[[noreturn]] void ThrowWriteError(const std::string& path, const std::error_code& error) {
  throw std::runtime_error("Unable to write to " + path + ": " + error.message());
}

std::string MarkerPath(const std::string& path) { return path + ".pending"; }

// The marker holds "<length before> <length after>" of the append under way.
std::error_code WriteMarker(FileSystem& fileSystem, const std::string& path, uint64_t before,
                            uint64_t after) {
  std::error_code error;
  std::unique_ptr<WritableFile> marker = fileSystem.Open(MarkerPath(path), true, error);
  if (!marker) return error;
  error = marker->Write(std::to_string(before) + " " + std::to_string(after));
  if (!error) error = marker->Sync();
  const std::error_code closeError = marker->Close();
  return error ? error : closeError;
}

bool ParseMarker(const std::string& text, uint64_t& before, uint64_t& after) {
  const size_t blank = text.find(' ');
  if (blank == std::string::npos || blank == 0 || blank + 1 == text.size()) return false;
  for (size_t i = 0; i < text.size(); ++i)
    if (i != blank && (text[i] < '0' || text[i] > '9')) return false;
  if (blank > 19 || text.size() - blank - 1 > 19) return false;
  before = std::stoull(text.substr(0, blank));
  after = std::stoull(text.substr(blank + 1));
  return before < after;
}

}  // namespace

void RecoverInterruptedAppend(FileSystem& fileSystem, const std::string& path) {
  std::string text;
  if (fileSystem.Read(MarkerPath(path), text)) return;  // no marker
  uint64_t before = 0, after = 0;
  // An unreadable marker is one whose own write was cut short: the block's
  // write had not begun.
  if (ParseMarker(text, before, after)) {
    std::error_code error;
    std::unique_ptr<WritableFile> file = fileSystem.Open(path, false, error);
    uint64_t size = 0;
    // Only a file that ends inside the interrupted block is cut; one that
    // holds the whole block keeps it.
    const bool interrupted = file && !file->Size(size) && size >= before && size < after;
    if (interrupted && size > before && (file->Truncate(before) || file->Sync()))
      return;  // keep the marker, try again later
    if (file) file->Close();
    // A file the interrupted append had just created holds nothing yet.
    if (interrupted && before == 0) fileSystem.Remove(path);
  }
  fileSystem.Remove(MarkerPath(path));
}

void AppendBlock(FileSystem& fileSystem, const std::string& path, std::string_view headerIfNew,
                 std::string_view block) {
  RecoverInterruptedAppend(fileSystem, path);

  // Open the existing file first; create it only when there is none, and
  // exclusively, so that a file this call removes again is one it made.
  std::error_code error;
  std::unique_ptr<WritableFile> file = fileSystem.Open(path, false, error);
  const bool create = !file && error == std::errc::no_such_file_or_directory;
  if (!file && !create) ThrowWriteError(path, error);

  uint64_t sizeBefore = 0;
  if (file) {
    error = file->Size(sizeBefore);
    if (error) {
      file->Close();
      ThrowWriteError(path, error);
    }
  }

  // An empty file is one whose first block never landed: it still needs its
  // header.
  std::string text;
  if (sizeBefore == 0) text.append(headerIfNew);
  text.append(block);

  // The marker goes down before the file is created or grows, so that a kill
  // at any moment after this leaves something to recover from.
  error = WriteMarker(fileSystem, path, sizeBefore, sizeBefore + text.size());
  if (!error && create) {
    file = fileSystem.Open(path, true, error);
    if (!file && !error) error = std::make_error_code(std::errc::io_error);
  }
  if (!error) error = file->Write(text);
  if (!error) error = file->Sync();
  if (!error) {
    error = file->Close();
    file.reset();
  }
  if (!error) {
    fileSystem.Remove(MarkerPath(path));
    return;
  }

  // Roll back; the first failure is the one the operator sees.
  if (create) {
    if (file) {
      file->Close();
      fileSystem.Remove(path);
    }
  } else {
    std::error_code ignored;
    if (!file) file = fileSystem.Open(path, false, ignored);  // the close itself failed
    if (file) {
      file->Truncate(sizeBefore);
      file->Sync();
      file->Close();
    }
  }
  fileSystem.Remove(MarkerPath(path));
  ThrowWriteError(path, error);
}

}  // namespace vintok::results
