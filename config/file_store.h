#pragma once

#include <optional>
#include <string>

namespace vintok::config {

// Whole-file access to the disk, behind a seam so that tests can make a write
// fail half way through without needing a broken disk.
class FileStore {
 public:
  virtual ~FileStore() = default;
  // True when `path` names something that is not a directory (a file that
  // the program may read).
  virtual bool Exists(const std::string& path) const = 0;
  // The file's bytes exactly as stored, or nothing when it cannot be opened
  // or read (a missing file among them).
  virtual std::optional<std::string> Load(const std::string& path) const = 0;
  // Replaces the file's contents with `bytes`, creating it when missing.
  // False when the file cannot be opened or not every byte reached it.
  virtual bool Save(const std::string& path, const std::string& bytes) const = 0;
};

// The real disk.
class DiskFileStore : public FileStore {
 public:
  bool Exists(const std::string& path) const override;
  std::optional<std::string> Load(const std::string& path) const override;
  bool Save(const std::string& path, const std::string& bytes) const override;
};

// A shared, stateless disk store for callers that need no seam.
const FileStore& DiskFiles();

}  // namespace vintok::config
