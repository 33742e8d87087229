// Platform file: the descriptor calls behind DiskFileSystem for Windows and
// for POSIX systems.
#include "results/disk_file_system.h"

#include <cerrno>
#include <climits>
#include <fstream>
#include <iterator>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <sys/types.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace vintok::results {
namespace {

std::error_code LastError() { return {errno, std::generic_category()}; }

#ifdef _WIN32

int OpenDescriptor(const std::string& path, bool create) {
  // Binary: the files carry CR LF already and must not get a second CR.
  int flags = _O_WRONLY | _O_APPEND | _O_BINARY | _O_NOINHERIT;
  if (create) flags |= _O_CREAT | _O_EXCL;
  return _open(path.c_str(), flags, _S_IREAD | _S_IWRITE);
}
std::error_code DescriptorSize(int fd, uint64_t& size) {
  struct _stati64 info;
  if (_fstati64(fd, &info) != 0) return LastError();
  size = static_cast<uint64_t>(info.st_size);
  return {};
}
long long WriteSome(int fd, const char* data, size_t count) {
  const unsigned int chunk = count > INT_MAX ? INT_MAX : static_cast<unsigned int>(count);
  return _write(fd, data, chunk);
}
int SyncDescriptor(int fd) { return _commit(fd); }
std::error_code TruncateDescriptor(int fd, uint64_t size) {
  const errno_t result = _chsize_s(fd, static_cast<long long>(size));
  return result == 0 ? std::error_code() : std::error_code(result, std::generic_category());
}
int CloseDescriptor(int fd) { return _close(fd); }
int RemovePath(const std::string& path) { return _unlink(path.c_str()); }

#else

int OpenDescriptor(const std::string& path, bool create) {
  int flags = O_WRONLY | O_APPEND | O_CLOEXEC;
  if (create) flags |= O_CREAT | O_EXCL;
  int fd;
  do fd = ::open(path.c_str(), flags, 0666);
  while (fd < 0 && errno == EINTR);
  return fd;
}
std::error_code DescriptorSize(int fd, uint64_t& size) {
  struct stat info;
  if (::fstat(fd, &info) != 0) return LastError();
  size = static_cast<uint64_t>(info.st_size);
  return {};
}
long long WriteSome(int fd, const char* data, size_t count) { return ::write(fd, data, count); }
int SyncDescriptor(int fd) { return ::fsync(fd); }
std::error_code TruncateDescriptor(int fd, uint64_t size) {
  int result;
  do result = ::ftruncate(fd, static_cast<off_t>(size));
  while (result != 0 && errno == EINTR);
  return result == 0 ? std::error_code() : LastError();
}
int CloseDescriptor(int fd) { return ::close(fd); }
int RemovePath(const std::string& path) { return ::unlink(path.c_str()); }

#endif

class DiskFile final : public WritableFile {
 public:
  explicit DiskFile(int fd) : fd_(fd) {}
  ~DiskFile() override {
    if (fd_ >= 0) CloseDescriptor(fd_);
  }
  DiskFile(const DiskFile&) = delete;
  DiskFile& operator=(const DiskFile&) = delete;

  std::error_code Size(uint64_t& size) override {
    if (fd_ < 0) return std::make_error_code(std::errc::bad_file_descriptor);
    return DescriptorSize(fd_, size);
  }

  std::error_code Write(std::string_view bytes) override {
    if (fd_ < 0) return std::make_error_code(std::errc::bad_file_descriptor);
    while (!bytes.empty()) {
      const long long written = WriteSome(fd_, bytes.data(), bytes.size());
      if (written < 0) {
        if (errno == EINTR) continue;
        return LastError();
      }
      // A write that takes nothing without an error is a full disk.
      if (written == 0) return std::make_error_code(std::errc::no_space_on_device);
      bytes.remove_prefix(static_cast<size_t>(written));
    }
    return {};
  }

  std::error_code Sync() override {
    if (fd_ < 0) return std::make_error_code(std::errc::bad_file_descriptor);
    return SyncDescriptor(fd_) == 0 ? std::error_code() : LastError();
  }

  std::error_code Truncate(uint64_t size) override {
    if (fd_ < 0) return std::make_error_code(std::errc::bad_file_descriptor);
    return TruncateDescriptor(fd_, size);
  }

  std::error_code Close() override {
    if (fd_ < 0) return {};
    const int fd = fd_;
    fd_ = -1;  // the descriptor is gone even when closing reports an error
    return CloseDescriptor(fd) == 0 ? std::error_code() : LastError();
  }

 private:
  int fd_;
};

}  // namespace

std::unique_ptr<WritableFile> DiskFileSystem::Open(const std::string& path, bool create,
                                                   std::error_code& error) {
  const int fd = OpenDescriptor(path, create);
  if (fd < 0) {
    error = LastError();
    return nullptr;
  }
  error.clear();
  return std::make_unique<DiskFile>(fd);
}

std::error_code DiskFileSystem::Remove(const std::string& path) {
  return RemovePath(path) == 0 ? std::error_code() : LastError();
}

}  // namespace vintok::results

namespace vintok::results {

std::error_code DiskFileSystem::Read(const std::string& path, std::string& contents) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return std::make_error_code(std::errc::no_such_file_or_directory);
  contents.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  return file.bad() ? std::make_error_code(std::errc::io_error) : std::error_code();
}

}  // namespace vintok::results
