#pragma once

#include "results/append_file.h"

namespace vintok::results {

// The real disk, through the C runtime's file descriptors (POSIX, or the
// Windows C runtime's _open family). The only platform-specific file code of
// the results library lives in disk_file_system.cpp.
class DiskFileSystem final : public FileSystem {
 public:
  std::unique_ptr<WritableFile> Open(const std::string& path, bool create,
                                     std::error_code& error) override;
  std::error_code Remove(const std::string& path) override;
  std::error_code Read(const std::string& path, std::string& contents) override;
};

}  // namespace vintok::results
