#include "config/file_store.h"

#include <filesystem>
#include <fstream>
#include <system_error>

namespace vintok::config {

bool DiskFileStore::Exists(const std::string& path) const {
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(path, error);
  return !error && std::filesystem::exists(status) && !std::filesystem::is_directory(status);
}

std::optional<std::string> DiskFileStore::Load(const std::string& path) const {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  // Read in chunks rather than asking for the size first: the size of a
  // special file is not what it will deliver.
  std::string bytes;
  char chunk[65536];
  while (in.read(chunk, sizeof chunk) || in.gcount() > 0)
    bytes.append(chunk, static_cast<size_t>(in.gcount()));
  if (in.bad()) return std::nullopt;
  // A directory opens on some systems but fails its first read.
  if (bytes.empty() && !Exists(path)) return std::nullopt;
  return bytes;
}

bool DiskFileStore::Save(const std::string& path, const std::string& bytes) const {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  return !out.fail();
}

const FileStore& DiskFiles() {
  static const DiskFileStore store;
  return store;
}

}  // namespace vintok::config
